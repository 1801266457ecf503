// Live frames do not allocate in proportion to the audio they show: the
// interface runs all day in the background.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "audio/live_view.h"
#include "tests/support/headless_ui.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Counting replacements of the global allocation functions, built on malloc/free.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Allocations of the steady live frames of an app with this history and panel.
long AllocationsPerLiveFrames(float panelWidth, int32_t seconds, int32_t rate, int frames) {
    HeadlessUi ui(panelWidth + 32, 460, /*systemFonts=*/true);
    ui.UseTextures();
    ui.app.bufferSeconds = seconds;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.rate = rate;
    ui.app.RestartCapture();
    const size_t packet = static_cast<size_t>(rate / 200);  // 5 ms
    std::vector<float> block(2 * packet);
    uint64_t frame = 0;
    auto feed = [&] {
        for (size_t i = 0; i < packet; ++i)
            block[2 * i] = block[2 * i + 1] = 0.5f * std::sin(static_cast<float>((frame + i) % 48000) * 0.05f);
        frame += packet;
        capture.Feed(block.data(), packet);
    };
    ui.MouseMove(500, 200);  // hover line and hover time drawn too
    for (int i = 0; i < 120; ++i) {
        feed();
        ui.Frame();
    }
    const long before = allocations.load();
    for (int i = 0; i < frames; ++i) {
        feed();
        ui.Frame();
    }
    return allocations.load() - before;
}

}  // namespace

TEST(LiveFrameAllocation, LiveViewUpdatesAllocateNothingOnceSized) {
    AudioHistory history;
    history.Reset(48000, 6.0);
    LiveView live;
    StereoBuffer view;
    std::vector<float> block(2 * 240, 0.25f);
    history.Push(block.data(), 240);
    live.Update(history, view);
    const long before = allocations.load();
    for (int i = 0; i < 5000; ++i) {  // several times round the history, so the window is moved back too
        history.Push(block.data(), 240);
        live.Update(history, view);
    }
    EXPECT_EQ(allocations.load() - before, 0);
}

// The waveform's data path allocates nothing per frame; what a frame allocates
// (a few short texts of the bars) does not depend on the history or the panel.
TEST(LiveFrameAllocation, FrameAllocationsDoNotGrowWithTheHistoryOrThePanel) {
    const long small = AllocationsPerLiveFrames(1100, 2, 48000, 60);
    EXPECT_EQ(AllocationsPerLiveFrames(2560, 10, 48000, 60), small);
    EXPECT_EQ(AllocationsPerLiveFrames(2560, 10, 192000, 60), small);
    EXPECT_LE(small, 60 * 8);
}
