#include <algorithm>
#include <cmath>
#include <string>

#include <imgui.h>

#include "app/app.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "ui/colors.h"
#include "ui/icons.h"
#include "ui/text_format.h"
#include "ui/ui_fonts.h"

namespace {

constexpr float kCompactBelowHeight = 64.0f;
constexpr float kPadCompact = 12.0f, kPad = 16.0f;
constexpr float kPlaySizeCompact = 36.0f, kPlaySize = 44.0f;
constexpr float kSmallSizeCompact = 30.0f, kSmallSize = 36.0f;
constexpr float kMeterHeightCompact = 6.0f, kMeterHeight = 7.0f;
constexpr float kButtonGap = 8.0f;
constexpr float kTextAfterPlay = 12.0f;
constexpr float kTextBeforeButtons = 18.0f;
constexpr float kTextClipBeforeButtons = 12.0f;
constexpr float kMinRoomForMeters = 300.0f;
constexpr float kMeterShare = 0.3f;
constexpr float kMeterMinWidth = 80.0f, kMeterMaxWidth = 220.0f;
constexpr float kMeterGap = 3.0f;
constexpr float kTextBeforeMeters = 16.0f;
constexpr float kStatusLineOffset = 3.0f;
constexpr float kLiveDotRadius = 4.0f;
constexpr float kLiveBadgeIndent = 14.0f;
constexpr int kLiveDotSegments = 16;

}  // namespace

void App::DrawTopBar(const Rect& r) {
    const float s = uiScale;
    const bool compact = kCompactBelowHeight * s > r.y1 - r.y0;
    const float pad = (compact ? kPadCompact : kPad) * s;
    const float playSize = (compact ? kPlaySizeCompact : kPlaySize) * s;
    const float smallSize = (compact ? kSmallSizeCompact : kSmallSize) * s;
    const float cy = (r.y0 + r.y1) / 2;

    ImGui::SetCursorScreenPos(ImVec2(r.x0 + pad, cy - playSize / 2));
    if (IconButton("##playpause", paused ? ICON_PLAY : ICON_PAUSE, playSize, true,
                   paused ? "Resume live view (Space)" : "Pause (Space)", false))
        TogglePause();

    const float settingsX = r.x1 - pad - smallSize;
    ImGui::SetCursorScreenPos(ImVec2(settingsX, cy - smallSize / 2));
    if (IconButton("##settings", ICON_COG, smallSize, false, "Settings", false)) settingsOpen = true;

    const float onTopX = settingsX - kButtonGap * s - smallSize;
    ImGui::SetCursorScreenPos(ImVec2(onTopX, cy - smallSize / 2));
    if (IconButton("##ontop", ICON_THUMBTACK, smallSize, false,
                   alwaysOnTop ? "Always on top: on" : "Always on top: off", alwaysOnTop)) {
        alwaysOnTop = !alwaysOnTop;
        platform::SetAlwaysOnTop(alwaysOnTop);
        SaveSettings(*this);
    }

    const float textLeft = r.x0 + pad + playSize + kTextAfterPlay * s;
    const float right = onTopX - kTextBeforeButtons * s;
    float textRight = onTopX - kTextClipBeforeButtons * s;
    if (right - textLeft > kMinRoomForMeters * s) {
        const float avail = right - textLeft;
        const float meterWidth = std::clamp(avail * kMeterShare, kMeterMinWidth * s, kMeterMaxWidth * s);
        const float meterX = right - meterWidth;
        const float meterHeight = (compact ? kMeterHeightCompact : kMeterHeight) * s;
        DrawLevelMeter(meterX, cy - meterHeight - kMeterGap * s, meterWidth, meterHeight, meterLevelLeft,
                       peakHoldLeft, "L");
        DrawLevelMeter(meterX, cy + kMeterGap * s, meterWidth, meterHeight, meterLevelRight, peakHoldRight, "R");
        textRight = meterX - kTextBeforeMeters * s;
    }

    ImDrawList* dl = ImGui::GetWindowDrawList();
    dl->PushClipRect(ImVec2(textLeft, r.y0), ImVec2(std::max(textRight, textLeft), r.y1), true);

    ImFont* title = FontOrCurrent(titleFont);
    dl->AddText(title, title->FontSize, ImVec2(textLeft, cy - title->FontSize - s), colors::kText, "Wavelift");

    ImFont* small = FontOrCurrent(smallFont);
    const float y = cy + kStatusLineOffset * s;
    float x = textLeft;
    if (capture && capture->IsRunning()) {
        const char* badge = paused ? "PAUSED" : "LIVE";
        if (paused) {
            dl->AddText(small, small->FontSize, ImVec2(x, y), colors::kPaused, badge);
        } else {
            const float t = static_cast<float>(ImGui::GetTime());
            const int alpha = static_cast<int>((std::sin(4.0f * t) * 0.45f + 0.55f) * 255.0f);
            dl->AddCircleFilled(ImVec2(x + kLiveDotRadius * s, y + small->FontSize * 0.5f + 0.5f * s),
                                kLiveDotRadius * s, colors::WithAlpha(colors::kLive, alpha), kLiveDotSegments);
            x += kLiveBadgeIndent * s;
            dl->AddText(small, small->FontSize, ImVec2(x, y), colors::kLive, badge);
        }
        x += small->CalcTextSizeA(small->FontSize, FLT_MAX, 0.0f, badge).x;

        const std::string line = DeviceLine(capture->DeviceName(), capture->SampleRate(), bufferSeconds);
        dl->AddText(small, small->FontSize, ImVec2(x, y), colors::kTextSecondary, line.c_str());
    } else if (capture && capture->IsStarting()) {
        // A start still under way usually succeeds a moment later: not an error yet.
        dl->AddText(small, small->FontSize, ImVec2(textLeft, y), colors::kTextSecondary,
                    "Connecting to the sound server\xe2\x80\xa6");
    } else {
        std::string message = capture ? capture->LastError() : std::string();
        if (message.empty()) message = "Starting capture...";
        const std::string text = ICON_TIMES "  " + message;
        dl->AddText(small, small->FontSize, ImVec2(textLeft, y), colors::kLive, text.c_str());
    }

    dl->PopClipRect();
}

