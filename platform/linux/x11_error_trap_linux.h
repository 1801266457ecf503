#pragma once
#include <X11/Xlib.h>

namespace platform::desktop {

// While alive, X errors (a drop target closing mid-drag, say) are counted
// instead of ending the process through Xlib's default handler.
class X11ErrorTrap {
public:
    X11ErrorTrap();
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Errors seen so far, after waiting for the server to answer all requests.
    int Errors(Display* display) const;

private:
    XErrorHandler previous;
};

}  // namespace platform::desktop
