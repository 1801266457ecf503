#include "settings/settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/path_text.h"
#include "tests/support/fake_platform.h"
#include "tests/support/temp_dir.h"

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { fake_platform::Reset(root.path()); }

    std::filesystem::path FilePath() const { return root.path() / "config" / "Wavelift" / "settings.json"; }
    std::filesystem::path DefaultSaveFolder() const { return root.path() / "Music" / "Wavelift"; }

    void WriteFile(const std::string& text) {
        std::filesystem::create_directories(FilePath().parent_path());
        std::ofstream(FilePath(), std::ios::binary) << text;
    }
    std::string ReadFile() const {
        std::ifstream in(FilePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Settings LoadText(const std::string& text) {
        WriteFile(text);
        return LoadSettings();
    }

    void ExpectDefaults(const Settings& s, const std::string& text) {
        SCOPED_TRACE(text);
        EXPECT_EQ(s.saveFolder, DefaultSaveFolder());
        EXPECT_EQ(s.deviceId, "");
        EXPECT_EQ(s.bufferSeconds, 6);
        EXPECT_FALSE(s.alwaysOnTop);
    }

    TempDir root;
};

}  // namespace

TEST_F(SettingsFile, FreshProfileCreatesTheFolderButNoFile) {
    const Settings s = LoadSettings();
    ExpectDefaults(s, "no file");
    EXPECT_TRUE(std::filesystem::is_directory(FilePath().parent_path()));
    EXPECT_FALSE(std::filesystem::exists(FilePath()));
    EXPECT_FALSE(std::filesystem::exists(DefaultSaveFolder()));  // the save folder is made on export
}

TEST_F(SettingsFile, DefaultSaveFolderFallsBackToDocumentsThenToARelativeFolder) {
    fake_platform::Get().music.clear();
    EXPECT_EQ(GetDefaultSaveFolder(), root.path() / "Documents" / "Wavelift");
    EXPECT_EQ(LoadSettings().saveFolder, root.path() / "Documents" / "Wavelift");
    fake_platform::Get().documents.clear();
    EXPECT_EQ(GetDefaultSaveFolder(), std::filesystem::path("Wavelift"));
}

TEST_F(SettingsFile, UnreadableContentGivesAllDefaults) {
    for (const std::string text : {"", "{", "not json", "{\"alwaysOnTop\": true} // note",
                                   "/* c */ {\"alwaysOnTop\": true}", "{\"alwaysOnTop\": true} {}",
                                   "[true]", "6", "\"text\"", "null",
                                   "{\"saveFolder\": 5, \"alwaysOnTop\": true}"}) {
        ExpectDefaults(LoadText(text), text);
    }
}

TEST_F(SettingsFile, AHugeFileIsNotReadButAFolderOfAnyUsualLengthIs) {
    const std::string folder = "/" + std::string(64 * 1024, 'f');
    EXPECT_EQ(LoadText(R"({"saveFolder": ")" + folder + R"("})").saveFolder, folder);
    ExpectDefaults(LoadText(R"({"alwaysOnTop": true})" + std::string(2 << 20, ' ')), "2 MiB of blanks after the object");
}

TEST_F(SettingsFile, AMemberOfTheWrongTypeEndsReadingThere) {
    Settings s = LoadText(R"({"alwaysOnTop": true, "bufferSeconds": 8, "deviceId": 3, "saveFolder": "/a"})");
    EXPECT_EQ(s.saveFolder, "/a");
    EXPECT_EQ(s.deviceId, "");
    EXPECT_EQ(s.bufferSeconds, 6);
    EXPECT_FALSE(s.alwaysOnTop);

    s = LoadText(R"({"alwaysOnTop": true, "bufferSeconds": "8", "deviceId": "sink", "saveFolder": "/a"})");
    EXPECT_EQ(s.saveFolder, "/a");
    EXPECT_EQ(s.deviceId, "sink");
    EXPECT_EQ(s.bufferSeconds, 6);
    EXPECT_FALSE(s.alwaysOnTop);

    s = LoadText(R"({"alwaysOnTop": 1, "bufferSeconds": 8, "deviceId": "sink", "saveFolder": "/a"})");
    EXPECT_EQ(s.bufferSeconds, 8);
    EXPECT_FALSE(s.alwaysOnTop);
}

