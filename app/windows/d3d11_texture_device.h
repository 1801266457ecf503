#pragma once
#include <d3d11.h>

#include <vector>

#include "app/texture_device.h"

// Largest texture side the device accepts, by Direct3D feature level.
int TextureLimitForFeatureLevel(D3D_FEATURE_LEVEL level);

// The textures of a Direct3D 11 device: its limit, the font atlas uploaded into
// an RGBA texture with a shader-resource view, and the waveform's image
// textures, which it keeps until Release.
class D3D11TextureDevice : public TextureDevice {
public:
    D3D11TextureDevice(ID3D11Device* device, ID3D11DeviceContext* context) : device(device), context(context) {}
    ~D3D11TextureDevice() override { Release(); }
    D3D11TextureDevice(const D3D11TextureDevice&) = delete;
    D3D11TextureDevice& operator=(const D3D11TextureDevice&) = delete;

    int MaxTextureSize() const override { return TextureLimitForFeatureLevel(device->GetFeatureLevel()); }
    uint32_t FeatureLevel() const override { return static_cast<uint32_t>(device->GetFeatureLevel()); }
    UploadResult Upload(const unsigned char* pixels, int width, int height) override;
    ImTextureID CreateImageTexture(int width, int height) override;
    void UpdateImageTexture(ImTextureID texture, int x, int y, int width, int height, const uint32_t* pixels,
                            int pitch) override;
    void DestroyImageTexture(ImTextureID texture) override;

    // Whether a view is one of the image textures, which are sampled at the nearest texel.
    bool IsImageTexture(ImTextureID texture) const;
    // Releases every image texture.
    void Release();

private:
    struct ImageTexture {
        ID3D11Texture2D* texture;
        ID3D11ShaderResourceView* view;
    };

    std::vector<ImageTexture>::iterator Find(ImTextureID texture);

    ID3D11Device* device;
    ID3D11DeviceContext* context;
    std::vector<ImageTexture> images;
};
