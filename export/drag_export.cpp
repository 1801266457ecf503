#include <algorithm>
#include <string>
#include <system_error>

#include "app/app.h"
#include "export/capture_file.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "ui/icons.h"
#include "ui/text_format.h"

namespace {

// The part of one view channel that a selection covers, borrowed in place.
void BorrowSelectedFrames(ChannelBuffer& out, const ChannelBuffer& channel, int64_t start, int64_t end) {
    const int64_t count = std::max<int64_t>(std::min(end, channel.frameCount) - start, 0);
    out.Borrow(count > 0 ? channel.samples + start : nullptr, count, channel.sampleRate);
}

void ReportDragOutcome(App& app, const std::filesystem::path& path, const std::string& duration,
                       platform::DragResult result) {
    const std::string fileName = PathToUtf8(path.filename());
    switch (result) {
        case platform::DragResult::Dropped: {
            // Copy is all the drag offers, yet a target may still move the file away.
            std::error_code ignored;
            if (std::filesystem::is_regular_file(path, ignored)) app.lastSavedPath = path;
            app.SetStatus(ICON_CHECK "  Dropped " + fileName + "  (" + duration + ")", false);
            break;
        }
        case platform::DragResult::Cancelled: {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
            app.SetStatus("Drag cancelled", false);
            break;
        }
        case platform::DragResult::Failed:
            app.lastSavedPath = path;
            app.SetStatus("Saved " + fileName + " (drag-and-drop unavailable)", true);
            break;
        case platform::DragResult::Refused:
            // The user meant to drop it: the export stays where the reveal button finds it.
            app.lastSavedPath = path;
            app.SetStatus("Not taken by the target - kept " + fileName, true);
            break;
    }
}

}  // namespace

void App::ExportSelectionByDrag() {
    const int64_t lo = SelectionLow();
    const int64_t hi = SelectionHigh();
    const int64_t first = viewEnd - view.left.frameCount;
    const int64_t start = std::max<int64_t>(lo - first, 0);

    // The writer reads the frozen view in place, so capture may keep filling the history meanwhile.
    StereoBuffer selection;
    BorrowSelectedFrames(selection.left, view.left, start, hi - first);
    BorrowSelectedFrames(selection.right, view.right, start, hi - first);
    const int64_t frameCount = selection.left.frameCount;
    if (frameCount == 0) return;

    std::error_code ignored;
    std::filesystem::create_directories(saveFolder, ignored);

    // A right channel shorter than the left would be read past its end.
    const bool rightUsable = selection.right.samples != nullptr && selection.right.frameCount >= frameCount;
    const int32_t sampleRate = view.left.sampleRate;
    const CaptureFile file =
        WriteNewCaptureFile(saveFolder, selection.left.samples,
                            rightUsable ? selection.right.samples : selection.left.samples, frameCount, sampleRate);
    const std::filesystem::path& path = file.path;
    if (!file.written) {
        SetStatus("Cannot write " + PathToUtf8(path), true);
        return;
    }

    const std::string duration = FormatSeconds(static_cast<double>(frameCount) / std::max(sampleRate, 1));
    platform::DragFileOut(path, [this, path, duration](platform::DragResult result) {
        ReportDragOutcome(*this, path, duration, result);
    });
}
