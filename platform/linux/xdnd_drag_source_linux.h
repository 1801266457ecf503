#pragma once
#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/x11_event_diversion_linux.h"
#include "platform/linux/xdnd_atoms_linux.h"
#include "platform/linux/xdnd_target_finder_linux.h"
#include "platform/platform.h"

namespace platform::desktop {

// One XDND drag of a single file out of `source`, whose connection it uses.
// The left button is expected to be held; the drag is modal until it is
// released or Escape is pressed. Release over no target, over `source` or
// Escape is Cancelled; release over a target that does not take the file is
// Refused. A release over a target leaves the answer to come while the
// window's own loop runs again: Poll reads it. A target that took the drop and
// never confirmed it is Unconfirmed.
class XdndDragSource {
public:
    XdndDragSource(Display* display, Window source, std::string uriList, std::string plainText);
    // An answer still due is not waited for; the target hears no more.
    ~XdndDragSource();
    XdndDragSource(const XdndDragSource&) = delete;
    XdndDragSource& operator=(const XdndDragSource&) = delete;

    // The outcome, or nothing while the target's answer is due. Failed when the
    // drag could not start (selection or pointer grab refused).
    std::optional<DragResult> Run();

    // Without blocking: the outcome once the target has answered or is given up
    // on, else nothing. `giveUp` ends the wait now, as its timeout would.
    std::optional<DragResult> Poll(bool giveUp = false);

    // Whether Run reached its event loop, i.e. the pointer was grabbed.
    bool ReachedLoop() const { return reachedLoop; }

private:
    enum class Phase { Dragging, AwaitingStatus, AwaitingFinished, Done };
    using Clock = std::chrono::steady_clock;

    bool Begin();
    void EndModal();
    void Loop();
    bool IsOwnAnswer(const XEvent& event) const;
    void Handle(XEvent& event);
    void CheckButtonStillHeld();
    void OnTimeout();

    void MoveTo(int rootX, int rootY, Time time);
    void Release(int rootX, int rootY, Time time);
    void Cancel();
    void DropOrLeave();
    void OnStatus(const XClientMessageEvent& message);
    void OnFinished(const XClientMessageEvent& message);
    void AnswerSelectionRequest(const XSelectionRequestEvent& request);
    bool IsPing(const XClientMessageEvent& message) const;
    void AnswerPing(const XClientMessageEvent& message);
    void Finish(DragResult outcome);

    void SendToTarget(Atom type, long data1, long data2, long data3, long data4);
    void SendPosition(int rootX, int rootY, Time time);
    void UpdateCursor();

    Display* display;
    Window source;
    Window root;
    std::string uriList;
    std::string plainText;
    XdndAtoms atoms;
    Cursor dragCursor;
    Cursor noDropCursor;
    Cursor shownCursor = None;

    Phase phase = Phase::Dragging;
    DragResult result = DragResult::Cancelled;
    bool reachedLoop = false;
    Clock::time_point deadline{};

    XdndTarget target;
    bool accepted = false;
    bool statusPending = false;  // a position was sent and not answered yet
    bool positionQueued = false;
    int queuedX = 0, queuedY = 0;
    Time queuedTime = CurrentTime;
    Time releaseTime = CurrentTime;

    // Events meant for the window itself, handed back to its toolkit afterwards.
    std::vector<XEvent> deferred;
    // After the release: the target's messages and requests, kept from the toolkit.
    std::optional<XEventDiversion> answers;
};

}  // namespace platform::desktop
