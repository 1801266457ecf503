#include <gtest/gtest.h>

#include <cstring>

#include <imgui_internal.h>

#include "platform/path_text.h"
#include "settings/settings.h"
#include "tests/support/headless_ui.h"
#include "tests/support/ui_locator.h"
#include "ui/icons.h"

namespace {

constexpr const char* kPanel = "Settings";
constexpr int32_t kRate = 48000;
const std::string kDefaultLabel = "System default  (Speakers)";

class SettingsPanel : public ::testing::Test {
protected:
    HeadlessUi ui{1100.0f, 421.0f, true};  // the interface's own text faces, so labels fit as they do for users
    App& app = ui.app;
    fake_platform::State& shell = fake_platform::Get();

    void SetUp() override {
        FakeCapture& capture = ui.UseFakeCapture();
        capture.deviceList = {{"id-headphones", "Headphones", false}, {"id-speakers", "Speakers", true}};
        app.RestartCapture();
        ui.Frame();
    }

    std::filesystem::path SettingsFile() const { return ui.temp / "config" / "Wavelift" / "settings.json"; }

    // What the next start would read.
    static Settings Saved() { return LoadSettings(); }

    void Open() {
        app.settingsOpen = true;
        // A panel fitted to its content is measured in its first frame and drawn from the second.
        ui.Frames(2);
        ASSERT_TRUE(WindowShown(kPanel));
    }

    ImGuiWindow* Panel() const { return WindowNamed(kPanel); }

    void ChooseInDeviceList(const std::string& entry) {
        ASSERT_TRUE(ClickText(ui, Panel(), ComboText()));
        ui.Frame();
        ASSERT_TRUE(ClickText(ui, TopmostPopup(), entry)) << entry;
        ui.Frame();
    }

    // What the closed combo shows, found among the candidates.
    std::string ComboText() const {
        for (const std::string& text : {kDefaultLabel, std::string("Headphones"), std::string("Speakers"),
                                        std::string("Unavailable device"), std::string("System default")})
            if (FindTextIn(Panel(), text)) return text;
        return "";
    }

    // The folder field: the same line as Browse, at the panel's left.
    ImVec2 FolderField() const {
        const std::optional<ImVec2> browse = TextTarget(Panel(), ICON_FOLDER_OPEN "  Browse");
        EXPECT_TRUE(browse.has_value());
        return ImVec2(Panel()->Pos.x + 40.0f, browse ? browse->y + 4.0f : 0.0f);
    }

    void ClickFolderField() {
        const ImVec2 field = FolderField();
        ui.Click(field.x, field.y);
    }

