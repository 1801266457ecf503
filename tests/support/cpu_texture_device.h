#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "app/texture_device.h"

// The renderer's textures kept in memory, for headless frames: image textures
// hold their pixels, so tests can read what the waveform uploaded.
class CpuTextureDevice : public TextureDevice {
public:
    struct Texture {
        int width = 0, height = 0;
        std::vector<uint32_t> pixels;
        uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    };

    int maxTextureSize = 16384;
    bool lowerEdgeInside = false;
    int64_t texelsUploaded = 0;  // by UpdateImageTexture since construction
    bool refusesImages = false;  // CreateImageTexture answers null, as a device short of memory does
    int imageRequests = 0;       // calls of CreateImageTexture since construction

    int MaxTextureSize() const override { return maxTextureSize; }
    uint32_t FeatureLevel() const override { return 0; }
    UploadResult Upload(const unsigned char* pixels, int width, int height) override;
    ImTextureID CreateImageTexture(int width, int height) override;
    void UpdateImageTexture(ImTextureID texture, int x, int y, int width, int height, const uint32_t* pixels,
                            int pitch) override;
    void DestroyImageTexture(ImTextureID texture) override;
    bool FillsLowerEdge() const override { return lowerEdgeInside; }

    // The image texture behind an id this device handed out; null for any other.
    const Texture* Find(ImTextureID texture) const;

private:
    std::vector<std::unique_ptr<Texture>> textures;
};
