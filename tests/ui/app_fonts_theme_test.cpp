#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "tests/support/font_collection.h"
#include "tests/support/headless_ui.h"

namespace {

bool HasIcons(ImFont* font) {
    const ImFontGlyph* glyph = font->FindGlyphNoFallback(0xF04B);
    return glyph && glyph->Codepoint == 0xF04B;
}

float TextWidth(ImFont* font) { return font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, "Wavelift 0123").x; }

}  // namespace

// Requested sizes, read before the atlas is built (the library rounds them down when it builds).
TEST(AppFonts, SixSourcesThreeFontsInOrderWithTheBodyFontAsDefault) {
    HeadlessUi ui(1100, 421, /*systemFonts=*/true);
    ui.app.ApplyUiScale(1.0f, 1.0f);
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    ASSERT_EQ(atlas->ConfigData.Size, 6);
    ASSERT_EQ(atlas->Fonts.Size, 3);
    EXPECT_EQ(atlas->Fonts[0], ui.app.bodyFont);
    EXPECT_EQ(atlas->Fonts[1], ui.app.smallFont);
    EXPECT_EQ(atlas->Fonts[2], ui.app.titleFont);
    EXPECT_EQ(ImGui::GetIO().FontDefault, ui.app.bodyFont);
    const float sizes[] = {16.0f, 13.6f, 13.5f, 11.475f, 18.0f, 15.3f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(atlas->ConfigData[i].SizePixels, sizes[i], 1e-4f) << i;
        EXPECT_EQ(atlas->ConfigData[i].MergeMode, i % 2 == 1) << i;
    }
    // Title in the semibold face, the others regular.
    EXPECT_NE(std::strstr(atlas->ConfigData[4].Name, "Semibold"), nullptr) << atlas->ConfigData[4].Name;
    EXPECT_NE(std::strstr(atlas->ConfigData[0].Name, "Regular"), nullptr) << atlas->ConfigData[0].Name;
    ui.ApplyScale(1.0f);
    for (ImFont* font : atlas->Fonts) EXPECT_TRUE(HasIcons(font));
    // The interface's en dash and ellipsis are in the text faces.
    EXPECT_NE(ui.app.smallFont->FindGlyphNoFallback(0x2026), nullptr);
    EXPECT_NE(ui.app.smallFont->FindGlyphNoFallback(0x2013), nullptr);
}

TEST(AppFonts, IconsAreMergedWithTheirMetricsAtScale) {
    HeadlessUi ui(1100, 421, /*systemFonts=*/true);
    ui.app.ApplyUiScale(1.5f, 1.0f);
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    const ImFontConfig& icons = atlas->ConfigData[1];
    EXPECT_NEAR(icons.SizePixels, 20.4f, 1e-4f);
    EXPECT_TRUE(icons.PixelSnapH);
    EXPECT_FLOAT_EQ(icons.GlyphMinAdvanceX, 24.0f);
    EXPECT_FLOAT_EQ(icons.GlyphOffset.y, 0.75f);
    ui.ApplyScale(1.5f);
    EXPECT_FLOAT_EQ(ui.app.bodyFont->FontSize, 24.0f);
    EXPECT_GE(ui.app.bodyFont->FindGlyph(0xF04B)->AdvanceX, 24.0f);
}

TEST(AppFonts, WithoutSystemFacesEveryFontIsTheBuiltInOneCarryingIcons) {
    HeadlessUi ui;  // no candidates
    ui.app.ApplyUiScale(1.0f, 1.0f);
    const ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    EXPECT_FLOAT_EQ(atlas->ConfigData[0].SizePixels, 16.0f);
    EXPECT_FLOAT_EQ(atlas->ConfigData[2].SizePixels, 13.5f);
    EXPECT_FLOAT_EQ(atlas->ConfigData[4].SizePixels, 18.0f);
    ui.ApplyScale(1.0f);
    for (ImFont* font : {ui.app.bodyFont, ui.app.smallFont, ui.app.titleFont}) {
        EXPECT_NE(std::strstr(font->ConfigData->Name, "ProggyClean"), nullptr);
        EXPECT_TRUE(HasIcons(font));
    }
}

