#include <GLFW/glfw3.h>

#include "platform/linux/main_window_linux.h"
#include "platform/platform.h"

namespace platform {

// GLFW asks the window manager for the "above" state (_NET_WM_STATE_ABOVE).
void SetAlwaysOnTop(bool onTop) {
    GLFWwindow* window = desktop::MainWindow();
    if (window == nullptr) return;
    glfwSetWindowAttrib(window, GLFW_FLOATING, onTop ? GLFW_TRUE : GLFW_FALSE);
}

}  // namespace platform
