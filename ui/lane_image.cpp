#include "ui/lane_image.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "app/font_texture.h"
#include "ui/column_cache.h"

namespace {

constexpr int kMinLayers = 2;  // an envelope and its core
constexpr float kSubpixels = 256.0f;  // renderers snap vertices to 1/256 of a pixel
constexpr float kFarAway = 1.0e6f;    // keeps wild overs and NaN inside the integer range
// About 200 MB of texels: a full-screen window on a 4K display with a few
// layers; anything larger draws rectangles instead.
constexpr size_t kMaxTexels = size_t{48} << 20;

// The first row whose pixel centre (at row + 0.5) a rectangle edge at y has
// below it, counting a centre exactly on the edge by the rasteriser's rule.
// A rectangle from `top` to `bottom` covers the rows from one to the other.
int FirstRowBelow(float y, bool lowerEdgeInside) {
    float snapped = std::nearbyint(y * kSubpixels) / kSubpixels;
    if (!(snapped > -kFarAway)) snapped = -kFarAway;
    if (!(snapped < kFarAway)) snapped = kFarAway;
    const float centreOffset = snapped - 0.5f;
    return static_cast<int>(lowerEdgeInside ? std::floor(centreOffset) + 1.0f : std::ceil(centreOffset));
}

float Peak(const ColumnPair& pair) {
    return std::max({pair.left.max, -pair.left.min, pair.right.max, -pair.right.min});
}

}  // namespace

void LaneImage::Discard() {
    layout = Layout{};
    layersDrawn = 0;
}

bool LaneImage::Fail() {
    Discard();
    layers = 0;
    return false;
}

void LaneImage::ClearSlot(int slot) {
    const size_t stride = static_cast<size_t>(ring);
    uint32_t* column = pixels.data() + slot;
    for (size_t i = 0; i < occupancy.size(); ++i) {
        if (column[i * stride] != 0) --occupancy[i];
        column[i * stride] = 0;
    }
    slots[static_cast<size_t>(slot)] = Slot{};
    dirty[static_cast<size_t>(slot)] = 1;
}

