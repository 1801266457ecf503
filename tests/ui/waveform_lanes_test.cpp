#include <gtest/gtest.h>

#include "tests/ui/wave_test_support.h"
#include "ui/icons.h"

namespace {

// The lane geometry of the default 1100 × 421 window at scale 1.
constexpr float kTop = 72.0f;
constexpr float kLaneHeight = (357.0f - 72.0f) * 0.5f;
constexpr float kLeftCentre = kTop + kLaneHeight * 0.5f;
constexpr float kRightCentre = kTop + kLaneHeight * 1.5f;
constexpr float kAmplitude = kLaneHeight * 0.5f * 0.9f;
constexpr const char* kWaiting = "Waiting for sound - play something on this output";

}  // namespace

TEST(WaveformLanes, ColumnsThatStayKeepIdenticalRectanglesWhenTheViewScrollsByWholeColumns) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Noise(300'001, 0.8f, 7));  // the left edge falls inside a column
    ui.Frame();
    const std::vector<Box> before = QuadsOfColor(ui.MainDrawList(), colors::kEnvelope);
    const std::vector<float> viewBefore(ui.app.view.left.samples, ui.app.view.left.samples + 288000);
    const int64_t u = 270;
    const int shift = 5;
    Feed(capture, Noise(shift * u, 0.8f, 8));
    ui.Frame();
    const std::vector<Box> after = QuadsOfColor(ui.MainDrawList(), colors::kEnvelope);
    for (int64_t k = 0; k + shift * u < 288000; ++k)
        ASSERT_EQ(ui.app.view.left.samples[k], viewBefore[k + shift * u]) << "view frame " << k;

    ASSERT_EQ(before.size(), after.size());
    const float pixelShift = static_cast<float>(shift * u / (288000.0 / 1068.0));
    // Two quads per column (left lane, right lane). The partial column at the
    // left edge and the newest column, which was still filling, may change.
    for (size_t i = 2; i + 2 * shift + 2 < before.size(); ++i) {
        const Box& was = before[i + 2 * shift];
        const Box& now = after[i];
        ASSERT_EQ(was.y0, now.y0) << "quad " << i;
        ASSERT_EQ(was.y1, now.y1) << "quad " << i;
        ASSERT_NEAR(was.x0 - now.x0, pixelShift, 1e-3);
        ASSERT_NEAR(was.Width(), now.Width(), 1e-3);
    }
}

TEST(WaveformLanes, DigitalSilenceDrawsCentreLinesAndWaitsForSoundOnlyWhileLive) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    capture.FeedConstant(0.0f, 0.0f, 48000);
    ui.Frame();

    const std::vector<Box> columns = QuadsOfColor(ui.MainDrawList(), colors::kEnvelope);
    ASSERT_EQ(columns.size(), 2u * 1067u);  // 288000 frames in 270-frame columns
    for (size_t i = 0; i < columns.size(); ++i) {
        const float centre = i % 2 == 0 ? kLeftCentre : kRightCentre;
        EXPECT_EQ(columns[i].y0, centre - 0.5f);
        EXPECT_EQ(columns[i].y1, centre + 0.5f);
    }
    EXPECT_TRUE(QuadsOfColor(ui.MainDrawList(), colors::kRmsCore).empty());
    EXPECT_TRUE(ui.DrewText(kWaiting));

    ui.app.paused = true;
    ui.Frame();
    EXPECT_FALSE(ui.DrewText(kWaiting));
    EXPECT_FALSE(ui.DrewText("No capture device"));
}

TEST(WaveformLanes, AFullScaleSquareWaveSpansTheNinetyPercentLinesWithClipMarksAtBothEdges) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Square(288000, 1.0f));
    ui.Frame();

    const std::vector<Box> envelopes = QuadsOfColor(ui.MainDrawList(), colors::kEnvelope);
    const std::vector<Box> cores = QuadsOfColor(ui.MainDrawList(), colors::kRmsCore);
    const std::vector<Box> clips = QuadsOfColor(ui.MainDrawList(), colors::kClipMark);
    ASSERT_EQ(envelopes.size(), 2u * 1067u);
    ASSERT_EQ(cores.size(), envelopes.size());
    ASSERT_EQ(clips.size(), 2 * envelopes.size());
    for (size_t i = 0; i < envelopes.size(); ++i) {
        const float centre = i % 2 == 0 ? kLeftCentre : kRightCentre;
        EXPECT_FLOAT_EQ(envelopes[i].y0, centre - kAmplitude);
        EXPECT_FLOAT_EQ(envelopes[i].y1, centre + kAmplitude);
        EXPECT_FLOAT_EQ(cores[i].y0, centre - kAmplitude);
        EXPECT_FLOAT_EQ(cores[i].y1, centre + kAmplitude);
        const Box& top = clips[2 * i];
        const Box& bottom = clips[2 * i + 1];
        EXPECT_FLOAT_EQ(top.y0, centre - kLaneHeight * 0.5f);
        EXPECT_FLOAT_EQ(top.Height(), 3.0f);
        EXPECT_FLOAT_EQ(bottom.y1, centre + kLaneHeight * 0.5f);
        EXPECT_FLOAT_EQ(bottom.Height(), 3.0f);
    }
    EXPECT_FALSE(ui.DrewText(kWaiting));
}

