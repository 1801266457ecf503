#include <cmath>
#include <thread>

#include "tests/linux/pulse_capture_fixture.h"

namespace {
constexpr double kToneHz = 440.0;
constexpr double kHalfScale = 0.5;  // -6 dBFS
}  // namespace

class PulseCaptureAudio : public PulseCaptureWithServer {};

TEST_F(PulseCaptureAudio, ToneOnTheDefaultOutputArrivesAtItsLevel) {
    ASSERT_TRUE(StartCapture("", probe.Callback())) << capture->LastError();
    EXPECT_TRUE(capture->IsRunning());
    EXPECT_EQ(capture->LastError(), "");
    EXPECT_EQ(capture->DeviceName(), PulseServer::kFloatSinkName);
    EXPECT_EQ(capture->SampleRate(), 48000);

    server.PlayTone(PulseServer::kFloatSink, kToneHz, kHalfScale, 48000, 2);
    ASSERT_TRUE(probe.WaitForLevel(0.3f, 3000ms)) << "the tone never arrived";
    probe.TakeSamples();
    ASSERT_TRUE(probe.WaitForFrames(probe.Frames() + 24000, 2000ms));
    const std::vector<float> tone = probe.TakeSamples();
    EXPECT_NEAR(Peak(tone), kHalfScale, 0.01);
}

TEST_F(PulseCaptureAudio, DeliveredFramesKeepPaceWithTheClock) {
    ASSERT_TRUE(StartCapture(PulseServer::kFloatSink, probe.Callback())) << capture->LastError();
    ASSERT_TRUE(probe.WaitForFrames(1, 2000ms));
    const size_t firstFrames = probe.Frames();
    const auto began = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(2s);
    const size_t delivered = probe.Frames() - firstFrames;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    const double expected = seconds * 48000.0;
    EXPECT_NEAR(static_cast<double>(delivered), expected, expected * 0.05);
}

TEST_F(PulseCaptureAudio, SinkAt44100WithShortSamplesIsCapturedAtItsOwnRate) {
    ASSERT_TRUE(StartCapture(PulseServer::kShortSink, probe.Callback())) << capture->LastError();
    EXPECT_EQ(capture->SampleRate(), 44100);
    EXPECT_EQ(capture->DeviceName(), PulseServer::kShortSinkName);

    server.PlayTone(PulseServer::kShortSink, kToneHz, kHalfScale, 44100, 2);
    ASSERT_TRUE(probe.WaitForLevel(0.3f, 3000ms)) << "the tone never arrived";
    probe.TakeSamples();
    ASSERT_TRUE(probe.WaitForFrames(probe.Frames() + 22050, 2000ms));
    EXPECT_NEAR(Peak(probe.TakeSamples()), kHalfScale, 0.01);
}

TEST_F(PulseCaptureAudio, MonoSinkGivesTheSameSampleOnBothSides) {
    ASSERT_TRUE(StartCapture(PulseServer::kMonoSink, probe.Callback())) << capture->LastError();
    server.PlayTone(PulseServer::kMonoSink, kToneHz, kHalfScale, 48000, 1);
    ASSERT_TRUE(probe.WaitForLevel(0.3f, 3000ms)) << "the tone never arrived";
    ASSERT_TRUE(probe.WaitForFrames(probe.Frames() + 4800, 2000ms));
    const std::vector<float> samples = probe.TakeSamples();
    size_t unequal = 0;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) unequal += samples[i] != samples[i + 1];
    EXPECT_EQ(unequal, 0u);
    EXPECT_NEAR(Peak(samples), kHalfScale, 0.01);
}
