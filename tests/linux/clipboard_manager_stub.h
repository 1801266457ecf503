#pragma once
#include <sys/types.h>

// The smallest clipboard manager, in a child process of its own: it takes
// CLIPBOARD_MANAGER, and when an owner asks it to SAVE_TARGETS it reads the
// TARGETS, fetches them all through one MULTIPLE request (as GNOME's does),
// answers, and then owns the CLIPBOARD itself, offering what it kept.
class ClipboardManagerStub {
public:
    ClipboardManagerStub() = default;
    ~ClipboardManagerStub();
    ClipboardManagerStub(const ClipboardManagerStub&) = delete;
    ClipboardManagerStub& operator=(const ClipboardManagerStub&) = delete;

    // Starts it on $DISPLAY; true once it owns CLIPBOARD_MANAGER.
    bool Start();

private:
    pid_t pid = -1;
};