    void SelectAllInField() { ui.TapKey(ImGuiKey_A, true); }
};

TEST_F(SettingsPanel, OpeningRefreshesTheDevicesAndFillsTheFolderField) {
    app.saveFolder = ui.temp / Utf8ToPath("M\xc3\xbasica") / "takes";
    const int listsBefore = ui.capture().listCount;

    Open();

    EXPECT_FALSE(app.settingsOpen);
    EXPECT_EQ(ui.capture().listCount, listsBefore + 1);
    ASSERT_EQ(app.devices.size(), 2u);
    EXPECT_EQ(app.devices[1].name, "Speakers");
    EXPECT_STREQ(app.saveFolderText, PathToUtf8(app.saveFolder).c_str());
    EXPECT_TRUE(FindTextIn(Panel(), ICON_SLIDERS_H "  Settings"));
    EXPECT_TRUE(FindTextIn(Panel(), "Changes are saved automatically."));
    EXPECT_TRUE(FindTextIn(Panel(), "6 seconds"));
}

TEST_F(SettingsPanel, OverlongFolderIsCutAtAWholeCharacterAndStoredCutWhenCommitted) {
    std::string longText = "/tmp/x";
    for (int i = 0; i < 600; ++i) longText += "\xc3\xa9";  // é, two bytes each
    app.saveFolder = Utf8ToPath(longText);

    Open();

    const size_t length = std::strlen(app.saveFolderText);
    EXPECT_EQ(length, 1022u);
    EXPECT_EQ(longText.compare(0, length, app.saveFolderText), 0);

    ClickFolderField();
    ui.TapKey(ImGuiKey_Enter);
    EXPECT_EQ(PathToUtf8(app.saveFolder), longText.substr(0, length));
}

TEST_F(SettingsPanel, DeviceComboNamesTheDefaultAndUnlistedDevices) {
    Open();
    EXPECT_EQ(ComboText(), kDefaultLabel);

    app.deviceId = "id-headphones";
    ui.Frame();
    EXPECT_EQ(ComboText(), "Headphones");

    app.deviceId = "id-gone";
    ui.Frame();
    EXPECT_EQ(ComboText(), "Unavailable device");

    // The open list: the default entry first, then every device.
    ASSERT_TRUE(ClickText(ui, Panel(), "Unavailable device"));
    ui.Frame();
    ImGuiWindow* list = TopmostPopup();
    ASSERT_NE(list, Panel());
    const auto defaultEntry = FindTextIn(list, kDefaultLabel);
    const auto headphones = FindTextIn(list, "Headphones");
    const auto speakers = FindTextIn(list, "Speakers");
    ASSERT_TRUE(defaultEntry && headphones && speakers);
    EXPECT_LT(defaultEntry->y, headphones->y);
    EXPECT_LT(headphones->y, speakers->y);
}

TEST_F(SettingsPanel, ComboWithoutADefaultDeviceReadsSystemDefaultAlone) {
    ui.capture().deviceList = {{"id-headphones", "Headphones", false}, {"id-hdmi", "", true}};
    Open();
    EXPECT_TRUE(FindTextIn(Panel(), "System default"));
    EXPECT_FALSE(FindTextIn(Panel(), "System default  ("));
}

TEST_F(SettingsPanel, ChoosingTheCurrentDeviceAgainNeitherSavesNorRestarts) {
    Open();
    const int startsBefore = ui.capture().startCount;

    ChooseInDeviceList(kDefaultLabel);
    EXPECT_TRUE(app.deviceId.empty());

    app.deviceId = "id-speakers";
    ui.Frame();
    ChooseInDeviceList("Speakers");
    EXPECT_EQ(app.deviceId, "id-speakers");

    EXPECT_EQ(ui.capture().startCount, startsBefore);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

// Records the device the settings file named whenever capture was (re)started.
class SettingsWatchingCapture : public FakeCapture {
public:
    std::vector<std::string> savedDeviceAtStart;

    bool Start(const std::string& id, AudioCallback cb) override {
        savedDeviceAtStart.push_back(LoadSettings().deviceId);
        return FakeCapture::Start(id, std::move(cb));
    }
};

TEST_F(SettingsPanel, ChoosingAnotherDeviceSavesThenRestartsCapture) {
    auto watching = std::make_unique<SettingsWatchingCapture>();
    watching->deviceList = ui.capture().deviceList;
    SettingsWatchingCapture& capture = *watching;
    app.capture = std::move(watching);
    app.RestartCapture();
    Open();

    ChooseInDeviceList("Headphones");

    EXPECT_EQ(app.deviceId, "id-headphones");
    ASSERT_EQ(capture.savedDeviceAtStart.size(), 2u);
    EXPECT_EQ(capture.savedDeviceAtStart[1], "id-headphones");
    EXPECT_EQ(capture.calls.back(), "Start:id-headphones");

    ChooseInDeviceList(kDefaultLabel);

    EXPECT_TRUE(app.deviceId.empty());
    ASSERT_EQ(capture.savedDeviceAtStart.size(), 3u);
    EXPECT_EQ(capture.savedDeviceAtStart[2], "");
    EXPECT_EQ(capture.calls.back(), "Start:");
}

TEST_F(SettingsPanel, RefreshListsTheDevicesAgain) {
    Open();
    ui.capture().deviceList.push_back({"id-usb", "USB Audio", false});
    ASSERT_TRUE(ClickText(ui, Panel(), ICON_SYNC_ALT "  Refresh"));
    ASSERT_EQ(app.devices.size(), 3u);
    EXPECT_EQ(app.devices[2].name, "USB Audio");
}

TEST_F(SettingsPanel, DraggingTheSliderResetsTheHistoryAtEveryStepAndSavesOnRelease) {
    Open();
    ASSERT_EQ(app.history.Capacity(), 6 * kRate);
    // "6 seconds" is centred on the slider, and 6 is the middle of 2 to 10.
    const std::string label = "6 seconds";
    const std::optional<ImVec2> text = FindTextIn(Panel(), label);
    ASSERT_TRUE(text);
    const float centre = text->x + ImGui::CalcTextSize(label.c_str()).x * 0.5f;
    const float right = Panel()->ContentRegionRect.Max.x;
    const float y = text->y + 3.0f;

    ui.MouseMove(centre, y);
    ui.Frame();
    ui.MouseDown();
    ui.Frame();
    std::vector<int64_t> capacities;
    constexpr int kSteps = 40;
    for (int i = 1; i <= kSteps; ++i) {
        ui.MouseMove(centre + (right + 20.0f - centre) * static_cast<float>(i) / kSteps, y);
        ui.Frame();
        const int64_t capacity = app.history.Capacity();
        if (capacities.empty() || capacities.back() != capacity) capacities.push_back(capacity);
    }
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
    ui.MouseUp();
    ui.Frame();

    EXPECT_EQ(capacities, (std::vector<int64_t>{6 * kRate, 7 * kRate, 8 * kRate, 9 * kRate, 10 * kRate}));
    EXPECT_EQ(app.bufferSeconds, 10);
    EXPECT_EQ(Saved().bufferSeconds, 10);
    std::filesystem::remove(SettingsFile());
    ui.Frames(3);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(SettingsPanel, FolderFieldCommitsOnEnter) {
    Open();
    const std::string typed = PathToUtf8(ui.temp / "typed");

    ClickFolderField();
    SelectAllInField();
    TypeText(ui, typed);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
    ui.TapKey(ImGuiKey_Enter);

    EXPECT_EQ(app.saveFolder, Utf8ToPath(typed));
    EXPECT_EQ(Saved().saveFolder, Utf8ToPath(typed));
    EXPECT_TRUE(WindowShown(kPanel));
}

TEST_F(SettingsPanel, FolderFieldCommitsWhenItLosesFocusAfterAnEdit) {
    Open();
    const std::string typed = PathToUtf8(ui.temp / "elsewhere");

    ClickFolderField();
    SelectAllInField();
    TypeText(ui, typed);
    ui.Click(Panel()->Pos.x + 8.0f, Panel()->Pos.y + 8.0f);

    EXPECT_EQ(app.saveFolder, Utf8ToPath(typed));
    EXPECT_EQ(Saved().saveFolder, Utf8ToPath(typed));
}

TEST_F(SettingsPanel, EmptyFolderTextIsStoredAsAnEmptyPath) {
    Open();
    ClickFolderField();
    SelectAllInField();
    ui.TapKey(ImGuiKey_Backspace);
    ui.TapKey(ImGuiKey_Enter);
    EXPECT_TRUE(app.saveFolder.empty());
}

TEST_F(SettingsPanel, BrowseStoresThePickedFolderAndACancelledPickChangesNothing) {
    const std::filesystem::path before = app.saveFolder;
    Open();

    shell.pickFolderResult.reset();
    ASSERT_TRUE(ClickText(ui, Panel(), ICON_FOLDER_OPEN "  Browse"));
    ASSERT_EQ(shell.pickFolderCalls.size(), 1u);
    EXPECT_EQ(shell.pickFolderCalls[0], before);
    EXPECT_EQ(app.saveFolder, before);
    EXPECT_STREQ(app.saveFolderText, PathToUtf8(before).c_str());
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));

    const std::filesystem::path picked = ui.temp / "picked";
    shell.pickFolderResult = picked;
    ASSERT_TRUE(ClickText(ui, Panel(), ICON_FOLDER_OPEN "  Browse"));
    EXPECT_EQ(app.saveFolder, picked);
    EXPECT_STREQ(app.saveFolderText, PathToUtf8(picked).c_str());
    EXPECT_EQ(Saved().saveFolder, picked);
}

TEST_F(SettingsPanel, EscapeFirstLeavesTheActiveFieldThenClosesThePanel) {
    Open();
    ClickFolderField();
    ASSERT_TRUE(ImGui::GetIO().WantTextInput);

    ui.TapKey(ImGuiKey_Escape);
    EXPECT_TRUE(WindowShown(kPanel));
    EXPECT_FALSE(ImGui::GetIO().WantTextInput);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));

    ui.TapKey(ImGuiKey_Escape);
    EXPECT_FALSE(WindowShown(kPanel));
    EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
}

