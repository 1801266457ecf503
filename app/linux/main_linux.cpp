// The Linux program: one GLFW window with an OpenGL 3.3 core context, the GUI
// library's GLFW platform back end and the program's own GL 3 renderer.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>

#include <csignal>

#include <array>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/chord_keeping_frame.h"
#include "app/command_line.h"
#include "app/font_texture.h"
#include "app/linux/frame_limiter.h"
#include "app/linux/gl3_renderer.h"
#include "app/linux/window_icon.h"
#include "platform/linux/clipboard_linux.h"
#include "platform/linux/display_scale_watch_linux.h"
#include "platform/linux/drag_file_out_linux.h"
#include "platform/linux/glfw_x11_linux.h"
#include "platform/linux/grab_service_linux.h"
#include "platform/linux/x11_error_handler_linux.h"
#include "platform/linux/xdnd_no_drops_linux.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "platform/startup_log.h"

namespace {

constexpr char kTitle[] = "Wavelift";
constexpr char kWindowClass[] = "WaveliftMainWindow";
// Window sizes at 96 dpi.
constexpr float kInitialWidth = 1100.0f;
constexpr float kInitialHeight = 460.0f;
constexpr float kMinimumWidth = 360.0f;
constexpr float kMinimumHeight = 210.0f;
// How often a hidden or iconified window looks again.
constexpr std::chrono::milliseconds kHiddenPoll{10};

std::string lastGlfwError = "unknown reason";

void RecordGlfwError(int, const char* description) { lastGlfwError = description ? description : "unknown reason"; }

// A new scale reported by the windowing library, applied between two frames.
float pendingScale = 0.0f;

void OnContentScale(GLFWwindow*, float, float yScale) { pendingScale = platform::desktop::UsableUiScale(yScale); }

// A termination request (logout, kill) ends the run like closing the window, so
// that capture stops and the settings are written.
volatile std::sig_atomic_t terminationRequested = 0;

void OnTerminationSignal(int) { terminationRequested = 1; }

void CatchTerminationSignals() {
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

int ReportFailure(const std::string& reason) {
    std::fprintf(stderr, "Wavelift: %s\n", reason.c_str());
    return 1;
}

void SetMinimumSize(GLFWwindow* window, float scale) {
    glfwSetWindowSizeLimits(window, static_cast<int>(kMinimumWidth * scale), static_cast<int>(kMinimumHeight * scale),
                            GLFW_DONT_CARE, GLFW_DONT_CARE);
}

// A hidden window of the initial size, centred in the primary monitor's work area.
GLFWwindow* CreateMainWindow() {
    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    float primaryScale = 1.0f;
    int areaX = 0, areaY = 0, areaWidth = 0, areaHeight = 0;
    if (primary) {
        glfwGetMonitorContentScale(primary, nullptr, &primaryScale);
        primaryScale = platform::desktop::UsableUiScale(primaryScale);
        glfwGetMonitorWorkarea(primary, &areaX, &areaY, &areaWidth, &areaHeight);
    }
    const int width = static_cast<int>(kInitialWidth * primaryScale);
    const int height = static_cast<int>(kInitialHeight * primaryScale);

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHintString(GLFW_X11_CLASS_NAME, kWindowClass);
    glfwWindowHintString(GLFW_X11_INSTANCE_NAME, kWindowClass);
    GLFWwindow* window = glfwCreateWindow(width, height, kTitle, nullptr, nullptr);
    if (window && areaWidth > 0 && areaHeight > 0)
        glfwSetWindowPos(window, areaX + (areaWidth - width) / 2, areaY + (areaHeight - height) / 2);
    return window;
}

int PrimaryRefreshRate() {
    GLFWmonitor* primary = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = primary ? glfwGetVideoMode(primary) : nullptr;
    return mode ? mode->refreshRate : 0;
}

void DestroyWindowAndLibrary(GLFWwindow* window) {
    platform::SetMainWindow(nullptr);
    glfwDestroyWindow(window);
    glfwTerminate();
}

void ShutDownGui(Gl3Renderer& renderer) {
    renderer.Shutdown();
    ImGui_ImplGlfw_Shutdown();
    ImGui::DestroyContext();
}

// Uploads the font atlas; reports a failure on stderr and answers false.
bool MakeFontTexture(Gl3Renderer& renderer) {
    try {
        CreateFontTexture(*ImGui::GetIO().Fonts, renderer, platform::WriteStartupLog);
        return true;
    } catch (const std::runtime_error& error) {
        ReportFailure(error.what());
        return false;
    }
}

// Fonts, style and the minimum window size for a new scale, as at start; the
// font texture follows before the next frame.
void ApplyScale(GLFWwindow* window, App& app, Gl3Renderer& renderer, float scale) {
    app.ApplyUiScale(scale, 1.0f);
    renderer.DestroyFontTexture(*ImGui::GetIO().Fonts);
    SetMinimumSize(window, scale);
}

void DrawFrame(App& app, Gl3Renderer& renderer) {
    ImGui_ImplGlfw_NewFrame();
    NewFrameKeepingChords();
    app.Frame();
    ImGui::Render();
    const std::array<float, 4> background = app.BackgroundColor();
    glClearColor(background[0], background[1], background[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    renderer.RenderDrawData(ImGui::GetDrawData());
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine command = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (command.action != CommandLine::Action::Run) return RunCommand(command);

    glfwSetErrorCallback(RecordGlfwError);
    if (!platform::desktop::InitGlfwOnX11()) {
        return ReportFailure("cannot open the display (" + lastGlfwError + "): an X11 display or XWayland is needed");
    }
    // Before any event is read: what other clients send must not end the program.
    platform::desktop::InstallX11ErrorHandler();
    GLFWwindow* window = CreateMainWindow();
    platform::desktop::RefuseDrops(window);
    if (!window) {
        glfwTerminate();
        return ReportFailure("cannot create a window with an OpenGL 3.3 context (" + lastGlfwError + ")");
    }
    glfwMakeContextCurrent(window);
    glfwSwapInterval(1);
    SetWindowIcon(window);
    platform::SetMainWindow(window);

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui_ImplGlfw_InitForOpenGL(window, true);
    Gl3Renderer renderer;
    if (!renderer.Init()) {
        ShutDownGui(renderer);
        DestroyWindowAndLibrary(window);
        return ReportFailure("the OpenGL context cannot compile the program's shaders");
    }

    App app;
    app.textureDevice = &renderer;
    float scale = 1.0f;
    glfwGetWindowContentScale(window, nullptr, &scale);
    app.ApplyUiScale(platform::desktop::UsableUiScale(scale), 1.0f);
    SetMinimumSize(window, app.uiScale);
    if (!MakeFontTexture(renderer)) {
        ShutDownGui(renderer);
        DestroyWindowAndLibrary(window);
        return 1;
    }
    glfwSetWindowContentScaleCallback(window, OnContentScale);
    // The windowing library reads the desktop's scale only once, at start.
    platform::desktop::DisplayScaleWatch scaleWatch;

    CatchTerminationSignals();
    app.Startup();
    glfwShowWindow(window);
    // Taken once the program can answer, so a grab never reaches a half-started one.
    platform::desktop::GrabService grabService;
    const auto grab = [&app](double seconds) {
        const SavedCapture saved = app.SaveNewestAudio(seconds);
        return platform::GrabReply{.path = PathToUtf8(saved.path), .error = saved.error};
    };

    FrameLimiter limiter(PrimaryRefreshRate());
    int exitCode = 0;
    while (!glfwWindowShouldClose(window) && !terminationRequested) {
        glfwPollEvents();
        platform::desktop::PollDropAnswer();
        platform::desktop::ServeClipboard();
        grabService.Poll(grab);
        if (glfwGetWindowAttrib(window, GLFW_ICONIFIED) || !glfwGetWindowAttrib(window, GLFW_VISIBLE)) {
            std::this_thread::sleep_for(kHiddenPoll);
            continue;
        }
        if (const auto desktopScale = scaleWatch.Changed()) pendingScale = *desktopScale;
        if (pendingScale > 0.0f && pendingScale != app.uiScale) ApplyScale(window, app, renderer, pendingScale);
        pendingScale = 0.0f;
        if (!renderer.HasFontTexture() && !MakeFontTexture(renderer)) {
            exitCode = 1;
            break;
        }
        DrawFrame(app, renderer);
        glfwSwapBuffers(window);
        limiter.Wait();
    }

    app.Shutdown();
    platform::desktop::HandOverClipboardAtExit();
    ShutDownGui(renderer);
    DestroyWindowAndLibrary(window);
    return exitCode;
}
