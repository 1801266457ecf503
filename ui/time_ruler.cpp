#include <cstdio>

#include <imgui.h>

#include "app/app.h"
#include "ui/colors.h"
#include "ui/ui_fonts.h"
#include "ui/wave_mapping.h"

namespace {
constexpr float kTickTop = 2.0f;
constexpr float kSecondTickBottom = 8.0f;
constexpr float kHalfTickBottom = 5.0f;
constexpr float kLabelTop = 8.0f;
constexpr float kHoverPadX = 6.0f;
constexpr float kHoverBoxTop = 6.0f;
constexpr float kHoverBoxBottom = 10.0f;
constexpr float kHoverTextTop = 7.0f;
constexpr float kHoverRounding = 4.0f;
}  // namespace

void App::DrawTimeRuler(const Rect& r) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImFont* font = FontOrCurrent(smallFont);
    const float s = uiScale;
    const WaveMapping m = MapView(*this);

    const int64_t seconds = m.frameCount / m.rate;
    for (int64_t i = 0; i <= seconds; ++i) {
        for (int j = 0; j < 2; ++j) {
            const float x = m.XBeforeEnd((j * 0.5 + static_cast<double>(i)) * static_cast<double>(m.rate));
            if (x < r.x0 - 0.5f) break;
            const bool whole = j == 0;
            dl->AddLine(ImVec2(x, r.y0 + kTickTop * s),
                        ImVec2(x, r.y0 + (whole ? kSecondTickBottom : kHalfTickBottom) * s), colors::kTextDim, 1.0f);
            if (!whole) continue;

            char label[32];
            ImU32 color = colors::kRulerLabel;
            if (i == 0) {
                std::snprintf(label, sizeof label, "%s", paused ? "0 s" : "now");
                color = paused ? colors::kTextSecondary : colors::kLive;
            } else {
                std::snprintf(label, sizeof label, "-%lld s", static_cast<long long>(i));
            }
            const float tw = font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, label).x;
            float lx = x - tw / 2;
            if (lx > r.x1 - tw)
                lx = r.x1 - tw;
            else if (lx < r.x0)
                lx = r.x0;
            dl->AddText(font, font->FontSize, ImVec2(lx, r.y0 + kLabelTop * s), color, label);
        }
    }

    const Rect& wave = waveRect;
    if (m.frameCount > 0 && ImGui::IsMouseHoveringRect(ImVec2(wave.x0, wave.y0), ImVec2(wave.x1, wave.y1)) &&
        !ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)) {
        const float mouseX = ImGui::GetIO().MousePos.x;
        const int64_t frame = m.FrameAtX(mouseX);
        char text[64];
        std::snprintf(text, sizeof text, "%.3f s",
                      static_cast<double>(frame - m.viewEnd) / static_cast<double>(m.rate));
        const ImVec2 size = font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, text);
        float bx = mouseX - size.x / 2 - kHoverPadX * s;
        if (bx > r.x1 - size.x - 2 * kHoverPadX * s)
            bx = r.x1 - size.x - 2 * kHoverPadX * s;
        else if (bx < r.x0)
            bx = r.x0;
        dl->AddRectFilled(ImVec2(bx, r.y0 + kHoverBoxTop * s),
                          ImVec2(bx + size.x + 2 * kHoverPadX * s, r.y0 + kHoverBoxBottom * s + size.y),
                          colors::kHoverTimeBox, kHoverRounding * s);
        dl->AddText(font, font->FontSize, ImVec2(bx + kHoverPadX * s, r.y0 + kHoverTextTop * s), colors::kText, text);
    }
}