TEST_F(SettingsFile, MembersInAnyOrderWithUnknownOnesIgnored) {
    const Settings s = LoadText(R"({"extra": [1, 2], "saveFolder": "/x", "alwaysOnTop": true,
                                   "deviceId": "dev", "bufferSeconds": 3})");
    EXPECT_EQ(s.saveFolder, "/x");
    EXPECT_EQ(s.deviceId, "dev");
    EXPECT_EQ(s.bufferSeconds, 3);
    EXPECT_TRUE(s.alwaysOnTop);

    const Settings only = LoadText(R"({"alwaysOnTop": true})");
    EXPECT_EQ(only.saveFolder, DefaultSaveFolder());
    EXPECT_EQ(only.bufferSeconds, 6);
    EXPECT_TRUE(only.alwaysOnTop);

    EXPECT_EQ(LoadText(R"({"saveFolder": ""})").saveFolder, DefaultSaveFolder());
}

TEST_F(SettingsFile, BufferSecondsIsCutAndClampedToTwoToTen) {
    const std::pair<const char*, int32_t> cases[] = {
        {"1", 2},        {"11", 10},          {"7.9", 7},           {"-7.9", 2},          {"true", 2},
        {"false", 2},    {"10", 10},          {"2", 2},             {"5e0", 5},           {"1e300", 10},
        {"-1e300", 2},   {"3000000000", 10},  {"-3000000000", 2},   {"1e10", 10},         {"4294967302", 10},
        {"18446744073709551615", 10},         {"-9223372036854775808", 2},                {"2147483647", 10},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(LoadText(std::string("{\"bufferSeconds\": ") + text + "}").bufferSeconds, expected) << text;
    }
}

TEST_F(SettingsFile, WrittenLayoutHasOneMemberPerLineInKeyOrder) {
    SaveSettings(std::filesystem::path("D:\\Audio"), "", 6, false);
    // Written in text mode: the system's own line breaks.
#ifdef _WIN32
    const std::string eol = "\r\n";
#else
    const std::string eol = "\n";
#endif
    EXPECT_EQ(ReadFile(), "{" + eol +
                              "  \"alwaysOnTop\": false," + eol +
                              "  \"bufferSeconds\": 6," + eol +
                              "  \"deviceId\": \"\"," + eol +
                              "  \"saveFolder\": \"D:\\\\Audio\"" + eol +
                              "}");
    const Settings back = LoadSettings();
    EXPECT_EQ(back.saveFolder, std::filesystem::path("D:\\Audio"));
}

TEST_F(SettingsFile, TextRoundTripsAsRawUtf8) {
    const std::string folder = "/home/j\xC3\xBCrgen/Kl\xC3\xA4nge \xE9\x9F\xB3";
    const std::string device = "alsa_output.\"quoted\"\ttab";
    SaveSettings(Utf8ToPath(folder), device, 9, true);
    const std::string text = ReadFile();
    EXPECT_NE(text.find("j\xC3\xBCrgen"), std::string::npos);  // not \u escaped
    EXPECT_NE(text.find("\\\"quoted\\\"\\ttab"), std::string::npos);

    const Settings back = LoadSettings();
    EXPECT_EQ(PathToUtf8(back.saveFolder), folder);
    EXPECT_EQ(back.deviceId, device);
    EXPECT_EQ(back.bufferSeconds, 9);
    EXPECT_TRUE(back.alwaysOnTop);
}

TEST_F(SettingsFile, SavingFailuresAreSilentAndInvalidTextDoesNotBlockTheSave) {
    // The settings file's place is taken by a folder: nothing can be written, nothing is thrown.
    std::filesystem::create_directories(FilePath());
    SaveSettings(DefaultSaveFolder(), "dev", 4, true);
    std::filesystem::remove(FilePath());

    SaveSettings(DefaultSaveFolder(), std::string("bad\xFF"), 4, true);
    const Settings back = LoadSettings();
    EXPECT_EQ(back.bufferSeconds, 4);
    EXPECT_TRUE(back.alwaysOnTop);
    EXPECT_EQ(back.deviceId, "bad\xEF\xBF\xBD");  // replaced, the rest saved
}

