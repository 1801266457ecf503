#include "audio/audio_history.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

// Interleaved stereo block whose left samples count up from `first` and whose
// right samples are the negatives, so order and channel are both visible.
std::vector<float> Ramp(int first, int count) {
    std::vector<float> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(static_cast<float>(first + i));
        frames.push_back(-static_cast<float>(first + i));
    }
    return frames;
}

void PushRamp(AudioHistory& history, int first, int count) {
    const std::vector<float> frames = Ramp(first, count);
    history.Push(frames.data(), static_cast<size_t>(count));
}

std::vector<float> Left(const StereoBuffer& buffer) {
    return std::vector<float>(buffer.left.samples, buffer.left.samples + buffer.left.frameCount);
}
std::vector<float> Right(const StereoBuffer& buffer) {
    return std::vector<float>(buffer.right.samples, buffer.right.samples + buffer.right.frameCount);
}

}  // namespace

TEST(AudioHistoryBuffers, AllocateMoveAndBorrowKeepOwnershipStraight) {
    ChannelBuffer a;
    EXPECT_EQ(a.sampleRate, 44100);
    ASSERT_TRUE(a.Allocate(8));
    EXPECT_EQ(a.frameCount, 8);
    a.sampleRate = 48000;
    float* storage = a.samples;

    ChannelBuffer b;
    b = std::move(a);
    EXPECT_EQ(b.samples, storage);
    EXPECT_EQ(b.sampleRate, 48000);
    EXPECT_EQ(a.samples, nullptr);
    EXPECT_EQ(a.frameCount, 0);
    ChannelBuffer& same = b;  // a second name: the compiler rejects a visible self-move
    b = std::move(same);
    EXPECT_EQ(b.samples, storage);

    ChannelBuffer view;
    view.Borrow(storage + 2, 4, 48000);
    EXPECT_TRUE(view.borrowed);
    ASSERT_TRUE(view.Allocate(0));  // must not free the lender's storage
    EXPECT_FALSE(view.borrowed);
    EXPECT_EQ(view.samples, nullptr);
    EXPECT_EQ(b.samples, storage);

    EXPECT_FALSE(b.Allocate(std::numeric_limits<int64_t>::max()));
    EXPECT_EQ(b.frameCount, 0);
    EXPECT_EQ(b.samples, nullptr);
    EXPECT_EQ(b.sampleRate, 48000);
}

TEST(AudioHistoryReset, SizesTheRingAndKeepsTheNewestAudio) {
    AudioHistory history;
    history.Reset(48000, 6);
    EXPECT_EQ(history.Capacity(), 288000);
    EXPECT_EQ(history.TotalFrames(), 0u);
    StereoBuffer view;
    history.Snapshot(view);
    EXPECT_EQ(view.left.sampleRate, 48000);
    for (float sample : Left(view)) ASSERT_EQ(sample, 0.0f);

    AudioHistory tiny;
    tiny.Reset(1, 0.2);
    EXPECT_EQ(tiny.Capacity(), 1);

    // Grow 4 → 6 frames: the 4 frames stay at the right end after silence.
    AudioHistory grow;
    grow.Reset(1, 4);
    PushRamp(grow, 1, 5);  // ring holds 2 3 4 5
    grow.Reset(1, 6);
    grow.Snapshot(view);
    EXPECT_EQ(Left(view), (std::vector<float>{0, 0, 2, 3, 4, 5}));
    EXPECT_EQ(Right(view), (std::vector<float>{0, 0, -2, -3, -4, -5}));
    PushRamp(grow, 6, 1);  // overwrites the oldest slot
    grow.Snapshot(view);
    EXPECT_EQ(Left(view), (std::vector<float>{0, 2, 3, 4, 5, 6}));

    // Shrink 6 → 4 frames keeps the newest 4.
    grow.Reset(1, 4);
    EXPECT_EQ(grow.Snapshot(view), 6u);
    EXPECT_EQ(Left(view), (std::vector<float>{3, 4, 5, 6}));
}

