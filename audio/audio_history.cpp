#include "audio/audio_history.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int64_t CapacityFor(int32_t rate, double seconds) {
    const double frames = static_cast<double>(rate) * seconds + 0.5;
    // NaN and values below one frame give the smallest ring; huge values would
    // overflow the conversion and fail to allocate anyway.
    if (!(frames >= 1.0)) return 1;
    if (frames >= 9.0e18) return INT64_MAX;
    return static_cast<int64_t>(frames);
}

void CopyRange(const ChannelBuffer& from, int64_t fromPos, ChannelBuffer& to, int64_t toPos, int64_t count) {
    if (count <= 0) return;
    std::memcpy(to.samples + toPos, from.samples + fromPos, static_cast<size_t>(count) * sizeof(float));
}

}  // namespace

void AudioHistory::Reset(int32_t rate, double seconds) {
    std::lock_guard<std::mutex> lock(mutex);
    const int64_t capacity = CapacityFor(rate, seconds);
    const int64_t oldCapacity = left.frameCount;
    if (capacity == oldCapacity && rate == sampleRate) return;

    StereoBuffer fresh;
    const bool allocated = fresh.Allocate(capacity);
    fresh.left.sampleRate = rate;
    fresh.right.sampleRate = rate;
    if (allocated) {
        std::fill_n(fresh.left.samples, capacity, 0.0f);
        std::fill_n(fresh.right.samples, capacity, 0.0f);
    }

    if (allocated && rate == sampleRate && oldCapacity > 0) {
        StereoBuffer ordered;
        CopyChronological(ordered);
        if (ordered.left.frameCount == oldCapacity) {
            const int64_t kept = std::min(oldCapacity, capacity);
            CopyRange(ordered.left, oldCapacity - kept, fresh.left, capacity - kept, kept);
            CopyRange(ordered.right, oldCapacity - kept, fresh.right, capacity - kept, kept);
        }
    }

    left = std::move(fresh.left);
    right = std::move(fresh.right);
    sampleRate = rate;
    writePos = 0;
    ++resetCount;
}

void AudioHistory::Push(const float* frames, size_t n) {
    std::lock_guard<std::mutex> lock(mutex);
    const int64_t capacity = left.frameCount;
    if (capacity <= 0) return;
    float* leftSamples = left.samples;
    float* rightSamples = right.samples;
    for (size_t i = 0; i < n; ++i) {
        const float l = frames[2 * i];
        const float r = frames[2 * i + 1];
        leftSamples[writePos] = l;
        rightSamples[writePos] = r;
        if (++writePos == capacity) writePos = 0;
        // Written as "greater than" so a NaN never raises a peak.
        const float absL = std::fabs(l);
        const float absR = std::fabs(r);
        if (absL > peakLeft) peakLeft = absL;
        if (absR > peakRight) peakRight = absR;
    }
    totalFrames += n;
}

void AudioHistory::CopyChronological(StereoBuffer& out) {
    const int64_t capacity = left.frameCount;
    if (out.left.frameCount != capacity || out.left.borrowed || out.right.frameCount != capacity ||
        out.right.borrowed) {
        out.Allocate(capacity);
    }
    out.left.sampleRate = sampleRate;
    out.right.sampleRate = sampleRate;
    if (capacity <= 0) return;
    // A failed allocation leaves the destination empty; never write through it.
    if (out.left.frameCount != capacity || out.right.frameCount != capacity) return;
    const int64_t tail = capacity - writePos;
    CopyRange(left, writePos, out.left, 0, tail);
    CopyRange(left, 0, out.left, tail, writePos);
    CopyRange(right, writePos, out.right, 0, tail);
    CopyRange(right, 0, out.right, tail, writePos);
}

void AudioHistory::CopyNewestLocked(float* leftOut, float* rightOut, int64_t count) const {
    const int64_t capacity = left.frameCount;
    count = std::min(count, capacity);
    if (count <= 0) return;
    const int64_t start = (writePos - count + capacity) % capacity;
    const int64_t first = std::min(count, capacity - start);
    std::memcpy(leftOut, left.samples + start, static_cast<size_t>(first) * sizeof(float));
    std::memcpy(rightOut, right.samples + start, static_cast<size_t>(first) * sizeof(float));
    std::memcpy(leftOut + first, left.samples, static_cast<size_t>(count - first) * sizeof(float));
    std::memcpy(rightOut + first, right.samples, static_cast<size_t>(count - first) * sizeof(float));
}

uint64_t AudioHistory::Snapshot(StereoBuffer& out, uint64_t* resetCountOut) {
    std::lock_guard<std::mutex> lock(mutex);
    CopyChronological(out);
    if (resetCountOut) *resetCountOut = resetCount;
    return totalFrames;
}

std::pair<float, float> AudioHistory::TakePeaks() {
    std::lock_guard<std::mutex> lock(mutex);
    const std::pair<float, float> peaks{peakLeft, peakRight};
    peakLeft = 0.0f;
    peakRight = 0.0f;
    return peaks;
}

int64_t AudioHistory::Capacity() {
    std::lock_guard<std::mutex> lock(mutex);
    return left.frameCount;
}

uint64_t AudioHistory::TotalFrames() {
    std::lock_guard<std::mutex> lock(mutex);
    return totalFrames;
}
