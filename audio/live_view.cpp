#include "audio/live_view.h"

#include <cstring>
#include <new>

bool LiveView::Matches(const AudioHistory::RingState& ring, const StereoBuffer& view) const {
    return valid && ring.capacity == capacity && ring.sampleRate == sampleRate && ring.resetCount == resetCount &&
           view.left.samples == left.data() + offset && view.right.samples == right.data() + offset &&
           view.left.frameCount == capacity && view.right.frameCount == capacity;
}

uint64_t LiveView::Update(AudioHistory& history, StereoBuffer& view) {
    std::lock_guard<std::mutex> lock(history.mutex);
    const AudioHistory::RingState ring = history.StateLocked();
    const int64_t c = ring.capacity;
    const bool continuous = Matches(ring, view);
    if (c != capacity || !valid) {
        valid = false;
        try {
            left.assign(static_cast<size_t>(c > 0 ? 2 * c : 0), 0.0f);
            right.assign(left.size(), 0.0f);
        } catch (const std::bad_alloc&) {
            left.clear();
            right.clear();
        }
        capacity = c;
    }
    sampleRate = ring.sampleRate;
    resetCount = ring.resetCount;
    if (c <= 0 || left.size() != static_cast<size_t>(2 * c)) {
        // Nothing to show, or no memory for it: two empty channels at the ring's rate.
        view.left.Free();
        view.right.Free();
        view.left.sampleRate = view.right.sampleRate = ring.sampleRate;
        valid = false;
        totalFrames = ring.totalFrames;
        return ring.totalFrames;
    }

    const uint64_t pushed = continuous ? ring.totalFrames - totalFrames : static_cast<uint64_t>(c);
    if (pushed >= static_cast<uint64_t>(c)) {
        offset = 0;
        history.CopyNewestLocked(left.data(), right.data(), c);
    } else if (pushed > 0) {
        const int64_t d = static_cast<int64_t>(pushed);
        if (offset + c + d > 2 * c) {
            const size_t kept = static_cast<size_t>(c - d) * sizeof(float);
            std::memmove(left.data(), left.data() + offset + d, kept);
            std::memmove(right.data(), right.data() + offset + d, kept);
            offset = 0;
        } else {
            offset += d;
        }
        history.CopyNewestLocked(left.data() + offset + c - d, right.data() + offset + c - d, d);
    }
    totalFrames = ring.totalFrames;
    valid = true;
    view.left.Borrow(left.data() + offset, c, ring.sampleRate);
    view.right.Borrow(right.data() + offset, c, ring.sampleRate);
    return ring.totalFrames;
}
