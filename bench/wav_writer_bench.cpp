// Export speed: ten seconds of stereo written as 24-bit WAV by our writer and,
// for reference, by libsndfile given the same samples already interleaved.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "export/wav_writer.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kSeconds = 10;

struct Signal {
    std::vector<float> left, right, interleaved;
};

// A loud tone with a little overshoot, so clamping is exercised too.
Signal MakeSignal(int64_t frames, int rate) {
    Signal s;
    s.left.resize(frames);
    s.right.resize(frames);
    s.interleaved.resize(2 * frames);
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        s.left[i] = static_cast<float>(1.05 * std::sin(2 * M_PI * 440.0 * t));
        s.right[i] = static_cast<float>(0.7 * std::sin(2 * M_PI * 660.0 * t + 0.3));
        s.interleaved[2 * i] = s.left[i];
        s.interleaved[2 * i + 1] = s.right[i];
    }
    return s;
}

void BM_WriteWavFile(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const int64_t frames = int64_t{kSeconds} * rate;
    const Signal signal = MakeSignal(frames, rate);
    const float* channels[] = {signal.left.data(), signal.right.data()};
    TempDir dir("wavelift-bench");
    const auto path = dir / "take.wav";
    for (auto _ : state) {
        if (!WriteWavFile(path, channels, 2, frames, rate, WavSampleFormat::Pcm24)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * frames * 6);
}

void BM_LibsndfileWrite(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const int64_t frames = int64_t{kSeconds} * rate;
    const Signal signal = MakeSignal(frames, rate);
    TempDir dir("wavelift-bench");
    const auto path = dir / "take.wav";
    for (auto _ : state) {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file == nullptr) {
            state.SkipWithError("sf_open failed");
            break;
        }
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        benchmark::DoNotOptimize(sf_writef_float(file, signal.interleaved.data(), frames));
        sf_close(file);
    }
    state.SetBytesProcessed(state.iterations() * frames * 6);
}

}  // namespace

BENCHMARK(BM_WriteWavFile)->Arg(48000)->Arg(192000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibsndfileWrite)->Arg(48000)->Arg(192000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
