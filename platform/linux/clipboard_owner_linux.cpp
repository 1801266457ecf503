#include "platform/linux/clipboard_owner_linux.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <iterator>
#include <vector>

#include "platform/file_uri.h"
#include "platform/linux/x11_error_handler_linux.h"
#include "platform/path_text.h"

namespace platform::desktop {

namespace {

// The data targets; a clipboard manager is asked to keep exactly these.
constexpr int kDataTargetCount = 5;
// Pairs a MULTIPLE request may list; far more than any client asks for at once.
constexpr long kMostMultipleWords = 1024;
// KDE's flag for a cut rather than a copy.
const std::string kNotCut = "0";

void Reply(Display* display, const XSelectionRequestEvent& request, Atom property) {
    XEvent event{};
    event.xselection.type = SelectionNotify;
    event.xselection.display = display;
    event.xselection.requestor = request.requestor;
    event.xselection.selection = request.selection;
    event.xselection.target = request.target;
    event.xselection.property = property;
    event.xselection.time = request.time;
    XSendEvent(display, request.requestor, False, NoEventMask, &event);
}

Bool IsTimestampNotify(Display*, XEvent* event, XPointer property) {
    return event->type == PropertyNotify && event->xproperty.atom == *reinterpret_cast<Atom*>(property);
}

}  // namespace

ClipboardOwner::ClipboardOwner() {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    const char* names[] = {"CLIPBOARD",         "TARGETS",
                           "TIMESTAMP",         "MULTIPLE",
                           "ATOM_PAIR",         "INTEGER",
                           "x-special/gnome-copied-files", "text/uri-list",
                           "application/x-kde-cutselection", "UTF8_STRING",
                           "text/plain;charset=utf-8", "CLIPBOARD_MANAGER",
                           "SAVE_TARGETS",      "WAVELIFT_OWNERSHIP_TIME",
                           "WAVELIFT_SAVED_TARGETS"};
    Atom interned[std::size(names)];
    XInternAtoms(display, const_cast<char**>(names), static_cast<int>(std::size(names)), False, interned);
    Atom* fields[] = {&atoms.clipboard,        &atoms.targets,        &atoms.timestamp,     &atoms.multiple,
                      &atoms.atomPair,         &atoms.integer,        &atoms.gnomeCopiedFiles, &atoms.uriList,
                      &atoms.kdeCutSelection,  &atoms.utf8String,     &atoms.textPlainUtf8, &atoms.clipboardManager,
                      &atoms.saveTargets,      &atoms.ownershipTime,  &atoms.savedTargets};
    static_assert(std::size(fields) == std::size(names));
    for (size_t i = 0; i < std::size(names); ++i) *fields[i] = interned[i];

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.event_mask = PropertyChangeMask;
    window = XCreateWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                           CopyFromParent, CWOverrideRedirect | CWEventMask, &attributes);
}

ClipboardOwner::~ClipboardOwner() {
    if (display) XCloseDisplay(display);
}

// Ownership is taken at a real server time, not CurrentTime, so that requests
// and clears can be ordered against it: an empty append to a property of the
// window's own reports the time in its PropertyNotify.
Time ClipboardOwner::ServerTime() {
    XChangeProperty(display, window, atoms.ownershipTime, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
    XSync(display, False);
    XEvent event;
    if (XCheckIfEvent(display, &event, IsTimestampNotify, reinterpret_cast<XPointer>(&atoms.ownershipTime)))
        return event.xproperty.time;
    return CurrentTime;
}

bool ClipboardOwner::Offer(const std::filesystem::path& absolutePath) {
    // Xlib's default handler would end the program on an error, and the
    // windowing library may have replaced the handler around its own calls.
    InstallX11ErrorHandler();
    const std::string uri = FileUriFromPath(absolutePath);
    gnomeCopiedFiles = "copy\n" + uri;
    uriList = uri + "\r\n";
    path = PathToUtf8(absolutePath);
    ownedSince = ServerTime();
    XSetSelectionOwner(display, atoms.clipboard, window, ownedSince);
    owning = XGetSelectionOwner(display, atoms.clipboard) == window;
    return owning;
}

void ClipboardOwner::Serve() {
    // A requestor that vanished answers with an error read here.
    InstallX11ErrorHandler();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        Handle(event);
    }
}

