#include "platform/linux/drag_file_out_linux.h"

#include <imgui.h>

#include <memory>
#include <utility>

#include "platform/file_uri.h"
#include "platform/linux/main_window_linux.h"
#include "platform/linux/x11_error_handler_linux.h"
#include "platform/linux/xdnd_drag_source_linux.h"
#include "platform/path_text.h"
#include "platform/platform.h"

namespace platform {

namespace {

// A drop whose target has not answered yet, and who hears the outcome.
struct PendingDrop {
    std::unique_ptr<desktop::XdndDragSource> drag;
    std::function<void(DragResult)> callback;
};

PendingDrop pending;

void Report(std::function<void(DragResult)> callback, DragResult result) {
    if (callback) callback(result);
}

void EndPendingDrop(bool giveUp) {
    if (!pending.drag) return;
    const std::optional<DragResult> result = pending.drag->Poll(giveUp);
    if (!result) return;
    PendingDrop ended = std::exchange(pending, {});
    ended.drag.reset();
    Report(std::move(ended.callback), *result);
}

}  // namespace

void DragFileOut(const std::filesystem::path& path, std::function<void(DragResult)> callback) {
    // The drag selection is one per display: an earlier drop still unanswered is given up.
    EndPendingDrop(true);
    const desktop::X11Window main = desktop::MainX11Window();
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (!main || error || !std::filesystem::exists(absolute, error)) return Report(std::move(callback), DragResult::Failed);

    // A target may close mid-drag; the requests that still name it must not end the program.
    desktop::InstallX11ErrorHandler();
    auto drag = std::make_unique<desktop::XdndDragSource>(main.display, main.window,
                                                          FileUriFromPath(absolute) + "\r\n", PathToUtf8(absolute));
    const std::optional<DragResult> result = drag->Run();
    // The release happened inside the drag loop; the interface must not think the button is still down.
    if (drag->ReachedLoop() && ImGui::GetCurrentContext() != nullptr) ImGui::GetIO().AddMouseButtonEvent(0, false);
    if (result) return Report(std::move(callback), *result);
    pending = {std::move(drag), std::move(callback)};
}

namespace desktop {

void PollDropAnswer() { EndPendingDrop(false); }

void AbandonDropAnswer() { pending = {}; }

}  // namespace desktop
}  // namespace platform
