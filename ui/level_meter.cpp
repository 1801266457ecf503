#include <algorithm>
#include <cmath>

#include <imgui.h>

#include "app/app.h"
#include "ui/colors.h"
#include "ui/level_scale.h"
#include "ui/ui_fonts.h"

namespace {
constexpr float kLabelWidth = 14.0f;
constexpr float kTrackRounding = 3.0f;
constexpr float kSegmentRounding = 2.0f;
constexpr float kGreenUpTo = 0.5f;     // -6 dB
constexpr float kYellowUpTo = 0.891f;  // -1 dB
constexpr float kAudibleHold = 1e-5f;
constexpr float kClippedHold = 0.999f;
}  // namespace

void App::DrawLevelMeter(float x, float y, float w, float h, float level, float hold, const char* label) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImFont* font = FontOrCurrent(smallFont);
    const float s = uiScale;
    dl->AddText(font, font->FontSize, ImVec2(x, y + (h - font->FontSize) * 0.5f - s), colors::kTextSecondary, label);

    const float trackX = x + kLabelWidth * s;
    const float trackW = w - kLabelWidth * s;
    dl->AddRectFilled(ImVec2(trackX, y), ImVec2(x + w, y + h), colors::kMeterTrack, kTrackRounding * s);

    const float green = MeterPosition(kGreenUpTo);
    const float yellow = MeterPosition(kYellowUpTo);
    const float filled = MeterPosition(level);
    const auto segment = [&](float from, float to, ImU32 color) {
        if (to <= from) return;
        dl->AddRectFilled(ImVec2(trackX + from * trackW, y), ImVec2(trackX + to * trackW, y + h), color,
                          kSegmentRounding * s);
    };
    segment(0.0f, std::min(filled, green), colors::kMeterGreen);
    segment(std::min(filled, green), std::min(filled, yellow), colors::kMeterYellow);
    segment(std::min(filled, yellow), std::min(filled, 1.0f), colors::kMeterRed);

    if (hold > kAudibleHold) {
        const float xh = trackX + MeterPosition(hold) * trackW;
        dl->AddRectFilled(ImVec2(xh - 1.5f * s, y), ImVec2(xh + 0.5f * s, y + h),
                          hold >= kClippedHold ? colors::kPeakHoldClipped : colors::kPeakHold);
    }
}
