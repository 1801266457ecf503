#pragma once
#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

#include "platform/linux/glfw_x11_linux.h"

#include <chrono>
#include <thread>

// A GLFW window (no graphics context) shown on the current X display. It is
// mapped directly: GLFW 3.3's own show call can spin forever waiting for a
// visibility event when unrelated events are pending.
inline GLFWwindow* CreateShownTestWindow(int width, int height) {
    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(width, height, "Wavelift", nullptr, nullptr);
    if (window == nullptr) return nullptr;
    Display* display = glfwGetX11Display();
    XMapWindow(display, glfwGetX11Window(window));
    for (int i = 0; i < 250; ++i) {
        glfwPollEvents();
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, glfwGetX11Window(window), &attributes) &&
            attributes.map_state == IsViewable) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return window;
}
