#include "platform/linux/xdnd_drag_source_linux.h"

#include <X11/Xatom.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <iterator>

namespace platform::desktop {

namespace {

// A target answers each position within milliseconds; one silent this long is gone.
constexpr auto kStatusTimeout = std::chrono::milliseconds(2000);
// Some targets read or import the file before confirming; the file stays either way.
constexpr auto kFinishedTimeout = std::chrono::milliseconds(5000);
// How often the loop wakes without events, to notice a release it was not told about.
constexpr int kIdleWakeMs = 50;
constexpr long kStatusAcceptBit = 1;
constexpr long kFinishedAcceptBit = 1;

}  // namespace

XdndDragSource::XdndDragSource(Display* display, Window source, std::string uriList, std::string plainText)
    : display(display),
      source(source),
      root(DefaultRootWindow(display)),
      uriList(std::move(uriList)),
      plainText(std::move(plainText)),
      atoms(XdndAtoms::Intern(display)),
      dragCursor(XCreateFontCursor(display, XC_hand2)),
      noDropCursor(XCreateFontCursor(display, XC_circle)) {}

XdndDragSource::~XdndDragSource() {
    answers.reset();
    if (phase != Phase::Done) Finish(result);
    XFreeCursor(display, dragCursor);
    XFreeCursor(display, noDropCursor);
    XFlush(display);
}

std::optional<DragResult> XdndDragSource::Run() {
    if (!Begin()) return DragResult::Failed;
    reachedLoop = true;
    Loop();
    EndModal();
    if (phase == Phase::Done) return result;
    answers.emplace(display, [this](const XEvent& event) { return IsOwnAnswer(event); });
    return Poll();
}

std::optional<DragResult> XdndDragSource::Poll(bool giveUp) {
    if (answers) {
        for (XEvent& event : answers->Take()) {
            if (phase != Phase::Done) Handle(event);
        }
    }
    if (phase != Phase::Done && (giveUp || Clock::now() >= deadline)) OnTimeout();
    if (phase != Phase::Done) return std::nullopt;
    answers.reset();
    return result;
}

bool XdndDragSource::IsOwnAnswer(const XEvent& event) const {
    if (event.type == ClientMessage) {
        return event.xclient.window == source &&
               (event.xclient.message_type == atoms.status || event.xclient.message_type == atoms.finished);
    }
    if (event.type == SelectionRequest) return event.xselectionrequest.selection == atoms.selection;
    if (event.type == SelectionClear) return event.xselectionclear.selection == atoms.selection;
    return false;
}

bool XdndDragSource::Begin() {
    XSetSelectionOwner(display, atoms.selection, source, CurrentTime);
    if (XGetSelectionOwner(display, atoms.selection) != source) return false;
    const unsigned int mask = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
    if (XGrabPointer(display, source, False, mask, GrabModeAsync, GrabModeAsync, None, noDropCursor,
                     CurrentTime) != GrabSuccess) {
        XSetSelectionOwner(display, atoms.selection, None, CurrentTime);
        return false;
    }
    shownCursor = noDropCursor;
    // Without the keyboard, Escape still works whenever the window has the focus.
    XGrabKeyboard(display, source, False, GrabModeAsync, GrabModeAsync, CurrentTime);

    Window rootReturn = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int buttons = 0;
    XQueryPointer(display, root, &rootReturn, &child, &rootX, &rootY, &x, &y, &buttons);
    MoveTo(rootX, rootY, CurrentTime);
    // The button may have come up before the grab: the drop happens where the pointer is.
    if ((buttons & Button1Mask) == 0) Release(rootX, rootY, CurrentTime);
    return true;
}

void XdndDragSource::EndModal() {
    XUngrabKeyboard(display, CurrentTime);
    XUngrabPointer(display, CurrentTime);
    for (auto event = deferred.rbegin(); event != deferred.rend(); ++event) XPutBackEvent(display, &*event);
    XFlush(display);
}

void XdndDragSource::Loop() {
    while (phase == Phase::Dragging) {
        while (phase == Phase::Dragging && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            Handle(event);
        }
        if (phase != Phase::Dragging) break;
        CheckButtonStillHeld();
        if (phase != Phase::Dragging) break;
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, kIdleWakeMs);
    }
}

