#include <gtest/gtest.h>
#include <imgui_internal.h>

#include "tests/support/ui_locator.h"
#include "tests/ui/wave_test_support.h"
#include "ui/wave_mapping.h"

namespace {

constexpr float kPastDoubleClick = 0.5f;

class WaveformGestures : public ::testing::Test {
protected:
    void SetUp() override {
        capture = &StartCapture(ui);
        Feed(*capture, Noise(300'000, 0.5f, 11));
        ui.Frame();
        y = WaveMidY(ui);
    }

    // Presses at x, long enough after any earlier press not to count as a double-click.
    void Press(float x) {
        ui.MouseMove(x, y);
        ui.Frame(kPastDoubleClick);
        ui.MouseDown();
        ui.Frame();
    }
    // Moves the held or free mouse, one frame.
    void MoveTo(float x) {
        ui.MouseMove(x, y);
        ui.Frame();
    }
    void Release() {
        ui.MouseUp();
        ui.Frame();
    }
    int64_t FrameAt(float x) const { return ui.app.XToFrame(x); }
    float XOf(int64_t frame) const { return MapView(ui.app).XOfFrame(frame); }
    // Creates a selection between two x positions and leaves the mouse released.
    void Select(float from, float to) {
        ui.Drag(from, y, to, y);
        ASSERT_TRUE(ui.app.selectionActive);
    }

    HeadlessUi ui;
    FakeCapture* capture = nullptr;
    float y = 0;
};

}  // namespace

TEST_F(WaveformGestures, AClickWithoutMovingPausesAndLeavesNoSelection) {
    ui.Click(500, y);
    EXPECT_TRUE(ui.app.paused);
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::None);
}

TEST_F(WaveformGestures, ADragOfThreePixelsKeepsTheSelectionAndShorterDropsIt) {
    ui.Drag(500, y, 497, y);
    EXPECT_TRUE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.selectionStart, FrameAt(497));
    EXPECT_EQ(ui.app.selectionEnd, FrameAt(500));

    ui.Drag(600, y, 602, y);
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_TRUE(ui.app.paused);
}

TEST_F(WaveformGestures, TheMinimumDragScalesWithTheInterface) {
    ui.ApplyScale(2.0f);
    DisableAntiAliasing();
    ui.Frame();
    ui.Drag(500, y, 505, y);
    EXPECT_FALSE(ui.app.selectionActive);
    ui.Frame(kPastDoubleClick);
    ui.Drag(500, y, 506, y);
    EXPECT_TRUE(ui.app.selectionActive);
}

TEST_F(WaveformGestures, DraggingTheStartEdgePastTheEndShowsTheSpanAndStoresItInOrder) {
    Select(300, 600);
    Press(300);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::MoveStart);
    MoveTo(700);
    MoveTo(800);
    ui.Frame();  // the panel is drawn before the frame's input is handled
    Box fill{};
    ASSERT_TRUE(BoundsOfColor(ui.MainDrawList(), colors::kSelectionFill, fill));
    EXPECT_NEAR(fill.x0, 600, 0.5);
    EXPECT_NEAR(fill.x1, 800, 0.5);
    Release();
    EXPECT_TRUE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.selectionStart, FrameAt(600));
    EXPECT_EQ(ui.app.selectionEnd, FrameAt(800));
}

TEST_F(WaveformGestures, APressNearBothEdgesOfANarrowSelectionMovesTheStart) {
    Select(500, 508);
    const int64_t end = ui.app.selectionEnd;
    Press(504);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::MoveStart);
    MoveTo(450);
    Release();
    EXPECT_EQ(ui.app.selectionStart, FrameAt(450));
    EXPECT_EQ(ui.app.selectionEnd, end);
}

TEST_F(WaveformGestures, ADoubleClickSelectsTheWholeViewAndPausesAlsoInsideASelection) {
    Select(300, 700);
    ui.Click(500, y);
    ui.MouseDown();
    ui.Frame();
    EXPECT_TRUE(ui.app.paused);
    EXPECT_TRUE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::None);
    Release();
    EXPECT_EQ(ui.app.selectionStart, ui.app.viewEnd - ui.app.view.left.frameCount);
    EXPECT_EQ(ui.app.selectionEnd, ui.app.viewEnd);
    EXPECT_TRUE(fake_platform::Get().dragPaths.empty());
}

