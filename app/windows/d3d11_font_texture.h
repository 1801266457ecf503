#pragma once
#include <d3d11.h>

#include "app/font_texture.h"

// Largest texture side the device accepts, by Direct3D feature level.
int TextureLimitForFeatureLevel(D3D_FEATURE_LEVEL level);

// The font-texture step's view of a Direct3D 11 device: its limit and an
// upload into an RGBA texture with a shader-resource view.
class D3D11FontTextureDevice : public FontTextureDevice {
public:
    explicit D3D11FontTextureDevice(ID3D11Device* device) : device(device) {}
    int MaxTextureSize() const override { return TextureLimitForFeatureLevel(device->GetFeatureLevel()); }
    uint32_t FeatureLevel() const override { return static_cast<uint32_t>(device->GetFeatureLevel()); }
    UploadResult Upload(const unsigned char* pixels, int width, int height) override;

private:
    ID3D11Device* device;
};
