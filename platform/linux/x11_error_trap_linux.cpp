#include "platform/linux/x11_error_trap_linux.h"

#include <atomic>

namespace platform::desktop {

namespace {
std::atomic<int> errorCount{0};

int CountError(Display*, XErrorEvent*) {
    ++errorCount;
    return 0;
}
}  // namespace

X11ErrorTrap::X11ErrorTrap() : previous(XSetErrorHandler(CountError)) { errorCount = 0; }

X11ErrorTrap::~X11ErrorTrap() { XSetErrorHandler(previous); }

int X11ErrorTrap::Errors(Display* display) const {
    XSync(display, False);
    return errorCount;
}

}  // namespace platform::desktop
