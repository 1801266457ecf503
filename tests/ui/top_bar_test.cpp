#include <cmath>

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "tests/ui/wave_test_support.h"
#include "ui/icons.h"

namespace {

struct BarGeometry {
    float width, height;
    float pad, playSize, smallSize, meterHeight;
};

// Checks the buttons and meters a top bar of the given window draws.
void ExpectBarGeometry(const BarGeometry& expected) {
    HeadlessUi ui(expected.width, expected.height);
    StartCapture(ui);
    ui.Frame();
    const ImDrawList* list = ui.MainDrawList();
    Box play{}, squares{}, meters{};
    ASSERT_TRUE(BoundsOfColor(list, colors::kRoundIdle, play));
    EXPECT_NEAR(play.x0, expected.pad, 1e-3);
    EXPECT_NEAR(play.Width(), expected.playSize, 1e-3);
    ASSERT_TRUE(BoundsOfColor(list, colors::kSquareOffIdle, squares));  // always-on-top and settings
    EXPECT_NEAR(squares.x1, expected.width - expected.pad, 1e-3);
    EXPECT_NEAR(squares.Height(), expected.smallSize, 1e-3);
    EXPECT_NEAR(squares.Width(), 2 * expected.smallSize + 8, 1e-3);
    ASSERT_TRUE(BoundsOfColor(list, colors::kMeterTrack, meters));
    EXPECT_NEAR(meters.Height(), 2 * expected.meterHeight + 6, 1e-3);
}

// Vertices of the pulsing LIVE dot: the live colour at less than full alpha.
std::vector<ImDrawVert> LiveDot(const ImDrawList* list) {
    std::vector<ImDrawVert> dot;
    for (const ImDrawVert& v : list->VtxBuffer)
        if ((v.col & ~IM_COL32_A_MASK) == (colors::kLive & ~IM_COL32_A_MASK) && v.col != colors::kLive) dot.push_back(v);
    return dot;
}

}  // namespace

TEST(TopBar, CompactAndNormalGeometry) {
    ExpectBarGeometry({1100, 421, 16, 44, 36, 7});
    ExpectBarGeometry({600, 290, 12, 36, 30, 6});
}

TEST(TopBar, LiveBadgeWithAPulsingDotOrPaused) {
    HeadlessUi ui;
    StartCapture(ui);
    ui.Frame(0.3f);
    const auto live = ui.FindText("LIVE", ui.app.smallFont);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].color, colors::kLive);
    const auto dot = LiveDot(ui.MainDrawList());
    ASSERT_FALSE(dot.empty());
    const float t = static_cast<float>(ui.Time());
    const int alpha = static_cast<int>((std::sin(4.0f * t) * 0.45f + 0.55f) * 255.0f);
    EXPECT_EQ(dot[0].col, colors::WithAlpha(colors::kLive, alpha));
    ui.Frame(0.4f);
    EXPECT_NE(LiveDot(ui.MainDrawList())[0].col, dot[0].col);

    ui.app.paused = true;
    ui.Frame();
    EXPECT_FALSE(ui.DrewText("LIVE"));
    EXPECT_TRUE(LiveDot(ui.MainDrawList()).empty());
    const auto paused = ui.FindText("PAUSED", ui.app.smallFont);
    ASSERT_EQ(paused.size(), 1u);
    EXPECT_EQ(paused[0].color, colors::kPaused);
}

TEST(TopBar, DeviceLineOrTheCaptureError) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    EXPECT_TRUE(ui.DrewText("Speakers   \xc2\xb7   48.0 kHz   \xc2\xb7   6 s buffer"));

    capture.startSucceeds = false;
    ui.app.RestartCapture();
    ui.Frame();
    const auto error = ui.FindText(ICON_TIMES "  No audio output device found");
    ASSERT_EQ(error.size(), 1u);
    EXPECT_EQ(error[0].color, colors::kLive);
    EXPECT_FALSE(ui.DrewText("48.0 kHz"));

    capture.lastError.clear();
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("Starting capture..."));

    // A start still waiting for the sound server is no failure yet.
    capture.answersLate = true;
    ui.app.RestartCapture();
    ui.Frame();
    const auto connecting = ui.FindText("Connecting to the sound server\xe2\x80\xa6");
    ASSERT_EQ(connecting.size(), 1u);
    EXPECT_EQ(connecting[0].color, colors::kTextSecondary);
    EXPECT_FALSE(ui.DrewText(ICON_TIMES "  Sound server did not answer"));
    capture.AnswerLate(false);
    ui.Frame();
    EXPECT_TRUE(ui.DrewText(ICON_TIMES "  No audio output device found"));
}

