#include "tests/linux/clipboard_manager_stub.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr unsigned kLongestLifeSeconds = 60;  // even if the test never stops it
constexpr auto kStartTimeout = std::chrono::seconds(10);

struct Property {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    std::vector<unsigned char> bytes;  // 32-bit items come as longs
};

Property Read(Display* display, Window window, Atom property) {
    Property result;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1 << 20, True, AnyPropertyType, &result.type, &result.format,
                           &result.count, &remaining, &data) == Success && data != nullptr) {
        const size_t size = result.format == 32 ? sizeof(long) : static_cast<size_t>(result.format / 8);
        result.bytes.assign(data, data + result.count * size);
    }
    if (data) XFree(data);
    return result;
}

std::vector<Atom> AtomsOf(const Property& property) {
    const Atom* first = reinterpret_cast<const Atom*>(property.bytes.data());
    return std::vector<Atom>(first, first + property.bytes.size() / sizeof(Atom));
}

// Converts the CLIPBOARD to `target` into `into` and waits for the owner's answer.
Property Fetch(Display* display, Window window, Atom clipboard, Atom target, Atom into) {
    XConvertSelection(display, clipboard, target, into, window, CurrentTime);
    XEvent event;
    do XNextEvent(display, &event);
    while (event.type != SelectionNotify);
    return event.xselection.property == None ? Property{} : Read(display, window, into);
}

void Reply(Display* display, const XSelectionRequestEvent& request, Atom property) {
    XEvent event{};
    event.xselection = {SelectionNotify, 0, True, display, request.requestor, request.selection, request.target,
                        property, request.time};
    XSendEvent(display, request.requestor, False, NoEventMask, &event);
    XFlush(display);
}

[[noreturn]] void Serve() {
    alarm(kLongestLifeSeconds);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) _exit(1);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    const Atom saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
    const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
    const Atom targets = XInternAtom(display, "TARGETS", False);
    const Atom multiple = XInternAtom(display, "MULTIPLE", False);
    const Atom atomPair = XInternAtom(display, "ATOM_PAIR", False);
    const Atom pairs = XInternAtom(display, "STUB_PAIRS", False);
    XSetSelectionOwner(display, manager, window, CurrentTime);
    XFlush(display);

    std::map<Atom, Property> kept;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest) continue;
        const XSelectionRequestEvent& request = event.xselectionrequest;
        if (request.selection == manager && request.target == saveTargets) {
            std::vector<Atom> wanted;
            for (Atom target : AtomsOf(Fetch(display, window, clipboard, targets, pairs)))
                if (target != targets && target != multiple) wanted.insert(wanted.end(), {target, target});
            XChangeProperty(display, window, pairs, atomPair, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(wanted.data()), static_cast<int>(wanted.size()));
            const std::vector<Atom> answered = AtomsOf(Fetch(display, window, clipboard, multiple, pairs));
            for (size_t i = 0; i + 1 < answered.size(); i += 2)
                if (answered[i + 1] != None) kept[answered[i]] = Read(display, window, answered[i + 1]);
            XSetSelectionOwner(display, clipboard, window, CurrentTime);
            Reply(display, request, request.property);
        } else if (request.selection == clipboard && kept.count(request.target)) {
            const Property& data = kept[request.target];
            XChangeProperty(display, request.requestor, request.property, data.type, data.format, PropModeReplace,
                            data.bytes.data(), static_cast<int>(data.count));
            Reply(display, request, request.property);
        } else {
            Reply(display, request, None);
        }
    }
}

}  // namespace

bool ClipboardManagerStub::Start() {
    pid = fork();
    if (pid == 0) Serve();
    if (pid < 0) return false;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    bool owned = false;
    while (!(owned = XGetSelectionOwner(display, manager) != None) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    XCloseDisplay(display);
    return owned;
}

ClipboardManagerStub::~ClipboardManagerStub() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
