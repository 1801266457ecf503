#pragma once
#include <cstdint>

class App;

// Division and remainder rounding towards minus infinity, for a positive
// divisor: absolute frame indices may be negative before the history fills.
constexpr int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }
constexpr int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// How the waveform panel maps absolute frame indices to screen x: the whole
// view is fitted to the panel's width with the newest frame at the right edge.
// The panel, the ruler and the mouse handling all go through this one mapping.
struct WaveMapping {
    int64_t frameCount = 0;          // N, frames in the view
    int64_t rate = 1;                // R, the view's rate as a divisor (at least 1)
    int64_t viewEnd = 0;             // absolute index of the right edge
    float x0 = 0.0f;
    float x1 = 0.0f;
    double samplesPerPixel = 1e-6;
    int64_t columnFrames = 1;        // u, frames per drawn column

    static WaveMapping Make(int64_t frameCount, int32_t sampleRate, int64_t viewEnd, float x0, float x1);

    int64_t FirstFrame() const { return viewEnd - frameCount; }
    // Screen x of a position `frames` before the right edge (may be fractional).
    float XBeforeEnd(double frames) const;
    float XOfFrame(int64_t frame) const { return XBeforeEnd(static_cast<double>(viewEnd - frame)); }
    // Nearest absolute frame under screen x, clamped to the view.
    int64_t FrameAtX(float x) const;
};

// The mapping of the app's current view over its panel rectangle.
WaveMapping MapView(const App& app);
