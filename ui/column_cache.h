#pragma once
#include <cstdint>
#include <vector>

#include "audio/channel_buffer.h"
#include "ui/wave_columns.h"

// Column summaries kept between frames. A column is keyed by its absolute
// index (its first frame divided by the column width), so once all its frames
// are in the view it never changes: a live frame only scans the frames that
// arrived since the previous one, plus the partial column at the left edge.
class ColumnCache {
public:
    // Starts over when the column width, the rate, the view length or the
    // history's generation (its count of resets) differs from the last frame.
    void Prepare(const WaveMapping& m, uint64_t historyGeneration);
    // Summaries of one column of the view, scanning only frames not seen before.
    const ColumnPair& Summaries(const WaveMapping& m, const StereoBuffer& view, const WaveColumn& column);

    uint64_t Generation() const { return generation; }
    // How often Prepare started over: summaries handed out before a change of this count are stale.
    uint64_t Restarts() const { return restarts; }
    // Frames scanned since construction, per channel (for tests and benchmarks).
    int64_t FramesScanned() const { return framesScanned; }

private:
    struct Entry {
        int64_t column = INT64_MIN;  // absolute column index; INT64_MIN when empty
        int64_t start = 0;           // frames [start, end) are summarised
        int64_t end = 0;
        ColumnPair summaries;
    };

    std::vector<Entry> entries;  // a ring indexed by column index modulo its size
    int64_t columnFrames = 0;
    int64_t rate = 0;
    int64_t frameCount = -1;
    uint64_t generation = 0;
    uint64_t restarts = 0;
    int64_t framesScanned = 0;
};
