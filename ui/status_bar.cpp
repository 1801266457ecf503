#include <algorithm>
#include <string>

#include <imgui.h>

#include "app/app.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "ui/colors.h"
#include "ui/icons.h"
#include "ui/text_format.h"
#include "ui/text_width.h"
#include "ui/ui_fonts.h"
#include "ui/wave_mapping.h"

namespace {

constexpr float kSideInset = 16.0f;
constexpr float kTextGap = 20.0f;
constexpr float kRightTextShare = 0.45f;  // of the bar's width
constexpr double kStatusShowSeconds = 6.0;

struct ColoredText {
    std::string text;
    ImU32 color;
};

// What follows the last slash or backslash, whichever separator the path uses.
std::string FileNamePart(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

void App::DrawStatusBar(const Rect& r) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImFont* font = FontOrCurrent(smallFont);
    const float s = uiScale;
    const auto width = [font](std::string_view text) { return TextWidth(font, text); };

    dl->AddRectFilled(ImVec2(r.x0, r.y0), ImVec2(r.x1, r.y1), colors::kPanel);
    dl->AddLine(ImVec2(r.x0, r.y0), ImVec2(r.x1, r.y0), colors::kBorder, 1.0f);
    const float ty = (r.y0 + r.y1 - font->FontSize) / 2;

    ColoredText left;
    if (selectionActive && selectionStart != selectionEnd) {
        const WaveMapping m = MapView(*this);
        left = {SelectionReadOut(SelectionLow(), SelectionHigh(), m.FirstFrame(), m.rate),
                colors::kText};
    } else if (paused) {
        left = {ICON_INFO_CIRCLE
                "  Paused. Drag across the waveform to select   \xc2\xb7   Double-click selects all   \xc2\xb7   "
                "Space resumes   \xc2\xb7   Ctrl+S saves   \xc2\xb7   Ctrl+C copies",
                colors::kTextSecondary};
    } else {
        left = {ICON_INFO_CIRCLE "  Click and drag on the waveform to grab audio   \xc2\xb7   Space pauses   \xc2\xb7   "
                "Ctrl+S saves   \xc2\xb7   Ctrl+C copies",
                colors::kTextSecondary};
    }

    ColoredText right;
    const double elapsed = ImGui::GetTime() - statusTime;
    if (elapsed < kStatusShowSeconds && !statusMessage.empty()) {
        const double opacity = std::clamp(kStatusShowSeconds - elapsed, 0.0, 1.0);
        right = {statusMessage,
                 colors::WithAlpha(statusIsError ? colors::kLive : colors::kSuccess, static_cast<int>(opacity * 255))};
    } else if (!lastSavedPath.empty()) {
        right = {ICON_FOLDER_OPEN "  " + FileNamePart(PathToUtf8(lastSavedPath)), colors::kTextSecondary};
    } else {
        right = {ICON_FOLDER "  " + PathToUtf8(saveFolder), colors::kTextSecondary};
    }
    right.text = ShortenFromLeft(right.text, (r.x1 - r.x0) * kRightTextShare, width);

    const float rw = width(right.text);
    const float rx = r.x1 - kSideInset * s - rw;
    dl->PushClipRect(ImVec2(r.x0 + kSideInset * s, r.y0), ImVec2(rx - kTextGap * s, r.y1), true);
    dl->AddText(font, font->FontSize, ImVec2(r.x0 + kSideInset * s, ty), left.color, left.text.c_str());
    dl->PopClipRect();
    dl->AddText(font, font->FontSize, ImVec2(rx, ty), right.color, right.text.c_str());

    ImGui::SetCursorScreenPos(ImVec2(rx, r.y0));
    if (ImGui::InvisibleButton("##reveal", ImVec2(std::max(rw, 1.0f), std::max(r.y1 - r.y0, 1.0f))))
        platform::RevealInFileBrowser(lastSavedPath.empty() ? saveFolder : lastSavedPath);
    if (ImGui::IsItemHovered()) {
        ImGui::SetMouseCursor(ImGuiMouseCursor_Hand);
        ImGui::SetTooltip("Show in file browser");
    }
}
