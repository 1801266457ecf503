#include "platform/linux/x11_error_handler_linux.h"

#include <X11/Xlib.h>

#include <atomic>

namespace platform::desktop {

namespace {

std::atomic<unsigned long> errorCount{0};

int CountError(Display*, XErrorEvent*) {
    ++errorCount;
    return 0;
}

}  // namespace

void InstallX11ErrorHandler() { XSetErrorHandler(CountError); }

unsigned long X11ErrorCount(Display* display) {
    XSync(display, False);
    return errorCount;
}

}  // namespace platform::desktop