TEST(WaveformLanes, ClipMarksScaleWithTheInterface) {
    HeadlessUi ui(1650, 632);
    ui.ApplyScale(1.5f);
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Square(288000, 1.0f));
    ui.Frame();
    const std::vector<Box> clips = QuadsOfColor(ui.MainDrawList(), colors::kClipMark);
    ASSERT_FALSE(clips.empty());
    EXPECT_FLOAT_EQ(clips[0].Height(), 4.5f);
}

TEST(WaveformLanes, OversClampTheEnvelopeWhileTheRmsCoreUsesTheUnclampedValues) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Square(288000, 1.5f));
    ui.Frame();
    const std::vector<Box> envelopes = QuadsOfColor(ui.MainDrawList(), colors::kEnvelope);
    const std::vector<Box> cores = QuadsOfColor(ui.MainDrawList(), colors::kRmsCore);
    ASSERT_FALSE(envelopes.empty());
    ASSERT_EQ(cores.size(), envelopes.size());
    EXPECT_FLOAT_EQ(envelopes[0].y0, kLeftCentre - kAmplitude * 1.05f);
    EXPECT_FLOAT_EQ(envelopes[0].y1, kLeftCentre + kAmplitude * 1.05f);
    EXPECT_FLOAT_EQ(cores[0].y0, kLeftCentre - kAmplitude * 1.5f);
    EXPECT_FLOAT_EQ(cores[0].y1, kLeftCentre + kAmplitude * 1.5f);
}

TEST(WaveformLanes, AHistoryNarrowerThanThePanelGetsOneColumnPerFrame) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui, 100, 2);  // 200 frames over 1068 pixels
    Feed(capture, Noise(200, 0.5f, 3));
    ui.Frame();
    const std::vector<Box> columns = QuadsOfColor(ui.MainDrawList(), colors::kEnvelope);
    ASSERT_EQ(columns.size(), 400u);
    for (const Box& c : columns) EXPECT_NEAR(c.Width(), 1068.0f / 200.0f, 1e-3);
    EXPECT_NEAR(columns.front().x0, 16.0f, 1e-3);
    EXPECT_NEAR(columns.back().x1, 1084.0f, 1e-3);
}

TEST(WaveformLanes, NoCaptureDeviceWheneverCaptureIsNotRunning) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.startSucceeds = false;
    ui.app.RestartCapture();
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("No capture device"));
    EXPECT_FALSE(ui.DrewText(kWaiting));

    // A frozen view with audio in it, after the device went away.
    capture.startSucceeds = true;
    ui.app.RestartCapture();
    Feed(capture, Noise(48000, 0.5f, 4));
    ui.Frame();
    EXPECT_FALSE(ui.DrewText("No capture device"));
    ui.app.paused = true;
    capture.running = false;
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("No capture device"));
    EXPECT_FALSE(QuadsOfColor(ui.MainDrawList(), colors::kEnvelope).empty());
}

TEST(WaveformLanes, SelectedColumnsAndTheLengthPillUseTheSelectionColours) {
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Noise(288000, 0.5f, 5));
    ui.Frame();
    App& app = ui.app;
    app.paused = true;
    app.selectionActive = true;
    app.selectionStart = app.viewEnd - 96000;  // the last two seconds
    app.selectionEnd = app.viewEnd;
    ui.Frame();
    const size_t selected = QuadsOfColor(ui.MainDrawList(), colors::kEnvelopeSelected).size();
    EXPECT_NEAR(static_cast<double>(selected), 2 * 96000 / 270.0, 2.0);
    EXPECT_TRUE(ui.DrewText("2.00 s"));
    EXPECT_FALSE(ui.DrewText("drag out as WAV"));

    ui.MouseMove(1000, WaveMidY(ui));  // over the selection, no gesture
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("2.00 s  \xc2\xb7  drag out as WAV"));
    Box pill{};
    ASSERT_TRUE(BoundsOfColor(ui.MainDrawList(), colors::kSelectionPill, pill));
    EXPECT_LE(pill.x1, 1084.0f - 6.0f + 1e-3f);  // held inside the panel's right edge
}
