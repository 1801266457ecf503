// Cost of one headless interface frame while live: the program's method (new
// audio only, the columns kept as an image in a texture, here one in memory),
// the same with every column drawn as rectangles, the same on a renderer that
// refuses the image (it must cost no more than the rectangles alone), and the
// straightforward full copy, rescan and rectangles.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/path_text.h"
#include "tests/support/headless_ui.h"

namespace {

struct Case {
    int panelWidth;
    double seconds;
    int rate;
};

enum class Method { Incremental, IncrementalRectangles, RefusedImage, FullRecompute };

void RunFrames(benchmark::State& state, Method method) {
    const Case c{static_cast<int>(state.range(0)), static_cast<double>(state.range(1)), static_cast<int>(state.range(2))};
    // The waveform panel is the window width less two 16 px margins.
    HeadlessUi ui(static_cast<float>(c.panelWidth + 32), 460.0f);
    ui.app.fullRecompute = method == Method::FullRecompute;
    if (method == Method::Incremental || method == Method::RefusedImage) ui.UseTextures();
    ui.textures.refusesImages = method == Method::RefusedImage;
    ui.app.bufferSeconds = static_cast<int32_t>(c.seconds);
    FakeCapture& capture = ui.UseFakeCapture();
    capture.rate = c.rate;
    ui.app.RestartCapture();

    // 5 ms of a tone per frame.
    const size_t packet = static_cast<size_t>(c.rate / 200);
    std::vector<float> block(packet * 2);
    uint64_t frame = 0;
    auto feed = [&] {
        for (size_t i = 0; i < packet; ++i) {
            const float v = 0.5f * std::sin(static_cast<float>((frame + i) % 48000) * 0.0576f);
            block[2 * i] = v;
            block[2 * i + 1] = -v;
        }
        frame += packet;
        capture.Feed(block.data(), packet);
    };
    // Fill the history once so every column holds audio.
    for (int i = 0; i < static_cast<int>(c.seconds * 200); ++i) feed();
    ui.Frames(3);
    for (auto _ : state) {
        feed();
        ui.Frame();
    }
    state.counters["history_s"] = c.seconds;
    state.counters["rate_kHz"] = c.rate / 1000.0;
}

void Incremental(benchmark::State& state) { RunFrames(state, Method::Incremental); }
void IncrementalRectangles(benchmark::State& state) { RunFrames(state, Method::IncrementalRectangles); }
void RefusedImage(benchmark::State& state) { RunFrames(state, Method::RefusedImage); }
void FullRecompute(benchmark::State& state) { RunFrames(state, Method::FullRecompute); }

void Cases(benchmark::internal::Benchmark* b) {
    for (int width : {1100, 2560}) {
        b->Args({width, 2, 48000});
        b->Args({width, 10, 48000});
        b->Args({width, 10, 192000});
    }
    b->ArgNames({"panel", "seconds", "rate"});
    b->Unit(benchmark::kMicrosecond);
}

// A save folder of the given length in the status bar, which fits its tail
// into the bar every frame; the interface fonts, as the program draws it.
void LongSaveFolder(benchmark::State& state) {
    HeadlessUi ui(1100.0f, 460.0f, /*systemFonts=*/true);
    ui.UseFakeCapture();
    ui.app.RestartCapture();
    ui.app.saveFolder = Utf8ToPath("/" + std::string(static_cast<size_t>(state.range(0)), 'd') + "/Wavelift");
    ui.Frames(3);
    for (auto _ : state) ui.Frame();
    state.counters["folder_bytes"] = static_cast<double>(state.range(0));
}

}  // namespace

BENCHMARK(Incremental)->Apply(Cases);
BENCHMARK(IncrementalRectangles)->Apply(Cases);
BENCHMARK(RefusedImage)->Apply(Cases);
BENCHMARK(FullRecompute)->Apply(Cases);
BENCHMARK(LongSaveFolder)->Arg(64)->Arg(64 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
