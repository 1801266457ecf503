#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/font_texture.h"
#include "resources/icon_font.h"

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

// A device with a chosen limit that records what it was asked to upload.
class FakeDevice : public TextureDevice {
public:
    explicit FakeDevice(int limit) : limit(limit) {}
    int MaxTextureSize() const override { return limit; }
    uint32_t FeatureLevel() const override { return 0x3300; }
    UploadResult Upload(const unsigned char* pixels, int width, int height) override {
        uploads.push_back({width, height, pixels != nullptr});
        return answer;
    }

    struct Call {
        int width, height;
        bool hadPixels;
    };
    int limit;
    UploadResult answer{true, 0, true, 0, reinterpret_cast<ImTextureID>(0x1234)};
    std::vector<Call> uploads;
};

class FontTextureTest : public ::testing::Test {
protected:
    ImFontAtlas atlas;
    std::vector<std::string> lines;
    StartupLogSink sink = [this](const char* line) { lines.emplace_back(line); };

    // The icon font's whole range: about a thousand glyphs, a tall atlas when narrow.
    void AddIcons(float size) {
        static const ImWchar ranges[] = {0xF000, 0xF950, 0};
        ImFontConfig config;
        config.FontDataOwnedByAtlas = false;
        atlas.AddFontFromMemoryTTF(const_cast<unsigned char*>(kIconFontData), static_cast<int>(kIconFontDataSize), size,
                                   &config, ranges);
    }
    void AddText(float size) {
        ASSERT_NE(atlas.AddFontFromFileTTF(WAVELIFT_TEST_FONT_DIR "/OpenSans-Regular.ttf", size), nullptr);
    }
    std::vector<std::string> LinesStartingWith(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& line : lines)
            if (line.rfind(prefix, 0) == 0) found.push_back(line);
        return found;
    }
    std::string RunExpectingFailure(FakeDevice& device) {
        try {
            CreateFontTexture(atlas, device, sink);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        ADD_FAILURE() << "the font texture step did not fail";
        return {};
    }
};

TEST_F(FontTextureTest, TallAtlasIsRebuiltWiderUntilItFitsTheLimit) {
    FakeDevice device(2048);
    atlas.TexDesiredWidth = 256;
    AddIcons(20.0f);

    CreateFontTexture(atlas, device, sink);

    const std::vector<std::string> packing = LinesStartingWith("Font atlas packing:");
    ASSERT_EQ(packing.size(), 1u);
    EXPECT_THAT(packing[0], HasSubstr("width=256"));
    EXPECT_THAT(packing[0], HasSubstr("textureLimit=2048"));
    EXPECT_THAT(LinesStartingWith("Font atlas wider rebuild begin"), Not(IsEmpty()));
    const std::vector<std::string> rebuilt = LinesStartingWith("Font atlas wider rebuild complete: width=");
    ASSERT_FALSE(rebuilt.empty());
    EXPECT_THAT(rebuilt.back(), StartsWith("Font atlas wider rebuild complete: width=" + std::to_string(atlas.TexWidth) +
                                           " height=" + std::to_string(atlas.TexHeight)));
    EXPECT_GT(atlas.TexWidth, 256);
    EXPECT_LE(atlas.TexWidth, 2048);
    EXPECT_LE(atlas.TexHeight, 2048);
    ASSERT_EQ(device.uploads.size(), 1u);
    EXPECT_EQ(device.uploads[0].width, atlas.TexWidth);
    EXPECT_EQ(device.uploads[0].height, atlas.TexHeight);
    EXPECT_EQ(atlas.TexID, device.answer.texture);
}

TEST_F(FontTextureTest, AtlasAsWideAsTheLimitAndStillTooTallFailsWithoutTexture) {
    FakeDevice device(512);
    atlas.TexDesiredWidth = 512;
    AddIcons(20.0f);

    const std::string message = RunExpectingFailure(device);

    EXPECT_THAT(message, StartsWith("Font atlas exceeds GPU limit: width=512 height=" + std::to_string(atlas.TexHeight) +
                                    " limit=512 bakedGlyphs="));
    EXPECT_GT(atlas.TexHeight, 512);
    EXPECT_THAT(LinesStartingWith("Font atlas wider rebuild"), IsEmpty());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), message);
    EXPECT_TRUE(device.uploads.empty());
    EXPECT_EQ(atlas.TexID, nullptr);
}

