// The yardstick for the running program's CPU: a window of the program's size
// that draws one empty Dear ImGui window each frame through the same renderer,
// swap interval and frame limiter, and nothing else.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>

#include <csignal>
#include <cstdio>
#include <stdexcept>

#include "app/font_texture.h"
#include "app/linux/frame_limiter.h"
#include "app/linux/gl3_renderer.h"
#include "platform/linux/glfw_x11_linux.h"

namespace {

// The title the benchmark's window finder looks for.
constexpr char kTitle[] = "Wavelift";
constexpr int kWidth = 1100;
constexpr int kHeight = 460;

volatile std::sig_atomic_t stopRequested = 0;
void OnStop(int) { stopRequested = 1; }

int RefreshRate() {
    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = primary ? glfwGetVideoMode(primary) : nullptr;
    return mode ? mode->refreshRate : 0;
}

}  // namespace

int main() {
    std::signal(SIGTERM, OnStop);
    std::signal(SIGINT, OnStop);
    if (!platform::desktop::InitGlfwOnX11()) return 1;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    GLFWwindow* window = glfwCreateWindow(kWidth, kHeight, kTitle, nullptr, nullptr);
    if (!window) return 1;
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);

    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui_ImplGlfw_InitForOpenGL(window, true);
    Gl3Renderer renderer;
    int exitCode = 1;
    try {
        if (renderer.Init()) {
            CreateFontTexture(*ImGui::GetIO().Fonts, renderer, [](const char*) {});
            exitCode = 0;
        }
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }

    FrameLimiter limiter(RefreshRate());
    while (exitCode == 0 && !glfwWindowShouldClose(window) && !stopRequested) {
        glfwPollEvents();
        ImGui_ImplGlfw_NewFrame();
        ImGui::NewFrame();
        const ImGuiViewport* viewport = ImGui::GetMainViewport();
        ImGui::SetNextWindowPos(viewport->WorkPos);
        ImGui::SetNextWindowSize(viewport->WorkSize);
        ImGui::Begin("##empty", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
        ImGui::End();
        ImGui::Render();
        int width = 0, height = 0;
        glfwGetFramebufferSize(window, &width, &height);
        glViewport(0, 0, width, height);
        glClearColor(0.05f, 0.06f, 0.08f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        renderer.RenderDrawData(ImGui::GetDrawData());
        glfwSwapBuffers(window);
        limiter.Wait();
    }

    renderer.Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
    glfwDestroyWindow(window);
    glfwTerminate();
    return exitCode;
}
