#include <imgui.h>
#include <imgui_internal.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

#include "app/app.h"
#include "platform/path_text.h"
#include "resources/icon_font.h"

namespace {

// The library's default range plus the en dash and ellipsis used by the interface's own texts.
const ImWchar kTextRanges[] = {0x0020, 0x00FF, 0x2013, 0x2013, 0x2026, 0x2026, 0};
const ImWchar kIconRanges[] = {0xF000, 0xF950, 0};
constexpr float kIconSizeRatio = 0.85f;

uint32_t BigEndian32(const unsigned char* b) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | uint32_t{b[3]};
}

// Whether the file's bytes hold face `index` where the atlas will look for it:
// a single TrueType/OpenType font holds face 0 only; a collection lists where
// each of its faces starts. The atlas stops on anything else.
bool HoldsFace(const unsigned char* data, size_t length, int index) {
    const auto fontAt = [&](size_t at) {
        if (at > length - 12) return false;
        const unsigned char* b = data + at;
        return (b[0] == 0 && b[1] == 1 && b[2] == 0 && b[3] == 0) || std::memcmp(b, "true", 4) == 0 ||
               std::memcmp(b, "OTTO", 4) == 0;
    };
    if (fontAt(0)) return index == 0;
    if (std::memcmp(data, "ttcf", 4) != 0 || index < 0) return false;
    const uint32_t version = BigEndian32(data + 4);
    const size_t count = BigEndian32(data + 8);
    if ((version != 0x00010000 && version != 0x00020000) || static_cast<size_t>(index) >= count ||
        count > (length - 12) / 4)
        return false;
    return fontAt(BigEndian32(data + 12 + 4 * static_cast<size_t>(index)));
}

// Reads a font file into memory the atlas will own, or null when it cannot be
// read or does not hold the face.
void* ReadFontFile(const platform::UiFontFace& face, int& size) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(face.file, ec)) return nullptr;
    const auto length = std::filesystem::file_size(face.file, ec);
    if (ec || length < 12 || length > (64u << 20)) return nullptr;
    std::ifstream in(face.file, std::ios::binary);
    if (!in) return nullptr;
    char* data = static_cast<char*>(IM_ALLOC(length));
    if (!in.read(data, static_cast<std::streamsize>(length)) ||
        !HoldsFace(reinterpret_cast<const unsigned char*>(data), length, face.index)) {
        IM_FREE(data);
        return nullptr;
    }
    size = static_cast<int>(length);
    return data;
}

ImFont* AddTextFace(const platform::UiFontFace& face, float pixels, float density) {
    int size = 0;
    void* data = ReadFontFile(face, size);
    if (!data) return nullptr;
    ImFontConfig config;
    config.FontNo = face.index;
    config.RasterizerDensity = density;
    ImFormatString(config.Name, IM_ARRAYSIZE(config.Name), "%s #%d, %.1fpx", PathToUtf8(face.file.filename()).c_str(),
                   face.index, pixels);
    return ImGui::GetIO().Fonts->AddFontFromMemoryTTF(data, size, pixels, &config, kTextRanges);
}

ImU32 Hex(unsigned rgba) {
    return IM_COL32((rgba >> 24) & 0xFF, (rgba >> 16) & 0xFF, (rgba >> 8) & 0xFF, rgba & 0xFF);
}