TEST(AppFonts, MissingSemiboldFaceGivesATitleInTheRegularFace) {
    HeadlessUi ui(1100, 421, /*systemFonts=*/true);
    fake_platform::Get().fontCandidates[1] = {ui.temp / "missing.ttf"};
    ui.app.ApplyUiScale(1.0f, 1.0f);
    EXPECT_NE(std::strstr(ui.app.titleFont->ConfigData->Name, "Regular"), nullptr);
    EXPECT_FLOAT_EQ(ui.app.titleFont->ConfigData->SizePixels, 18.0f);
    ui.ApplyScale(1.0f);
}

TEST(AppFonts, FacesOfACollectionAreLoadedByTheirNumber) {
    HeadlessUi ui(1100, 421, /*systemFonts=*/true);
    ui.ApplyScale(1.0f);
    const float regular = TextWidth(ui.app.bodyFont), semibold = TextWidth(ui.app.titleFont);
    const std::filesystem::path dir = WAVELIFT_TEST_FONT_DIR, collection = ui.temp / "OpenSans.ttc";
    ASSERT_TRUE(WriteFontCollection(collection, {dir / "OpenSans-Semibold.ttf", dir / "OpenSans-Regular.ttf"}));
    fake_platform::Get().fontCandidates = {{collection, 1}, {collection, 0}};
    ui.ApplyScale(1.0f);
    EXPECT_FLOAT_EQ(TextWidth(ui.app.bodyFont), regular);
    EXPECT_FLOAT_EQ(TextWidth(ui.app.titleFont), semibold);
    // Numbers the file does not hold are skipped like unreadable files.
    fake_platform::Get().fontCandidates = {{collection, 2}, {dir / "OpenSans-Regular.ttf", 1}};
    ui.ApplyScale(1.0f);
    EXPECT_NE(std::strstr(ui.app.bodyFont->ConfigData->Name, "ProggyClean"), nullptr);
}

TEST(AppFonts, UnreadableOrGarbageFaceFallsBackInsteadOfStopping) {
    HeadlessUi ui;
    const auto garbage = ui.temp / "garbage.ttf";
    std::ofstream(garbage) << "this is not a font file at all";
    fake_platform::Get().fontCandidates = {{garbage}, {ui.temp.path()}};  // a file of text and a folder
    ui.ApplyScale(1.0f);
    EXPECT_NE(std::strstr(ui.app.bodyFont->ConfigData->Name, "ProggyClean"), nullptr);
    EXPECT_TRUE(HasIcons(ui.app.titleFont));
}

TEST(AppTheme, ValuesAreScaledFromTheDefaultsWithoutCompounding) {
    HeadlessUi ui;
    ui.ApplyScale(1.5f);
    const ImGuiStyle& style = ImGui::GetStyle();
    EXPECT_FLOAT_EQ(style.WindowPadding.x, 27.0f);
    EXPECT_FLOAT_EQ(style.WindowPadding.y, 24.0f);
    EXPECT_FLOAT_EQ(style.FrameRounding, 9.0f);
    const ImVec4 text = style.Colors[ImGuiCol_Text];
    EXPECT_EQ(ImGui::ColorConvertFloat4ToU32(text), IM_COL32(0xE6, 0xE9, 0xEF, 0xFF));
    EXPECT_EQ(ImGui::ColorConvertFloat4ToU32(style.Colors[ImGuiCol_TextSelectedBg]), IM_COL32(0x38, 0xBD, 0xF8, 0x59));

    ui.ApplyScale(1.0f);
    const ImGuiStyle once = ImGui::GetStyle();
    ui.ApplyScale(1.25f);
    ui.ApplyScale(1.0f);
    EXPECT_EQ(std::memcmp(&once, &ImGui::GetStyle(), sizeof(ImGuiStyle)), 0);
    EXPECT_FLOAT_EQ(once.WindowPadding.x, 18.0f);
}

TEST(AppTheme, BackgroundColourIsTheWindowBackground) {
    App app;
    const auto c = app.BackgroundColor();
    EXPECT_FLOAT_EQ(c[0], 13.0f / 255.0f);
    EXPECT_FLOAT_EQ(c[1], 16.0f / 255.0f);
    EXPECT_FLOAT_EQ(c[2], 21.0f / 255.0f);
    EXPECT_FLOAT_EQ(c[3], 1.0f);
}
