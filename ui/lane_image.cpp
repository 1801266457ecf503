#include "ui/lane_image.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "app/texture_device.h"
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

}  // namespace

void LaneImage::Discard() {
    layout = Layout{};
    refused = Layout{};
    layersDrawn = 0;
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

bool LaneImage::Start(const Layout& next, int layerCount) {
    const size_t height = static_cast<size_t>(next.rows) * static_cast<size_t>(layerCount);
    if (next.ring > next.textureLimit || height > static_cast<size_t>(next.textureLimit) ||
        static_cast<size_t>(next.ring) * height > kMaxTexels)
        return false;
    layout = next;
    ring = static_cast<int>(next.ring);
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

bool LaneImage::Upload(TextureDevice& device) {
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

LaneImage::ViewColumns LaneImage::RasteriseChanged(const ColumnScene& scene, ColumnCache& cache) {
    const WaveMapping& m = scene.mapping;
    ViewColumns view;
    ForEachColumn(m, [&](const WaveColumn& column) {
        const int64_t index = FloorDiv(column.start, m.columnFrames);
        const bool selected = scene.Selected(column.start);
        const int s = static_cast<int>(FloorMod(index, ring));
        Slot& slot = slots[static_cast<size_t>(s)];
        if (slot.column != index || slot.start != column.start || slot.end != column.end || slot.selected != selected) {
            const ColumnPair& pair = cache.Summaries(m, scene.view, column);
            const int depth = Rasterise(s, pair, column.end - column.start, selected, scene);
            slot = {index, column.start, column.end, selected, depth, PeakOf(pair)};
            dirty[static_cast<size_t>(s)] = 1;
        }
        view = {std::min(view.first, index), index, std::max(view.layers, slot.depth), std::max(view.peak, slot.peak)};
    });
    return view;
}

bool LaneImage::Update(const Layout& next, const ColumnScene& scene, ColumnCache& cache, TextureDevice& device,
                       ViewColumns& view) {
    if (!(next == layout) && !Start(next, std::max(layers, kMinLayers))) return false;
    view = RasteriseChanged(scene, cache);
    if (view.layers > layers) {
        // More bands overlap in some column than the image has layers: make room and draw every column again.
        if (!Start(layout, view.layers)) return false;
        view = RasteriseChanged(scene, cache);
    }
    // Columns that left the view keep no rows in any layer.
    for (int64_t index = view.last + 1; index < view.first + ring; ++index) {
        const int s = static_cast<int>(FloorMod(index, ring));
        if (slots[static_cast<size_t>(s)].column != INT64_MIN) ClearSlot(s);
    }
    return Upload(device);
}

bool LaneImage::Draw(ImDrawList* drawList, const ColumnScene& scene, float panelTop, float panelBottom,
                     ColumnCache& cache, TextureDevice& device, float& peakSeen) {
    const WaveMapping& m = scene.mapping;
    if (m.frameCount <= 0) return false;
    Layout next;
    // The view spans at most N / u + 2 columns, so no two of them share a slot.
    next.ring = m.frameCount / m.columnFrames + 2;
    next.rowTop = static_cast<int>(std::floor(panelTop));
    next.rows = std::max(1, static_cast<int>(std::ceil(panelBottom)) - next.rowTop);
    next.left = scene.left;
    next.right = scene.right;
    next.uiScale = scene.uiScale;
    next.columnFrames = m.columnFrames;
    next.cacheRestarts = cache.Restarts();
    next.lowerEdge = device.FillsLowerEdge();
    next.textureLimit = device.MaxTextureSize();
    next.device = &device;
    // Trying again with nothing changed would fail again, and cost more than the rectangles drawn instead.
    if (next == refused) return false;
    ViewColumns view;
    if (!Update(next, scene, cache, device, view)) {
        Discard();
        layers = 0;
        refused = next;
        return false;
    }

    // The quads span the columns' own extent, clipped to the panel like the rectangles.
    const float u0 = static_cast<float>(FloorMod(view.first, ring)) / static_cast<float>(ring);
    const float u1 = u0 + static_cast<float>(view.last - view.first + 1) / static_cast<float>(ring);
    AddLayerQuads(drawList, m.XOfFrame(view.first * m.columnFrames), m.XOfFrame((view.last + 1) * m.columnFrames), u0,
                  u1, view.layers);
    peakSeen = view.peak;
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
