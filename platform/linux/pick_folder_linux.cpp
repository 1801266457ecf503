#include <cstdio>

#include "platform/linux/folder_pickers_linux.h"
#include "platform/linux/main_window_linux.h"
#include "platform/platform.h"

namespace platform {

namespace {

std::string PortalParentWindow() {
    const desktop::X11Window main = desktop::MainX11Window();
    if (!main) return {};
    char text[32];
    std::snprintf(text, sizeof text, "x11:%lx", static_cast<unsigned long>(main.window));
    return text;
}

}  // namespace

std::optional<std::filesystem::path> PickFolder(const std::filesystem::path& initial) {
    std::optional<std::filesystem::path> start;
    std::error_code error;
    if (!initial.empty() && std::filesystem::exists(initial, error)) {
        start = std::filesystem::absolute(initial, error);
        if (error) start.reset();
    }
    desktop::ModalWait modal;
    const desktop::PortalAnswer answer = desktop::PickFolderWithPortal(start, PortalParentWindow(), modal);
    switch (answer.outcome) {
        case desktop::PortalOutcome::Chosen: return answer.folder;
        case desktop::PortalOutcome::Cancelled: return std::nullopt;
        case desktop::PortalOutcome::Unavailable: break;
    }
    return desktop::PickFolderWithDialogTool(start, modal);
}

}  // namespace platform
