#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "platform/linux/modal_wait_linux.h"

namespace platform::desktop {

inline constexpr const char* kPickFolderTitle = "Folder for captured WAV files";

enum class PortalOutcome { Unavailable, Cancelled, Chosen };
struct PortalAnswer {
    PortalOutcome outcome = PortalOutcome::Unavailable;
    std::filesystem::path folder;
};

// The desktop portal's file chooser in folder mode; Unavailable when no portal
// answers on the session bus. `parentWindow` is the portal's window identifier
// ("x11:<hex id>") or empty. Waits until the user has answered, the portal has
// left the bus or the main window is to close (both Cancelled).
PortalAnswer PickFolderWithPortal(const std::optional<std::filesystem::path>& start, const std::string& parentWindow,
                                  ModalWait& modal);

// zenity, else kdialog, when installed; nothing on cancel, when neither is, or
// when the main window is to close (the dialog is then ended).
std::optional<std::filesystem::path> PickFolderWithDialogTool(const std::optional<std::filesystem::path>& start,
                                                              ModalWait& modal);

}  // namespace platform::desktop
