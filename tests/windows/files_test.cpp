// The file operations on the Windows file system: new files only under a free
// name, the settings text replaced whole with its CR LF, folders refused.
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

TEST(WindowsFiles, NewFilesTakeOnlyFreeNamesAndTextIsReplacedWhole) {
    const fs::path folder = fs::temp_directory_path() / ("wavelift-files-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(folder);
    fs::create_directories(folder / "sub");
    std::FILE* file = nullptr;
    ASSERT_EQ(platform::CreateNewFile(folder / "take.wav", file), platform::NewFileResult::Created);
    std::fclose(file);
    EXPECT_EQ(platform::CreateNewFile(folder / "take.wav", file), platform::NewFileResult::NameTaken);
    EXPECT_EQ(platform::CreateNewFile(folder / "sub", file), platform::NewFileResult::NameTaken);

    const fs::path settings = folder / "settings.json";
    ASSERT_TRUE(ReplaceFileContents(settings, "{\r\n  \"a\": 1\r\n}"));  // no previous file
    ASSERT_TRUE(ReplaceFileContents(settings, "{\r\n  \"a\": 2\r\n}"));  // over the previous one
    std::ifstream in(settings, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "{\r\n  \"a\": 2\r\n}");
    in.close();
    EXPECT_EQ(ReadRegularFile(settings, 1024), "{\n  \"a\": 2\n}");  // read as text
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3) << "a new file stayed behind";
    EXPECT_FALSE(ReadRegularFile(folder / "sub", 1024).has_value());
    EXPECT_FALSE(ReplaceFileContents(folder / "sub", "{}"));
    fs::remove_all(folder);
}
