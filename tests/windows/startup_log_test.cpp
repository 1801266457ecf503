#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/startup_log.h"
#include "tests/windows/registry_value.h"

namespace {

std::filesystem::path LogPath() {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    return std::filesystem::path(temp) / (std::filesystem::path(module).filename().wstring() + L".startup.log");
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log switch for the test, and a fresh log file.
class StartupLog : public ::testing::Test {
protected:
    ScopedRegistryString logging{L"SOFTWARE\\Brightmoor", L"logging"};
    std::filesystem::path path = LogPath();

    void SetUp() override { std::filesystem::remove(path); }
    void TearDown() override { std::filesystem::remove(path); }
};

}  // namespace

TEST_F(StartupLog, SwitchedOnAppendsStampedLinesWithCrLf) {
    logging.Set(L"1");
    platform::WriteStartupLog("Font atlas RGBA generation begin");
    platform::WriteStartupLog("second line");
    const std::string text = ReadAll(path);
    const std::string pid = " pid=" + std::to_string(GetCurrentProcessId()) + " ";
    // "YYYY-MM-DDTHH:MM:SSZ pid=N message\r\n"
    ASSERT_GE(text.size(), 20u);
    EXPECT_EQ(text[4], '-');
    EXPECT_EQ(text[10], 'T');
    EXPECT_EQ(text[19], 'Z');
    EXPECT_EQ(text.substr(20, pid.size()), pid);
    const size_t first = text.find("Font atlas RGBA generation begin\r\n");
    const size_t second = text.find("second line\r\n");
    EXPECT_NE(first, std::string::npos);
    EXPECT_NE(second, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "every line ends in CR LF";
}

TEST_F(StartupLog, AnyOtherSwitchValueWritesNothing) {
    for (const wchar_t* value : {L"0", L"1 ", L"11", L""}) {
        logging.Set(value);
        platform::WriteStartupLog("should not appear");
        EXPECT_FALSE(std::filesystem::exists(path)) << "switch value \"" << std::filesystem::path(value) << '"';
    }
    logging.Remove();
    platform::WriteStartupLog("should not appear");
    EXPECT_FALSE(std::filesystem::exists(path));
}