TEST_F(WaveformGestures, ADoubleClickWhileLivePausesTheView) {
    ui.Click(500, y);
    ui.app.paused = false;  // pretend the first click happened a moment earlier, live
    ui.Click(500, y);
    EXPECT_TRUE(ui.app.paused);
    EXPECT_TRUE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.selectionEnd - ui.app.selectionStart, 288000);
}

TEST_F(WaveformGestures, APressInsideTheSelectionChangesNothingUntilItMovesFarEnoughThenExportsOnce) {
    Select(300, 700);
    const int64_t start = ui.app.selectionStart;
    const int64_t end = ui.app.selectionEnd;

    Press(500);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::PendingExport);
    MoveTo(503);
    MoveTo(504);
    Release();
    EXPECT_TRUE(fake_platform::Get().dragPaths.empty());
    EXPECT_TRUE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.selectionStart, start);
    EXPECT_EQ(ui.app.selectionEnd, end);
    EXPECT_TRUE(ui.app.paused);

    Press(500);
    MoveTo(506);
    MoveTo(540);
    MoveTo(900);
    Release();
    EXPECT_EQ(fake_platform::Get().dragPaths.size(), 1u);
    EXPECT_EQ(ui.app.selectionStart, start);
    EXPECT_EQ(ui.app.selectionEnd, end);
}

TEST_F(WaveformGestures, EscapeDuringADragClearsTheSelectionForGoodWhileTheGestureRunsOn) {
    Press(600);
    MoveTo(500);
    ui.TapKey(ImGuiKey_Escape);
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::Create);
    MoveTo(400);
    EXPECT_EQ(ui.app.selectionEnd, FrameAt(400));
    ui.Frame();
    EXPECT_TRUE(QuadsOfColor(ui.MainDrawList(), colors::kSelectionFill).empty());
    Release();
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::None);
    EXPECT_EQ(ui.app.selectionStart, FrameAt(400));
    EXPECT_EQ(ui.app.selectionEnd, FrameAt(600));
}

TEST_F(WaveformGestures, AFrozenViewKeepsItsPlaceWhileCaptureGoesOnFillingTheHistory) {
    Select(300, 700);
    const int64_t viewEnd = ui.app.viewEnd;
    const int64_t start = ui.app.selectionStart;
    const std::vector<Box> before = QuadsOfColor(ui.MainDrawList(), colors::kEnvelopeSelected);
    Feed(*capture, Noise(100'000, 0.9f, 12));
    ui.Frames(3);
    EXPECT_EQ(ui.app.viewEnd, viewEnd);
    EXPECT_EQ(ui.app.history.TotalFrames(), static_cast<uint64_t>(viewEnd) + 100'000);
    EXPECT_EQ(ui.app.selectionStart, start);
    const std::vector<Box> after = QuadsOfColor(ui.MainDrawList(), colors::kEnvelopeSelected);
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].x0, before[i].x0);
        EXPECT_EQ(after[i].y0, before[i].y0);
        EXPECT_EQ(after[i].y1, before[i].y1);
    }
}

TEST_F(WaveformGestures, DraggingBeyondThePanelClampsToTheView) {
    Press(200);
    MoveTo(-300);
    Release();
    EXPECT_EQ(ui.app.selectionStart, ui.app.viewEnd - 288000);
    Press(900);
    MoveTo(5000);
    Release();
    EXPECT_EQ(ui.app.selectionEnd, ui.app.viewEnd);
}

TEST(EmptyWaveform, TakesThePressButIgnoresIt) {
    HeadlessUi ui;
    ui.UseFakeCapture().startSucceeds = false;
    ui.Frame();
    ui.app.view.left.Free();
    ui.app.view.right.Free();
    ui.app.paused = true;
    const float y = WaveMidY(ui);
    ui.MouseMove(300, y);
    ui.Frame();
    ui.MouseDown();
    ui.Frame();
    // The panel holds the press, so nothing beneath it acts on it.
    EXPECT_EQ(ImGui::GetActiveID(), WindowNamed("##main")->GetID("##wave"));
    ui.MouseMove(600, y);
    ui.Frame();
    ui.MouseUp();
    ui.Frame();
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::None);
}
