#include <thread>

#include "tests/linux/pulse_capture_fixture.h"

namespace {
bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}
}  // namespace

class PulseCaptureFailure : public PulseCaptureWithServer {};
class PulseCaptureFailureWithoutServer : public PulseCaptureFixture {};

TEST_F(PulseCaptureFailure, RemovedSinkEndsCaptureAndIsCapturedAgainOnceBack) {
    const int module = server.LoadNullSink("wl_usb", "USB");
    ASSERT_GE(module, 0);
    ASSERT_TRUE(StartCapture("wl_usb", probe.Callback())) << capture->LastError();
    EXPECT_EQ(capture->DeviceName(), "USB");

    ASSERT_EQ(server.Pactl("unload-module " + std::to_string(module)), 0);
    ASSERT_TRUE(WaitUntil([&] { return !capture->IsRunning(); }, 3000ms));
    EXPECT_EQ(capture->LastError(), "Output device was removed");
    EXPECT_TRUE(capture->NeedsRestart());

    // The ended capture's thread may still be on its way out, so the count may only fall.
    const int threadsBefore = ThreadCount();
    EXPECT_FALSE(StartCapture("wl_usb", probe.Callback()));
    EXPECT_EQ(capture->LastError(), "Selected output device is not available");
    EXPECT_FALSE(capture->IsRunning());
    EXPECT_FALSE(capture->NeedsRestart()) << "a start-up failure does not ask for a restart";
    EXPECT_LE(ThreadCount(), threadsBefore) << "the failed start left a thread behind";

    ASSERT_GE(server.LoadNullSink("wl_usb", "USB"), 0);
    ASSERT_TRUE(StartCapture("wl_usb", secondProbe.Callback())) << capture->LastError();
    EXPECT_EQ(capture->LastError(), "");
    server.PlayTone("wl_usb", 440.0, 0.5, 48000, 2);
    EXPECT_TRUE(secondProbe.WaitForLevel(0.3f, 3000ms)) << "the sink loaded again was not captured";
}

TEST_F(PulseCaptureFailure, ServerWithoutSinksHasNoDefaultOutput) {
    ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
    EXPECT_FALSE(StartCapture("", nullptr));
    EXPECT_EQ(capture->LastError(), "No audio output device found");
    EXPECT_FALSE(capture->IsRunning());
}

TEST_F(PulseCaptureFailure, ServerKilledDuringCaptureAsksForRestart) {
    ASSERT_TRUE(StartCapture("", probe.Callback())) << capture->LastError();
    server.Kill();
    ASSERT_TRUE(WaitUntil([&] { return !capture->IsRunning(); }, 3000ms));
    const std::string error = capture->LastError();
    EXPECT_TRUE(StartsWith(error, "Capture failed (") && EndsWith(error, ")")) << error;
    EXPECT_GT(error.size(), std::string("Capture failed ()").size()) << "the reason is missing";
    EXPECT_TRUE(capture->NeedsRestart());
}

TEST_F(PulseCaptureFailure, StartOnAStalledServerGoesOnByItselfUntilTheServerAnswers) {
    server.Freeze();
    EXPECT_FALSE(capture->Start("", probe.Callback()));
    EXPECT_EQ(capture->LastError(), "Sound server did not answer");
    EXPECT_TRUE(capture->IsStarting());
    EXPECT_FALSE(capture->IsRunning());

    server.Thaw();
    ASSERT_TRUE(WaitUntil([&] { return capture->IsRunning(); }, 10s)) << capture->LastError();
    EXPECT_FALSE(capture->IsStarting());
    EXPECT_EQ(capture->LastError(), "");
    EXPECT_EQ(capture->DeviceName(), PulseServer::kFloatSinkName);
    server.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2);
    EXPECT_TRUE(probe.WaitForLevel(0.3f, 3000ms)) << "the start that went on by itself delivers nothing";
}

TEST_F(PulseCaptureFailureWithoutServer, NoServerFailsWithItsReasonThenTheServerStartedLaterIsCaptured) {
    MakeCapture();
    EXPECT_FALSE(StartCapture("", nullptr));
    const std::string error = capture->LastError();
    EXPECT_TRUE(StartsWith(error, "Cannot connect to the sound server (") && EndsWith(error, ")")) << error;
    EXPECT_FALSE(capture->IsRunning());
    EXPECT_FALSE(capture->NeedsRestart());

    StartServer();
    ASSERT_TRUE(StartCapture("", probe.Callback())) << capture->LastError();
    EXPECT_EQ(capture->LastError(), "");
    server.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2);
    EXPECT_TRUE(probe.WaitForLevel(0.3f, 3000ms));
}
