#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "audio/audio_history.h"
#include "audio/live_view.h"

namespace {

constexpr uint64_t kExact = 1u << 24;

bool SameContent(const StereoBuffer& a, const StereoBuffer& b) {
    if (a.left.frameCount != b.left.frameCount || a.right.frameCount != b.right.frameCount) return false;
    if (a.left.sampleRate != b.left.sampleRate || a.right.sampleRate != b.right.sampleRate) return false;
    const size_t bytes = static_cast<size_t>(a.left.frameCount) * sizeof(float);
    return bytes == 0 || (std::memcmp(a.left.samples, b.left.samples, bytes) == 0 &&
                          std::memcmp(a.right.samples, b.right.samples, bytes) == 0);
}

void PushRandom(AudioHistory& history, std::mt19937& rng, size_t frames) {
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    std::vector<float> block(frames * 2);
    for (float& v : block) v = sample(rng);
    history.Push(block.data(), frames);
}

}  // namespace

TEST(AudioHistoryLiveView, MatchesAFullSnapshotThroughPushesResetsAndPauses) {
    std::mt19937 rng(1234);
    AudioHistory history;
    LiveView live;
    StereoBuffer incremental;
    StereoBuffer full;
    EXPECT_EQ(live.Update(history, incremental), history.Snapshot(full));
    EXPECT_TRUE(SameContent(incremental, full));  // never reset: empty, rate 0

    history.Reset(1000, 2.0);
    std::uniform_int_distribution<int> packet(0, 700);
    std::uniform_int_distribution<int> action(0, 19);
    for (int step = 0; step < 3000; ++step) {
        const int what = action(rng);
        if (what == 0) {
            history.Reset(std::uniform_int_distribution<int>(0, 1)(rng) ? 1000 : 800,
                          std::uniform_int_distribution<int>(1, 4)(rng) * 0.5);
        } else if (what == 1) {
            // A paused frame: the view is not refreshed while audio arrives.
            PushRandom(history, rng, static_cast<size_t>(packet(rng)) * 3);
            continue;
        } else {
            PushRandom(history, rng, static_cast<size_t>(packet(rng)));
        }
        const uint64_t a = live.Update(history, incremental);
        const uint64_t b = history.Snapshot(full);
        ASSERT_EQ(a, b) << "step " << step;
        ASSERT_TRUE(SameContent(incremental, full)) << "step " << step;
    }
}

TEST(AudioHistoryLiveView, ViewReplacedFromOutsideIsCopiedAfresh) {
    AudioHistory history;
    history.Reset(100, 1.0);
    std::mt19937 rng(7);
    PushRandom(history, rng, 60);
    LiveView live;
    StereoBuffer view;
    live.Update(history, view);
    view.Allocate(100);  // someone else's storage
    std::memset(view.left.samples, 0, 100 * sizeof(float));
    PushRandom(history, rng, 10);
    live.Update(history, view);
    StereoBuffer full;
    history.Snapshot(full);
    EXPECT_TRUE(SameContent(view, full));
}

TEST(AudioHistoryLiveView, StaysConsistentWhileTheCaptureThreadPushes) {
    AudioHistory history;
    history.Reset(48000, 0.5);
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::vector<float> block(2 * 240);
        uint64_t frame = 0;
        while (!stop.load()) {
            // Each sample holds its absolute frame index (modulo what a float holds
            // exactly), so order is checkable.
            for (size_t i = 0; i < 240; ++i)
                block[2 * i] = block[2 * i + 1] = static_cast<float>((frame + i) % kExact);
            history.Push(block.data(), 240);
            frame += 240;
        }
    });
    LiveView live;
    StereoBuffer view;
    for (int i = 0; i < 2000; ++i) {
        const uint64_t total = live.Update(history, view);
        const int64_t n = view.left.frameCount;
        ASSERT_EQ(n, 24000);
        for (int64_t k = n - 1; k >= 0 && static_cast<int64_t>(total) - n + k >= 0; k -= 997) {
            const uint64_t index = total - static_cast<uint64_t>(n) + static_cast<uint64_t>(k);
            ASSERT_EQ(view.left.samples[k], static_cast<float>(index % kExact));
            ASSERT_EQ(view.right.samples[k], view.left.samples[k]);
        }
    }
    stop = true;
    producer.join();
}
