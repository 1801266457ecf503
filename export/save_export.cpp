#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "app/app.h"
#include "platform/path_text.h"
#include "platform/platform.h"

namespace {

constexpr char kNoAudio[] = "No audio to save yet";

}  // namespace

SavedCapture App::SaveSelection() {
    const StereoBuffer frames = BorrowSelection(true);
    if (frames.left.frameCount == 0) {
        SetStatus(kNoAudio, true);
        return {.path = {}, .length = {}, .error = kNoAudio};
    }
    const SavedCapture saved = WriteCapture(frames);
    if (!saved.path.empty()) ShowSaved(saved);
    return saved;
}

void App::CopySelection() {
    const SavedCapture saved = SaveSelection();
    if (saved.path.empty()) return;
    const std::string name = PathToUtf8(saved.path.filename());
    if (platform::CopyFileToClipboard(saved.path)) {
        SetStatus("Copied " + name + " - paste it into a folder or application", false);
    } else {
        SetStatus("Saved " + name + " (clipboard unavailable)", true);
    }
}

SavedCapture App::SaveNewestAudio(double seconds) {
    // Copied out of the ring under its lock, so the newest audio is taken even while the view is frozen.
    StereoBuffer frames;
    {
        std::lock_guard<std::mutex> lock(history.mutex);
        const AudioHistory::RingState ring = history.StateLocked();
        const int64_t held = std::min<int64_t>(ring.capacity, static_cast<int64_t>(ring.totalFrames));
        const int64_t wanted = seconds > 0.0 ? std::llround(seconds * ring.sampleRate) : held;
        const int64_t count = std::clamp<int64_t>(wanted, 0, held);
        if (count > 0 && frames.Allocate(count)) history.CopyNewestLocked(frames.left.samples, frames.right.samples, count);
        frames.left.sampleRate = frames.right.sampleRate = ring.sampleRate;
    }
    if (frames.left.frameCount == 0) return {.path = {}, .length = {}, .error = kNoAudio};
    const SavedCapture saved = WriteCapture(frames);
    if (!saved.path.empty()) ShowSaved(saved);
    return saved;
}
