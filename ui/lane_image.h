#pragma once
#include <cstdint>
#include <vector>

#include <imgui.h>

#include "ui/wave_columns.h"

class ColumnCache;
class TextureDevice;

// The waveform's columns kept as an image in a texture of the renderer and
// drawn with a few textured quads, instead of thousands of rectangles a frame.
//
// Each column of the view owns one texel column of a ring, chosen by its
// absolute column index, so the image scrolls with the audio: a live frame
// rasterises and uploads only the columns that gained audio (and the partial
// one at the left edge), a frozen view only those whose selection changed.
//
// A pixel covered by several bands of its column (an envelope, its RMS core, a
// clip mark, and with overs the other lane's core) takes its first band from
// the image's first layer, its second from the second layer, and so on. The
// layers are drawn in order with the bands' own colours, so each blends over
// the one before exactly as the rectangles would. Rows follow the rasteriser's
// own rule for which pixel centres a rectangle covers; a layer's quads span
// only the rows where some column has a band in that layer.
class LaneImage {
public:
    // Draws the columns of `scene` over the panel rows [panelTop, panelBottom)
    // and sets `peakSeen` to the largest absolute sample value of the view.
    // False when the device cannot hold the image: nothing was drawn. A device
    // that could not is not asked again until the panel's size, the scale, the
    // columns or the device change.
    bool Draw(ImDrawList* drawList, const ColumnScene& scene, float panelTop, float panelBottom, ColumnCache& cache,
              TextureDevice& device, float& peakSeen);
    // Forgets the image, and a failure to hold it, so that the next Draw
    // rasterises every column again. The count of layers only grows: room made
    // for overs is kept.
    void Discard();

    ImTextureID Texture() const { return texture; }
    int TextureHeight() const { return rows * layers; }
    // Layers drawn in the last frame.
    int LayersDrawn() const { return layersDrawn; }

private:
    // Everything that places pixels, apart from the columns' own content.
    struct Layout {
        int64_t ring = 0;
        int rowTop = 0;
        int rows = 0;
        LaneGeometry left, right;
        float uiScale = 0.0f;
        int64_t columnFrames = 0;
        uint64_t cacheRestarts = 0;
        bool lowerEdge = false;
        int textureLimit = 0;
        const TextureDevice* device = nullptr;
        bool operator==(const Layout&) const = default;
    };
    // What one texel column shows.
    struct Slot {
        int64_t column = INT64_MIN;  // absolute column index; INT64_MIN when it shows nothing
        int64_t start = 0;
        int64_t end = 0;
        bool selected = false;
        int depth = 0;  // layers it uses
        float peak = 0.0f;
    };

    // The columns of the view, as the image holds them.
    struct ViewColumns {
        int64_t first = INT64_MAX;  // absolute indices of the oldest and newest column
        int64_t last = INT64_MIN;
        int layers = 0;     // the most any of them uses
        float peak = 0.0f;  // the largest absolute sample value
    };

    // Sizes the image afresh, empty; false when it would not fit the device's
    // largest texture or the memory the program allows it.
    bool Start(const Layout& next, int layerCount);
    // Brings the image up to date with the view and uploads what changed;
    // false when the device cannot hold it.
    bool Update(const Layout& next, const ColumnScene& scene, ColumnCache& cache, TextureDevice& device,
                ViewColumns& view);
    // Rasterises the columns of the view whose frames or selection changed.
    ViewColumns RasteriseChanged(const ColumnScene& scene, ColumnCache& cache);
    // Empties a slot whose column left the view, so that no layer keeps rows for it.
    void ClearSlot(int slot);
    // Rasterises one column into its slot; returns the layers it needs, which
    // may exceed the image's (then the slot is left incomplete).
    int Rasterise(int slot, const ColumnPair& pair, int64_t frameCount, bool selected, const ColumnScene& scene);
    bool Upload(TextureDevice& device);
    // One quad for each run of rows a layer has bands in, over texel columns u0 to u1.
    void AddLayerQuads(ImDrawList* drawList, float left, float right, float u0, float u1, int depth);

    Layout layout;
    Layout refused;  // the last layout the device could not hold
    int ring = 0;
    int rows = 0;
    int layers = 0;
    int layersDrawn = 0;
    std::vector<Slot> slots;
    std::vector<uint32_t> pixels;  // ring × (rows × layers), row-major like the texture
    std::vector<uint8_t> dirty;    // per slot: changed since the last upload
    std::vector<uint8_t> rowDepth;
    // Per layer and row, how many slots have a band there: the quads cover
    // only rows that show something, which spares the rasteriser the rest.
    std::vector<int32_t> occupancy;
    ImTextureID texture = nullptr;
    TextureDevice* textureDevice = nullptr;  // the device that made `texture`
    int textureWidth = 0;
    int textureHeight = 0;
    bool uploadAll = false;
};
