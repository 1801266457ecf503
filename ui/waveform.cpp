#include <algorithm>
#include <string>

#include <imgui.h>

#include "app/app.h"
#include "ui/colors.h"
#include "ui/column_cache.h"
#include "ui/column_rectangles.h"
#include "ui/icons.h"
#include "ui/text_format.h"
#include "ui/ui_fonts.h"
#include "ui/wave_columns.h"
#include "ui/wave_mapping.h"

namespace {

constexpr float kPanelRounding = 10.0f;
constexpr float kAmplitudeFill = 0.9f;  // full scale reaches 90 % of the half-lane
constexpr float kLabelInset = 10.0f;
constexpr float kLabelTop = 6.0f;
constexpr float kEdgeThickness = 1.5f;
constexpr float kHandleHalfWidth = 4.0f;
constexpr float kHandleLength = 16.0f;
constexpr float kHandleRounding = 3.0f;
constexpr float kPillTop = 22.0f;
constexpr float kPillPadX = 10.0f;
constexpr float kPillPadY = 5.0f;
constexpr float kPillMargin = 6.0f;
constexpr float kPillRounding = 20.0f;
constexpr float kEmptyBoxPadX = 16.0f;
constexpr float kEmptyBoxPadY = 9.0f;
constexpr float kEmptyBoxRounding = 20.0f;
constexpr float kSilencePeak = 1e-6f;

void DrawTimeGrid(ImDrawList* dl, const WaveMapping& m, const Rect& r) {
    const int64_t seconds = m.frameCount / m.rate + 1;
    for (int64_t i = 0; i <= seconds; ++i) {
        for (int j = 0; j < 2; ++j) {
            const float x = m.XBeforeEnd((j * 0.5 + static_cast<double>(i)) * static_cast<double>(m.rate));
            // x only decreases with i, so once a whole second falls off the
            // left edge every later tick does too.
            if (x < r.x0) {
                if (j == 0) return;
                break;
            }
            dl->AddLine(ImVec2(x, r.y0), ImVec2(x, r.y1), j == 0 ? colors::kGridSecond : colors::kGridHalf, 1.0f);
        }
    }
}

void DrawLaneGuides(ImDrawList* dl, const Rect& r, const LaneGeometry& lane) {
    dl->AddLine(ImVec2(r.x0, lane.centre), ImVec2(r.x1, lane.centre), colors::kLaneCentre, 1.0f);
    const float half = 0.5f * lane.amplitude;
    dl->AddLine(ImVec2(r.x0, lane.centre + half), ImVec2(r.x1, lane.centre + half), colors::kGridHalf, 1.0f);
    dl->AddLine(ImVec2(r.x0, lane.centre - half), ImVec2(r.x1, lane.centre - half), colors::kGridHalf, 1.0f);
}

void DrawHandles(ImDrawList* dl, const Rect& r, float x, float s) {
    const float rounding = kHandleRounding * s;
    dl->AddRectFilled(ImVec2(x - kHandleHalfWidth * s, r.y0), ImVec2(x + kHandleHalfWidth * s, r.y0 + kHandleLength * s),
                      colors::kSelectionHandle, rounding, ImDrawFlags_RoundCornersBottom);
    dl->AddRectFilled(ImVec2(x - kHandleHalfWidth * s, r.y1 - kHandleLength * s), ImVec2(x + kHandleHalfWidth * s, r.y1),
                      colors::kSelectionHandle, rounding, ImDrawFlags_RoundCornersTop);
}

void DrawCentredBox(ImDrawList* dl, const Rect& r, ImFont* font, const std::string& text, float s) {
    const ImVec2 size = font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, text.c_str());
    const float cx = (r.x0 + r.x1) * 0.5f;
    const float cy = (r.y0 + r.y1) * 0.5f;
    dl->AddRectFilled(ImVec2(cx - size.x / 2 - kEmptyBoxPadX * s, cy - size.y / 2 - kEmptyBoxPadY * s),
                      ImVec2(cx + size.x / 2 + kEmptyBoxPadX * s, cy + size.y / 2 + kEmptyBoxPadY * s),
                      colors::kEmptyStateBox, kEmptyBoxRounding * s);
    dl->AddText(font, font->FontSize, ImVec2(cx - size.x / 2, cy - size.y / 2), colors::kTextSecondary, text.c_str());
}

bool AnyPopupOpen() { return ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId); }

}  // namespace

