#include <imgui.h>
#include <imgui_internal.h>

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

// Reads a font file into memory the atlas will own, or null when it cannot be
// read or is not a TrueType/OpenType file: the atlas would stop on such data.
void* ReadFontFile(const std::filesystem::path& file, int& size) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return nullptr;
    const auto length = std::filesystem::file_size(file, ec);
    if (ec || length < 12 || length > (64u << 20)) return nullptr;
    std::ifstream in(file, std::ios::binary);
    if (!in) return nullptr;
    char* data = static_cast<char*>(IM_ALLOC(length));
    if (!in.read(data, static_cast<std::streamsize>(length))) {
        IM_FREE(data);
        return nullptr;
    }
    const unsigned char* b = reinterpret_cast<const unsigned char*>(data);
    const bool trueType = b[0] == 0 && b[1] == 1 && b[2] == 0 && b[3] == 0;
    const bool tagged = (b[0] == 't' && b[1] == 'r' && b[2] == 'u' && b[3] == 'e') ||
                        (b[0] == 'O' && b[1] == 'T' && b[2] == 'T' && b[3] == 'O');
    if (!trueType && !tagged) {
        IM_FREE(data);
        return nullptr;
    }
    size = static_cast<int>(length);
    return data;
}

ImFont* AddTextFace(const std::filesystem::path& file, float pixels, float density) {
    int size = 0;
    void* data = ReadFontFile(file, size);
    if (!data) return nullptr;
    ImFontConfig config;
    config.RasterizerDensity = density;
    ImFormatString(config.Name, IM_ARRAYSIZE(config.Name), "%s, %.1fpx", PathToUtf8(file.filename()).c_str(), pixels);
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

ImFont* AddUiFont(const std::vector<std::filesystem::path>& candidates, int preferredIndex, float size, float scale,
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
    const std::vector<std::filesystem::path> candidates = GetUiFontCandidates();
    bodyFont = AddUiFont(candidates, 0, 16.0f, scale, rasterizerDensity);
    smallFont = AddUiFont(candidates, 0, 13.5f, scale, rasterizerDensity);
    titleFont = AddUiFont(candidates, 1, 18.0f, scale, rasterizerDensity);
    io.FontDefault = bodyFont;
    ApplyTheme(scale);
}
