#pragma once
#include <cstdint>

#include <imgui.h>

// The renderer's textures as the program makes them: the font atlas, uploaded
// once, and the waveform's lane image, which is redrawn in parts.
class TextureDevice {
public:
    struct UploadResult {
        bool textureCreated = false;
        uint32_t textureCode = 0;  // the graphics API's own result code
        bool viewCreated = false;
        uint32_t viewCode = 0;
        ImTextureID texture = nullptr;  // valid only when both steps succeeded
    };

    virtual ~TextureDevice() = default;
    // Largest width and height of one texture, in pixels.
    virtual int MaxTextureSize() const = 0;
    // The device's capability level as a hexadecimal tag for the log.
    virtual uint32_t FeatureLevel() const = 0;
    // Creates the font texture from `width` × `height` RGBA 8-bit pixels. On a failed
    // step the device keeps nothing of what it made.
    virtual UploadResult Upload(const unsigned char* pixels, int width, int height) = 0;

    // An image texture: RGBA 8-bit, transparent when made, sampled at the
    // nearest texel and repeating across its width. The device keeps it until
    // it is destroyed or the device shuts down. Null when the device cannot
    // make one; the waveform then draws its columns as rectangles.
    virtual ImTextureID CreateImageTexture(int /*width*/, int /*height*/) { return nullptr; }
    // Replaces the rectangle at (x, y) with rows of `pitch` pixels from `pixels`.
    virtual void UpdateImageTexture(ImTextureID /*texture*/, int /*x*/, int /*y*/, int /*width*/, int /*height*/,
                                    const uint32_t* /*pixels*/, int /*pitch*/) {}
    virtual void DestroyImageTexture(ImTextureID /*texture*/) {}
    // How the rasteriser decides a pixel whose centre lies exactly on a filled
    // rectangle's upper or lower edge: true when the lower edge is inside and
    // the upper one outside. Vertices are snapped to 1/256 of a pixel first.
    virtual bool FillsLowerEdge() const { return false; }
};
