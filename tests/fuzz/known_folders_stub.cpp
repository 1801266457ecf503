// The settings reader under fuzzing must not touch the user's folders.
#include "platform/platform.h"

namespace platform {
std::filesystem::path GetKnownFolderPath(KnownFolder) { return {}; }
}  // namespace platform
