#pragma once
#include <cstdint>
#include <vector>

#include "audio/audio_history.h"

// Keeps a chronological copy of the history current by copying only the frames
// pushed since the last update. The copy lives in storage twice its length:
// moving the window forward is a pointer change, and the retained frames are
// moved back only when the slack is used up, once per history length.
class LiveView {
public:
    // Refreshes `view`, whose channels then borrow this object's storage, and
    // returns the history's total frame count. The content is exactly what
    // AudioHistory::Snapshot would copy.
    uint64_t Update(AudioHistory& history, StereoBuffer& view);
    // The history's count of resets at the last update, read under the same lock as the audio.
    uint64_t Generation() const { return resetCount; }

private:
    bool Matches(const AudioHistory::RingState& ring, const StereoBuffer& view) const;

    std::vector<float> left, right;  // 2 × capacity each
    int64_t offset = 0;              // index of the window's oldest frame
    int64_t capacity = 0;
    int32_t sampleRate = 0;
    uint64_t resetCount = 0;
    uint64_t totalFrames = 0;
    bool valid = false;
};
