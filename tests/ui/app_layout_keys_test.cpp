#include <gtest/gtest.h>

#include "tests/support/headless_ui.h"

TEST(AppLayout, RegionsOfANormalWindowAtScaleOne) {
    const MainLayout layout = ComputeMainLayout(0, 0, 1100, 421, 1.0f);
    EXPECT_FALSE(layout.compact);
    EXPECT_FLOAT_EQ(layout.topBar.y1, 72);
    EXPECT_FLOAT_EQ(layout.waveform.y0, 72);
    EXPECT_FLOAT_EQ(layout.waveform.y1, 357);
    EXPECT_FLOAT_EQ(layout.waveform.x0, 16);
    EXPECT_FLOAT_EQ(layout.waveform.x1, 1084);
    EXPECT_FLOAT_EQ(layout.ruler.y0, 357);
    EXPECT_FLOAT_EQ(layout.ruler.y1, 381);
    EXPECT_FLOAT_EQ(layout.statusBar.y0, 387);
    EXPECT_FLOAT_EQ(layout.statusBar.y1, 421);
}

TEST(AppLayout, CompactBelowTheThresholds) {
    EXPECT_TRUE(ComputeMainLayout(0, 0, 600, 290, 1.0f).compact);
    EXPECT_TRUE(ComputeMainLayout(0, 0, 519, 400, 1.0f).compact);
    EXPECT_FALSE(ComputeMainLayout(0, 0, 520, 300, 1.0f).compact);
    EXPECT_FALSE(ComputeMainLayout(0, 0, 780, 450, 1.5f).compact);
    const MainLayout compact = ComputeMainLayout(0, 0, 600, 290, 1.0f);
    EXPECT_FLOAT_EQ(compact.topBar.y1, 56);
    EXPECT_FLOAT_EQ(compact.waveform.x0, 10);
    EXPECT_FLOAT_EQ(compact.statusBar.y0, 262);
}

TEST(AppLayout, FrameStoresTheWaveformRectangle) {
    HeadlessUi ui(1100, 421);
    ui.UseFakeCapture();
    ui.Frame();
    EXPECT_FLOAT_EQ(ui.app.waveRect.y0, 72);
    EXPECT_FLOAT_EQ(ui.app.waveRect.y1, 357);
}

class AppKeys : public ::testing::Test {
protected:
    void SetUp() override {
        FakeCapture& capture = ui.UseFakeCapture();
        ui.app.RestartCapture();
        capture.FeedConstant(0.2f, 0.2f, 48000);
        ui.Frame();
    }
    HeadlessUi ui;
};

TEST_F(AppKeys, SpaceTogglesPauseAndResumingClearsSelectionAndGesture) {
    ui.TapKey(ImGuiKey_Space);
    EXPECT_TRUE(ui.app.paused);
    ui.app.selectionActive = true;
    ui.app.dragMode = SelectionDrag::MoveEnd;
    ui.TapKey(ImGuiKey_Space);
    EXPECT_FALSE(ui.app.paused);
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.dragMode, SelectionDrag::None);
}

TEST_F(AppKeys, HoldingSpaceActsOnce) {
    ui.Key(ImGuiKey_Space, true);
    ui.Frames(60);  // well past the key-repeat delay
    EXPECT_TRUE(ui.app.paused);
    ui.Key(ImGuiKey_Space, false);
    ui.Frame();
    EXPECT_TRUE(ui.app.paused);
}

TEST_F(AppKeys, EscapeClearsOnlyTheSelectionFlag) {
    ui.app.paused = true;
    ui.app.selectionActive = true;
    ui.app.selectionStart = 10;
    ui.app.selectionEnd = 20;
    ui.app.dragMode = SelectionDrag::Create;
    ui.TapKey(ImGuiKey_Escape);
    EXPECT_FALSE(ui.app.selectionActive);
    EXPECT_TRUE(ui.app.paused);
    EXPECT_EQ(ui.app.selectionStart, 10);
    EXPECT_EQ(ui.app.selectionEnd, 20);
}

TEST_F(AppKeys, CtrlASelectsTheWholeViewAndPauses) {
    ui.TapKey(ImGuiKey_A, /*ctrl=*/true);
    EXPECT_TRUE(ui.app.paused);
    EXPECT_TRUE(ui.app.selectionActive);
    EXPECT_EQ(ui.app.selectionEnd, ui.app.viewEnd);
    EXPECT_EQ(ui.app.selectionStart, ui.app.viewEnd - ui.app.view.left.frameCount);
}

TEST_F(AppKeys, PlainAIsNotSelectAll) {
    ui.TapKey(ImGuiKey_A);
    EXPECT_FALSE(ui.app.paused);
    EXPECT_FALSE(ui.app.selectionActive);
}

TEST(AppKeysEmptyView, CtrlAOnAnEmptyViewPausesWithoutSelection) {
    HeadlessUi ui;
    ui.Frame();
    ui.TapKey(ImGuiKey_A, /*ctrl=*/true);
    EXPECT_TRUE(ui.app.paused);
    EXPECT_FALSE(ui.app.selectionActive);
}

TEST_F(AppKeys, KeysDoNothingWhileAPopupIsOpen) {
    auto withPopup = [] {
        if (!ImGui::IsPopupOpen("probe")) ImGui::OpenPopup("probe");
        if (ImGui::BeginPopup("probe")) ImGui::EndPopup();
    };
    ui.FrameWith(withPopup);
    ui.Key(ImGuiKey_Space, true);
    ui.FrameWith(withPopup);
    ui.Key(ImGuiKey_Space, false);
    ui.Key(ImGuiMod_Ctrl, true);
    ui.Key(ImGuiKey_A, true);
    ui.FrameWith(withPopup);
    EXPECT_FALSE(ui.app.paused);
    EXPECT_FALSE(ui.app.selectionActive);
}

TEST_F(AppKeys, KeysDoNothingWhileATextFieldHasFocus) {
    const auto withField = &HeadlessUi::DrawFocusedTextField;
    ui.Frames(1);
    for (int i = 0; i < 3; ++i) ui.FrameWith(withField);
    ASSERT_TRUE(ImGui::GetIO().WantTextInput);
    ui.Key(ImGuiKey_Space, true);
    ui.FrameWith(withField);
    ui.Key(ImGuiKey_Space, false);
    ui.FrameWith(withField);
    EXPECT_FALSE(ui.app.paused);
}
