// The program started with FIFOs where its settings file and its start-up log
// belong, as anyone can leave in a shared temporary folder or a synced profile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/linux/program_under_test.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

#if defined(WAVELIFT_PROGRAM_FILE)

namespace fs = std::filesystem;

namespace {

bool IsFifo(const fs::path& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISFIFO(info.st_mode);
}

}  // namespace

TEST(ProgramWithSpecialFiles, FifosAtTheSettingsAndLogPathsNeitherHoldUpStartUpNorAreReplacedAtExit) {
    XvfbDisplay xserver;
    ASSERT_TRUE(xserver.Ready());
    ProgramUnderTest program(WAVELIFT_PROGRAM_FILE);
    ASSERT_TRUE(program.Open(xserver.Name()));
    const fs::path settings = program.ConfigHome() / "Wavelift" / "settings.json";
    const fs::path temporary = program.Home() / "tmp";
    const fs::path log = temporary / "wavelift.startup.log";
    fs::create_directories(settings.parent_path());
    fs::create_directories(program.ConfigHome() / "Brightmoor");
    fs::create_directories(temporary);
    std::ofstream(program.ConfigHome() / "Brightmoor" / "logging") << "1";
    ASSERT_EQ(mkfifo(settings.c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(log.c_str(), 0600), 0);

    ASSERT_TRUE(program.Launch({"TMPDIR=" + temporary.string()}));
    const XWindowId window = program.WaitForWindow();
    ASSERT_NE(window, 0u) << "start-up held up; " << program.ErrorText();
    program.SendDeleteWindow(window);

    EXPECT_EQ(program.Wait(), 0) << program.ErrorText();
    EXPECT_TRUE(IsFifo(settings)) << "the settings FIFO was replaced";
    EXPECT_TRUE(IsFifo(log)) << "the log FIFO was replaced";
}

#endif  // WAVELIFT_PROGRAM_FILE
