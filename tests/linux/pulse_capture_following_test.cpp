#include <string>

#include "tests/linux/pulse_capture_fixture.h"

class PulseCaptureFollowing : public PulseCaptureWithServer {
protected:
    // The default sink as the capture object's watcher last heard it; empty while it knows no sinks.
    std::string WatchedDefault() const {
        for (const OutputDevice& device : capture->ListOutputDevices())
            if (device.isDefault) return device.id;
        return {};
    }
    bool WatcherKnowsSinks() const { return !capture->ListOutputDevices().empty(); }
};

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
    // The watcher raises the flag, if at all, as it takes note of the new default.
    ASSERT_TRUE(WaitUntil([&] { return WatchedDefault() == PulseServer::kMonoSink; }, 3000ms))
        << "the watcher never heard of the new default";
    EXPECT_FALSE(capture->NeedsRestart());
    EXPECT_TRUE(capture->IsRunning());
}

TEST_F(PulseCaptureFollowing, FailedStartOnTheDefaultStillFollowsItsChanges) {
    ASSERT_TRUE(WaitUntil([&] { return WatcherKnowsSinks(); }, 3000ms)) << "the watcher never heard of the sinks";
    ASSERT_EQ(server.Pactl("unload-module module-null-sink"), 0);
    // Capture starts following only once the watcher has seen that change.
    ASSERT_TRUE(WaitUntil([&] { return !WatcherKnowsSinks(); }, 3000ms)) << "the watcher never saw the sinks go";
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
    ASSERT_TRUE(WaitUntil([&] { return !WatcherKnowsSinks(); }, 3000ms)) << "the watcher never saw the server go";
    StartServer();
    // The watcher retries on its own; the change comes once it is back.
    ASSERT_TRUE(WaitUntil([&] { return WatcherKnowsSinks(); }, 5000ms)) << "the watcher never reconnected";
    ASSERT_EQ(server.Pactl(std::string("set-default-sink ") + PulseServer::kShortSink), 0);
    EXPECT_TRUE(WaitUntil([&] { return capture->NeedsRestart(); }, 3000ms));
}
