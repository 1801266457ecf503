#include "export/capture_file_name.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <regex>

#include "tests/support/temp_dir.h"

namespace {

void Touch(const std::filesystem::path& path) { std::ofstream(path) << "x"; }

// The name's time stamp without the extension or counter.
std::string BaseName(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    return name.substr(0, std::string("Wavelift 2026-12-08 03-43-01").size());
}

// Runs `body` with two names from the same second, retrying at a second boundary.
template <typename Body>
void WithinOneSecond(Body body) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (body()) return;
    }
    FAIL() << "the clock kept crossing a second boundary";
}

}  // namespace

TEST(CaptureFileName, NamesCarryTheLocalTimeStamp) {
    TempDir dir;
    const std::time_t before = std::time(nullptr);
    const auto path = MakeCaptureFilePath(dir.path());
    EXPECT_EQ(path.parent_path(), dir.path());
    const std::string name = path.filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(Wavelift \d{4}-\d{2}-\d{2} \d{2}-\d{2}-\d{2}\.wav)"))) << name;

    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &before);
#else
    localtime_r(&before, &local);
#endif
    char year[8];
    std::strftime(year, sizeof year, "%Y", &local);
    EXPECT_EQ(name.substr(9, 4), year);
    EXPECT_FALSE(std::filesystem::exists(path));  // nothing is created
}

TEST(CaptureFileName, TakenNamesGetTheFirstFreeCounterFromTwo) {
    TempDir dir;
    WithinOneSecond([&] {
        const auto first = MakeCaptureFilePath(dir.path());
        Touch(first);
        const auto second = MakeCaptureFilePath(dir.path());
        Touch(second);
        const auto third = MakeCaptureFilePath(dir.path());
        if (BaseName(first) != BaseName(third)) return false;
        const std::string base = BaseName(first);
        EXPECT_EQ(second.filename().string(), base + " (2).wav");
        EXPECT_EQ(third.filename().string(), base + " (3).wav");

        Touch(third);
        std::filesystem::remove(second);
        const auto gap = MakeCaptureFilePath(dir.path());
        if (BaseName(gap) != base) return false;
        EXPECT_EQ(gap.filename().string(), base + " (2).wav");
        return true;
    });
}

TEST(CaptureFileName, FolderSeparatorsAreNotDoubled) {
    TempDir dir;
    const auto plain = MakeCaptureFilePath(dir.path());
    const auto trailing = MakeCaptureFilePath(dir.path() / "");
    const auto separator = static_cast<char>(std::filesystem::path::preferred_separator);
    EXPECT_EQ(trailing.string().find(std::string(2, separator)), std::string::npos) << trailing;
    EXPECT_EQ(trailing.parent_path(), plain.parent_path());

    const auto bare = MakeCaptureFilePath({});
    EXPECT_FALSE(bare.has_parent_path());
    EXPECT_EQ(bare.extension(), ".wav");
}
