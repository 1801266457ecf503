#include <gtest/gtest.h>

#include <atomic>

#include "audio/wasapi/default_device_watcher.h"
#include "audio/wasapi/wasapi_loopback_capture.h"
#include "tests/windows/registry_value.h"
#include "tests/windows/windows_test_support.h"

namespace {

// The watcher deletes itself on its last Release; the tests hold the first reference.
struct WatcherFixture : ::testing::Test {
    std::atomic<bool> restart{false};
    DefaultDeviceWatcher* watcher = new DefaultDeviceWatcher(&restart);
    ~WatcherFixture() override { watcher->Release(); }
};

using DefaultDeviceWatcherCom = WatcherFixture;
using DefaultDeviceWatcherNotifications = WatcherFixture;

}  // namespace

TEST_F(DefaultDeviceWatcherCom, AnswersForItsTwoInterfacesOnly) {
    void* object = nullptr;
    EXPECT_EQ(watcher->QueryInterface(__uuidof(IUnknown), &object), S_OK);
    EXPECT_EQ(object, static_cast<IMMNotificationClient*>(watcher));
    object = nullptr;
    EXPECT_EQ(watcher->QueryInterface(__uuidof(IMMNotificationClient), &object), S_OK);
    EXPECT_EQ(object, static_cast<IMMNotificationClient*>(watcher));
    // Each successful query added a reference: 1 + 2.
    EXPECT_EQ(watcher->Release(), 2u);
    EXPECT_EQ(watcher->Release(), 1u);

    object = watcher;
    EXPECT_EQ(watcher->QueryInterface(__uuidof(IMMDeviceEnumerator), &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(watcher->AddRef(), 2u) << "a refused query must not add a reference";
    EXPECT_EQ(watcher->Release(), 1u);
}

TEST_F(DefaultDeviceWatcherNotifications, OnlyTheConsoleOutputRaisesTheFlagWhileActive) {
    EXPECT_EQ(watcher->OnDefaultDeviceChanged(eRender, eConsole, L"x"), S_OK);
    EXPECT_FALSE(restart) << "inactive: the capture follows a device chosen by id";

    watcher->SetActive(true);
    watcher->OnDefaultDeviceChanged(eRender, eCommunications, L"x");
    watcher->OnDefaultDeviceChanged(eRender, eMultimedia, L"x");
    watcher->OnDefaultDeviceChanged(eCapture, eConsole, L"x");
    watcher->OnDeviceStateChanged(L"x", DEVICE_STATE_UNPLUGGED);
    watcher->OnDeviceAdded(L"x");
    watcher->OnDeviceRemoved(L"x");
    EXPECT_FALSE(restart);

    EXPECT_EQ(watcher->OnDefaultDeviceChanged(eRender, eConsole, nullptr), S_OK);
    EXPECT_TRUE(restart);
    watcher->OnDefaultDeviceChanged(eRender, eConsole, L"y");
    EXPECT_TRUE(restart);
}

namespace {

// Wine's audio driver takes its default output from a per-user value and
// announces a change of it as a default-device change.
constexpr const wchar_t* kWineDriverKey = L"Software\\Wine\\Drivers\\winepulse.drv";
using WineDefaultOutput = ScopedRegistryString;

// Changes the default output until the capture asks for a restart. The
// system's notification thread may start listening a little after registration.
bool DefaultChangeRaisesRestart(WineDefaultOutput& output, const WasapiLoopbackCapture& capture) {
    const wchar_t* values[] = {L"Wavelift-Headphones", L"Wavelift-Speakers", L"Wavelift-Headphones"};
    for (const wchar_t* value : values) {
        output.Set(value);
        if (WaitFor([&] { return capture.NeedsRestart(); }, std::chrono::milliseconds(1500))) return true;
    }
    return false;
}

}  // namespace

TEST(DefaultDeviceWatcherUnderWine, SystemDefaultChangeRestartsOnlyACaptureThatFollowsTheDefault) {
    if (!RunningUnderWine()) GTEST_SKIP() << "changes the default output through Wine's driver settings";
    ComApartment com;
    WineDefaultOutput output(kWineDriverKey, L"DefaultOutput");

    WasapiLoopbackCapture byId;
    byId.Start("{0.0.0.00000000}.{no-such-endpoint}", nullptr);
    EXPECT_FALSE(DefaultChangeRaisesRestart(output, byId));

    // Wine cannot capture, so Start fails; the capture still follows the default.
    WasapiLoopbackCapture followingDefault;
    followingDefault.Start("", nullptr);
    EXPECT_FALSE(followingDefault.NeedsRestart());
    EXPECT_TRUE(DefaultChangeRaisesRestart(output, followingDefault));
    EXPECT_TRUE(followingDefault.NeedsRestart()) << "stays raised until the next Start";
    followingDefault.Start("{0.0.0.00000000}.{no-such-endpoint}", nullptr);
    EXPECT_FALSE(followingDefault.NeedsRestart()) << "Start clears the flag";
}
