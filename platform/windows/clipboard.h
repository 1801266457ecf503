#pragma once

// At exit, while OLE still runs: what the program put on the clipboard is
// copied onto it for good, so that a paste still works once the program is gone.
void KeepClipboardAfterExit();
