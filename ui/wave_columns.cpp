#include "ui/wave_columns.h"

#include <algorithm>
#include <cmath>

#include "ui/colors.h"

namespace {
constexpr float kEnvelopeLimit = 1.05f;  // floating-point overs stop just past full scale
constexpr float kClipLevel = 0.999f;
constexpr float kClipMarkHeight = 3.0f;
constexpr float kMinEnvelopeHeight = 1.0f;
constexpr float kMinCoreRadius = 0.5f;
}  // namespace

ColumnSummary SummarizeSamples(const float* samples, int64_t count) {
    ColumnSummary summary{samples[0], samples[0], 0.0};
    ExtendSummary(summary, samples, count);
    return summary;
}

void ExtendSummary(ColumnSummary& summary, const float* samples, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        const float v = samples[i];
        if (v < summary.min) summary.min = v;
        if (v > summary.max) summary.max = v;
        summary.sumSquares += static_cast<double>(v) * static_cast<double>(v);
    }
}

int ColumnBands(const ColumnSummary& summary, int64_t frameCount, const LaneGeometry& lane, bool selected,
                float uiScale, ColumnBand* out) {
    const float c = lane.centre;
    const float a = lane.amplitude;
    const double rms = std::sqrt(summary.sumSquares / static_cast<double>(frameCount));
    int count = 0;

    float top = c - a * std::clamp(summary.max, -kEnvelopeLimit, kEnvelopeLimit);
    float bottom = c - a * std::clamp(summary.min, -kEnvelopeLimit, kEnvelopeLimit);
    if (bottom - top < kMinEnvelopeHeight) {
        top -= 0.5f;
        bottom += 0.5f;
    }
    out[count++] = {top, bottom, selected ? colors::kEnvelopeSelected : colors::kEnvelope};

    // The core uses the unclamped peak, so overs may reach past the envelope.
    const float peak = std::max(summary.max, -summary.min);
    const float r = static_cast<float>(std::min(static_cast<double>(peak), rms)) * a;
    if (r > kMinCoreRadius) out[count++] = {c - r, c + r, selected ? colors::kRmsCoreSelected : colors::kRmsCore};

    const float markHeight = kClipMarkHeight * uiScale;
    if (summary.max >= kClipLevel) out[count++] = {c - lane.halfHeight, c - lane.halfHeight + markHeight, colors::kClipMark};
    if (summary.min <= -kClipLevel) out[count++] = {c + lane.halfHeight - markHeight, c + lane.halfHeight, colors::kClipMark};
    return count;
}

ColumnPair ScanColumn(const WaveMapping& m, const StereoBuffer& view, const WaveColumn& column) {
    const int64_t offset = column.start - m.FirstFrame();
    const int64_t count = column.end - column.start;
    return {SummarizeSamples(view.left.samples + offset, count), SummarizeSamples(view.right.samples + offset, count)};
}

float PeakOf(const ColumnPair& pair) {
    return std::max({pair.left.max, -pair.left.min, pair.right.max, -pair.right.min});
}
