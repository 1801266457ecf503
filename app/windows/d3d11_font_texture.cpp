#include "app/windows/d3d11_font_texture.h"

namespace {
constexpr int kBytesPerPixel = 4;
}

int TextureLimitForFeatureLevel(D3D_FEATURE_LEVEL level) {
    if (level >= D3D_FEATURE_LEVEL_11_0) return 16384;
    if (level >= D3D_FEATURE_LEVEL_10_0) return 8192;
    if (level >= D3D_FEATURE_LEVEL_9_3) return 4096;
    return 2048;
}

FontTextureDevice::UploadResult D3D11FontTextureDevice::Upload(const unsigned char* pixels, int width, int height) {
    UploadResult result;
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = static_cast<UINT>(width);
    desc.Height = static_cast<UINT>(height);
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    desc.CPUAccessFlags = 0;

    D3D11_SUBRESOURCE_DATA initial = {};
    initial.pSysMem = pixels;
    initial.SysMemPitch = desc.Width * kBytesPerPixel;

    ID3D11Texture2D* texture = nullptr;
    HRESULT hr = device->CreateTexture2D(&desc, &initial, &texture);
    result.textureCode = static_cast<uint32_t>(hr);
    result.textureCreated = SUCCEEDED(hr) && texture != nullptr;
    if (!result.textureCreated) return result;

    D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = {};
    viewDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    viewDesc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    viewDesc.Texture2D.MostDetailedMip = 0;
    viewDesc.Texture2D.MipLevels = desc.MipLevels;
    ID3D11ShaderResourceView* view = nullptr;
    hr = device->CreateShaderResourceView(texture, &viewDesc, &view);
    texture->Release();  // the view keeps the texture alive
    result.viewCode = static_cast<uint32_t>(hr);
    result.viewCreated = SUCCEEDED(hr) && view != nullptr;
    if (result.viewCreated) result.texture = view;
    return result;
}
