#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/headless_ui.h"

namespace {

// Exact in binary, so the 2-second retry boundary is hit precisely.
constexpr float kStep = 0.25f;

std::vector<float> SnapshotLeft(App& app) {
    StereoBuffer copy;
    app.history.Snapshot(copy);
    return std::vector<float>(copy.left.samples, copy.left.samples + copy.left.frameCount);
}

}  // namespace

// An attempt ends, on the interface clock, when the frame after it begins.
TEST(AppCaptureRestart, MissingDeviceIsRetriedEveryTwoSecondsFromTheEndOfTheLastAttempt) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.startSucceeds = false;
    ui.app.RestartCapture();  // the start-up attempt, ended by the frame at t = 0.25
    EXPECT_EQ(capture.startCount, 1);
    EXPECT_EQ(ui.app.history.SampleRate(), 48000);
    EXPECT_EQ(ui.app.history.Capacity(), 48000 * 6);

    ui.Frames(9, kStep);  // up to t = 2.25: not yet more than 2 s
    EXPECT_EQ(capture.startCount, 1);
    ui.Frame(kStep);  // t = 2.5
    EXPECT_EQ(capture.startCount, 2);
    ui.Frames(9, kStep);  // t = 4.75: 2.0 s after that attempt ended
    EXPECT_EQ(capture.startCount, 2);
    ui.Frame(kStep);
    EXPECT_EQ(capture.startCount, 3);
    // Each attempt stops first and keeps the history it sized once.
    EXPECT_EQ(capture.calls, (std::vector<std::string>{"Stop", "Start:", "Stop", "Start:", "Stop", "Start:"}));
    EXPECT_EQ(ui.app.history.Capacity(), 48000 * 6);
}

TEST(AppCaptureRestart, RetryCountsFromTheEndOfASlowAttempt) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.startSucceeds = false;
    ui.app.RestartCapture();  // at t = 0, taking 1.5 s: the next frame begins at t = 1.5
    ui.Frame(1.5f);
    ui.Frames(8, kStep);  // t = 3.5: more than 2 s after the attempt began, not after it ended
    EXPECT_EQ(capture.startCount, 1);
    ui.Frame(kStep);
    EXPECT_EQ(capture.startCount, 2);
}

TEST(AppCaptureRestart, StartStillWaitingForItsAnswerIsNotRetriedAndItsLateOutcomeCounts) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.answersLate = true;
    capture.rate = 44100;
    ui.app.RestartCapture();
    ui.Frames(20, kStep);  // t = 5.0
    EXPECT_EQ(capture.startCount, 1) << "an attempt still under way was replaced";

    // A late failure ends the attempt: the retry comes 2 s after that.
    capture.AnswerLate(false);
    ui.Frames(8, kStep);
    EXPECT_EQ(capture.startCount, 1);
    ui.Frame(kStep);
    EXPECT_EQ(capture.startCount, 2);

    // A late success sizes the history at the device's rate and feeds it.
    capture.AnswerLate(true);
    ui.Frame(kStep);
    EXPECT_EQ(ui.app.history.SampleRate(), 44100);
    EXPECT_EQ(ui.app.history.Capacity(), 44100 * 6);
    capture.FeedConstant(0.5f, -0.5f, 100);
    ui.Frame(kStep);
    EXPECT_EQ(ui.app.view.left.samples[ui.app.view.left.frameCount - 1], 0.5f);
}

TEST(AppCaptureRestart, FailedRetriesKeepTheHistoryAndItsAudio) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.startSucceeds = false;
    ui.app.RestartCapture();
    const std::vector<float> block(2 * 480, 0.25f);
    ui.app.history.Push(block.data(), 480);
    const auto before = SnapshotLeft(ui.app);
    ui.Frames(10, kStep);
    EXPECT_EQ(capture.startCount, 2);
    EXPECT_EQ(SnapshotLeft(ui.app), before);
}

TEST(AppCaptureRestart, DeviceThatAppearsIsUsedWithinTwoSecondsAtItsRate) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.startSucceeds = false;
    ui.app.RestartCapture();
    ui.Frames(3, kStep);
    capture.startSucceeds = true;
    capture.rate = 44100;
    ui.Frames(7, kStep);  // t = 2.5
    EXPECT_TRUE(capture.IsRunning());
    EXPECT_EQ(ui.app.history.SampleRate(), 44100);
    EXPECT_EQ(ui.app.history.Capacity(), 44100 * 6);
    capture.FeedConstant(0.5f, -0.5f, 100);
    ui.Frame(kStep);
    EXPECT_EQ(ui.app.view.left.samples[ui.app.view.left.frameCount - 1], 0.5f);
    EXPECT_EQ(ui.app.view.right.samples[ui.app.view.right.frameCount - 1], -0.5f);
}

TEST(AppCaptureRestart, RestartRequestIsHonouredOnTheNextFrame) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    ui.app.RestartCapture();
    ui.Frame(kStep);
    EXPECT_EQ(capture.startCount, 1);
    capture.needsRestart = true;
    ui.Frame(kStep);  // only 0.25 s after the last attempt
    EXPECT_EQ(capture.startCount, 2);
    EXPECT_FALSE(capture.NeedsRestart());
}

TEST(AppCaptureRestart, RestartAtTheSameRateKeepsAudioAndANewRateClearsIt) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    ui.app.RestartCapture();
    capture.FeedConstant(0.75f, 0.75f, 1000);
    capture.needsRestart = true;
    ui.Frame(kStep);
    EXPECT_EQ(SnapshotLeft(ui.app).back(), 0.75f);

    capture.rate = 96000;
    capture.needsRestart = true;
    ui.Frame(kStep);
    const auto cleared = SnapshotLeft(ui.app);
    EXPECT_EQ(cleared.size(), 96000u * 6);
    EXPECT_EQ(cleared.back(), 0.0f);
}

TEST(AppCaptureRestart, PolicyRunsWhilePaused) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    capture.startSucceeds = false;
    ui.app.RestartCapture();
    ui.app.paused = true;
    ui.Frames(10, kStep);
    EXPECT_EQ(capture.startCount, 2);
    capture.needsRestart = true;
    ui.Frame(kStep);
    EXPECT_EQ(capture.startCount, 3);
}

TEST(AppCaptureRestart, CallbackFeedsTheHistoryAndAFrozenViewKeepsItsPlace) {
    HeadlessUi ui;
    FakeCapture& capture = ui.UseFakeCapture();
    ui.app.RestartCapture();
    capture.FeedConstant(0.5f, 0.5f, 4800);
    ui.Frame();
    const int64_t frozenEnd = ui.app.viewEnd;
    EXPECT_EQ(frozenEnd, 4800);
    ui.app.paused = true;
    capture.FeedConstant(0.9f, 0.9f, 4800);
    ui.Frame();
    EXPECT_EQ(ui.app.viewEnd, frozenEnd);
    EXPECT_EQ(ui.app.view.left.samples[ui.app.view.left.frameCount - 1], 0.5f);
    EXPECT_EQ(ui.app.history.TotalFrames(), 9600u);
}