TEST_F(FontTextureTest, AtlasThatFitsIsNeverWidened) {
    FakeDevice device(2048);
    atlas.TexDesiredWidth = 256;
    AddText(16.0f);

    CreateFontTexture(atlas, device, sink);

    EXPECT_EQ(atlas.TexWidth, 256);
    EXPECT_THAT(LinesStartingWith("Font atlas wider rebuild"), IsEmpty());
    ASSERT_EQ(device.uploads.size(), 1u);
    EXPECT_EQ(device.uploads[0].width, 256);
    EXPECT_TRUE(device.uploads[0].hadPixels);
}

TEST_F(FontTextureTest, LogTracesEveryStageOfASuccessfulUpload) {
    FakeDevice device(16384);
    AddText(16.0f);
    AddIcons(13.0f);

    CreateFontTexture(atlas, device, sink);

    const std::string size = "width=" + std::to_string(atlas.TexWidth) + " height=" + std::to_string(atlas.TexHeight);
    const int glyphs0 = atlas.Fonts[0]->Glyphs.Size;
    const int glyphs1 = atlas.Fonts[1]->Glyphs.Size;
    EXPECT_THAT(lines,
                ElementsAre("Font source 0: requestedGlyphs=224 sizePixels=16.00 density=1.00 oversample=2x1 merge=0 "
                            "fontBytes=" + std::to_string(atlas.ConfigData[0].FontDataSize),
                            "Font source 1: requestedGlyphs=2385 sizePixels=13.00 density=1.00 oversample=2x1 merge=0 "
                            "fontBytes=" + std::to_string(kIconFontDataSize),
                            "Font atlas packing: sources=2 fonts=2 requestedGlyphs=2609 " + size + " textureLimit=16384",
                            "Font output 0: bakedGlyphs=" + std::to_string(glyphs0) + " sizePixels=16.00",
                            "Font output 1: bakedGlyphs=" + std::to_string(glyphs1) + " sizePixels=13.00",
                            "Font atlas totals: requestedGlyphs=2609 bakedGlyphs=" + std::to_string(glyphs0 + glyphs1),
                            "Font atlas RGBA generation begin",
                            "Font atlas RGBA generation complete: " + size + " featureLevel=0x3300",
                            "Font atlas CreateTexture2D begin",
                            "Font atlas CreateTexture2D complete: HRESULT=0x00000000 " + size,
                            "Font atlas CreateShaderResourceView complete: HRESULT=0x00000000"));
}

TEST_F(FontTextureTest, FailedUploadStepsFailWithTheirCompletionTextAndInstallNothing) {
    AddText(16.0f);
    FakeDevice textureFails(4096);
    textureFails.answer = {false, 0x80070057u, false, 0, nullptr};
    const std::string textureMessage = RunExpectingFailure(textureFails);
    EXPECT_THAT(textureMessage, StartsWith("Font atlas CreateTexture2D complete: HRESULT=0x80070057 width="));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("CreateShaderResourceView"))));
    EXPECT_EQ(atlas.TexID, nullptr);

    lines.clear();
    FakeDevice viewFails(4096);
    viewFails.answer = {true, 0, false, 0x0502, nullptr};
    EXPECT_EQ(RunExpectingFailure(viewFails), "Font atlas CreateShaderResourceView complete: HRESULT=0x00000502");
    EXPECT_EQ(lines.back(), "Font atlas CreateShaderResourceView complete: HRESULT=0x00000502");
    EXPECT_EQ(atlas.TexID, nullptr);
}

TEST_F(FontTextureTest, UnreadableFontFailsTheBuild) {
#ifndef NDEBUG
    GTEST_SKIP() << "the library asserts on unreadable font data in builds with assertions";
#endif
    static unsigned char garbage[64] = {0x00, 0x01, 0x00, 0x00};  // a font header with no tables
    ImFontConfig config;
    config.FontDataOwnedByAtlas = false;
    atlas.AddFontFromMemoryTTF(garbage, sizeof(garbage), 16.0f, &config);
    FakeDevice device(4096);

    EXPECT_EQ(RunExpectingFailure(device), "Font atlas Build failed");
    EXPECT_THAT(lines, ElementsAre(AllOf(StartsWith("Font source 0: requestedGlyphs=224"), HasSubstr("fontBytes=64"))));
    EXPECT_TRUE(device.uploads.empty());
}

}  // namespace
