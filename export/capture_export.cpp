#include <algorithm>
#include <string>
#include <system_error>

#include "app/app.h"
#include "export/capture_file.h"
#include "platform/path_text.h"
#include "ui/text_format.h"

namespace {

// The part of one view channel that a selection covers, borrowed in place.
void BorrowSelectedFrames(ChannelBuffer& out, const ChannelBuffer& channel, int64_t start, int64_t end) {
    const int64_t count = std::max<int64_t>(std::min(end, channel.frameCount) - start, 0);
    out.Borrow(count > 0 ? channel.samples + start : nullptr, count, channel.sampleRate);
}

}  // namespace

StereoBuffer App::BorrowSelection(bool orWholeView) const {
    int64_t lo = SelectionLow();
    int64_t hi = SelectionHigh();
    const int64_t first = viewEnd - view.left.frameCount;
    if (orWholeView && (!selectionActive || lo == hi)) {
        lo = first;
        hi = viewEnd;
    }
    const int64_t start = std::max<int64_t>(lo - first, 0);
    StereoBuffer selection;
    BorrowSelectedFrames(selection.left, view.left, start, hi - first);
    BorrowSelectedFrames(selection.right, view.right, start, hi - first);
    return selection;
}

SavedCapture App::WriteCapture(const StereoBuffer& frames) {
    std::error_code ignored;
    std::filesystem::create_directories(saveFolder, ignored);

    // A right channel shorter than the left would be read past its end.
    const int64_t frameCount = frames.left.frameCount;
    const bool rightUsable = frames.right.samples != nullptr && frames.right.frameCount >= frameCount;
    const int32_t sampleRate = frames.left.sampleRate;
    const CaptureFile file = WriteNewCaptureFile(saveFolder, frames.left.samples,
                                                 rightUsable ? frames.right.samples : frames.left.samples,
                                                 frameCount, sampleRate);
    SavedCapture saved;
    if (!file.written) {
        saved.error = "Cannot write " + PathToUtf8(file.path);
        SetStatus(saved.error, true);
        return saved;
    }
    saved.path = file.path;
    const double rate = sampleRate < 2 ? 1.0 : static_cast<double>(sampleRate);
    saved.length = FormatSeconds(static_cast<double>(frameCount) / rate);
    return saved;
}

void App::ShowSaved(const SavedCapture& saved) {
    lastSavedPath = saved.path;
    SetStatus("Saved " + PathToUtf8(saved.path.filename()) + " (" + saved.length + ")", false);
}
