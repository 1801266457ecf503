// CPU cost of the capture path for one second of 48 kHz stereo: every 10 ms
// fragment converted from the sink's format and pushed into the history, as
// the capture thread does it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/audio_history.h"
#include "audio/sample_conversion.h"

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr size_t kFragmentFrames = kRate / 100;
constexpr int kFragmentsPerSecond = 100;
constexpr double kHistorySeconds = 10.0;

std::vector<unsigned char> Fragment(SampleKind kind, int bytesPerSample) {
    std::vector<unsigned char> bytes(kFragmentFrames * kChannels * bytesPerSample);
    for (size_t i = 0; i < kFragmentFrames * kChannels; ++i) {
        const double value = 0.5 * std::sin(0.05 * static_cast<double>(i));
        unsigned char* at = bytes.data() + i * bytesPerSample;
        if (kind == SampleKind::Float32) {
            const auto sample = static_cast<float>(value);
            std::memcpy(at, &sample, sizeof sample);
        } else {
            const auto scaled = static_cast<int64_t>(value * std::ldexp(1.0, 8 * bytesPerSample - 1));
            for (int b = 0; b < bytesPerSample; ++b) at[b] = static_cast<unsigned char>(scaled >> (8 * b));
        }
    }
    return bytes;
}

void CaptureOneSecond(benchmark::State& state, SampleKind kind, int bytesPerSample) {
    const std::vector<unsigned char> fragment = Fragment(kind, bytesPerSample);
    const int bytesPerFrame = kChannels * bytesPerSample;
    std::vector<float> packet;
    AudioHistory history;
    history.Reset(kRate, kHistorySeconds);
    for (auto _ : state) {
        for (int i = 0; i < kFragmentsPerSecond; ++i) {
            ConvertPacketToStereo(fragment.data(), kFragmentFrames, kChannels, bytesPerSample, bytesPerFrame, kind,
                                  false, packet);
            history.Push(packet.data(), kFragmentFrames);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kRate);
}

void BM_CaptureSecondFloat32(benchmark::State& state) { CaptureOneSecond(state, SampleKind::Float32, 4); }
void BM_CaptureSecondInt16(benchmark::State& state) { CaptureOneSecond(state, SampleKind::Int16, 2); }
void BM_CaptureSecondInt24(benchmark::State& state) { CaptureOneSecond(state, SampleKind::Int24, 3); }

}  // namespace

BENCHMARK(BM_CaptureSecondFloat32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaptureSecondInt16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaptureSecondInt24)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
