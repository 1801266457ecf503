#include <algorithm>

#include "tests/linux/pulse_capture_fixture.h"

namespace {
const OutputDevice* FindDevice(const std::vector<OutputDevice>& devices, const std::string& id) {
    const auto found = std::find_if(devices.begin(), devices.end(), [&](const OutputDevice& d) { return d.id == id; });
    return found == devices.end() ? nullptr : &*found;
}
}  // namespace

// The list is kept by the capture object from the server's own reports, so
// each test waits for the state it expects to be reported.
class PulseCaptureDevices : public PulseCaptureWithServer {
protected:
    std::vector<OutputDevice> WaitForList(const std::function<bool(const std::vector<OutputDevice>&)>& ready) {
        std::vector<OutputDevice> devices;
        WaitUntil([&] { return ready(devices = capture->ListOutputDevices()); }, 5000ms);
        return devices;
    }
    std::vector<OutputDevice> WaitForSinks(size_t count) {
        return WaitForList([count](const std::vector<OutputDevice>& list) { return list.size() == count; });
    }
};
class PulseCaptureDevicesWithoutServer : public PulseCaptureFixture {};

TEST_F(PulseCaptureDevices, ListsEverySinkByNameWithItsDescriptionAndFlagsTheDefault) {
    const std::vector<OutputDevice> devices = WaitForSinks(3);
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

TEST_F(PulseCaptureDevices, ListFollowsSinksAddedAndRemoved) {
    ASSERT_EQ(WaitForSinks(3).size(), 3u);
    const int module = server.LoadNullSink("wl_usb", "USB");
    ASSERT_GE(module, 0);
    const std::vector<OutputDevice> added = WaitForSinks(4);
    ASSERT_NE(FindDevice(added, "wl_usb"), nullptr);
    EXPECT_EQ(FindDevice(added, "wl_usb")->name, "USB");
    ASSERT_EQ(server.Pactl("unload-module " + std::to_string(module)), 0);
    EXPECT_EQ(FindDevice(WaitForSinks(3), "wl_usb"), nullptr);
}

TEST_F(PulseCaptureDevices, DefaultFlagMovesWithTheServersDefault) {
    ASSERT_EQ(WaitForSinks(3).size(), 3u);
    ASSERT_EQ(server.Pactl(std::string("set-default-sink ") + PulseServer::kMonoSink), 0);
    const std::vector<OutputDevice> devices = WaitForList([](const std::vector<OutputDevice>& list) {
        const OutputDevice* mono = FindDevice(list, PulseServer::kMonoSink);
        return mono && mono->isDefault;
    });
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_TRUE(FindDevice(devices, PulseServer::kMonoSink)->isDefault);
    EXPECT_FALSE(FindDevice(devices, PulseServer::kFloatSink)->isDefault);
    EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [](const OutputDevice& d) { return d.isDefault; }), 1);
}

TEST_F(PulseCaptureDevices, IdleObjectReportsItsStartingState) {
    EXPECT_FALSE(capture->IsRunning());
    EXPECT_FALSE(capture->IsStarting());
    EXPECT_FALSE(capture->NeedsRestart());
    EXPECT_EQ(capture->SampleRate(), 48000);
    EXPECT_EQ(capture->DeviceName(), "");
    EXPECT_EQ(capture->LastError(), "");
}

TEST_F(PulseCaptureDevices, ServerThatStopsAnsweringStillListsTheSinksItHad) {
    ASSERT_EQ(WaitForSinks(3).size(), 3u);
    server.Freeze();
    EXPECT_EQ(capture->ListOutputDevices().size(), 3u);
    server.Thaw();
}

TEST_F(PulseCaptureDevicesWithoutServer, NoServerGivesAnEmptyListUntilOneStarts) {
    MakeCapture();
    EXPECT_TRUE(capture->ListOutputDevices().empty());
    StartServer();
    EXPECT_TRUE(WaitUntil([&] { return capture->ListOutputDevices().size() == 3; }, 5000ms));
}
