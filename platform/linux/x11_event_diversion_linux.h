#pragma once
#include <X11/Xlib.h>

#include <functional>
#include <vector>

namespace platform::desktop {

// While alive, the client messages and selection events of `display` that
// `wanted` picks are taken as they arrive off the wire, before they reach the
// connection's queue: a toolkit reading the same connection never sees them
// (and so cannot answer a selection request with data of its own). One at a
// time per process.
class XEventDiversion {
public:
    XEventDiversion(Display* display, std::function<bool(const XEvent&)> wanted);
    ~XEventDiversion();
    XEventDiversion(const XEventDiversion&) = delete;
    XEventDiversion& operator=(const XEventDiversion&) = delete;

    // The events taken since the last call, oldest first, after reading what has arrived.
    std::vector<XEvent> Take();
};

}  // namespace platform::desktop
