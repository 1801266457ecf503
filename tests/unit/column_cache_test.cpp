#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "ui/column_cache.h"

namespace {

// A view of the newest `frames` frames of an endless noise signal, ending at `end`.
class NoiseView {
public:
    StereoBuffer view;
    int64_t end = 0;

    explicit NoiseView(int64_t frames) { view.Allocate(frames); }
    void ScrollTo(int64_t newEnd) {
        end = newEnd;
        const int64_t n = view.left.frameCount;
        for (int64_t k = 0; k < n; ++k) {
            view.left.samples[k] = Sample(end - n + k, 1);
            view.right.samples[k] = Sample(end - n + k, 2);
        }
    }
    static float Sample(int64_t frame, int channel) {
        std::mt19937 random(static_cast<unsigned>(frame * 3 + channel));
        return std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
    }
};

// Draws nothing; asks the cache for every column like the panel does.
float PeakThroughCache(ColumnCache& cache, const WaveMapping& m, const StereoBuffer& view, uint64_t generation) {
    cache.Prepare(m, generation);
    float peak = 0.0f;
    ForEachColumn(m, [&](const WaveColumn& c) {
        const ColumnPair& pair = cache.Summaries(m, view, c);
        peak = std::max({peak, pair.left.max, -pair.left.min, pair.right.max, -pair.right.min});
    });
    return peak;
}

}  // namespace

TEST(ColumnCache, ALiveFrameScansOnlyNewFramesAndTheLeftEdgeColumn) {
    NoiseView noise(10'000);
    noise.ScrollTo(50'003);
    ColumnCache cache;
    const auto mapping = [&] { return WaveMapping::Make(10'000, 48000, noise.end, 0.0f, 100.0f); };  // u = 100
    PeakThroughCache(cache, mapping(), noise.view, 1);
    EXPECT_EQ(cache.FramesScanned(), 10'000);  // every frame once

    const int64_t before = cache.FramesScanned();
    noise.ScrollTo(50'003 + 250);
    PeakThroughCache(cache, mapping(), noise.view, 1);
    // 250 new frames plus the partial column at the left edge (frames 40253..40300).
    EXPECT_EQ(cache.FramesScanned() - before, 250 + 47);
}

TEST(ColumnCache, AFrozenViewScansNothing) {
    NoiseView noise(10'000);
    noise.ScrollTo(12'345);
    ColumnCache cache;
    const WaveMapping m = WaveMapping::Make(10'000, 48000, noise.end, 0.0f, 300.0f);
    PeakThroughCache(cache, m, noise.view, 1);
    const int64_t scanned = cache.FramesScanned();
    for (int i = 0; i < 5; ++i) PeakThroughCache(cache, m, noise.view, cache.Generation());
    EXPECT_EQ(cache.FramesScanned(), scanned);
}

TEST(ColumnCache, ANewColumnWidthRateOrGenerationStartsOver) {
    NoiseView noise(10'000);
    noise.ScrollTo(20'000);
    ColumnCache cache;
    const WaveMapping m = WaveMapping::Make(10'000, 48000, noise.end, 0.0f, 100.0f);
    PeakThroughCache(cache, m, noise.view, 1);
    int64_t scanned = cache.FramesScanned();
    PeakThroughCache(cache, m, noise.view, 2);  // the history was reset
    EXPECT_EQ(cache.FramesScanned() - scanned, 10'000);
    scanned = cache.FramesScanned();
    PeakThroughCache(cache, WaveMapping::Make(10'000, 44100, noise.end, 0.0f, 100.0f), noise.view, 2);
    EXPECT_EQ(cache.FramesScanned() - scanned, 10'000);
    scanned = cache.FramesScanned();
    PeakThroughCache(cache, WaveMapping::Make(10'000, 44100, noise.end, 0.0f, 70.0f), noise.view, 2);
    EXPECT_EQ(cache.FramesScanned() - scanned, 10'000);
}
