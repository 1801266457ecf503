#include "platform/platform.h"

namespace platform {

// No clipboard owner yet.
bool CopyFileToClipboard(const std::filesystem::path&) { return false; }

}  // namespace platform
