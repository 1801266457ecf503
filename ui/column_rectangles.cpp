#include "ui/column_rectangles.h"

#include <algorithm>
#include <utility>

#include <imgui.h>

#include "ui/column_cache.h"

float DrawWaveColumns(ImDrawList* drawList, const ColumnScene& scene, ColumnCache* cache) {
    float peakSeen = 0.0f;
    const WaveMapping& m = scene.mapping;
    ForEachColumn(m, [&](const WaveColumn& column) {
        const bool selected = scene.Selected(column.start);
        const int64_t count = column.end - column.start;
        ColumnPair scanned;
        if (!cache) scanned = ScanColumn(m, scene.view, column);
        const ColumnPair& pair = cache ? cache->Summaries(m, scene.view, column) : scanned;
        ColumnBand bands[kMaxBandsPerChannel];
        for (const auto& [summary, lane] : {std::pair{&pair.left, &scene.left}, std::pair{&pair.right, &scene.right}}) {
            const int n = ColumnBands(*summary, count, *lane, selected, scene.uiScale, bands);
            for (int i = 0; i < n; ++i)
                drawList->AddRectFilled(ImVec2(column.left, bands[i].top), ImVec2(column.right, bands[i].bottom),
                                        bands[i].color);
        }
        peakSeen = std::max(peakSeen, PeakOf(pair));
    });
    return peakSeen;
}
