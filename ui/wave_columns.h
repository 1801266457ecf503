#pragma once
#include <cstdint>

#include "audio/channel_buffer.h"
#include "ui/wave_mapping.h"

// Minimum, maximum and sum of squares of the frames of one column in one channel.
struct ColumnSummary {
    float min = 0.0f;
    float max = 0.0f;
    double sumSquares = 0.0;
};

struct ColumnPair {
    ColumnSummary left;
    ColumnSummary right;
};

// Scans `count` samples (count > 0) in order.
ColumnSummary SummarizeSamples(const float* samples, int64_t count);
// Adds more samples to a summary; the result equals one scan over all of them.
void ExtendSummary(ColumnSummary& summary, const float* samples, int64_t count);

// Vertical placement of one lane.
struct LaneGeometry {
    float centre = 0.0f;
    float halfHeight = 0.0f;  // from the centre line to the lane's edge
    float amplitude = 0.0f;   // pixels per unit of sample value
    bool operator==(const LaneGeometry&) const = default;
};

// The frames [start, end) of the view that one column shows, and its screen extent.
struct WaveColumn {
    int64_t start = 0;
    int64_t end = 0;
    float left = 0.0f;
    float right = 0.0f;
};

// Visits every column of the view that holds at least one frame, oldest
// first. Columns are aligned to multiples of u in absolute frame indices, so a
// column keeps its frames, and so its shape, while the view scrolls by whole columns.
template <typename Visit>
void ForEachColumn(const WaveMapping& m, Visit&& visit) {
    if (m.frameCount <= 0) return;
    const int64_t u = m.columnFrames;
    const int64_t first = m.FirstFrame();
    for (int64_t w = FloorDiv(first, u) * u; w < m.viewEnd; w += u) {
        const int64_t a = w > first ? w : first;
        const int64_t e = m.viewEnd < w + u ? m.viewEnd : w + u;
        if (a >= e) continue;
        const float xl = m.XOfFrame(w);
        const float xEnd = m.XOfFrame(w + u);
        visit(WaveColumn{a, e, xl, xEnd > xl + 1.0f ? xEnd : xl + 1.0f});
    }
}

// What the columns of one frame are drawn from.
struct ColumnScene {
    const WaveMapping& mapping;
    const StereoBuffer& view;
    LaneGeometry left;
    LaneGeometry right;
    bool selectionVisible = false;
    int64_t selectionLow = 0;
    int64_t selectionHigh = 0;
    float uiScale = 1.0f;

    bool Selected(int64_t columnStart) const {
        return selectionVisible && selectionLow <= columnStart && columnStart < selectionHigh;
    }
};

// One filled band of one channel of a column: its envelope, RMS core or a clip
// mark, spanning the column's width.
struct ColumnBand {
    float top = 0.0f;
    float bottom = 0.0f;
    uint32_t color = 0;  // packed RGBA, as the draw list takes it
};
inline constexpr int kMaxBandsPerChannel = 4;

// The bands of one channel of one column, in drawing order; returns how many
// were written to `out` (at most kMaxBandsPerChannel).
int ColumnBands(const ColumnSummary& summary, int64_t frameCount, const LaneGeometry& lane, bool selected,
                float uiScale, ColumnBand* out);

// Both channels' summaries of the column `column` of the view.
ColumnPair ScanColumn(const WaveMapping& m, const StereoBuffer& view, const WaveColumn& column);
// The largest absolute sample value in either channel of a column.
float PeakOf(const ColumnPair& pair);
