#pragma once
#include <cmath>
#include <random>
#include <vector>

#include "tests/support/draw_geometry.h"
#include "tests/support/headless_ui.h"
#include "ui/colors.h"

// Starts the fake capture at `rate` with a history of `seconds` and draws one frame.
inline FakeCapture& StartCapture(HeadlessUi& ui, int32_t rate = 48000, int32_t seconds = 6) {
    FakeCapture& capture = ui.UseFakeCapture();
    capture.rate = rate;
    ui.app.bufferSeconds = seconds;
    ui.app.RestartCapture();
    DisableAntiAliasing();
    ui.Frame();
    return capture;
}

// Interleaved stereo noise of the given amplitude.
inline std::vector<float> Noise(size_t frames, float amplitude, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-amplitude, amplitude);
    std::vector<float> samples(frames * 2);
    for (float& s : samples) s = value(random);
    return samples;
}

// Interleaved stereo square wave that flips every frame.
inline std::vector<float> Square(size_t frames, float amplitude) {
    std::vector<float> samples(frames * 2);
    for (size_t i = 0; i < frames; ++i) samples[2 * i] = samples[2 * i + 1] = (i % 2 == 0) ? amplitude : -amplitude;
    return samples;
}

inline void Feed(FakeCapture& capture, const std::vector<float>& samples) {
    capture.Feed(samples.data(), samples.size() / 2);
}

inline float WaveMidY(const HeadlessUi& ui) { return (ui.app.waveRect.y0 + ui.app.waveRect.y1) * 0.5f; }