void ClipboardOwner::Handle(const XEvent& event) {
    if (event.type == SelectionRequest) {
        Answer(event.xselectionrequest);
    } else if (event.type == SelectionClear && event.xselectionclear.selection == atoms.clipboard) {
        // A clear from before the latest Offer is stale.
        owning = XGetSelectionOwner(display, atoms.clipboard) == window;
    }
}

void ClipboardOwner::Answer(const XSelectionRequestEvent& request) {
    // Obsolete clients leave the property empty and expect the target's name.
    const Atom property = request.property != None ? request.property : request.target;
    const bool current = request.time == CurrentTime || ownedSince == CurrentTime || request.time >= ownedSince;
    bool converted = false;
    if (owning && current && request.selection == atoms.clipboard) {
        converted = request.target == atoms.multiple
                        ? request.property != None && ConvertMultiple(request.requestor, request.property)
                        : Convert(request.requestor, request.target, property);
    }
    Reply(display, request, converted ? property : None);
    XFlush(display);
}

const std::string* ClipboardOwner::Text(Atom target) const {
    if (target == atoms.gnomeCopiedFiles) return &gnomeCopiedFiles;
    if (target == atoms.uriList) return &uriList;
    if (target == atoms.kdeCutSelection) return &kNotCut;
    if (target == atoms.utf8String || target == atoms.textPlainUtf8) return &path;
    return nullptr;
}

bool ClipboardOwner::Convert(Window requestor, Atom target, Atom property) {
    if (target == atoms.targets) {
        const Atom offered[] = {atoms.targets,         atoms.timestamp,  atoms.multiple,
                                atoms.gnomeCopiedFiles, atoms.uriList,   atoms.kdeCutSelection,
                                atoms.utf8String,      atoms.textPlainUtf8};
        XChangeProperty(display, requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), static_cast<int>(std::size(offered)));
        return true;
    }
    if (target == atoms.timestamp) {
        const long time = static_cast<long>(ownedSince);
        XChangeProperty(display, requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&time), 1);
        return true;
    }
    const std::string* text = Text(target);
    if (text == nullptr) return false;
    XChangeProperty(display, requestor, property, target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text->data()), static_cast<int>(text->size()));
    return true;
}

// MULTIPLE lists (target, property) pairs on the requestor's window; each pair
// whose target cannot be had gets its property replaced by None.
bool ClipboardOwner::ConvertMultiple(Window requestor, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, requestor, property, 0, kMostMultipleWords, False, AnyPropertyType, &type, &format,
                           &count, &remaining, &data) != Success ||
        data == nullptr) {
        return false;
    }
    std::vector<Atom> pairs;
    if (format == 32) pairs.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + count / 2 * 2);
    XFree(data);
    if (pairs.empty()) return false;
    for (size_t i = 0; i < pairs.size(); i += 2) {
        const bool converted =
            pairs[i] != atoms.multiple && pairs[i + 1] != None && Convert(requestor, pairs[i], pairs[i + 1]);
        if (!converted) pairs[i + 1] = None;
    }
    XChangeProperty(display, requestor, property, atoms.atomPair, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(pairs.data()), static_cast<int>(pairs.size()));
    return true;
}

void ClipboardOwner::HandOver(std::chrono::milliseconds limit) {
    Serve();
    if (!owning || XGetSelectionOwner(display, atoms.clipboardManager) == None) return;
    const Atom kept[kDataTargetCount] = {atoms.gnomeCopiedFiles, atoms.uriList, atoms.kdeCutSelection,
                                         atoms.utf8String, atoms.textPlainUtf8};
    XChangeProperty(display, window, atoms.savedTargets, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kept), kDataTargetCount);
    XConvertSelection(display, atoms.clipboardManager, atoms.saveTargets, atoms.savedTargets, window, ownedSince);
    XFlush(display);

    // The manager asks for the targets while this waits for its answer.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionNotify && event.xselection.selection == atoms.clipboardManager) return;
            Handle(event);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left.count()) + 1);
    }
}

}  // namespace platform::desktop