TEST_F(SettingsPanel, DoneSavesAndCloses) {
    Open();
    ASSERT_TRUE(ClickText(ui, Panel(), "Done"));
    EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
    ui.Frame();
    EXPECT_FALSE(WindowShown(kPanel));

    // The Done button ends at the panel's right content edge, on the footer's line.
    Open();
    const auto done = FindTextIn(Panel(), "Done");
    const auto footer = FindTextIn(Panel(), "Changes are saved automatically.");
    ASSERT_TRUE(done && footer);
    EXPECT_GT(done->x, Panel()->ContentRegionRect.Max.x - 110.0f);
    EXPECT_NEAR(done->y, footer->y, 12.0f);
}

TEST_F(SettingsPanel, AReadOnlySettingsFileIsToldInTheFooter) {
    SaveSettings(app);
    std::filesystem::permissions(SettingsFile(), std::filesystem::perms::owner_read);
    LoadSettings();
    Open();
    const bool told = FindTextIn(Panel(), "Changes will not be kept: the settings file is read-only.").has_value();
    std::filesystem::permissions(SettingsFile(), std::filesystem::perms::owner_all);
    LoadSettings();
    EXPECT_TRUE(told);
}

TEST_F(SettingsPanel, OpenPanelKeepsTheWaveformAndShortcutsFromActing) {
    ui.capture().FeedConstant(0.5f, 0.5f, 48000);
    ui.Frame();
    const Rect wave = app.waveRect;
    const float y = (wave.y0 + wave.y1) * 0.5f;
    Open();

    ui.Drag(wave.x0 + 20.0f, y, wave.x0 + 200.0f, y);
    EXPECT_FALSE(app.paused);
    EXPECT_FALSE(app.selectionActive);

    ui.TapKey(ImGuiKey_Space);
    EXPECT_FALSE(app.paused);
    ui.TapKey(ImGuiKey_A, true);
    EXPECT_FALSE(app.paused);
    EXPECT_FALSE(app.selectionActive);

    // With a selection made before, the Escape that closes the panel leaves it.
    app.paused = true;
    app.selectionActive = true;
    ui.TapKey(ImGuiKey_Escape);
    EXPECT_FALSE(WindowShown(kPanel));
    EXPECT_TRUE(app.selectionActive);

    // Once closed, the same gesture reaches the waveform.
    app.paused = false;
    app.selectionActive = false;
    ui.Drag(wave.x0 + 20.0f, y, wave.x0 + 200.0f, y);
    EXPECT_TRUE(app.paused);
    EXPECT_TRUE(app.selectionActive);
}

TEST_F(SettingsPanel, WidthFollowsTheWindowUpTo560AndTheScale) {
    Open();
    EXPECT_FLOAT_EQ(Panel()->Size.x, 560.0f);
    EXPECT_FLOAT_EQ(Panel()->Pos.x, (1100.0f - 560.0f) * 0.5f);

    ui.SetDisplaySize(580.0f, 421.0f);
    ui.Frame();
    EXPECT_FLOAT_EQ(Panel()->Size.x, 540.0f);

    ui.SetDisplaySize(1100.0f, 421.0f);
    ui.ApplyScale(2.0f);
    ui.Frame();
    EXPECT_FLOAT_EQ(Panel()->Size.x, 1020.0f);
}

}  // namespace
