#include <thread>

#include "tests/linux/pulse_capture_fixture.h"

class PulseCaptureFollowing : public PulseCaptureWithServer {};

TEST_F(PulseCaptureFollowing, DefaultChangeAsksForRestartAndTheRestartCapturesTheNewDefault) {
    ASSERT_TRUE(StartCapture("", probe.Callback())) << capture->LastError();
    EXPECT_EQ(capture->DeviceName(), PulseServer::kFloatSinkName);

    ASSERT_EQ(server.Pactl(std::string("set-default-sink ") + PulseServer::kShortSink), 0);
    ASSERT_TRUE(WaitUntil([&] { return capture->NeedsRestart(); }, 3000ms));
    // Raising the flag is all the watcher does: capture goes on until restarted.
    EXPECT_TRUE(capture->IsRunning());
    EXPECT_TRUE(capture->NeedsRestart()) << "reading the flag must not clear it";

    ASSERT_TRUE(StartCapture("", secondProbe.Callback())) << capture->LastError();
    EXPECT_FALSE(capture->NeedsRestart());
    EXPECT_EQ(capture->DeviceName(), PulseServer::kShortSinkName);
    EXPECT_EQ(capture->SampleRate(), 44100);
    server.PlayTone(PulseServer::kShortSink, 440.0, 0.5, 44100, 2);
    EXPECT_TRUE(secondProbe.WaitForLevel(0.3f, 3000ms)) << "the tone on the new default never arrived";
}

TEST_F(PulseCaptureFollowing, DefaultChangeIsIgnoredWhileADeviceIsChosen) {
    ASSERT_TRUE(StartCapture(PulseServer::kFloatSink, probe.Callback())) << capture->LastError();
    ASSERT_EQ(server.Pactl(std::string("set-default-sink ") + PulseServer::kMonoSink), 0);
    std::this_thread::sleep_for(500ms);
    EXPECT_FALSE(capture->NeedsRestart());
    EXPECT_TRUE(capture->IsRunning());
}

TEST_F(PulseCaptureFollowing, FailedStartOnTheDefaultStillFollowsItsChanges) {
    ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
    // Let the watcher see that change before capture starts following.
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(StartCapture("", nullptr));
    EXPECT_EQ(capture->LastError(), "No audio output device found");
    EXPECT_FALSE(capture->NeedsRestart());

    ASSERT_GE(server.LoadNullSink("wl_late", "Late"), 0);
    ASSERT_TRUE(WaitUntil([&] { return capture->NeedsRestart(); }, 3000ms));
    EXPECT_TRUE(StartCapture("", nullptr)) << capture->LastError();
    EXPECT_EQ(capture->DeviceName(), "Late");
}

TEST_F(PulseCaptureFollowing, WatcherReconnectsAfterTheServerRestarts) {
    ASSERT_TRUE(StartCapture("", nullptr)) << capture->LastError();
    server.Stop();
    ASSERT_TRUE(WaitUntil([&] { return capture->NeedsRestart(); }, 3000ms));
    ASSERT_FALSE(StartCapture("", nullptr));
    StartServer();
    // The watcher retries on its own; give it time to be back before the change.
    std::this_thread::sleep_for(1500ms);
    ASSERT_EQ(server.Pactl(std::string("set-default-sink ") + PulseServer::kShortSink), 0);
    EXPECT_TRUE(WaitUntil([&] { return capture->NeedsRestart(); }, 3000ms));
}
