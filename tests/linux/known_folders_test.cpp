#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/xdg_user_dirs_linux.h"
#include "platform/platform.h"

namespace {

using platform::KnownFolder;
using platform::linux_folders::FindUserDir;

// Points HOME and XDG_CONFIG_HOME at a fresh folder and puts them back afterwards.
class KnownFolders : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/wavelift-folders-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        home = root / "home";
        std::filesystem::create_directories(home);
        Remember("HOME");
        Remember("XDG_CONFIG_HOME");
        setenv("HOME", home.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    void Remember(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    void WriteUserDirs(const std::filesystem::path& config, const std::string& text) {
        std::filesystem::create_directories(config);
        std::ofstream(config / "user-dirs.dirs") << text;
    }

    std::filesystem::path root, home;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

}  // namespace

TEST_F(KnownFolders, WithoutUserDirsTheUsualFoldersAreCreatedUnderHome) {
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::Music), home / "Music");
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::Documents), home / "Documents");
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::RoamingAppData), home / ".config");
    EXPECT_TRUE(std::filesystem::is_directory(home / "Music"));
    EXPECT_TRUE(std::filesystem::is_directory(home / "Documents"));
    EXPECT_TRUE(std::filesystem::is_directory(home / ".config"));
}

TEST_F(KnownFolders, UserDirsFromTheConfigHomeAreFollowed) {
    const auto config = root / "elsewhere-config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    WriteUserDirs(config, "# written by the desktop\n"
                          "XDG_MUSIC_DIR=\"$HOME/Klänge\"\n"
                          "XDG_DOCUMENTS_DIR=\"" + (root / "docs").string() + "\"\n");
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::RoamingAppData), config);
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::Music), home / "Klänge");
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::Documents), root / "docs");
    EXPECT_TRUE(std::filesystem::is_directory(home / "Klänge"));
}

TEST_F(KnownFolders, RelativeConfigHomeIsIgnored) {
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    WriteUserDirs(home / ".config", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::RoamingAppData), home / ".config");
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::Music), home / "Tunes");
}

TEST_F(KnownFolders, AFolderThatCannotBeCreatedIsReportedEmpty) {
    std::ofstream(home / "Music") << "a file in the way";
    EXPECT_EQ(platform::GetKnownFolderPath(KnownFolder::Music), std::filesystem::path());
}

TEST(XdgUserDirs, ParsesAssignmentsTheWayTheShellWould) {
    const std::filesystem::path home = "/home/ann";
    const std::string text =
        "  # XDG_MUSIC_DIR=\"$HOME/Commented\"\n"
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        "XDG_MUSIC_DIR=\"$HOME/Old\"\n"
        "XDG_MUSIC_DIR=\"$HOME/My \\\"Music\\\"\"\n"
        "XDG_DOCUMENTS_DIR=\"/srv/docs\"\r\n"
        "XDG_VIDEOS_DIR=\"$HOME/\"\n"
        "XDG_PICTURES_DIR=\"relative/pics\"\n"
        "XDG_TEMPLATES_DIR=\"$HOMEWORK/t\"\n"
        "XDG_PUBLICSHARE_DIR=\"$HOME/unclosed\n";
    EXPECT_EQ(FindUserDir(text, "XDG_MUSIC_DIR", home), "/home/ann/My \"Music\"");
    EXPECT_EQ(FindUserDir(text, "XDG_DOCUMENTS_DIR", home), "/srv/docs");
    EXPECT_EQ(FindUserDir(text, "XDG_DESKTOP_DIR", home), "/home/ann/Desktop");
    EXPECT_EQ(FindUserDir(text, "XDG_VIDEOS_DIR", home), "");  // switched off
    EXPECT_EQ(FindUserDir(text, "XDG_PICTURES_DIR", home), "");
    EXPECT_EQ(FindUserDir(text, "XDG_TEMPLATES_DIR", home), "");
    EXPECT_EQ(FindUserDir(text, "XDG_PUBLICSHARE_DIR", home), "");
    EXPECT_EQ(FindUserDir(text, "XDG_DOWNLOAD_DIR", home), "");
    EXPECT_EQ(FindUserDir("XDG_MUSIC_DIRX=\"/x\"", "XDG_MUSIC_DIR", home), "");
    EXPECT_EQ(FindUserDir("", "XDG_MUSIC_DIR", home), "");
}
