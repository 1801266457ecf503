#include "tests/support/cpu_texture_device.h"

#include <algorithm>

#include <gtest/gtest.h>

TextureDevice::UploadResult CpuTextureDevice::Upload(const unsigned char*, int, int) {
    return {true, 0, true, 0, reinterpret_cast<ImTextureID>(static_cast<intptr_t>(1))};
}

ImTextureID CpuTextureDevice::CreateImageTexture(int width, int height) {
    ++imageRequests;
    if (refusesImages || width <= 0 || height <= 0 || width > maxTextureSize || height > maxTextureSize) return nullptr;
    auto texture = std::make_unique<Texture>();
    texture->width = width;
    texture->height = height;
    texture->pixels.assign(static_cast<size_t>(width) * height, 0u);
    textures.push_back(std::move(texture));
    return textures.back().get();
}

void CpuTextureDevice::UpdateImageTexture(ImTextureID id, int x, int y, int width, int height, const uint32_t* pixels,
                                          int pitch) {
    auto* texture = const_cast<Texture*>(Find(id));
    ASSERT_NE(texture, nullptr) << "an update of a texture this device does not hold";
    ASSERT_TRUE(x >= 0 && y >= 0 && width > 0 && height > 0 && x + width <= texture->width &&
                y + height <= texture->height && pitch >= width)
        << "update (" << x << ", " << y << ") " << width << " x " << height << " outside " << texture->width << " x "
        << texture->height;
    for (int row = 0; row < height; ++row)
        std::copy_n(pixels + static_cast<size_t>(row) * pitch, width,
                    texture->pixels.begin() + static_cast<ptrdiff_t>(y + row) * texture->width + x);
    texelsUploaded += static_cast<int64_t>(width) * height;
}

void CpuTextureDevice::DestroyImageTexture(ImTextureID id) {
    std::erase_if(textures, [id](const std::unique_ptr<Texture>& t) { return t.get() == id; });
}

const CpuTextureDevice::Texture* CpuTextureDevice::Find(ImTextureID id) const {
    for (const auto& t : textures)
        if (t.get() == id) return t.get();
    return nullptr;
}
