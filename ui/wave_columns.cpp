#include "ui/wave_columns.h"

#include <algorithm>
#include <cmath>

#include <imgui.h>

#include "ui/colors.h"
#include "ui/column_cache.h"

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

void DrawColumnChannel(ImDrawList* drawList, const ColumnSummary& summary, int64_t frameCount,
                       const LaneGeometry& lane, const WaveColumn& column, bool selected, float uiScale) {
    const float c = lane.centre;
    const float a = lane.amplitude;
    const double rms = std::sqrt(summary.sumSquares / static_cast<double>(frameCount));

    float top = c - a * std::clamp(summary.max, -kEnvelopeLimit, kEnvelopeLimit);
    float bottom = c - a * std::clamp(summary.min, -kEnvelopeLimit, kEnvelopeLimit);
    if (bottom - top < kMinEnvelopeHeight) {
        top -= 0.5f;
        bottom += 0.5f;
    }
    drawList->AddRectFilled(ImVec2(column.left, top), ImVec2(column.right, bottom),
                            selected ? colors::kEnvelopeSelected : colors::kEnvelope);

    // The core uses the unclamped peak, so overs may reach past the envelope.
    const float peak = std::max(summary.max, -summary.min);
    const float r = static_cast<float>(std::min(static_cast<double>(peak), rms)) * a;
    if (r > kMinCoreRadius)
        drawList->AddRectFilled(ImVec2(column.left, c - r), ImVec2(column.right, c + r),
                                selected ? colors::kRmsCoreSelected : colors::kRmsCore);

    const float markHeight = kClipMarkHeight * uiScale;
    if (summary.max >= kClipLevel)
        drawList->AddRectFilled(ImVec2(column.left, c - lane.halfHeight),
                                ImVec2(column.right, c - lane.halfHeight + markHeight), colors::kClipMark);
    if (summary.min <= -kClipLevel)
        drawList->AddRectFilled(ImVec2(column.left, c + lane.halfHeight - markHeight),
                                ImVec2(column.right, c + lane.halfHeight), colors::kClipMark);
}

float DrawWaveColumns(ImDrawList* drawList, const WaveMapping& m, const StereoBuffer& view,
                      const LaneGeometry& leftLane, const LaneGeometry& rightLane, bool selectionVisible,
                      int64_t selectionLow, int64_t selectionHigh, float uiScale, ColumnCache* cache) {
    float peakSeen = 0.0f;
    const int64_t first = m.FirstFrame();
    ForEachColumn(m, [&](const WaveColumn& column) {
        const bool selected = selectionVisible && selectionLow <= column.start && column.start < selectionHigh;
        const int64_t count = column.end - column.start;
        ColumnPair scanned;
        if (!cache) {
            const int64_t offset = column.start - first;
            scanned = {SummarizeSamples(view.left.samples + offset, count),
                       SummarizeSamples(view.right.samples + offset, count)};
        }
        const ColumnPair& pair = cache ? cache->Summaries(m, view, column) : scanned;
        const ColumnSummary& left = pair.left;
        const ColumnSummary& right = pair.right;
        DrawColumnChannel(drawList, left, count, leftLane, column, selected, uiScale);
        DrawColumnChannel(drawList, right, count, rightLane, column, selected, uiScale);
        peakSeen = std::max({peakSeen, left.max, -left.min, right.max, -right.min});
    });
    return peakSeen;
}
