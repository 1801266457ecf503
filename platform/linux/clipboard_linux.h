#pragma once

namespace platform::desktop {

// The clipboard is answered from the frame loop: this handles the requests
// that have arrived since the last call and never waits for more.
void ServeClipboard();

// At exit, while the program still owns the clipboard: hands its contents to a
// running clipboard manager, waiting a second or two at most, so that a paste
// still works afterwards. Without one, the clipboard goes with the program.
void HandOverClipboardAtExit();

}  // namespace platform::desktop