TEST(TopBar, HalfScaleFillsExactlyTheGreenZone) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    capture.FeedConstant(0.5f, 0.5f, 4800);
    ui.Frame();
    const ImDrawList* list = ui.MainDrawList();
    // 1100 px window: meters 220 px wide at x 766, track from 780.
    Box green{};
    ASSERT_TRUE(BoundsOfColor(list, colors::kMeterGreen, green));
    const float trackX = 780.0f, trackW = 206.0f;
    const float greenEnd = (20.0f * std::log10(0.5f) + 60.0f) / 60.0f;
    EXPECT_NEAR(green.x0, trackX, 1e-3);
    EXPECT_NEAR(green.x1, trackX + greenEnd * trackW, 1e-3);
    EXPECT_TRUE(ui.VerticesOfColor(list, colors::kMeterYellow).empty());
    EXPECT_TRUE(ui.VerticesOfColor(list, colors::kMeterRed).empty());
    EXPECT_EQ(QuadsOfColor(list, colors::kPeakHold).size(), 2u);
}

TEST(TopBar, SilenceDrawsNoBarAndNoHoldMark) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    capture.FeedConstant(0.0f, 0.0f, 4800);
    ui.Frame();
    const ImDrawList* list = ui.MainDrawList();
    EXPECT_FALSE(ui.VerticesOfColor(list, colors::kMeterTrack).empty());
    for (ImU32 color : {colors::kMeterGreen, colors::kMeterYellow, colors::kMeterRed, colors::kPeakHold,
                        colors::kPeakHoldClipped})
        EXPECT_TRUE(ui.VerticesOfColor(list, color).empty());
}

TEST(TopBar, AHoldAtOrAboveTheClipLevelIsRed) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    capture.FeedConstant(0.999f, 0.9f, 4800);
    ui.Frame();
    const ImDrawList* list = ui.MainDrawList();
    EXPECT_EQ(QuadsOfColor(list, colors::kPeakHoldClipped).size(), 1u);  // left
    EXPECT_EQ(QuadsOfColor(list, colors::kPeakHold).size(), 1u);         // right
    EXPECT_FALSE(ui.VerticesOfColor(list, colors::kMeterRed).empty());
}

TEST(TopBar, TheStatusTextNeverOverlapsTheMetersAndMetersGoWhenTheBarIsNarrow) {
    for (const float width : {1100.0f, 450.0f}) {
        HeadlessUi ui(width, 400);
        FakeCapture& capture = StartCapture(ui);
        capture.deviceName = "A very long device name that would run all the way across the top bar of the window";
        ui.Frame();
        const ImDrawList* list = ui.MainDrawList();
        const bool meters = !ui.VerticesOfColor(list, colors::kMeterTrack).empty();
        EXPECT_EQ(meters, width > 500);
        const auto name = ui.FindText("A very long");
        ASSERT_EQ(name.size(), 1u);
        const ImVec4 clip = ClipRectOfVertex(list, VertexAt(list, name[0].pos));
        // Left of the meters (780 - 14 - 16), or 12 px before the always-on-top button.
        const float limit = meters ? 766.0f - 16.0f : width - 12 - 30 - 8 - 30 - 12;
        EXPECT_LE(clip.z, limit + 1e-3f) << width;
    }
}

TEST(TopBar, PlayPauseActsInTheFrameOfTheClick) {
    HeadlessUi ui;
    StartCapture(ui);
    const float playX = 16 + 22, playY = 36;
    ui.MouseMove(playX, playY);
    ui.Frames(2);  // a new tooltip window shows from its second frame
    EXPECT_TRUE(ui.DrewText("Pause (Space)"));
    ui.MouseDown();
    ui.Frame();
    EXPECT_FALSE(ui.app.paused);
    ui.MouseUp();
    ui.Frame();
    EXPECT_TRUE(ui.app.paused);

    ui.app.selectionActive = true;
    ui.app.dragMode = SelectionDrag::MoveEnd;
    ui.Frames(2);
    EXPECT_TRUE(ui.DrewText("Resume live view (Space)"));
    ui.Click(playX, playY);
    EXPECT_FALSE(ui.app.paused);
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::None);
}

TEST(TopBar, AlwaysOnTopIsAppliedAndSavedAtOnce) {
    HeadlessUi ui;
    StartCapture(ui);
    const float onTopX = 1004 + 18, y = 36;
    ui.MouseMove(onTopX, y);
    ui.Frames(2);
    EXPECT_TRUE(ui.DrewText("Always on top: off"));
    ui.MouseDown();
    ui.Frame();
    ui.MouseUp();
    ui.Frame();
    EXPECT_TRUE(ui.app.alwaysOnTop);
    ASSERT_EQ(fake_platform::Get().alwaysOnTopCalls, std::vector<bool>{true});
    EXPECT_TRUE(LoadSettings().alwaysOnTop);

    ui.Frame();
    EXPECT_TRUE(ui.DrewText("Always on top: on"));
    EXPECT_FALSE(ui.VerticesOfColor(ui.MainDrawList(), colors::kSquareOnBorder).empty());
}

TEST(TopBar, TheCogOpensTheSettingsPanelInTheFrameOfTheClick) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    ui.Click(1048 + 18, 36);
    EXPECT_EQ(capture.listCount, 1);  // the panel took the request after the bar, same frame
    EXPECT_FALSE(ui.app.settingsOpen);
    EXPECT_TRUE(ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId));
}
