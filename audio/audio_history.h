#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>

#include "audio/channel_buffer.h"

// The rate that sizes the history before any device has started.
inline constexpr int32_t kFallbackSampleRate = 48000;

// The ring of the most recent stereo audio: written by the capture thread
// (Push), read by the interface thread (Snapshot, TakePeaks). Every field is
// guarded by `mutex`.
class AudioHistory {
public:
    // Sizes the ring for rate × seconds frames; keeps the newest audio when the
    // rate is unchanged, clears to silence when it differs. Same size and rate:
    // nothing changes.
    void Reset(int32_t rate, double seconds);
    // Appends n interleaved stereo frames (2n floats).
    void Push(const float* frames, size_t n);
    // Copies the ring oldest-first into out. Caller holds `mutex`.
    void CopyChronological(StereoBuffer& out);
    // Locks, copies, returns totalFrames read under the same lock, and the
    // count of resets in `resetCountOut` when given.
    uint64_t Snapshot(StereoBuffer& out, uint64_t* resetCountOut = nullptr);
    // Returns (peakLeft, peakRight) and zeroes both.
    std::pair<float, float> TakePeaks();

    // What a reader needs to know to keep its own copy current. Caller holds `mutex`.
    struct RingState {
        int64_t capacity;
        int32_t sampleRate;
        uint64_t resetCount;  // changes whenever Reset changes the ring
        uint64_t totalFrames;
    };
    RingState StateLocked() const { return {left.frameCount, sampleRate, resetCount, totalFrames}; }
    // Copies the newest `count` frames (at most the capacity) oldest-first. Caller holds `mutex`.
    void CopyNewestLocked(float* leftOut, float* rightOut, int64_t count) const;

    // Read without the lock by the interface thread, the only thread that writes it.
    int32_t SampleRate() const { return sampleRate; }
    // Capacity in frames per channel (locks).
    int64_t Capacity();
    uint64_t TotalFrames();

    std::mutex mutex;

private:
    ChannelBuffer left;
    ChannelBuffer right;
    int64_t writePos = 0;
    uint64_t totalFrames = 0;
    int32_t sampleRate = 0;
    uint64_t resetCount = 0;
    float peakLeft = 0.0f;
    float peakRight = 0.0f;
};
