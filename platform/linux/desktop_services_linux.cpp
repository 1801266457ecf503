// Placeholders until the desktop integration lands.
#include "platform/platform.h"

namespace platform {
void SetMainWindow(void*) {}
void DragFileOut(const std::filesystem::path&, std::function<void(DragResult)> callback) {
    if (callback) callback(DragResult::Failed);
}
void RevealInFileBrowser(const std::filesystem::path&) {}
void SetAlwaysOnTop(bool) {}
std::optional<std::filesystem::path> PickFolder(const std::filesystem::path&) { return std::nullopt; }
}  // namespace platform