void ApplyTheme(float scale) {
    ImGuiStyle style;  // the library's defaults, so scaling never compounds
    style.WindowPadding = ImVec2(18, 16);
    style.WindowRounding = 10;
    style.WindowBorderSize = 1;
    style.WindowTitleAlign = ImVec2(0.5f, 0.5f);
    style.ChildRounding = 8;
    style.PopupRounding = 8;
    style.PopupBorderSize = 1;
    style.FramePadding = ImVec2(10, 6);
    style.FrameRounding = 6;
    style.FrameBorderSize = 0;
    style.ItemSpacing = ImVec2(10, 8);
    style.ItemInnerSpacing = ImVec2(8, 6);
    style.ScrollbarRounding = 6;
    style.GrabMinSize = 12;
    style.GrabRounding = 6;

    struct Slot {
        ImGuiCol slot;
        unsigned rgba;
    };
    const Slot colors[] = {
        {ImGuiCol_Text, 0xE6E9EFFF},          {ImGuiCol_TextDisabled, 0x8A93A6FF},
        {ImGuiCol_WindowBg, 0x0D1015FF},      {ImGuiCol_ChildBg, 0x141820FF},
        {ImGuiCol_PopupBg, 0x141820FF},       {ImGuiCol_Border, 0x262C38FF},
        {ImGuiCol_FrameBg, 0x1B202AFF},       {ImGuiCol_FrameBgHovered, 0x232A36FF},
        {ImGuiCol_FrameBgActive, 0x2A3342FF}, {ImGuiCol_TitleBg, 0x141820FF},
        {ImGuiCol_TitleBgActive, 0x141820FF}, {ImGuiCol_CheckMark, 0x38BDF8FF},
        {ImGuiCol_SliderGrab, 0x38BDF8FF},    {ImGuiCol_SliderGrabActive, 0xBAE6FDFF},
        {ImGuiCol_Button, 0x1B202AFF},        {ImGuiCol_ButtonHovered, 0x252C3AFF},
        {ImGuiCol_ButtonActive, 0x2E384AFF},  {ImGuiCol_Header, 0x1F2733FF},
        {ImGuiCol_HeaderHovered, 0x263041FF}, {ImGuiCol_HeaderActive, 0x2C3850FF},
        {ImGuiCol_Separator, 0x262C38FF},     {ImGuiCol_TextSelectedBg, 0x38BDF859},
        {ImGuiCol_NavHighlight, 0x38BDF899},  {ImGuiCol_ModalWindowDimBg, 0x0000008C},
    };
    for (const Slot& c : colors) style.Colors[c.slot] = ImGui::ColorConvertU32ToFloat4(Hex(c.rgba));

    style.ScaleAllSizes(scale);
    ImGui::GetStyle() = style;
}

}  // namespace

ImFont* AddUiFont(const std::vector<platform::UiFontFace>& candidates, int preferredIndex, float size, float scale,
                  float rasterizerDensity) {
    ImFontAtlas* atlas = ImGui::GetIO().Fonts;
    const float pixels = size * scale;

    ImFont* font = nullptr;
    for (size_t i = static_cast<size_t>(preferredIndex); i < candidates.size() && !font; ++i)
        font = AddTextFace(candidates[i], pixels, rasterizerDensity);
    if (!font && preferredIndex != 0 && !candidates.empty())
        font = AddTextFace(candidates[0], pixels, rasterizerDensity);
    if (!font) {
        ImFontConfig config;
        config.SizePixels = pixels;
        config.RasterizerDensity = rasterizerDensity;
        font = atlas->AddFontDefault(&config);
    }

    ImFontConfig icons;
    icons.MergeMode = true;
    icons.PixelSnapH = true;
    icons.FontDataOwnedByAtlas = false;  // the embedded array is used in place
    icons.GlyphMinAdvanceX = pixels;
    icons.GlyphOffset = ImVec2(0.0f, 0.5f * scale);
    icons.RasterizerDensity = rasterizerDensity;
    atlas->AddFontFromMemoryTTF(const_cast<unsigned char*>(kIconFontData), static_cast<int>(kIconFontDataSize),
                                size * kIconSizeRatio * scale, &icons, kIconRanges);
    return font;
}

void App::ApplyUiScale(float scale, float rasterizerDensity) {
    uiScale = scale;
    ImGuiIO& io = ImGui::GetIO();
    io.Fonts->Clear();
    const std::vector<platform::UiFontFace> candidates = platform::GetUiFontCandidates();
    bodyFont = AddUiFont(candidates, 0, 16.0f, scale, rasterizerDensity);
    smallFont = AddUiFont(candidates, 0, 13.5f, scale, rasterizerDensity);
    titleFont = AddUiFont(candidates, 1, 18.0f, scale, rasterizerDensity);
    io.FontDefault = bodyFont;
    ApplyTheme(scale);
}
