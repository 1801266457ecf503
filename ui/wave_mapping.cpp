#include "ui/wave_mapping.h"

#include <algorithm>
#include <cmath>

#include "app/app.h"

namespace {
constexpr double kMinSamplesPerPixel = 1e-6;
}

WaveMapping WaveMapping::Make(int64_t frameCount, int32_t sampleRate, int64_t viewEnd, float x0, float x1) {
    WaveMapping m;
    m.frameCount = frameCount;
    m.rate = sampleRate >= 2 ? sampleRate : 1;
    m.viewEnd = viewEnd;
    m.x0 = x0;
    m.x1 = x1;
    const float width = std::max(x1 - x0, 1.0f);
    m.samplesPerPixel = std::max(static_cast<double>(frameCount) / width, kMinSamplesPerPixel);
    m.columnFrames = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(m.samplesPerPixel)));
    return m;
}

float WaveMapping::XBeforeEnd(double frames) const { return x1 - static_cast<float>(frames / samplesPerPixel); }

int64_t WaveMapping::FrameAtX(float x) const {
    const float pixelsBeforeEnd = x1 - x;
    double framesBeforeEnd = samplesPerPixel * pixelsBeforeEnd;
    // Clamping before rounding keeps far-away or invalid mouse positions
    // (ImGui reports -FLT_MAX when there is no mouse) from overflowing.
    const double limit = static_cast<double>(std::max<int64_t>(frameCount, 0));
    if (!(framesBeforeEnd > 0.0)) framesBeforeEnd = 0.0;
    if (framesBeforeEnd > limit) framesBeforeEnd = limit;
    return viewEnd - std::llrint(framesBeforeEnd);
}

WaveMapping MapView(const App& app) {
    return WaveMapping::Make(app.view.left.frameCount, app.view.left.sampleRate, app.viewEnd, app.waveRect.x0,
                             app.waveRect.x1);
}

int64_t App::XToFrame(float x) const { return MapView(*this).FrameAtX(x); }
