#include "platform/linux/main_window_linux.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

#include "platform/linux/drag_file_out_linux.h"
#include "platform/platform.h"

namespace platform {

namespace {
GLFWwindow* mainWindow = nullptr;
}  // namespace

void SetMainWindow(void* window) {
    // A drop still awaiting its answer speaks for the window it left, which may be going away.
    desktop::AbandonDropAnswer();
    mainWindow = static_cast<GLFWwindow*>(window);
}

namespace desktop {

GLFWwindow* MainWindow() { return mainWindow; }

X11Window MainX11Window() {
    if (mainWindow == nullptr) return {};
    X11Window result;
    result.display = glfwGetX11Display();
    result.window = glfwGetX11Window(mainWindow);
    if (!result) return {};
    return result;
}

}  // namespace desktop
}  // namespace platform
