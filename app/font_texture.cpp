#include "app/font_texture.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

// Sizes of the message buffers; longer texts are cut.
constexpr size_t kAtlasMessageSize = 384;
constexpr size_t kTextureMessageSize = 256;

template <size_t N>
std::string Format(const char* format, ...) {
    char buffer[N];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    return buffer;
}

uint32_t RequestedGlyphs(ImFontAtlas& atlas, const ImFontConfig& source) {
    const ImWchar* ranges = source.GlyphRanges ? source.GlyphRanges : atlas.GetGlyphRangesDefault();
    uint32_t count = 0;
    for (; ranges[0] != 0; ranges += 2) count += static_cast<uint32_t>(ranges[1]) - ranges[0] + 1;
    return count;
}

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

}  // namespace

void CreateFontTexture(ImFontAtlas& atlas, TextureDevice& device, const StartupLogSink& log) {
    constexpr size_t A = kAtlasMessageSize;
    constexpr size_t T = kTextureMessageSize;

    uint32_t requestedTotal = 0;
    for (int i = 0; i < atlas.ConfigData.Size; ++i) {
        const ImFontConfig& source = atlas.ConfigData[i];
        const uint32_t requested = RequestedGlyphs(atlas, source);
        log(Format<A>("Font source %d: requestedGlyphs=%u sizePixels=%.2f density=%.2f oversample=%dx%d merge=%d "
                      "fontBytes=%d",
                      i, requested, source.SizePixels, source.RasterizerDensity, source.OversampleH,
                      source.OversampleV, source.MergeMode ? 1 : 0, source.FontDataSize)
                .c_str());
        requestedTotal += requested;
    }

    const int limit = device.MaxTextureSize();
    if (!atlas.IsBuilt() && !atlas.Build()) Fail("Font atlas Build failed");
    log(Format<A>("Font atlas packing: sources=%d fonts=%d requestedGlyphs=%u width=%d height=%d textureLimit=%d",
                  atlas.ConfigData.Size, atlas.Fonts.Size, requestedTotal, atlas.TexWidth, atlas.TexHeight, limit)
            .c_str());

    while (atlas.TexHeight > limit && atlas.TexWidth < limit) {
        atlas.TexDesiredWidth = std::min(atlas.TexWidth * 2, limit);
        log("Font atlas wider rebuild begin");
        if (!atlas.Build()) Fail("Font atlas wider rebuild failed");
        log(Format<A>("Font atlas wider rebuild complete: width=%d height=%d", atlas.TexWidth, atlas.TexHeight).c_str());
    }

    uint32_t bakedTotal = 0;
    for (int i = 0; i < atlas.Fonts.Size; ++i) {
        const ImFont* font = atlas.Fonts[i];
        log(Format<A>("Font output %d: bakedGlyphs=%d sizePixels=%.2f", i, font->Glyphs.Size, font->FontSize).c_str());
        bakedTotal += static_cast<uint32_t>(font->Glyphs.Size);
    }
    log(Format<A>("Font atlas totals: requestedGlyphs=%u bakedGlyphs=%u", requestedTotal, bakedTotal).c_str());

    if (atlas.TexWidth > limit || atlas.TexHeight > limit) {
        const std::string exceeds = Format<A>("Font atlas exceeds GPU limit: width=%d height=%d limit=%d bakedGlyphs=%u",
                                              atlas.TexWidth, atlas.TexHeight, limit, bakedTotal);
        log(exceeds.c_str());
        Fail(exceeds);
    }

    log("Font atlas RGBA generation begin");
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
    atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
    log(Format<T>("Font atlas RGBA generation complete: width=%d height=%d featureLevel=0x%X", width, height,
                  device.FeatureLevel())
            .c_str());
    if (!pixels || width <= 0 || height <= 0) Fail("Font atlas generation returned no pixels");

    log("Font atlas CreateTexture2D begin");
    const TextureDevice::UploadResult upload = device.Upload(pixels, width, height);
    const std::string created =
        Format<T>("Font atlas CreateTexture2D complete: HRESULT=0x%08X width=%d height=%d", upload.textureCode, width, height);
    log(created.c_str());
    if (!upload.textureCreated) Fail(created);

    const std::string viewed = Format<T>("Font atlas CreateShaderResourceView complete: HRESULT=0x%08X", upload.viewCode);
    log(viewed.c_str());
    if (!upload.viewCreated) Fail(viewed);
    atlas.SetTexID(upload.texture);
}
