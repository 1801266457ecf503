#pragma once
#include <X11/Xlib.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace platform::desktop {

// Owns the X CLIPBOARD for one file, on a connection and an unmapped window of
// its own: the toolkit never sees the requests, and answering them (always
// whole, never in increments: the texts are short) never waits for anyone.
class ClipboardOwner {
public:
    // Opens the connection to the program's display; Connected() tells whether it could.
    ClipboardOwner();
    ~ClipboardOwner();
    ClipboardOwner(const ClipboardOwner&) = delete;
    ClipboardOwner& operator=(const ClipboardOwner&) = delete;

    bool Connected() const { return display != nullptr; }

    // Takes the clipboard for an existing file's absolute path; false when another client kept it.
    bool Offer(const std::filesystem::path& absolutePath);
    // Answers the requests that have arrived; never waits.
    void Serve();
    // Hands the contents to a running clipboard manager, serving its requests for at most `limit`.
    void HandOver(std::chrono::milliseconds limit);

private:
    struct Atoms {
        Atom clipboard, targets, timestamp, multiple, atomPair, integer;
        Atom gnomeCopiedFiles, uriList, kdeCutSelection, utf8String, textPlainUtf8;
        Atom clipboardManager, saveTargets, ownershipTime, savedTargets;
    };

    Time ServerTime();
    void Handle(const XEvent& event);
    void Answer(const XSelectionRequestEvent& request);
    bool Convert(Window requestor, Atom target, Atom property);
    bool ConvertMultiple(Window requestor, Atom property);
    // The bytes offered for a data target; null for a target not offered.
    const std::string* Text(Atom target) const;

    Display* display = nullptr;
    Window window = 0;
    Atoms atoms{};
    bool owning = false;
    Time ownedSince = CurrentTime;
    std::string gnomeCopiedFiles, uriList, path;
};

}  // namespace platform::desktop
