#pragma once
#include <X11/Xlib.h>

#include "platform/linux/xdnd_atoms_linux.h"

namespace platform::desktop {

struct XdndTarget {
    Window window = 0;         // named in every message
    Window messageWindow = 0;  // where messages go: the window itself or its proxy
    long version = 0;          // the protocol version both sides speak
    explicit operator bool() const { return window != 0; }
};

// The deepest window under the root position that takes XDND drops (version 3
// or later, directly or through its XdndProxy), as seen below any window
// manager frame; over no window, the root itself when it takes drops (a
// desktop). Over `own` there is no target: dropping back on it is no drop.
XdndTarget FindXdndTarget(Display* display, const XdndAtoms& atoms, int rootX, int rootY, Window own);

}  // namespace platform::desktop
