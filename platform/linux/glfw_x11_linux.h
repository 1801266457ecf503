#pragma once
#include <GLFW/glfw3.h>

namespace platform::desktop {

// Starts GLFW on X11 even where it could choose Wayland (GLFW 3.4 picks Wayland
// whenever a compositor is there): drag-out, always-on-top and dialog parents
// speak X11, which a Wayland session serves through XWayland. False when no X
// display is reachable.
inline bool InitGlfwOnX11() {
#if defined(GLFW_PLATFORM)
    glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_X11);
#endif
    return glfwInit() == GLFW_TRUE;
}

}  // namespace platform::desktop
