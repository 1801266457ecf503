#pragma once
// Xlib's own name for a connection, without its macros.
typedef struct _XDisplay Display;

namespace platform::desktop {

// X errors answer requests that named a window some other client has just
// destroyed, or one a hostile client made up. Xlib's default handler ends the
// process on the first; this one, once installed, counts them and carries on,
// reporting the first few on standard error and in the start-up log.
// The toolkit saves and restores the handler around its own calls, so
// installing it once, before any events are read, covers the whole run.
void InstallX11ErrorHandler();

// Errors counted so far, once the server has answered every request sent on `display`.
unsigned long X11ErrorCount(Display* display);

}  // namespace platform::desktop
