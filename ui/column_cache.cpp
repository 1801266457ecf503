#include "ui/column_cache.h"

#include <cstddef>

void ColumnCache::Prepare(const WaveMapping& m, uint64_t historyGeneration) {
    if (m.columnFrames == columnFrames && m.rate == rate && m.frameCount == frameCount &&
        historyGeneration == generation)
        return;
    columnFrames = m.columnFrames;
    rate = m.rate;
    frameCount = m.frameCount;
    generation = historyGeneration;
    ++restarts;
    // The view spans at most N / u + 2 columns, so consecutive columns never share a slot.
    const size_t size = m.frameCount > 0 ? static_cast<size_t>(m.frameCount / m.columnFrames + 2) : 0;
    entries.assign(size, Entry{});
}

const ColumnPair& ColumnCache::Summaries(const WaveMapping& m, const StereoBuffer& view, const WaveColumn& column) {
    const int64_t index = FloorDiv(column.start, columnFrames);
    Entry& entry = entries[static_cast<size_t>(FloorMod(index, static_cast<int64_t>(entries.size())))];
    const int64_t first = m.FirstFrame();
    const bool continues = entry.column == index && entry.start == column.start && entry.end <= column.end;
    if (!continues) {
        entry = {index, column.start, column.end, ScanColumn(m, view, column)};
        framesScanned += column.end - column.start;
    } else if (entry.end < column.end) {
        const int64_t offset = entry.end - first;
        const int64_t count = column.end - entry.end;
        ExtendSummary(entry.summaries.left, view.left.samples + offset, count);
        ExtendSummary(entry.summaries.right, view.right.samples + offset, count);
        entry.end = column.end;
        framesScanned += count;
    }
    return entry.summaries;
}
