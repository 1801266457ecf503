#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/x11_error_handler_linux.h"
#include "tests/linux/forked_call.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/xvfb_display.h"

// After everything else: Xlib's macros clash with C++ names.
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace {

constexpr int kErrors = 20;
constexpr unsigned long kMissingWindow = 0x3FFFFF0;
constexpr unsigned kMapWindowRequest = 8;
constexpr unsigned kBadWindow = 3;
constexpr size_t kMostReported = 8;

std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(X11ErrorHandler, ReportsTheFirstErrorsWithTheirCodesAndCountsThemAll) {
    XvfbDisplay xserver;
    ASSERT_TRUE(xserver.Ready());
    ScratchDir home;
    fs::create_directories(home.path() / "Brightmoor");
    std::ofstream(home.path() / "Brightmoor" / "logging") << "1";
    const fs::path errors = home.path() / "stderr.txt";

    // In a child: without the handler Xlib ends the process at the first error.
    const int exitCode = RunForked([&] {
        if (!std::freopen(errors.c_str(), "w", stderr)) _exit(2);
        setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
        setenv("TMPDIR", home.path().c_str(), 1);
        Display* display = XOpenDisplay(xserver.Name().c_str());
        if (!display) _exit(3);
        platform::desktop::InstallX11ErrorHandler();
        const unsigned long before = platform::desktop::X11ErrorCount(display);
        for (int i = 0; i < kErrors; ++i) XMapWindow(display, kMissingWindow);
        _exit(platform::desktop::X11ErrorCount(display) - before == static_cast<unsigned long>(kErrors) ? 0 : 4);
    });
    ASSERT_EQ(exitCode, 0) << Lines(errors).size() << " lines on stderr";

    const std::string expected = "request " + std::to_string(kMapWindowRequest) + ".0, error code " +
                                 std::to_string(kBadWindow);
    const std::vector<std::string> reported = Lines(errors);
    ASSERT_EQ(reported.size(), kMostReported);
    for (const std::string& line : reported) EXPECT_THAT(line, ::testing::HasSubstr(expected));
    const fs::path log = home.path() / (fs::read_symlink("/proc/self/exe").filename().string() + ".startup.log");
    EXPECT_EQ(Lines(log).size(), kMostReported);
}
