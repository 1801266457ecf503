#pragma once
#include <X11/Xlib.h>

namespace platform::desktop {

inline constexpr long kXdndVersion = 5;
inline constexpr long kXdndOldestTargetVersion = 3;

struct XdndAtoms {
    Atom aware, proxy, selection;
    Atom enter, position, status, leave, drop, finished;
    Atom actionCopy;
    Atom uriList, textPlain, textPlainUtf8, utf8String, targets;
    // The window manager's ping, which the drag loop answers in the toolkit's place.
    Atom wmProtocols, wmPing;

    static XdndAtoms Intern(Display* display);
};

}  // namespace platform::desktop
