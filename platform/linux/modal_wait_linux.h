#pragma once
#include <GLFW/glfw3.h>

namespace platform::desktop {

// While the interface thread waits for another program (a folder dialog), the
// main window stays responsive: reading its events answers the window
// manager's pings, a close request is noted, and input meant for the window is
// dropped, as for the owner of a modal dialog.
class ModalWait {
public:
    // How long a waiting loop may block between two calls of CloseRequested.
    static constexpr int kPollMilliseconds = 50;

    ModalWait();
    ~ModalWait();
    ModalWait(const ModalWait&) = delete;
    ModalWait& operator=(const ModalWait&) = delete;

    // Handles the main window's pending events; true once the user has asked to
    // close it (the frame loop then ends as usual). False without a main window.
    bool CloseRequested();

private:
    GLFWwindow* window = nullptr;
    GLFWkeyfun key = nullptr;
    GLFWcharfun character = nullptr;
    GLFWmousebuttonfun mouseButton = nullptr;
    GLFWcursorposfun cursorPos = nullptr;
    GLFWcursorenterfun cursorEnter = nullptr;
    GLFWscrollfun scroll = nullptr;
};

}  // namespace platform::desktop