bool App::IconButton(const char* id, const char* icon, float size, bool round, const char* tooltip, bool on) {
    const float s = uiScale;
    const ImVec2 pos = ImGui::GetCursorScreenPos();
    const bool pressed = ImGui::InvisibleButton(id, ImVec2(size, size));
    const bool hovered = ImGui::IsItemHovered();
    const bool held = ImGui::IsItemActive();
    const ImVec2 centre(pos.x + size / 2, pos.y + size / 2);
    ImDrawList* dl = ImGui::GetWindowDrawList();

    constexpr float kHaloGrow = 4.0f;
    constexpr int kCircleSegments = 48;
    constexpr float kSquareRounding = 8.0f;
    constexpr float kLargeIconFrom = 40.0f;
    if (round) {
        if (hovered) dl->AddCircleFilled(centre, size / 2 + kHaloGrow * s, colors::kRoundHalo, kCircleSegments);
        const ImU32 fill = held ? colors::kRoundHeld : hovered ? colors::kRoundHovered : colors::kRoundIdle;
        dl->AddCircleFilled(centre, size / 2, fill, kCircleSegments);
    } else {
        const ImU32 fill = on ? (held ? colors::kSquareOnHeld : hovered ? colors::kSquareOnHovered : colors::kSquareOnIdle)
                              : (held ? colors::kSquareOffHeld : hovered ? colors::kSquareOffHovered : colors::kSquareOffIdle);
        const ImVec2 corner(pos.x + size, pos.y + size);
        dl->AddRectFilled(pos, corner, fill, kSquareRounding * s);
        if (on) dl->AddRect(pos, corner, colors::kSquareOnBorder, kSquareRounding * s, 0, 1.0f);
    }

    ImFont* font = FontOrCurrent(size < kLargeIconFrom * s ? bodyFont : titleFont);
    const ImU32 iconColor = round ? colors::kRoundIcon : on ? colors::kIconOn : hovered ? colors::kText : colors::kTextSecondary;
    const ImVec2 iconSize = font->CalcTextSizeA(font->FontSize, FLT_MAX, 0.0f, icon);
    dl->AddText(font, font->FontSize, ImVec2(centre.x - iconSize.x / 2, centre.y - iconSize.y / 2), iconColor, icon);

    if (hovered && tooltip) ImGui::SetTooltip("%s", tooltip);
    return pressed;
}
