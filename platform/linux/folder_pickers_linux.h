#pragma once
#include <filesystem>
#include <optional>
#include <string>

namespace platform::desktop {

inline constexpr const char* kPickFolderTitle = "Folder for captured WAV files";

enum class PortalOutcome { Unavailable, Cancelled, Chosen };
struct PortalAnswer {
    PortalOutcome outcome = PortalOutcome::Unavailable;
    std::filesystem::path folder;
};

// The desktop portal's file chooser in folder mode; Unavailable when no portal
// answers on the session bus. `parentWindow` is the portal's window identifier
// ("x11:<hex id>") or empty. Blocks until the user has answered.
PortalAnswer PickFolderWithPortal(const std::optional<std::filesystem::path>& start, const std::string& parentWindow);

// zenity, else kdialog, when installed; nothing on cancel or when neither is.
std::optional<std::filesystem::path> PickFolderWithDialogTool(const std::optional<std::filesystem::path>& start);

}  // namespace platform::desktop