void XdndDragSource::Handle(XEvent& event) {
    switch (event.type) {
        case MotionNotify:
            if (phase == Phase::Dragging) MoveTo(event.xmotion.x_root, event.xmotion.y_root, event.xmotion.time);
            return;
        case ButtonRelease:
            // The toolkit sees the release too, so its view of the button matches the device.
            deferred.push_back(event);
            if (phase == Phase::Dragging && event.xbutton.button == Button1) {
                Release(event.xbutton.x_root, event.xbutton.y_root, event.xbutton.time);
            }
            return;
        case ButtonPress:
        case KeyRelease:
            return;
        case KeyPress:
            if (XLookupKeysym(&event.xkey, 0) == XK_Escape) Cancel();
            return;
        case ClientMessage:
            if (IsPing(event.xclient)) {
                AnswerPing(event.xclient);
                return;
            }
            if (event.xclient.message_type == atoms.status) {
                OnStatus(event.xclient);
                return;
            }
            if (event.xclient.message_type == atoms.finished) {
                OnFinished(event.xclient);
                return;
            }
            break;
        case SelectionRequest:
            if (event.xselectionrequest.selection == atoms.selection) {
                AnswerSelectionRequest(event.xselectionrequest);
                return;
            }
            break;
        case SelectionClear:
            if (event.xselectionclear.selection == atoms.selection) return;
            break;
        default:
            break;
    }
    deferred.push_back(event);
}

void XdndDragSource::CheckButtonStillHeld() {
    Window rootReturn = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int buttons = 0;
    if (!XQueryPointer(display, root, &rootReturn, &child, &rootX, &rootY, &x, &y, &buttons)) return;
    if ((buttons & Button1Mask) == 0) Release(rootX, rootY, CurrentTime);
}

void XdndDragSource::OnTimeout() {
    if (phase == Phase::AwaitingStatus) {
        // Released over an application that never answered: it was meant for it, so the file stays.
        SendToTarget(atoms.leave, 0, 0, 0, 0);
        Finish(DragResult::Refused);
    } else if (phase == Phase::AwaitingFinished) {
        // The target took the drop and then went quiet: whether it has the file is unknown, so keep it.
        Finish(DragResult::Unconfirmed);
    }
}

void XdndDragSource::MoveTo(int rootX, int rootY, Time time) {
    const XdndTarget found = FindXdndTarget(display, atoms, rootX, rootY, source);
    if (found.window != target.window || found.messageWindow != target.messageWindow) {
        if (target) SendToTarget(atoms.leave, 0, 0, 0, 0);
        target = found;
        accepted = false;
        statusPending = false;
        positionQueued = false;
        if (target) {
            SendToTarget(atoms.enter, target.version << 24, static_cast<long>(atoms.uriList),
                         static_cast<long>(atoms.textPlain), static_cast<long>(atoms.textPlainUtf8));
        }
    }
    if (target) {
        if (statusPending) {
            // One position at a time: the newest waits for the answer to the last.
            positionQueued = true;
            queuedX = rootX;
            queuedY = rootY;
            queuedTime = time;
        } else {
            SendPosition(rootX, rootY, time);
        }
    }
    UpdateCursor();
}

void XdndDragSource::Release(int rootX, int rootY, Time time) {
    releaseTime = time;
    MoveTo(rootX, rootY, time);
    if (!target) {
        Finish(DragResult::Cancelled);
        return;
    }
    if (statusPending || positionQueued) {
        phase = Phase::AwaitingStatus;
        deadline = Clock::now() + kStatusTimeout;
        return;
    }
    DropOrLeave();
}

void XdndDragSource::Cancel() {
    if (target) SendToTarget(atoms.leave, 0, 0, 0, 0);
    Finish(DragResult::Cancelled);
}