TEST(AudioHistoryReset, SameSizeIsANoOpAndNewRateClearsToSilence) {
    AudioHistory history;
    history.Reset(4, 1);
    PushRamp(history, 1, 3);
    history.Reset(4, 1);  // same rate and capacity: writePos must stay at 3
    PushRamp(history, 4, 1);
    StereoBuffer view;
    history.Snapshot(view);
    EXPECT_EQ(Left(view), (std::vector<float>{1, 2, 3, 4}));

    history.Reset(8, 0.5);  // same capacity, new rate
    EXPECT_EQ(history.SampleRate(), 8);
    EXPECT_EQ(history.Snapshot(view), 4u);
    EXPECT_EQ(Left(view), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_EQ(view.right.sampleRate, 8);
    const auto peaks = history.TakePeaks();
    EXPECT_EQ(peaks.first, 4.0f);  // peaks survive a reset
    EXPECT_EQ(peaks.second, 4.0f);
}

TEST(AudioHistoryReset, FailedAllocationLeavesAnEmptyRingThatDropsPushes) {
    AudioHistory history;
    history.Reset(48000, 1e300);
    EXPECT_EQ(history.Capacity(), 0);
    EXPECT_EQ(history.SampleRate(), 48000);
    PushRamp(history, 1, 4);
    EXPECT_EQ(history.TotalFrames(), 0u);
    StereoBuffer view;
    EXPECT_EQ(history.Snapshot(view), 0u);
    EXPECT_EQ(view.left.frameCount, 0);
    history.Reset(48000, 1);
    EXPECT_EQ(history.Capacity(), 48000);
}

TEST(AudioHistoryPush, WrapsAndKeepsTheLastCapacityFrames) {
    AudioHistory history;
    history.Reset(4, 1);
    PushRamp(history, 0, 10);
    StereoBuffer view;
    EXPECT_EQ(history.Snapshot(view), 10u);
    EXPECT_EQ(Left(view), (std::vector<float>{6, 7, 8, 9}));
    EXPECT_EQ(Right(view), (std::vector<float>{-6, -7, -8, -9}));
    PushRamp(history, 10, 1);  // writePos was 10 mod 4 = 2
    history.Snapshot(view);
    EXPECT_EQ(Left(view), (std::vector<float>{7, 8, 9, 10}));
}

TEST(AudioHistoryPush, IntoAnEmptyRingChangesNothing) {
    AudioHistory history;
    PushRamp(history, 1, 4);
    EXPECT_EQ(history.TotalFrames(), 0u);
    const auto peaks = history.TakePeaks();
    EXPECT_EQ(peaks.first, 0.0f);
    StereoBuffer view;
    EXPECT_EQ(history.Snapshot(view), 0u);
    EXPECT_EQ(view.left.frameCount, 0);
    EXPECT_EQ(view.left.sampleRate, 0);
}

TEST(AudioHistoryPeaks, TakeReturnsTheLargestMagnitudeOnceAndIgnoresNaN) {
    AudioHistory history;
    history.Reset(100, 1);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> frames{0.2f, nan, -0.7f, -0.1f, nan, 0.3f, 0.5f, -0.25f};
    history.Push(frames.data(), 4);
    auto peaks = history.TakePeaks();
    EXPECT_FLOAT_EQ(peaks.first, 0.7f);
    EXPECT_FLOAT_EQ(peaks.second, 0.3f);
    peaks = history.TakePeaks();
    EXPECT_EQ(peaks.first, 0.0f);
    EXPECT_EQ(peaks.second, 0.0f);

    const std::vector<float> onlyNaN{nan, nan};
    history.Push(onlyNaN.data(), 1);
    peaks = history.TakePeaks();
    EXPECT_EQ(peaks.first, 0.0f);
    StereoBuffer view;
    history.Snapshot(view);
    EXPECT_TRUE(std::isnan(view.left.samples[99]));  // stored, though never a peak
}

TEST(AudioHistorySnapshot, ReusesAMatchingDestinationAndReallocatesOthers) {
    AudioHistory history;
    history.Reset(4, 1);
    PushRamp(history, 1, 4);

    StereoBuffer view;
    history.Snapshot(view);
    float* storage = view.left.samples;
    history.Snapshot(view);
    EXPECT_EQ(view.left.samples, storage);  // no allocation per frame

    std::vector<float> foreign(4, 9.0f);
    StereoBuffer borrowed;
    borrowed.left.Borrow(foreign.data(), 4, 4);
    borrowed.right.Borrow(foreign.data(), 4, 4);
    history.Snapshot(borrowed);
    EXPECT_FALSE(borrowed.left.borrowed);
    EXPECT_NE(borrowed.left.samples, foreign.data());
    EXPECT_EQ(foreign, std::vector<float>(4, 9.0f));  // the lender is untouched
    EXPECT_EQ(Left(borrowed), (std::vector<float>{1, 2, 3, 4}));

    StereoBuffer wrongSize;
    ASSERT_TRUE(wrongSize.Allocate(7));
    history.Snapshot(wrongSize);
    EXPECT_EQ(wrongSize.left.frameCount, 4);
    EXPECT_EQ(Right(wrongSize), (std::vector<float>{-1, -2, -3, -4}));
}

// The capture thread pushes while the interface thread snapshots, takes peaks
// and resizes; every snapshot must be one consistent, ordered ring.
TEST(AudioHistoryConcurrency, PushRacesSnapshotPeaksAndReset) {
    AudioHistory history;
    history.Reset(1000, 1);
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::vector<float> packet(2 * 240);
        float next = 1.0f;
        while (!stop.load()) {
            for (size_t i = 0; i < 240; ++i) {
                packet[2 * i] = next;
                packet[2 * i + 1] = -next;
                next += 1.0f;
                if (next > 1.0e6f) next = 1.0f;
            }
            history.Push(packet.data(), 240);
        }
    });

    StereoBuffer view;
    uint64_t lastTotal = 0;
    // Run until the producer has wrapped the ring many times over.
    for (int round = 0; round < 400 || lastTotal < 50000; ++round) {
        if (round % 50 == 25) history.Reset(1000, round % 100 == 25 ? 2 : 1);
        const uint64_t total = history.Snapshot(view);
        ASSERT_GE(total, lastTotal);
        lastTotal = total;
        ASSERT_EQ(view.left.frameCount, view.right.frameCount);
        for (int64_t k = 0; k < view.left.frameCount; ++k) {
            ASSERT_EQ(view.left.samples[k], -view.right.samples[k]);
            // Newer frames count up, apart from silence and the wrap of the counter.
            if (k > 0 && view.left.samples[k - 1] != 0.0f && view.left.samples[k] > 1.0f) {
                ASSERT_EQ(view.left.samples[k], view.left.samples[k - 1] + 1.0f);
            }
        }
        const auto peaks = history.TakePeaks();
        ASSERT_GE(peaks.first, 0.0f);
        ASSERT_EQ(peaks.first, peaks.second);
    }
    stop.store(true);
    producer.join();
    EXPECT_GE(history.TotalFrames(), 50000u);
}
