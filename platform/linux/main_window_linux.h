#pragma once
#include <X11/Xlib.h>

struct GLFWwindow;

namespace platform::desktop {

// The window handed to SetMainWindow, or null.
GLFWwindow* MainWindow();

// The X11 connection and window behind the main window; both empty when there
// is no main window or it does not live on an X server.
struct X11Window {
    Display* display = nullptr;
    Window window = 0;
    explicit operator bool() const { return display != nullptr && window != 0; }
};
X11Window MainX11Window();

}  // namespace platform::desktop
