#pragma once

namespace platform {

// Appends one time-stamped line to the start-up log when the user has switched
// it on. Never fails the caller: a line that cannot be written is dropped.
void WriteStartupLog(const char* message);

}  // namespace platform
