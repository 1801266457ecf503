#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <thread>

#include "platform/file_uri.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "tests/linux/private_session_bus.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/stub_program.h"

namespace {

using namespace std::chrono_literals;

std::vector<nlohmann::json> ReadCalls(const std::filesystem::path& log) {
    std::vector<nlohmann::json> calls;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) calls.push_back(nlohmann::json::parse(line));
    return calls;
}

// The reveal opens folders with the desktop's default handler, a stand-in here
// that writes down its arguments, one a line.
class RevealInFileBrowser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.Ready());
        WriteStubProgram(folder / "bin", "xdg-open", "printf '%s\\n' \"$@\" >> '" + openerLog.string() + "'\n");
    }

    // The reveal runs beside the caller: what the file manager got once `count` calls are there.
    std::vector<nlohmann::json> CallsOnceThere(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::vector<nlohmann::json> calls = ReadCalls(callLog);
        while (calls.size() < count && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
            calls = ReadCalls(callLog);
        }
        return calls;
    }

    std::vector<std::string> OpenedPaths(std::chrono::milliseconds within) {
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (!std::filesystem::exists(openerLog) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        std::this_thread::sleep_for(50ms);
        std::vector<std::string> lines;
        std::ifstream in(openerLog);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    ScratchDir folder;
    PrivateSessionBus bus{folder.path()};
    std::filesystem::path callLog = folder / "calls.jsonl";
    std::filesystem::path openerLog = folder / "opened.txt";
    ScopedPath path{folder / "bin"};
};

TEST_F(RevealInFileBrowser, AsksTheFileManagerToShowAFileSelected) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--file-manager"}));
    std::filesystem::create_directories(folder / Utf8ToPath("Sessions é"));
    const std::filesystem::path file = folder / Utf8ToPath("Sessions é/Take 1 #2 100%.wav");
    std::ofstream(file) << "RIFF";

    platform::RevealInFileBrowser(file);

    const auto calls = CallsOnceThere(1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0]["method"], "ShowItems");
    ASSERT_EQ(calls[0]["uris"].size(), 1u);
    const std::string uri = calls[0]["uris"][0];
    EXPECT_TRUE(uri.ends_with("/Sessions%20%C3%A9/Take%201%20%232%20100%25.wav")) << uri;
    EXPECT_EQ(PathFromFileUri(uri), file);
    EXPECT_TRUE(OpenedPaths(300ms).empty());
}

// The file manager answers only after the reveal has returned: a reveal that
// waited for it would have given up and opened the folder instead.
TEST_F(RevealInFileBrowser, ReturnsBeforeASlowFileManagerAnswers) {
    const std::filesystem::path release = folder / "release";
    ASSERT_TRUE(bus.StartStubs(callLog, {"--file-manager", "--hold-until", release.string()}));
    const std::filesystem::path file = folder / "take.wav";
    std::ofstream(file) << "RIFF";

    platform::RevealInFileBrowser(file);
    std::ofstream(release) << "";

    EXPECT_EQ(CallsOnceThere(1).size(), 1u);
    EXPECT_TRUE(OpenedPaths(1s).empty());
}

TEST_F(RevealInFileBrowser, OpensAFolderWithTheDefaultHandler) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--file-manager"}));
    const std::filesystem::path saveFolder = folder / Utf8ToPath("Wavelift captures ü");
    std::filesystem::create_directories(saveFolder);

    platform::RevealInFileBrowser(saveFolder);

    EXPECT_EQ(OpenedPaths(5s), std::vector<std::string>{PathToUtf8(saveFolder)});
    EXPECT_TRUE(ReadCalls(callLog).empty());
}

TEST_F(RevealInFileBrowser, OpensTheFilesFolderWhenNoFileManagerAnswers) {
    const std::filesystem::path file = folder / Utf8ToPath("Take é.wav");
    std::ofstream(file) << "RIFF";

    platform::RevealInFileBrowser(file);

    EXPECT_EQ(OpenedPaths(5s), std::vector<std::string>{PathToUtf8(folder.path())});
}

TEST_F(RevealInFileBrowser, MissingPathIsHandedOnAndFailsSilently) {
    const std::filesystem::path gone = folder / "deleted take.wav";
    platform::RevealInFileBrowser(gone);
    EXPECT_EQ(OpenedPaths(5s), std::vector<std::string>{PathToUtf8(gone)});
}

}  // namespace
