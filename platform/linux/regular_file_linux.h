#pragma once
#include <sys/types.h>

namespace platform::desktop {

// Opens `path` with `flags` (and `mode` when creating) without waiting on a
// FIFO or device, and keeps the descriptor only for a regular file; -1 otherwise.
int OpenRegularDescriptor(const char* path, int flags, mode_t mode = 0);

}  // namespace platform::desktop
