#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "audio/wasapi/default_device_watcher.h"
#include "audio/wasapi/wasapi_loopback_capture.h"
#include "tests/windows/windows_test_support.h"

// These run against the system's audio endpoints: under Wine, the sound
// server's two null sinks "Wavelift-Speakers" and "Wavelift-Headphones", and
// Wine's own "PulseAudio" entry, which follows the server's default sink.
namespace {

class WasapiCapture : public ::testing::Test {
protected:
    ComApartment com;
};

std::vector<OutputDevice>::const_iterator Named(const std::vector<OutputDevice>& devices, const std::string& name) {
    return std::find_if(devices.begin(), devices.end(), [&](const OutputDevice& d) { return d.name == name; });
}

OutputDevice DefaultOutput(const std::vector<OutputDevice>& devices) {
    const auto found = std::find_if(devices.begin(), devices.end(), [](const OutputDevice& d) { return d.isDefault; });
    return found != devices.end() ? *found : OutputDevice{};
}

// Wine lists the sound server's sinks but has no loopback streams.
constexpr const char* kWineCaptureError = "IAudioCaptureClient failed (0x88890003)";

}  // namespace

TEST_F(WasapiCapture, IsIdleBeforeTheFirstStart) {
    WasapiLoopbackCapture capture;
    EXPECT_EQ(capture.SampleRate(), 48000);
    EXPECT_EQ(capture.DeviceName(), "");
    EXPECT_EQ(capture.LastError(), "");
    EXPECT_FALSE(capture.IsRunning());
    EXPECT_FALSE(capture.NeedsRestart());
    ASSERT_NE(capture.Watcher(), nullptr);
    EXPECT_FALSE(capture.Watcher()->IsActive());
}

TEST_F(WasapiCapture, ListsOutputsWithFriendlyNamesAndFlagsTheDefault) {
    WasapiLoopbackCapture capture;
    const std::vector<OutputDevice> devices = capture.ListOutputDevices();
    const auto speakers = Named(devices, "Wavelift-Speakers");
    const auto headphones = Named(devices, "Wavelift-Headphones");
    ASSERT_NE(speakers, devices.end());
    ASSERT_NE(headphones, devices.end());
    EXPECT_FALSE(speakers->id.empty());
    EXPECT_NE(speakers->id, headphones->id);
    EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [](const OutputDevice& d) { return d.isDefault; }), 1);
    if (RunningUnderWine()) {
        EXPECT_EQ(DefaultOutput(devices).name, "PulseAudio");
    }
}

TEST_F(WasapiCapture, StartWithAnUnknownIdFailsAndLeavesNoThread) {
    std::atomic<bool> released{false};
    int calls = 0;
    WasapiLoopbackCapture capture;
    // Only the callback holds this; the last copy to go lets it go slowly, so a
    // capture thread still ending when Start returns cannot have finished yet.
    std::shared_ptr<int> held(new int(0), [&released](int* value) {
        Sleep(200);
        delete value;
        released = true;
    });
    EXPECT_FALSE(capture.Start("{0.0.0.00000000}.{no-such-endpoint}",
                               [&calls, held = std::move(held)](const float*, size_t) { ++calls; }));
    EXPECT_TRUE(released) << "the capture thread has ended, and with it the callback";
    EXPECT_EQ(capture.LastError(), "Selected output device is not available");
    EXPECT_FALSE(capture.IsRunning());
    EXPECT_FALSE(capture.NeedsRestart());
    EXPECT_EQ(capture.DeviceName(), "");
    EXPECT_FALSE(capture.Watcher()->IsActive());
    EXPECT_EQ(calls, 0);
}

TEST_F(WasapiCapture, StartOnTheDefaultOutput) {
    WasapiLoopbackCapture capture;
    const bool started = capture.Start("", nullptr);
    EXPECT_EQ(capture.DeviceName(), DefaultOutput(capture.ListOutputDevices()).name);
    EXPECT_TRUE(capture.Watcher()->IsActive());
    if (RunningUnderWine()) {
        EXPECT_FALSE(started);
        EXPECT_EQ(capture.LastError(), kWineCaptureError);
        EXPECT_FALSE(capture.IsRunning());
        EXPECT_FALSE(capture.NeedsRestart());
    } else {
        EXPECT_TRUE(started);
        EXPECT_EQ(capture.LastError(), "");
        EXPECT_TRUE(capture.IsRunning());
        capture.Stop();
        EXPECT_FALSE(capture.IsRunning());
    }
}

TEST_F(WasapiCapture, StartByIdOpensThatOutputAndIgnoresTheDefault) {
    WasapiLoopbackCapture capture;
    const std::vector<OutputDevice> devices = capture.ListOutputDevices();
    const auto headphones = Named(devices, "Wavelift-Headphones");
    ASSERT_NE(headphones, devices.end());
    const bool started = capture.Start(headphones->id, nullptr);
    EXPECT_EQ(capture.DeviceName(), "Wavelift-Headphones");
    EXPECT_FALSE(capture.Watcher()->IsActive());
    if (RunningUnderWine()) {
        EXPECT_FALSE(started);
        EXPECT_EQ(capture.LastError(), kWineCaptureError);
    } else {
        EXPECT_TRUE(started);
    }
}
