#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/support/headless_ui.h"

namespace {

std::filesystem::path SettingsFile(const HeadlessUi& ui) { return ui.temp / "config" / "Wavelift" / "settings.json"; }

}  // namespace

TEST(AppLifecycle, FirstRunStartsWithDefaultsAndWritesSettingsAtShutdown) {
    HeadlessUi ui;
    ui.app.Startup();
    EXPECT_EQ(ui.app.saveFolder, ui.temp / "Music" / "Wavelift");
    EXPECT_TRUE(ui.app.deviceId.empty());
    EXPECT_EQ(ui.app.bufferSeconds, 6);
    EXPECT_FALSE(ui.app.alwaysOnTop);
    ASSERT_EQ(fake_platform::Get().alwaysOnTopCalls, std::vector<bool>{false});

    FakeCapture* capture = FakeCapture::last;
    ASSERT_NE(capture, nullptr);
    ASSERT_EQ(ui.app.capture.get(), capture);
    EXPECT_EQ(capture->startCount, 1);
    EXPECT_EQ(ui.app.history.Capacity(), 48000 * 6);
    EXPECT_TRUE(std::filesystem::is_directory(SettingsFile(ui).parent_path()));
    EXPECT_FALSE(std::filesystem::exists(SettingsFile(ui)));

    ui.Frame();
    bool settingsExistedAtStop = true;
    capture->onStop = [&] { settingsExistedAtStop = std::filesystem::exists(SettingsFile(ui)); };
    ui.app.Shutdown();
    EXPECT_FALSE(settingsExistedAtStop);
    EXPECT_FALSE(capture->IsRunning());
    ASSERT_TRUE(std::filesystem::exists(SettingsFile(ui)));
    std::ifstream in(SettingsFile(ui));
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\"bufferSeconds\": 6"), std::string::npos) << text.str();
}

TEST(AppLifecycle, SavedSettingsAreLoadedAndAlwaysOnTopAppliedBeforeCapture) {
    HeadlessUi ui;
    std::filesystem::create_directories(SettingsFile(ui).parent_path());
    std::ofstream(SettingsFile(ui)) << R"({"alwaysOnTop": true, "bufferSeconds": 9, "deviceId": "sink.b"})";
    int startsBeforeOnTop = -1;
    fake_platform::Get().onAlwaysOnTop = [&](bool) {
        startsBeforeOnTop = FakeCapture::last != nullptr ? FakeCapture::last->startCount : 0;
    };
    ui.app.Startup();
    EXPECT_TRUE(ui.app.alwaysOnTop);
    EXPECT_EQ(ui.app.bufferSeconds, 9);
    EXPECT_EQ(ui.app.deviceId, "sink.b");
    EXPECT_EQ(fake_platform::Get().alwaysOnTopCalls, std::vector<bool>{true});
    EXPECT_EQ(startsBeforeOnTop, 0) << "the window is above others before capture starts";
    EXPECT_EQ(FakeCapture::last->calls.back(), "Start:sink.b");
    EXPECT_EQ(ui.app.history.Capacity(), 48000 * 9);
}
