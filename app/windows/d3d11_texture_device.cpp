#include "app/windows/d3d11_texture_device.h"

#include <algorithm>

#include "app/windows/release_and_clear.h"

namespace {

constexpr int kBytesPerPixel = 4;

D3D11_TEXTURE2D_DESC RgbaTextureDesc(int width, int height) {
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
    return desc;
}

D3D11_SHADER_RESOURCE_VIEW_DESC RgbaViewDesc(const D3D11_TEXTURE2D_DESC& texture) {
    D3D11_SHADER_RESOURCE_VIEW_DESC desc = {};
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
    desc.Texture2D.MostDetailedMip = 0;
    desc.Texture2D.MipLevels = texture.MipLevels;
    return desc;
}

}  // namespace

int TextureLimitForFeatureLevel(D3D_FEATURE_LEVEL level) {
    if (level >= D3D_FEATURE_LEVEL_11_0) return 16384;
    if (level >= D3D_FEATURE_LEVEL_10_0) return 8192;
    if (level >= D3D_FEATURE_LEVEL_9_3) return 4096;
    return 2048;
}

TextureDevice::UploadResult D3D11TextureDevice::Upload(const unsigned char* pixels, int width, int height) {
    UploadResult result;
    const D3D11_TEXTURE2D_DESC desc = RgbaTextureDesc(width, height);

    D3D11_SUBRESOURCE_DATA initial = {};
    initial.pSysMem = pixels;
    initial.SysMemPitch = desc.Width * kBytesPerPixel;

    ID3D11Texture2D* texture = nullptr;
    HRESULT hr = device->CreateTexture2D(&desc, &initial, &texture);
    result.textureCode = static_cast<uint32_t>(hr);
    result.textureCreated = SUCCEEDED(hr) && texture != nullptr;
    if (!result.textureCreated) return result;

    const D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = RgbaViewDesc(desc);
    ID3D11ShaderResourceView* view = nullptr;
    hr = device->CreateShaderResourceView(texture, &viewDesc, &view);
    texture->Release();  // the view keeps the texture alive
    result.viewCode = static_cast<uint32_t>(hr);
    result.viewCreated = SUCCEEDED(hr) && view != nullptr;
    if (result.viewCreated) result.texture = view;
    return result;
}

ImTextureID D3D11TextureDevice::CreateImageTexture(int width, int height) {
    const D3D11_TEXTURE2D_DESC desc = RgbaTextureDesc(width, height);
    const std::vector<uint32_t> transparent(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    D3D11_SUBRESOURCE_DATA initial = {};
    initial.pSysMem = transparent.data();
    initial.SysMemPitch = desc.Width * kBytesPerPixel;
    ImageTexture image = {nullptr, nullptr};
    if (FAILED(device->CreateTexture2D(&desc, &initial, &image.texture)) || image.texture == nullptr) return nullptr;
    const D3D11_SHADER_RESOURCE_VIEW_DESC viewDesc = RgbaViewDesc(desc);
    if (FAILED(device->CreateShaderResourceView(image.texture, &viewDesc, &image.view)) || image.view == nullptr) {
        ReleaseAndClear(image.texture);
        return nullptr;
    }
    images.push_back(image);
    return image.view;
}

std::vector<D3D11TextureDevice::ImageTexture>::iterator D3D11TextureDevice::Find(ImTextureID texture) {
    return std::find_if(images.begin(), images.end(), [texture](const ImageTexture& image) { return image.view == texture; });
}

void D3D11TextureDevice::UpdateImageTexture(ImTextureID texture, int x, int y, int width, int height,
                                                const uint32_t* pixels, int pitch) {
    const auto found = Find(texture);
    if (found == images.end()) return;
    const D3D11_BOX box = {static_cast<UINT>(x), static_cast<UINT>(y), 0, static_cast<UINT>(x + width),
                           static_cast<UINT>(y + height), 1};
    context->UpdateSubresource(found->texture, 0, &box, pixels, static_cast<UINT>(pitch) * kBytesPerPixel, 0);
}

void D3D11TextureDevice::DestroyImageTexture(ImTextureID texture) {
    const auto found = Find(texture);
    if (found == images.end()) return;
    ReleaseAndClear(found->view);
    ReleaseAndClear(found->texture);
    images.erase(found);
}

bool D3D11TextureDevice::IsImageTexture(ImTextureID texture) const {
    return std::any_of(images.begin(), images.end(), [texture](const ImageTexture& image) { return image.view == texture; });
}

void D3D11TextureDevice::Release() {
    for (ImageTexture& image : images) {
        ReleaseAndClear(image.view);
        ReleaseAndClear(image.texture);
    }
    images.clear();
}
