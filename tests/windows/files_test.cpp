// The file operations on the Windows file system: new files only under a free
// name, and the settings file replaced in one step with its CR LF text intact.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/files.h"
#include "settings/safe_file.h"

namespace fs = std::filesystem;

namespace {

class WindowsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("wavelift-files-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    static std::string Bytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path folder;
};

}  // namespace

TEST_F(WindowsFiles, ANewFileIsCreatedOnlyUnderAFreeName) {
    const fs::path take = folder / "take.wav";
    std::FILE* file = nullptr;
    ASSERT_EQ(platform::CreateNewFile(take, file), platform::NewFileResult::Created);
    std::fputs("first", file);
    std::fclose(file);

    EXPECT_EQ(platform::CreateNewFile(take, file), platform::NewFileResult::NameTaken);
    EXPECT_EQ(Bytes(take), "first");
    fs::create_directory(folder / "sub");
    EXPECT_EQ(platform::CreateNewFile(folder / "sub", file), platform::NewFileResult::NameTaken);
    EXPECT_EQ(platform::CreateNewFile(folder / "missing" / "take.wav", file), platform::NewFileResult::Failed);
}

TEST_F(WindowsFiles, SettingsTextIsReplacedWholeAndReadOnlyFromAFile) {
    const fs::path settings = folder / "settings.json";
    ASSERT_TRUE(ReplaceFileContents(settings, "{\r\n  \"a\": 1\r\n}"));  // no previous file
    ASSERT_TRUE(ReplaceFileContents(settings, "{\r\n  \"a\": 2\r\n}"));  // over the previous one
    EXPECT_EQ(Bytes(settings), "{\r\n  \"a\": 2\r\n}");
    EXPECT_EQ(Entries(), 1u) << "a new file stayed behind";
    EXPECT_EQ(ReadRegularFile(settings), "{\n  \"a\": 2\n}");  // read as text

    fs::create_directory(folder / "folder.json");
    EXPECT_FALSE(ReadRegularFile(folder / "folder.json").has_value());
    EXPECT_FALSE(ReplaceFileContents(folder / "folder.json", "{}"));
    EXPECT_TRUE(fs::is_directory(folder / "folder.json"));
}
