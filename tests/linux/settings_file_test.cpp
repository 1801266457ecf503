// The settings file on a real file system, with the faults a desktop produces:
// a FIFO in its place, a disk that fills up while saving, tightened permissions.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/path_text.h"
#include "settings/settings.h"
#include "tests/linux/forked_call.h"
#include "tests/linux/scratch_dir.h"
#include "tests/support/file_size_limit.h"

namespace fs = std::filesystem;

namespace {

// A private configuration folder; the known folders follow XDG_CONFIG_HOME and HOME.
class SettingsOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* home = getenv("HOME")) savedHome = home;
        setenv("HOME", folder.path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        fs::create_directories(SettingsPath().parent_path());
    }
    void TearDown() override {
        setenv("HOME", savedHome.c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }

    fs::path SettingsPath() const { return folder / "config" / "Wavelift" / "settings.json"; }
    std::string Content() const {
        std::ifstream in(SettingsPath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    ScratchDir folder;
    std::string savedHome;
};

}  // namespace

TEST_F(SettingsOnDisk, AFifoAsTheSettingsFileReadsAsDefaultsWithoutWaitingAndIsLeftAlone) {
    ASSERT_EQ(mkfifo(SettingsPath().c_str(), 0600), 0);
    const int exitCode = RunForked([] {
        const Settings loaded = LoadSettings();
        SaveSettings(loaded);
        if (loaded.bufferSeconds != 6 || loaded.alwaysOnTop) _exit(2);
    });
    EXPECT_EQ(exitCode, 0) << "still running: the settings file was waited on";
    struct stat info {};
    ASSERT_EQ(lstat(SettingsPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "replaced by a file";
}

TEST_F(SettingsOnDisk, ASaveCutShortByAFullDiskLeavesThePreviousFileByteForByte) {
    SaveSettings(folder / "Music", "sink", 8, true);
    const std::string previous = Content();
    ASSERT_FALSE(previous.empty());
    {
        FileSizeLimit limit(4096);
        SaveSettings(Utf8ToPath("/" + std::string(64 * 1024, 'd')), "sink", 3, false);
    }
    EXPECT_EQ(Content(), previous);
    EXPECT_EQ(LoadSettings().bufferSeconds, 8);
    EXPECT_EQ(std::distance(fs::directory_iterator(SettingsPath().parent_path()), fs::directory_iterator()), 1)
        << "the unfinished new file stayed behind";
}

TEST_F(SettingsOnDisk, AReplacedSettingsFileKeepsItsPermissions) {
    SaveSettings(folder / "Music", "sink", 8, true);
    fs::permissions(SettingsPath(), fs::perms::owner_read | fs::perms::owner_write);
    SaveSettings(folder / "Music", "sink", 5, true);
    EXPECT_EQ(LoadSettings().bufferSeconds, 5);
    EXPECT_EQ(fs::status(SettingsPath()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(SettingsOnDisk, ALinkToSomeOtherFileIsSetAsideAndAReadOnlyFileIsKept) {
    const fs::path notes = folder / "notes.txt";
    std::ofstream(notes) << "not settings";
    fs::create_symlink(notes, SettingsPath());
    LoadSettings();
    SaveSettings(folder / "Music", "sink", 5, true);
    std::ifstream in(notes);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "not settings");
    EXPECT_TRUE(fs::is_symlink(SettingsPath().string() + ".unreadable"));
    EXPECT_FALSE(fs::is_symlink(SettingsPath()));
    EXPECT_EQ(LoadSettings().bufferSeconds, 5);

    fs::permissions(SettingsPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    LoadSettings();
    EXPECT_FALSE(SettingsChangesKept());
    SaveSettings(folder / "Music", "sink", 7, true);
    EXPECT_EQ(LoadSettings().bufferSeconds, 5);
}
