// The two hot paths of the history: the capture thread's Push of 5 ms packets
// and the interface thread's per-frame Snapshot of the whole ring.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "audio/audio_history.h"

namespace {

constexpr double kSeconds = 10.0;
constexpr double kPacketSeconds = 0.005;

void BM_PushPacket(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const size_t frames = static_cast<size_t>(rate * kPacketSeconds);
    std::vector<float> packet(2 * frames);
    for (size_t i = 0; i < packet.size(); ++i) packet[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)));
    AudioHistory history;
    history.Reset(rate, kSeconds);
    for (auto _ : state) {
        history.Push(packet.data(), frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
}

void BM_Snapshot(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    AudioHistory history;
    history.Reset(rate, kSeconds);
    std::vector<float> packet(2 * 1000, 0.25f);
    history.Push(packet.data(), 1000);  // the ring does not start at slot 0
    StereoBuffer view;
    history.Snapshot(view);
    for (auto _ : state) {
        benchmark::DoNotOptimize(history.Snapshot(view));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * view.left.frameCount * 2 * static_cast<int64_t>(sizeof(float)));
}

}  // namespace

BENCHMARK(BM_PushPacket)->Arg(48000)->Arg(192000);
BENCHMARK(BM_Snapshot)->Arg(48000)->Arg(192000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
