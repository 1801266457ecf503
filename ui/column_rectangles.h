#pragma once
#include "ui/wave_columns.h"

class ColumnCache;
struct ImDrawList;

// Draws the columns of both lanes as rectangles and returns the largest
// absolute sample value seen. With a cache, only frames it has not seen are
// scanned; without, the whole view is scanned. Both draw exactly the same.
float DrawWaveColumns(ImDrawList* drawList, const ColumnScene& scene, ColumnCache* cache);
