// Wall-clock time the interface thread spends in capture calls while the
// sound server is stopped (SIGSTOP): it accepts connections but answers
// nothing, as a server that hangs or swaps does.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "audio/loopback_capture.h"
#include "tests/linux/pulse_server.h"

namespace {

// Each start leaves a connection in the stopped server's short backlog, which
// refuses new ones once full; a few stay well within it.
constexpr int kAttempts = 4;

// A private server that the capture object has seen, then stopped.
struct StalledServer {
    PulseServer server;
    std::unique_ptr<LoopbackCapture> capture;

    explicit StalledServer(benchmark::State& state) {
        if (!server.Start()) {
            state.SkipWithError("the sound server did not start");
            return;
        }
        capture = CreateLoopbackCapture();
        for (int wait = 0; wait < 500 && capture->ListOutputDevices().empty(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        server.Freeze();
    }
    ~StalledServer() {
        capture.reset();
        server.Thaw();
    }
};

void BM_StartOnAStalledServer(benchmark::State& state) {
    StalledServer stalled(state);
    if (!stalled.capture) return;
    for (auto _ : state) {
        benchmark::DoNotOptimize(stalled.capture->Start("", nullptr));
        state.PauseTiming();
        stalled.capture->Stop();
        state.ResumeTiming();
    }
}

void BM_StopWhileAStartWaitsForTheServer(benchmark::State& state) {
    StalledServer stalled(state);
    if (!stalled.capture) return;
    for (auto _ : state) {
        state.PauseTiming();
        stalled.capture->Start("", nullptr);
        state.ResumeTiming();
        stalled.capture->Stop();
    }
}

void BM_ListDevicesOnAStalledServer(benchmark::State& state) {
    StalledServer stalled(state);
    if (!stalled.capture) return;
    for (auto _ : state) benchmark::DoNotOptimize(stalled.capture->ListOutputDevices());
}

}  // namespace

BENCHMARK(BM_StartOnAStalledServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kAttempts);
BENCHMARK(BM_StopWhileAStartWaitsForTheServer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kAttempts);
BENCHMARK(BM_ListDevicesOnAStalledServer)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(1000);
BENCHMARK_MAIN();
