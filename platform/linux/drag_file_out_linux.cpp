#include <imgui.h>

#include "platform/file_uri.h"
#include "platform/linux/main_window_linux.h"
#include "platform/linux/x11_error_handler_linux.h"
#include "platform/linux/xdnd_drag_source_linux.h"
#include "platform/path_text.h"
#include "platform/platform.h"

namespace platform {

namespace {

DragResult RunDrag(const std::filesystem::path& path) {
    const desktop::X11Window main = desktop::MainX11Window();
    if (!main) return DragResult::Failed;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error || !std::filesystem::exists(absolute, error)) return DragResult::Failed;

    // A target may close mid-drag; the requests that still name it must not end the program.
    desktop::InstallX11ErrorHandler();
    desktop::XdndDragSource drag(main.display, main.window, FileUriFromPath(absolute) + "\r\n",
                                 PathToUtf8(absolute));
    const DragResult result = drag.Run();
    // The release happened inside the drag loop; the interface must not think the button is still down.
    if (drag.ReachedLoop() && ImGui::GetCurrentContext() != nullptr) ImGui::GetIO().AddMouseButtonEvent(0, false);
    return result;
}

}  // namespace

void DragFileOut(const std::filesystem::path& path, std::function<void(DragResult)> callback) {
    const DragResult result = RunDrag(path);
    if (callback) callback(result);
}

}  // namespace platform
