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

TEST_F(PulseCaptureAudio, EveryPlayedFrameIsDeliveredOnce) {
    constexpr size_t kPlayed = 48000;
    // The server mixes a new stream into audio it has already passed on, so
    // the first few milliseconds of it may never reach the sink's monitor.
    constexpr size_t kMixedInLate = 960;
    constexpr float kLevel = 0.5f;
    size_t atLevel = 0;
    const auto count = [&] {
        const std::vector<float> samples = probe.TakeSamples();
        for (size_t i = 0; i + 1 < samples.size(); i += 2)
            atLevel += std::fabs(samples[i] - kLevel) < 1e-4f && std::fabs(samples[i + 1] - kLevel) < 1e-4f;
        return atLevel;
    };
    ASSERT_TRUE(StartCapture(PulseServer::kFloatSink, probe.Callback())) << capture->LastError();
    server.PlayLevel(PulseServer::kFloatSink, kLevel, 48000, 2, static_cast<long>(kPlayed));
    ASSERT_TRUE(WaitUntil([&] { return count() >= kPlayed - kMixedInLate; }, 10s)) << atLevel << " frames";
    // Whatever was still to come, or to come twice, has arrived by now.
    std::this_thread::sleep_for(500ms);
    EXPECT_LE(count(), kPlayed);
    EXPECT_GE(atLevel, kPlayed - kMixedInLate);
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
