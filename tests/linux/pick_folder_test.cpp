#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

#include "platform/path_text.h"
#include "platform/platform.h"
#include "tests/linux/private_session_bus.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/stub_program.h"

namespace {

constexpr const char* kTitle = "Folder for captured WAV files";

class PickFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.Ready());
        std::filesystem::create_directories(start);
        std::filesystem::create_directories(chosen);
    }

    nlohmann::json OnlyCall() {
        std::ifstream in(callLog);
        std::string line;
        std::getline(in, line);
        std::string extra;
        EXPECT_FALSE(std::getline(in, extra)) << "more than one call";
        return nlohmann::json::parse(line);
    }

    std::vector<std::string> ZenityArguments() {
        std::vector<std::string> lines;
        std::ifstream in(zenityArgs);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    void InstallZenity(bool answers) {
        if (answers) std::ofstream(zenityAnswer) << PathToUtf8(chosen) << "\n";
        WriteStubProgram(folder / "bin", "zenity",
                         "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + zenityArgs.string() + "'\n" +
                             "[ -f '" + zenityAnswer.string() + "' ] || exit 1\n" + "/bin/cat '" +
                             zenityAnswer.string() + "'\n");
    }

    ScratchDir folder;
    PrivateSessionBus bus{folder.path()};
    ScopedPath path{folder / "bin"};
    std::filesystem::path callLog = folder / "calls.jsonl";
    std::filesystem::path zenityArgs = folder / "zenity-args.txt";
    std::filesystem::path zenityAnswer = folder / "zenity-answer.txt";
    std::filesystem::path start = folder / Utf8ToPath("Current ä #1");
    std::filesystem::path chosen = folder / Utf8ToPath("New captures é 100%");
};

using PickFolderPortal = PickFolderTest;
using PickFolderDialogTool = PickFolderTest;

TEST_F(PickFolderPortal, AsksForAFolderAndReturnsTheChoiceIntact) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--portal-answer", PathToUtf8(chosen)}));
    InstallZenity(true);

    EXPECT_EQ(platform::PickFolder(start), chosen);

    const nlohmann::json call = OnlyCall();
    EXPECT_EQ(call["method"], "OpenFile");
    EXPECT_EQ(call["title"], kTitle);
    EXPECT_EQ(call["directory"], true);
    EXPECT_EQ(call["current_folder"], PathToUtf8(start));
    EXPECT_FALSE(std::filesystem::exists(zenityArgs));
}

TEST_F(PickFolderPortal, CancelGivesNothingAndAsksNoOneElse) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--portal-cancel"}));
    InstallZenity(true);
    EXPECT_EQ(platform::PickFolder(start), std::nullopt);
    EXPECT_EQ(OnlyCall()["method"], "OpenFile");
    EXPECT_FALSE(std::filesystem::exists(zenityArgs));
}

TEST_F(PickFolderPortal, MissingStartFolderIsNotOffered) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--portal-answer", PathToUtf8(chosen)}));
    EXPECT_EQ(platform::PickFolder(folder / "gone"), chosen);
    EXPECT_FALSE(OnlyCall().contains("current_folder"));
}

TEST_F(PickFolderDialogTool, ZenityStandsInWithoutAPortal) {
    InstallZenity(true);
    EXPECT_EQ(platform::PickFolder(start), chosen);
    const std::vector<std::string> expected = {"--file-selection", "--directory", std::string("--title=") + kTitle,
                                               "--filename=" + PathToUtf8(start) + "/"};
    EXPECT_EQ(ZenityArguments(), expected);
}

TEST_F(PickFolderDialogTool, ZenityCancelGivesNothing) {
    InstallZenity(false);
    EXPECT_EQ(platform::PickFolder(start), std::nullopt);
    EXPECT_FALSE(ZenityArguments().empty());
}

TEST_F(PickFolderDialogTool, NothingAvailableGivesNothing) {
    EXPECT_EQ(platform::PickFolder(start), std::nullopt);
    EXPECT_EQ(platform::PickFolder({}), std::nullopt);
}

}  // namespace
