#include "platform/linux/xdnd_no_drops_linux.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>
#include <X11/Xlibint.h>

#include "platform/linux/xdnd_atoms_linux.h"

namespace platform::desktop {

namespace {

using WireToEvent = Bool (*)(Display*, XEvent*, xEvent*);

// One connection, the toolkit's, read and written on the interface thread only.
struct Refusal {
    Display* display = nullptr;
    WireToEvent previous = nullptr;
    Atom enter = 0, position = 0, leave = 0, drop = 0;
};
Refusal refusal;

Bool DiscardDropTargetMessages(Display* display, XEvent* event, xEvent* wire) {
    if (!refusal.previous(display, event, wire)) return False;
    if (display != refusal.display) return True;
    const Atom type = event->xclient.message_type;
    return type != refusal.enter && type != refusal.position && type != refusal.leave && type != refusal.drop;
}

}  // namespace

void RefuseDrops(GLFWwindow* window) {
    Display* display = glfwGetX11Display();
    if (window == nullptr || display == nullptr) return;
    const XdndAtoms atoms = XdndAtoms::Intern(display);
    XDeleteProperty(display, glfwGetX11Window(window), atoms.aware);
    refusal.enter = atoms.enter;
    refusal.position = atoms.position;
    refusal.leave = atoms.leave;
    refusal.drop = atoms.drop;
    refusal.display = display;
    // Called again, it must not end up calling itself.
    const WireToEvent previous = XESetWireToEvent(display, ClientMessage, DiscardDropTargetMessages);
    if (previous != DiscardDropTargetMessages) refusal.previous = previous;
    XFlush(display);
}

}  // namespace platform::desktop
