#include "platform/linux/x11_event_diversion_linux.h"

#include <X11/Xlibint.h>

#include <cassert>
#include <utility>

namespace platform::desktop {

namespace {

using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);

constexpr int kDivertedTypes[] = {ClientMessage, SelectionRequest, SelectionClear};

struct Diversion {
    Display* display = nullptr;
    std::function<bool(const XEvent&)> wanted;
    std::vector<XEvent> taken;
    WireToEvent previous[std::size(kDivertedTypes)] = {};
};

Diversion* active = nullptr;

// Xlib's converter for an event type decodes it first; a false answer keeps it out of the queue.
Bool Divert(Display* display, XEvent* event, xEvent* wire) {
    const int type = wire->u.u.type & 0x7F;
    for (size_t i = 0; i < std::size(kDivertedTypes); ++i) {
        if (kDivertedTypes[i] != type) continue;
        if (!active->previous[i](display, event, wire)) return False;
        if (display != active->display || !active->wanted(*event)) return True;
        active->taken.push_back(*event);
        return False;
    }
    return True;
}

// What was already queued before the diversion began.
Bool IsWanted(Display*, XEvent* event, XPointer) { return active->wanted(*event) ? True : False; }

}  // namespace

XEventDiversion::XEventDiversion(Display* display, std::function<bool(const XEvent&)> wanted) {
    assert(active == nullptr);
    active = new Diversion{display, std::move(wanted), {}, {}};
    for (size_t i = 0; i < std::size(kDivertedTypes); ++i)
        active->previous[i] = XESetWireToEvent(display, kDivertedTypes[i], Divert);
    XEvent event;
    while (XCheckIfEvent(display, &event, IsWanted, nullptr)) active->taken.push_back(event);
}

XEventDiversion::~XEventDiversion() {
    for (size_t i = 0; i < std::size(kDivertedTypes); ++i)
        XESetWireToEvent(active->display, kDivertedTypes[i], active->previous[i]);
    delete active;
    active = nullptr;
}

std::vector<XEvent> XEventDiversion::Take() {
    // Reads what has arrived, so the answer does not wait for the toolkit's next look.
    XEventsQueued(active->display, QueuedAfterReading);
    return std::exchange(active->taken, {});
}

}  // namespace platform::desktop
