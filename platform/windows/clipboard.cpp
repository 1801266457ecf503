#include "platform/platform.h"

namespace platform {

// No clipboard data object yet.
bool CopyFileToClipboard(const std::filesystem::path&) { return false; }

}  // namespace platform
