#include "platform/windows/main_window.h"

#include "platform/platform.h"

namespace {
HWND mainWindow = nullptr;
}

HWND MainWindow() {
    return mainWindow;
}

namespace platform {

void SetMainWindow(void* window) {
    mainWindow = static_cast<HWND>(window);
}

void SetAlwaysOnTop(bool onTop) {
    if (mainWindow == nullptr) return;
    SetWindowPos(mainWindow, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

}  // namespace platform
