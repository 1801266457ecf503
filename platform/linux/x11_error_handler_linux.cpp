#include "platform/linux/x11_error_handler_linux.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>

#include "platform/startup_log.h"

namespace platform::desktop {

namespace {

// Enough to find a fault; a hostile client's flood must not fill the log.
constexpr unsigned long kErrorsReported = 8;

std::atomic<unsigned long> errorCount{0};

// No Xlib call here: the handler runs inside Xlib, and the codes say enough.
int CountError(Display*, XErrorEvent* error) {
    const unsigned long number = ++errorCount;
    if (number > kErrorsReported) return 0;
    char line[160];
    std::snprintf(line, sizeof line, "X error %lu: request %u.%u, error code %u, resource 0x%lx%s", number,
                  unsigned(error->request_code), unsigned(error->minor_code), unsigned(error->error_code),
                  error->resourceid, number == kErrorsReported ? "; later ones are only counted" : "");
    std::fprintf(stderr, "Wavelift: %s\n", line);
    std::fflush(stderr);
    platform::WriteStartupLog(line);
    return 0;
}

}  // namespace

void InstallX11ErrorHandler() { XSetErrorHandler(CountError); }

unsigned long X11ErrorCount(Display* display) {
    XSync(display, False);
    return errorCount;
}

}  // namespace platform::desktop
