#pragma once
#include <windows.h>

#include "platform/platform.h"

// The grab command and the running program talk through WM_COPYDATA: the
// command sends a request carrying a window of its own, and the program
// answers to that window before the request returns.
namespace platform::grab {

inline constexpr wchar_t kMainWindowClass[] = L"WaveliftMainWindow";

// The request's seconds and where the answer goes; false when `data` is not a grab request.
bool ReadRequest(const COPYDATASTRUCT& data, double& seconds, HWND& replyTo);
// Sends a saved path or an error, as UTF-8, to the asking window.
void SendReply(HWND replyTo, HWND from, const GrabReply& reply);

}  // namespace platform::grab
