#include <algorithm>

#include "tests/linux/pulse_capture_fixture.h"

namespace {
const OutputDevice* FindDevice(const std::vector<OutputDevice>& devices, const std::string& id) {
    const auto found = std::find_if(devices.begin(), devices.end(), [&](const OutputDevice& d) { return d.id == id; });
    return found == devices.end() ? nullptr : &*found;
}
}  // namespace

class PulseCaptureDevices : public PulseCaptureWithServer {};
class PulseCaptureDevicesWithoutServer : public PulseCaptureFixture {};

TEST_F(PulseCaptureDevices, ListsEverySinkByNameWithItsDescriptionAndFlagsTheDefault) {
    const std::vector<OutputDevice> devices = capture->ListOutputDevices();
    ASSERT_EQ(devices.size(), 3u);
    const OutputDevice* floatSink = FindDevice(devices, PulseServer::kFloatSink);
    const OutputDevice* shortSink = FindDevice(devices, PulseServer::kShortSink);
    const OutputDevice* monoSink = FindDevice(devices, PulseServer::kMonoSink);
    ASSERT_TRUE(floatSink && shortSink && monoSink);
    EXPECT_EQ(floatSink->name, PulseServer::kFloatSinkName);
    EXPECT_EQ(shortSink->name, PulseServer::kShortSinkName);
    EXPECT_EQ(monoSink->name, PulseServer::kMonoSinkName);
    EXPECT_TRUE(floatSink->isDefault);
    EXPECT_FALSE(shortSink->isDefault);
    EXPECT_FALSE(monoSink->isDefault);
}

TEST_F(PulseCaptureDevices, DefaultFlagMovesWithTheServersDefault) {
    ASSERT_EQ(server.Pactl(std::string("set-default-sink ") + PulseServer::kMonoSink), 0);
    const std::vector<OutputDevice> devices = capture->ListOutputDevices();
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_TRUE(FindDevice(devices, PulseServer::kMonoSink)->isDefault);
    EXPECT_FALSE(FindDevice(devices, PulseServer::kFloatSink)->isDefault);
    EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [](const OutputDevice& d) { return d.isDefault; }), 1);
}

TEST_F(PulseCaptureDevices, IdleObjectReportsItsStartingState) {
    EXPECT_FALSE(capture->IsRunning());
    EXPECT_FALSE(capture->NeedsRestart());
    EXPECT_EQ(capture->SampleRate(), 48000);
    EXPECT_EQ(capture->DeviceName(), "");
    EXPECT_EQ(capture->LastError(), "");
}

TEST_F(PulseCaptureDevices, ServerThatStopsAnsweringGivesAnEmptyListWithinTheLimit) {
    server.Freeze();
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(capture->ListOutputDevices().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - began, 2500ms);
}

TEST_F(PulseCaptureDevicesWithoutServer, NoServerGivesAnEmptyListAtOnce) {
    MakeCapture();
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(capture->ListOutputDevices().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - began, 500ms);
}