void XdndDragSource::DropOrLeave() {
    if (!accepted) {
        SendToTarget(atoms.leave, 0, 0, 0, 0);
        Finish(DragResult::Refused);
        return;
    }
    SendToTarget(atoms.drop, 0, static_cast<long>(releaseTime), 0, 0);
    phase = Phase::AwaitingFinished;
    deadline = Clock::now() + kFinishedTimeout;
}

void XdndDragSource::OnStatus(const XClientMessageEvent& message) {
    if (!target || static_cast<Window>(message.data.l[0]) != target.window) return;
    if (phase != Phase::Dragging && phase != Phase::AwaitingStatus) return;
    statusPending = false;
    accepted = (message.data.l[1] & kStatusAcceptBit) != 0;
    if (positionQueued) {
        positionQueued = false;
        SendPosition(queuedX, queuedY, queuedTime);
    }
    UpdateCursor();
    if (phase == Phase::AwaitingStatus && !statusPending) DropOrLeave();
}

void XdndDragSource::OnFinished(const XClientMessageEvent& message) {
    if (phase != Phase::AwaitingFinished || static_cast<Window>(message.data.l[0]) != target.window) return;
    const bool failed = target.version >= 5 && (message.data.l[1] & kFinishedAcceptBit) == 0;
    Finish(failed ? DragResult::Refused : DragResult::Dropped);
}

void XdndDragSource::AnswerSelectionRequest(const XSelectionRequestEvent& request) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    reply.property = None;
    // Obsolete clients leave the property empty and expect the target's name.
    const Atom property = request.property != None ? request.property : request.target;

    if (request.target == atoms.targets) {
        const Atom offered[] = {atoms.targets, atoms.uriList, atoms.textPlain, atoms.textPlainUtf8, atoms.utf8String};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), static_cast<int>(std::size(offered)));
        reply.property = property;
    } else if (request.target == atoms.uriList || request.target == atoms.textPlain ||
               request.target == atoms.textPlainUtf8 || request.target == atoms.utf8String) {
        const std::string& data = request.target == atoms.uriList ? uriList : plainText;
        XChangeProperty(display, request.requestor, property, request.target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        reply.property = property;
    }
    XEvent event{};
    event.xselection = reply;
    XSendEvent(display, request.requestor, False, NoEventMask, &event);
    XFlush(display);
}

bool XdndDragSource::IsPing(const XClientMessageEvent& message) const {
    return message.message_type == atoms.wmProtocols && message.format == 32 &&
           static_cast<Atom>(message.data.l[0]) == atoms.wmPing;
}

// The window manager asks whether the window still answers; during a long drag it does.
void XdndDragSource::AnswerPing(const XClientMessageEvent& message) {
    XEvent reply{};
    reply.xclient = message;
    reply.xclient.window = root;
    XSendEvent(display, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &reply);
    XFlush(display);
}

void XdndDragSource::Finish(DragResult outcome) {
    result = outcome;
    phase = Phase::Done;
    // A late request must not be answered by the toolkit with some other selection's data.
    if (XGetSelectionOwner(display, atoms.selection) == source) {
        XSetSelectionOwner(display, atoms.selection, None, CurrentTime);
    }
    XFlush(display);
}

void XdndDragSource::SendToTarget(Atom type, long data1, long data2, long data3, long data4) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target.window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(source);
    event.xclient.data.l[1] = data1;
    event.xclient.data.l[2] = data2;
    event.xclient.data.l[3] = data3;
    event.xclient.data.l[4] = data4;
    XSendEvent(display, target.messageWindow, False, NoEventMask, &event);
    XFlush(display);
}

void XdndDragSource::SendPosition(int rootX, int rootY, Time time) {
    const long packed = (static_cast<long>(rootX & 0xFFFF) << 16) | (rootY & 0xFFFF);
    SendToTarget(atoms.position, 0, packed, static_cast<long>(time), static_cast<long>(atoms.actionCopy));
    statusPending = true;
}

void XdndDragSource::UpdateCursor() {
    const Cursor wanted = target && accepted ? dragCursor : noDropCursor;
    if (wanted == shownCursor) return;
    shownCursor = wanted;
    XChangeActivePointerGrab(display, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, wanted, CurrentTime);
}

}  // namespace platform::desktop
