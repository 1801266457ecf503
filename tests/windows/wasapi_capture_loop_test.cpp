#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/wasapi/wasapi_loopback_capture.h"
#include "tests/windows/scripted_capture_client.h"
#include "tests/windows/windows_test_support.h"

namespace {

template <typename T>
std::vector<unsigned char> Bytes(const std::vector<T>& samples) {
    std::vector<unsigned char> bytes(samples.size() * sizeof(T));
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

// Runs the capture loop over a scripted client and keeps what it delivers.
class WasapiCaptureLoop : public ::testing::Test {
protected:
    ComApartment com;
    WasapiLoopbackCapture capture;
    ScriptedCaptureClient client;
    std::vector<float> delivered;
    std::vector<size_t> frameCounts;

    void Run(const PacketFormat& format) {
        if (SUCCEEDED(client.endResult) && !client.onEnd) client.onEnd = [this] { capture.Stop(); };
        capture.RunCaptureLoop(&client, format, [this](const float* frames, size_t count) {
            delivered.insert(delivered.end(), frames, frames + 2 * count);
            frameCounts.push_back(count);
        }, nullptr);
    }
};

PacketFormat Format(int channels, int bytesPerSample, SampleKind kind) {
    return {channels, bytesPerSample, channels * bytesPerSample, kind};
}

}  // namespace

TEST_F(WasapiCaptureLoop, ConvertsInt16ToStereoFloat) {
    client.Add(Bytes(std::vector<int16_t>{-32768, 16384}), 1);
    Run(Format(2, 2, SampleKind::Int16));
    EXPECT_EQ(delivered, (std::vector<float>{-1.0f, 0.5f}));
    EXPECT_EQ(capture.LastError(), "");
    EXPECT_FALSE(capture.NeedsRestart());
}

TEST_F(WasapiCaptureLoop, ConvertsInt24ToStereoFloat) {
    client.Add({0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F}, 1);
    Run(Format(2, 3, SampleKind::Int24));
    EXPECT_EQ(delivered, (std::vector<float>{-1.0f, 8388607.0f / 8388608.0f}));
}

TEST_F(WasapiCaptureLoop, ConvertsInt32ToStereoFloat) {
    client.Add(Bytes(std::vector<int32_t>{0x40000000, INT32_MIN}), 1);
    Run(Format(2, 4, SampleKind::Int32));
    EXPECT_EQ(delivered, (std::vector<float>{0.5f, -1.0f}));
}

TEST_F(WasapiCaptureLoop, DeliversFloat32UnchangedAndCountsFrames) {
    client.Add(Bytes(std::vector<float>{0.25f, -0.75f, 1.5f, 0.0f}), 2);
    Run(Format(2, 4, SampleKind::Float32));
    EXPECT_EQ(delivered, (std::vector<float>{0.25f, -0.75f, 1.5f, 0.0f}));
    EXPECT_EQ(frameCounts, (std::vector<size_t>{2}));
}

TEST_F(WasapiCaptureLoop, MonoFramesAreDeliveredOnBothSides) {
    client.Add(Bytes(std::vector<float>{0.1f, -0.2f, 0.3f}), 3);
    Run(Format(1, 4, SampleKind::Float32));
    EXPECT_EQ(delivered, (std::vector<float>{0.1f, 0.1f, -0.2f, -0.2f, 0.3f, 0.3f}));
}

TEST_F(WasapiCaptureLoop, SixChannelFramesKeepTheFirstTwoChannels) {
    client.Add(Bytes(std::vector<int16_t>{8192, -8192, 32767, 32767, 32767, 32767,
                                          16384, -16384, 1, 1, 1, 1}), 2);
    Run(Format(6, 2, SampleKind::Int16));
    EXPECT_EQ(delivered, (std::vector<float>{0.25f, -0.25f, 0.5f, -0.5f}));
}

TEST_F(WasapiCaptureLoop, SilentPacketArrivesAsZerosOfTheSameLength) {
    client.Add(Bytes(std::vector<float>(8, 0.9f)), 4, AUDCLNT_BUFFERFLAGS_SILENT);
    client.Add(Bytes(std::vector<float>{0.5f, 0.5f}), 1);
    Run(Format(2, 4, SampleKind::Float32));
    EXPECT_EQ(delivered, (std::vector<float>{0, 0, 0, 0, 0, 0, 0, 0, 0.5f, 0.5f}));
    EXPECT_EQ(frameCounts, (std::vector<size_t>{4, 1}));
    EXPECT_EQ(client.released, (std::vector<UINT32>{4, 1}));
}

TEST_F(WasapiCaptureLoop, RemovedDeviceEndsCaptureAndAsksForRestart) {
    client.Add(Bytes(std::vector<float>{0.5f, 0.5f}), 1);
    client.endResult = AUDCLNT_E_DEVICE_INVALIDATED;
    Run(Format(2, 4, SampleKind::Float32));
    EXPECT_EQ(delivered, (std::vector<float>{0.5f, 0.5f}));
    EXPECT_EQ(capture.LastError(), "Output device was removed");
    EXPECT_TRUE(capture.NeedsRestart());
    EXPECT_TRUE(capture.NeedsRestart()) << "reading the flag must not clear it";
    // Without a thread to end, Stop leaves both for the interface: only Start clears them.
    capture.Stop();
    capture.Stop();
    EXPECT_EQ(capture.LastError(), "Output device was removed");
    EXPECT_TRUE(capture.NeedsRestart());
}

TEST_F(WasapiCaptureLoop, OtherFailureIsReportedWithItsResultCode) {
    client.Add(Bytes(std::vector<float>{0.5f, 0.5f}), 1);
    client.getBufferResult = AUDCLNT_E_NOT_INITIALIZED;
    Run(Format(2, 4, SampleKind::Float32));
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(capture.LastError(), "Capture failed (0x88890001)");
    EXPECT_TRUE(capture.NeedsRestart());
}

TEST_F(WasapiCaptureLoop, StopRequestEndsTheLoopQuietly) {
    client.Add(Bytes(std::vector<float>{0.5f, 0.5f}), 1);
    int polls = 0;
    client.onEnd = [&] {
        capture.Stop();
        // A loop that ignored the request would poll on: end it with a failure rather than hang.
        if (++polls == 3) client.endResult = E_FAIL;
    };
    Run(Format(2, 4, SampleKind::Float32));
    EXPECT_EQ(polls, 1) << "no poll after the request";
    EXPECT_EQ(delivered, (std::vector<float>{0.5f, 0.5f}));
    EXPECT_EQ(capture.LastError(), "");
    EXPECT_FALSE(capture.NeedsRestart());
}

TEST_F(WasapiCaptureLoop, EmptyCallbackDropsPacketsButStillReleasesThem) {
    client.Add(Bytes(std::vector<float>{0.5f, 0.5f}), 1);
    client.onEnd = [this] { capture.Stop(); };
    capture.RunCaptureLoop(&client, Format(2, 4, SampleKind::Float32), AudioCallback(), nullptr);
    EXPECT_EQ(client.released, (std::vector<UINT32>{1}));
}
