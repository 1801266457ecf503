#include <string>
#include <thread>

#include "tests/linux/pulse_capture_fixture.h"

class PulseCaptureLifecycle : public PulseCaptureWithServer {};

TEST_F(PulseCaptureLifecycle, StopWithoutACaptureThreadKeepsTheErrorAndTheRestartRequest) {
    const int module = server.LoadNullSink("wl_usb", "USB");
    ASSERT_GE(module, 0);
    ASSERT_TRUE(StartCapture("wl_usb", nullptr)) << capture->LastError();
    ASSERT_EQ(server.Pactl("unload-module " + std::to_string(module)), 0);
    ASSERT_TRUE(WaitUntil([&] { return capture->NeedsRestart(); }, 3000ms));

    capture->Stop();  // joins the thread that ended with the breakdown
    capture->Stop();  // nothing left to join
    EXPECT_FALSE(capture->IsRunning());
    EXPECT_TRUE(capture->NeedsRestart()) << "only Start clears the request";
    EXPECT_EQ(capture->LastError(), "Output device was removed");
    EXPECT_EQ(capture->DeviceName(), "USB");
}

TEST_F(PulseCaptureLifecycle, StopEndsDeliveryAndKeepsWhatWasLearned) {
    ASSERT_TRUE(StartCapture(PulseServer::kShortSink, probe.Callback())) << capture->LastError();
    ASSERT_TRUE(probe.WaitForFrames(4410, 2000ms));
    capture->Stop();
    EXPECT_FALSE(capture->IsRunning());
    const size_t calls = probe.Calls();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(probe.Calls(), calls) << "audio arrived after Stop returned";
    EXPECT_EQ(capture->SampleRate(), 44100);
    EXPECT_EQ(capture->DeviceName(), PulseServer::kShortSinkName);
    EXPECT_EQ(capture->LastError(), "");
    EXPECT_FALSE(capture->NeedsRestart());
}

TEST_F(PulseCaptureLifecycle, StartWhileRunningSilencesTheOldCallback) {
    ASSERT_TRUE(StartCapture(PulseServer::kFloatSink, probe.Callback())) << capture->LastError();
    ASSERT_TRUE(probe.WaitForFrames(4800, 2000ms));
    const int threadsWhileRunning = ThreadCount();

    ASSERT_TRUE(StartCapture(PulseServer::kMonoSink, secondProbe.Callback())) << capture->LastError();
    const size_t oldCalls = probe.Calls();
    EXPECT_TRUE(secondProbe.WaitForFrames(4800, 2000ms));
    EXPECT_EQ(probe.Calls(), oldCalls) << "the replaced callback still receives audio";
    EXPECT_LE(ThreadCount(), threadsWhileRunning) << "more than one capture thread";
    EXPECT_EQ(capture->DeviceName(), PulseServer::kMonoSinkName);
}

TEST_F(PulseCaptureLifecycle, EmptyCallbackIsAcceptedAndAudioIsDropped) {
    ASSERT_TRUE(StartCapture("", AudioCallback{})) << capture->LastError();
    server.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(capture->IsRunning());
    capture->Stop();
    EXPECT_FALSE(capture->IsRunning());
}

TEST_F(PulseCaptureLifecycle, RepeatedStartsAndStopsKeepFeedingTheHistory) {
    constexpr int kCycles = 8;
    StereoBuffer view;
    uint64_t lastTotal = 0;
    server.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2);
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const bool started = StartCapture(
            cycle % 2 ? PulseServer::kFloatSink : "", [this](const float* frames, size_t count) {
                history.Push(frames, count);
            });
        ASSERT_TRUE(started) << capture->LastError();
        history.Reset(capture->SampleRate(), 2.0);
        // The interface thread reads while the capture thread writes.
        for (int read = 0; read < 5; ++read) {
            std::this_thread::sleep_for(15ms);
            history.Snapshot(view);
            history.TakePeaks();
            (void)capture->IsRunning();
            (void)capture->DeviceName();
        }
        capture->Stop();
        const uint64_t total = history.TotalFrames();
        EXPECT_GT(total, lastTotal) << "cycle " << cycle << " delivered nothing";
        lastTotal = total;
    }
}
