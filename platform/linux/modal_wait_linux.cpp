#include "platform/linux/modal_wait_linux.h"

#include "platform/linux/main_window_linux.h"

namespace platform::desktop {

ModalWait::ModalWait() : window(MainWindow()) {
    if (window == nullptr) return;
    key = glfwSetKeyCallback(window, nullptr);
    character = glfwSetCharCallback(window, nullptr);
    mouseButton = glfwSetMouseButtonCallback(window, nullptr);
    cursorPos = glfwSetCursorPosCallback(window, nullptr);
    cursorEnter = glfwSetCursorEnterCallback(window, nullptr);
    scroll = glfwSetScrollCallback(window, nullptr);
}

ModalWait::~ModalWait() {
    if (window == nullptr) return;
    glfwSetKeyCallback(window, key);
    glfwSetCharCallback(window, character);
    glfwSetMouseButtonCallback(window, mouseButton);
    glfwSetCursorPosCallback(window, cursorPos);
    glfwSetCursorEnterCallback(window, cursorEnter);
    glfwSetScrollCallback(window, scroll);
}

bool ModalWait::CloseRequested() {
    if (window == nullptr) return false;
    glfwPollEvents();
    return glfwWindowShouldClose(window);
}

}  // namespace platform::desktop
