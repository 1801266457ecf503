#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/headless_ui.h"

// The displayed level falls by 24 dB per second whatever the frame rate.
class AppMeterFall : public ::testing::TestWithParam<int> {};

TEST_P(AppMeterFall, FullScaleFrameThenSilenceFalls24DbInOneSecond) {
    const int fps = GetParam();
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    ui.app.RestartCapture();
    const float dt = 1.0f / static_cast<float>(fps);
    capture.FeedConstant(1.0f, 1.0f, 1);
    ui.Frame(dt);
    EXPECT_FLOAT_EQ(ui.app.meterLevelLeft, 1.0f);
    ui.Frames(fps, dt);
    const float expected = std::pow(10.0f, -24.0f / 20.0f);  // 0.063
    EXPECT_NEAR(ui.app.meterLevelLeft, expected, expected * 0.01f);
    EXPECT_NEAR(ui.app.meterLevelRight, expected, expected * 0.01f);
}

INSTANTIATE_TEST_SUITE_P(FrameRates, AppMeterFall, ::testing::Values(30, 60, 144));

TEST(AppMeterHold, HeldPeakStaysForHoldTimeThenTakesTheCurrentPeak) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    ui.app.RestartCapture();
    const float dt = 0.125f;  // exact in binary
    capture.FeedConstant(0.8f, 0.4f, 1);
    ui.Frame(dt);
    const double heldAt = ui.Time();
    EXPECT_FLOAT_EQ(ui.app.peakHoldLeft, 0.8f);
    // Quieter frames do not replace the hold while it is at most 1.2 s old.
    while (ui.Time() + dt - heldAt <= 1.2) {
        capture.FeedConstant(0.05f, 0.05f, 1);
        ui.Frame(dt);
        ASSERT_FLOAT_EQ(ui.app.peakHoldLeft, 0.8f);
    }
    // Once older it takes the current frame's peak, however small.
    capture.FeedConstant(0.05f, 0.05f, 1);
    ui.Frame(dt);
    EXPECT_FLOAT_EQ(ui.app.peakHoldLeft, 0.05f);
    // A louder or equal peak replaces the hold at once.
    capture.FeedConstant(0.3f, 0.3f, 1);
    ui.Frame(dt);
    EXPECT_FLOAT_EQ(ui.app.peakHoldLeft, 0.3f);
}

TEST(AppMeterHold, MetersStayLiveWhileTheViewIsFrozen) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    ui.app.RestartCapture();
    capture.FeedConstant(0.1f, 0.1f, 480);
    ui.Frame();
    ui.app.paused = true;
    const int64_t frozenEnd = ui.app.viewEnd;
    capture.FeedConstant(0.9f, 0.6f, 480);
    ui.Frame();
    EXPECT_FLOAT_EQ(ui.app.meterLevelLeft, 0.9f);
    EXPECT_FLOAT_EQ(ui.app.meterLevelRight, 0.6f);
    EXPECT_EQ(ui.app.viewEnd, frozenEnd);
}