TEST_F(SettingsFile, AFailedSaveLeavesThePreviousFileByteForByte) {
    const std::string previous = "{\n  \"bufferSeconds\": 9\n}";
    WriteFile(previous);
    fake_platform::State& shell = fake_platform::Get();
    for (bool* failure : {&shell.failFlush, &shell.failRename}) {
        *failure = true;
        SaveSettings(DefaultSaveFolder(), "dev", 4, true);
        *failure = false;
        EXPECT_EQ(ReadFile(), previous);
        // The written-out new file does not stay behind either.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(FilePath().parent_path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
    EXPECT_EQ(LoadSettings().bufferSeconds, 9);
}

TEST_F(SettingsFile, ALinkedSettingsFileStaysALinkToTheFileItReplaces) {
    const std::filesystem::path elsewhere = root.path() / "dotfiles" / "wavelift.json";
    std::filesystem::create_directories(elsewhere.parent_path());
    std::filesystem::create_directories(FilePath().parent_path());
    std::ofstream(elsewhere) << "{}";
    std::error_code error;
    std::filesystem::create_symlink("../../dotfiles/wavelift.json", FilePath(), error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();

    SaveSettings(DefaultSaveFolder(), "dev", 4, true);

    EXPECT_TRUE(std::filesystem::is_symlink(FilePath()));
    EXPECT_EQ(LoadSettings().bufferSeconds, 4);
    for (const auto& folder : {FilePath().parent_path(), elsewhere.parent_path()})
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1)
            << folder;
}

TEST_F(SettingsFile, AFileThatDoesNotReadIsSetAsideBeforeTheFirstSaveNeverOverAnEarlierOne) {
    const auto aside = [&](const char* suffix) { return FilePath().string() + suffix; };
    for (const std::string text : {"{\"bufferSeconds\": 8,}", "{\"bufferSeconds\": 9,}"}) {
        ExpectDefaults(LoadText(text), text);
        EXPECT_TRUE(SettingsChangesKept());
        SaveSettings(DefaultSaveFolder(), "dev", 4, true);
        SaveSettings(DefaultSaveFolder(), "dev", 5, true);
        EXPECT_EQ(LoadSettings().bufferSeconds, 5);
    }
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read(aside(".unreadable")), "{\"bufferSeconds\": 8,}");
    EXPECT_EQ(read(aside(".unreadable.2")), "{\"bufferSeconds\": 9,}");
    EXPECT_FALSE(std::filesystem::exists(aside(".unreadable.3"))) << "a file that read was set aside";
    EXPECT_EQ(fake_platform::Get().startupLog.size(), 2u);
}

TEST_F(SettingsFile, AReadOnlyFileIsNeverReplaced) {
    const std::string previous = "{\"bufferSeconds\": 8}";
    WriteFile(previous);
    std::filesystem::permissions(FilePath(), std::filesystem::perms::owner_read);
    EXPECT_EQ(LoadSettings().bufferSeconds, 8);
    EXPECT_FALSE(SettingsChangesKept());
    SaveSettings(DefaultSaveFolder(), "dev", 4, true);
    EXPECT_EQ(ReadFile(), previous);
    std::filesystem::permissions(FilePath(), std::filesystem::perms::owner_all);
    LoadSettings();
    EXPECT_TRUE(SettingsChangesKept());
}

#ifdef _WIN32
TEST_F(SettingsFile, AFolderWithAnUnpairedSurrogateIsSavedWithAReplacementCharacter) {
    SaveSettings(std::filesystem::path(L"C:\\take" + std::wstring(1, wchar_t(0xDC00)) + L"s"), "dev", 4, true);
    const Settings back = LoadSettings();
    EXPECT_EQ(PathToUtf8(back.saveFolder), "C:\\take\xef\xbf\xbds");
    EXPECT_EQ(back.deviceId, "dev");
}
#endif

TEST(SettingsParse, ReadsOverTheDefaultsGiven) {
    Settings defaults;
    defaults.saveFolder = "/defaults";
    std::istringstream in(R"({"bufferSeconds": 42})");
    const Settings parsed = ParseSettings(in, defaults);
    EXPECT_EQ(parsed.saveFolder, "/defaults");
    EXPECT_EQ(parsed.bufferSeconds, 42);  // limited only by ReadSettings
    std::istringstream again(R"({"bufferSeconds": 42, "saveFolder": ""})");
    const Settings read = ReadSettings(again, defaults);
    EXPECT_EQ(read.bufferSeconds, 10);
    EXPECT_EQ(read.saveFolder, "/defaults");
}