bool LaneImage::Start(const Layout& next, int layerCount, int textureLimit) {
    const size_t height = static_cast<size_t>(next.rows) * static_cast<size_t>(layerCount);
    if (next.ring > textureLimit || height > static_cast<size_t>(textureLimit) ||
        static_cast<size_t>(next.ring) * height > kMaxTexels)
        return false;
    layout = next;
    ring = next.ring;
    rows = next.rows;
    layers = layerCount;
    try {
        slots.assign(static_cast<size_t>(ring), Slot{});
        pixels.assign(static_cast<size_t>(ring) * height, 0u);
        dirty.assign(static_cast<size_t>(ring), 0);
        rowDepth.assign(static_cast<size_t>(rows), 0);
        occupancy.assign(height, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uploadAll = true;
    return true;
}

int LaneImage::Rasterise(int slot, const ColumnPair& pair, int64_t frameCount, bool selected,
                         const ColumnScene& scene) {
    ColumnBand bands[2 * kMaxBandsPerChannel];
    int count = ColumnBands(pair.left, frameCount, scene.left, selected, scene.uiScale, bands);
    count += ColumnBands(pair.right, frameCount, scene.right, selected, scene.uiScale, bands + count);

    ClearSlot(slot);
    const size_t stride = static_cast<size_t>(ring);
    const size_t layerSize = static_cast<size_t>(rows) * stride;
    uint32_t* column = pixels.data() + slot;
    std::fill(rowDepth.begin(), rowDepth.end(), 0);

    int needed = 0;
    for (int b = 0; b < count; ++b) {
        const int from = std::max(0, FirstRowBelow(bands[b].top, layout.lowerEdge) - layout.rowTop);
        const int to = std::min(rows, FirstRowBelow(bands[b].bottom, layout.lowerEdge) - layout.rowTop);
        for (int r = from; r < to; ++r) {
            const int layer = rowDepth[static_cast<size_t>(r)]++;
            needed = std::max(needed, layer + 1);
            if (layer >= layers) continue;
            column[static_cast<size_t>(layer) * layerSize + static_cast<size_t>(r) * stride] = bands[b].color;
            ++occupancy[static_cast<size_t>(layer) * static_cast<size_t>(rows) + static_cast<size_t>(r)];
        }
    }
    return needed;
}

bool LaneImage::Upload(FontTextureDevice& device) {
    const int height = rows * layers;
    if (!texture || textureDevice != &device || textureWidth != ring || textureHeight != height) {
        // A texture of another device is that device's to free.
        if (texture && textureDevice == &device) device.DestroyImageTexture(texture);
        texture = device.CreateImageTexture(ring, height);
        textureDevice = &device;
        textureWidth = texture ? ring : 0;
        textureHeight = texture ? height : 0;
        uploadAll = true;
        if (!texture) return false;
    }
    if (uploadAll) std::fill(dirty.begin(), dirty.end(), 1);
    uploadAll = false;
    for (int s = 0; s < ring;) {
        if (!dirty[static_cast<size_t>(s)]) {
            ++s;
            continue;
        }
        int end = s;
        while (end < ring && dirty[static_cast<size_t>(end)]) dirty[static_cast<size_t>(end++)] = 0;
        device.UpdateImageTexture(texture, s, 0, end - s, height, pixels.data() + s, ring);
        s = end;
    }
    return true;
}

bool LaneImage::Draw(ImDrawList* drawList, const ColumnScene& scene, float panelTop, float panelBottom,
                     ColumnCache& cache, FontTextureDevice& device, float& peakSeen) {
    const WaveMapping& m = scene.mapping;
    const int64_t u = m.columnFrames;
    const int64_t first = m.FirstFrame();
    const int64_t firstColumn = FloorDiv(first, u);
    const int64_t lastColumn = FloorDiv(m.viewEnd - 1, u);
    // The view spans at most N / u + 2 columns, so no two of them share a slot.
    const int64_t ringSize = m.frameCount / u + 2;
    const int limit = device.MaxTextureSize();

    Layout next;
    next.rowTop = static_cast<int>(std::floor(panelTop));
    next.rows = std::max(1, static_cast<int>(std::ceil(panelBottom)) - next.rowTop);
    if (m.frameCount <= 0 || ringSize > limit) return Fail();
    next.ring = static_cast<int>(ringSize);
    next.left = scene.left;
    next.right = scene.right;
    next.uiScale = scene.uiScale;
    next.columnFrames = u;
    next.cacheRestarts = cache.Restarts();
    next.lowerEdge = device.FillsLowerEdge();
    next.device = &device;
    if (!(next == layout) && !Start(next, std::max(layers, kMinLayers), limit)) return Fail();

    float peak = 0.0f;
    int depth = 0;
    for (int64_t index = firstColumn; index <= lastColumn; ++index) {
        const int64_t start = std::max(index * u, first);
        const int64_t end = std::min(m.viewEnd, index * u + u);
        const bool selected = scene.Selected(start);
        const int s = static_cast<int>(FloorMod(index, ringSize));
        Slot& slot = slots[static_cast<size_t>(s)];
        if (slot.column != index || slot.start != start || slot.end != end || slot.selected != selected) {
            const ColumnPair& pair = cache.Summaries(m, scene.view, WaveColumn{start, end, 0.0f, 0.0f});
            const int needed = Rasterise(s, pair, end - start, selected, scene);
            if (needed > layers) {
                // More bands overlap here than the image has layers: make room and draw every column again.
                if (!Start(layout, needed, limit)) return Fail();
                peak = 0.0f;
                depth = 0;
                index = firstColumn - 1;
                continue;
            }
            slot = {index, start, end, selected, needed, Peak(pair)};
            dirty[static_cast<size_t>(s)] = 1;
        }
        peak = std::max(peak, slot.peak);
        depth = std::max(depth, slot.depth);
    }
    for (int64_t index = lastColumn + 1; index < firstColumn + ringSize; ++index) {
        const int s = static_cast<int>(FloorMod(index, ringSize));
        if (slots[static_cast<size_t>(s)].column != INT64_MIN) ClearSlot(s);
    }
    if (!Upload(device)) return Fail();

    // The quads span the columns' own extent, clipped to the panel like the rectangles.
    const float u0 = static_cast<float>(FloorMod(firstColumn, ringSize)) / static_cast<float>(ring);
    const float u1 = u0 + static_cast<float>(lastColumn - firstColumn + 1) / static_cast<float>(ring);
    AddLayerQuads(drawList, m.XOfFrame(firstColumn * u), m.XOfFrame((lastColumn + 1) * u), u0, u1, depth);
    peakSeen = peak;
    return true;
}

void LaneImage::AddLayerQuads(ImDrawList* drawList, float left, float right, float u0, float u1, int depth) {
    const float height = static_cast<float>(rows * layers);
    for (int k = 0; k < depth; ++k) {
        const int32_t* used = occupancy.data() + static_cast<size_t>(k) * static_cast<size_t>(rows);
        for (int r = 0; r < rows;) {
            if (used[r] == 0) {
                ++r;
                continue;
            }
            const int from = r;
            while (r < rows && used[r] != 0) ++r;
            const float texelTop = static_cast<float>(k * rows + from);
            const float texelBottom = static_cast<float>(k * rows + r);
            drawList->AddImage(texture, ImVec2(left, static_cast<float>(layout.rowTop + from)),
                               ImVec2(right, static_cast<float>(layout.rowTop + r)), ImVec2(u0, texelTop / height),
                               ImVec2(u1, texelBottom / height));
        }
    }
    layersDrawn = depth;
}
