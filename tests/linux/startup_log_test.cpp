#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/startup_log.h"
#include "tests/linux/child_exit.h"
#include "tests/linux/forked_call.h"

namespace fs = std::filesystem;

namespace {

class Folder {
public:
    explicit Folder(const std::string& prefix) {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        if (mkdtemp(pattern.data())) dir = pattern;
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    const fs::path& path() const { return dir; }

private:
    fs::path dir;
};

class StartupLogTest : public ::testing::Test {
protected:
    Folder config{"wavelift-log-config"};
    Folder tmp{"wavelift-log-tmp"};
    fs::path logPath;

    void SetUp() override {
        setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        setenv("TMPDIR", tmp.path().c_str(), 1);
        logPath = tmp.path() / (fs::read_symlink("/proc/self/exe").filename().string() + ".startup.log");
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("TMPDIR");
    }
    void SetSwitch(const std::string& content) {
        fs::create_directories(config.path() / "Brightmoor");
        std::ofstream(config.path() / "Brightmoor" / "logging", std::ios::binary) << content;
    }
    std::vector<std::string> LogLines() const {
        std::ifstream in(logPath, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Writes lines from a separate process, as a second start-up would.
    static pid_t WriteFromChild(const std::vector<std::string>& messages) {
        const pid_t child = fork();
        if (child == 0) {
            for (const std::string& message : messages) platform::WriteStartupLog(message.c_str());
            _exit(0);
        }
        EXPECT_EQ(WaitForExit(child, std::chrono::seconds(20), "second start-up"), 0);
        return child;
    }
};

TEST_F(StartupLogTest, TwoStartUpsAppendToOneLogEachWithItsOwnPid) {
    SetSwitch("1");
    const pid_t first = WriteFromChild({"Font atlas RGBA generation begin", "first done"});
    const pid_t second = WriteFromChild({"Font atlas RGBA generation begin"});

    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 3u);
    const std::regex stamp(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z pid=(\d+) (.*))");
    std::vector<std::string> pids, messages;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, stamp)) << line;
        pids.push_back(match[1]);
        messages.push_back(match[2]);
    }
    EXPECT_THAT(pids, ::testing::ElementsAre(std::to_string(first), std::to_string(first), std::to_string(second)));
    EXPECT_THAT(messages,
                ::testing::ElementsAre("Font atlas RGBA generation begin", "first done", "Font atlas RGBA generation begin"));
}

TEST_F(StartupLogTest, LogFileIsPrivateToTheUser) {
    SetSwitch("1");
    platform::WriteStartupLog("line");
    struct stat info {};
    ASSERT_EQ(stat(logPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(StartupLogTest, AnythingButTheSingleCharacterOneKeepsTheLogOff) {
    for (const std::string& content : {std::string("1 "), std::string("0"), std::string("11"), std::string("1\n"),
                                       std::string("")}) {
        SetSwitch(content);
        platform::WriteStartupLog("line");
        EXPECT_FALSE(fs::exists(logPath)) << "switch content '" << content << "'";
    }
    fs::remove_all(config.path() / "Brightmoor");
    platform::WriteStartupLog("line");
    EXPECT_FALSE(fs::exists(logPath)) << "without a switch file";
}

TEST_F(StartupLogTest, SwitchIsReadAfreshForEveryLine) {
    SetSwitch("1");
    platform::WriteStartupLog("on");
    SetSwitch("0");
    platform::WriteStartupLog("off");
    SetSwitch("1");
    platform::WriteStartupLog("on again");
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], ::testing::EndsWith(" on"));
    EXPECT_THAT(lines[1], ::testing::EndsWith(" on again"));
}

TEST_F(StartupLogTest, LogIsNeverWrittenThroughASymbolicLink) {
    SetSwitch("1");
    const fs::path victim = tmp.path() / "victim";
    std::ofstream(victim) << "untouched\n";
    fs::create_symlink(victim, logPath);

    platform::WriteStartupLog("line");

    std::ifstream in(victim);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "untouched\n");
}

TEST_F(StartupLogTest, AFifoAtTheLogPathIsNeitherWaitedOnNorWrittenTo) {
    SetSwitch("1");
    ASSERT_EQ(mkfifo(logPath.c_str(), 0600), 0);
    EXPECT_EQ(RunForked([] { platform::WriteStartupLog("line"); }), 0) << "still running: the log's FIFO was waited on";

    // With a reader on the FIFO the open succeeds at once; the line must still not go into it.
    const int reader = open(logPath.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(RunForked([] { platform::WriteStartupLog("line"); }), 0);
    char buffer[256];
    EXPECT_LE(read(reader, buffer, sizeof buffer), 0);
    close(reader);
    struct stat info {};
    ASSERT_EQ(lstat(logPath.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(StartupLogTest, ConfigurationFolderFallsBackToHome) {
    unsetenv("XDG_CONFIG_HOME");
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", config.path().c_str(), 1);
    fs::create_directories(config.path() / ".config" / "Brightmoor");
    std::ofstream(config.path() / ".config" / "Brightmoor" / "logging") << "1";

    platform::WriteStartupLog("from home");

    if (savedHome.empty()) unsetenv("HOME"); else setenv("HOME", savedHome.c_str(), 1);
    ASSERT_EQ(LogLines().size(), 1u);
}

}  // namespace