void App::DrawWaveform(const Rect& r) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const float s = uiScale;
    const WaveMapping m = MapView(*this);
    ImFont* small = FontOrCurrent(smallFont);

    dl->AddRectFilled(ImVec2(r.x0, r.y0), ImVec2(r.x1, r.y1), colors::kWaveBackground, kPanelRounding * s);
    dl->PushClipRect(ImVec2(r.x0, r.y0), ImVec2(r.x1, r.y1), true);

    DrawTimeGrid(dl, m, r);

    const float laneHeight = (r.y1 - r.y0) * 0.5f;
    const float amplitude = laneHeight * 0.5f * kAmplitudeFill;
    const LaneGeometry leftLane{r.y0 + laneHeight * 0.5f, laneHeight * 0.5f, amplitude};
    const LaneGeometry rightLane{r.y0 + laneHeight * 1.5f, laneHeight * 0.5f, amplitude};
    DrawLaneGuides(dl, r, leftLane);
    DrawLaneGuides(dl, r, rightLane);
    dl->AddLine(ImVec2(r.x0, r.y0 + laneHeight), ImVec2(r.x1, r.y0 + laneHeight), colors::kBorder, 1.0f);

    const int64_t lo = SelectionLow();
    const int64_t hi = SelectionHigh();
    const bool selectionVisible = selectionActive && hi > lo;

    float peakSeen = 0.0f;
    if (m.frameCount > 0) {
        const ColumnScene scene{m, view, leftLane, rightLane, selectionVisible, lo, hi, s};
        if (fullRecompute) {
            peakSeen = DrawWaveColumns(dl, scene, nullptr);
        } else {
            columnCache.Prepare(m, viewGeneration);
            if (!textureDevice || !laneImage.Draw(dl, scene, r.y0, r.y1, columnCache, *textureDevice, peakSeen))
                peakSeen = DrawWaveColumns(dl, scene, &columnCache);
        }
    }

    dl->AddText(small, small->FontSize, ImVec2(r.x0 + kLabelInset * s, r.y0 + kLabelTop * s), colors::kTextDim, "L");
    dl->AddText(small, small->FontSize, ImVec2(r.x0 + kLabelInset * s, r.y0 + laneHeight + kLabelTop * s),
                colors::kTextDim, "R");

    if (selectionVisible) {
        const float xa = m.XOfFrame(lo);
        const float xb = m.XOfFrame(hi);
        dl->AddRectFilled(ImVec2(xa, r.y0), ImVec2(xb, r.y1), colors::kSelectionFill);
        dl->AddLine(ImVec2(xa, r.y0), ImVec2(xa, r.y1), colors::kSelectionEdge, kEdgeThickness * s);
        dl->AddLine(ImVec2(xb, r.y0), ImVec2(xb, r.y1), colors::kSelectionEdge, kEdgeThickness * s);
        DrawHandles(dl, r, xa, s);
        DrawHandles(dl, r, xb, s);

        const bool hovered =
            ImGui::IsMouseHoveringRect(ImVec2(xa, r.y0), ImVec2(xb, r.y1)) && dragMode == SelectionDrag::None;
        std::string label = FormatSeconds(static_cast<double>(hi - lo) / static_cast<double>(m.rate));
        if (hovered) label = ICON_FILE_EXPORT "  " + label + "  \xc2\xb7  drag out as WAV";
        const ImVec2 size = small->CalcTextSizeA(small->FontSize, FLT_MAX, 0.0f, label.c_str());
        float left = (xa + xb) * 0.5f - size.x * 0.5f - kPillPadX * s;
        const float rightLimit = r.x1 - size.x - 2 * kPillPadX * s - kPillMargin * s;
        if (left > rightLimit)
            left = rightLimit;
        else if (left < r.x0 + kPillMargin * s)
            left = r.x0 + kPillMargin * s;
        const float top = r.y0 + kPillTop * s;
        dl->AddRectFilled(ImVec2(left, top), ImVec2(left + size.x + 2 * kPillPadX * s, top + size.y + 2 * kPillPadY * s),
                          colors::kSelectionPill, kPillRounding * s);
        dl->AddText(small, small->FontSize, ImVec2(left + kPillPadX * s, top + kPillPadY * s),
                    colors::kSelectionPillText, label.c_str());
    }

    const bool captureRunning = capture && capture->IsRunning();
    if (!captureRunning)
        DrawCentredBox(dl, r, FontOrCurrent(bodyFont), "No capture device", s);
    else if (peakSeen < kSilencePeak && !paused)
        DrawCentredBox(dl, r, FontOrCurrent(bodyFont),
                       ICON_HEADPHONES "   Waiting for sound - play something on this output", s);

    if (m.frameCount > 0 && ImGui::IsMouseHoveringRect(ImVec2(r.x0, r.y0), ImVec2(r.x1, r.y1)) && !AnyPopupOpen()) {
        const float mx = ImGui::GetIO().MousePos.x;
        dl->AddLine(ImVec2(mx, r.y0), ImVec2(mx, r.y1), colors::kHoverLine, 1.0f);
    }

    dl->PopClipRect();
    dl->AddRect(ImVec2(r.x0, r.y0), ImVec2(r.x1, r.y1), colors::kBorder, kPanelRounding * s, 0, 1.0f);

    HandleWaveformInput(r);
}
