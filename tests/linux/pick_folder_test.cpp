#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

#include "platform/path_text.h"
#include "platform/platform.h"
#include "tests/linux/capture_probe.h"
#include "tests/linux/private_session_bus.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/stub_program.h"
#include "tests/linux/xvfb_display.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include "tests/linux/test_window.h"
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;

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

// Generous deadlines that only stop a hung test.
constexpr auto kPickerGivesUp = 60s;
constexpr auto kPingAnswer = 10s;

// How long the picker waits, and what the main window does meanwhile.
class PickFolderWait : public PickFolderTest {
protected:
    // A dialog tool that stays open until `release` exists and then chooses `chosen`.
    void InstallZenityThatStaysOpen() {
        WriteStubProgram(folder / "bin", "zenity",
                         "echo started > '" + zenityStarted.string() + "'\n" + "while [ ! -e '" + release.string() +
                             "' ]; do /bin/sleep 0.05; done\n" + "echo > '" + zenityFinished.string() + "'\n" +
                             "printf '%s\\n' '" + PathToUtf8(chosen) + "'\n");
    }

    std::filesystem::path release = folder / "release";
    std::filesystem::path zenityStarted = folder / "zenity-started";
    std::filesystem::path zenityFinished = folder / "zenity-finished";
};

TEST_F(PickFolderWait, APortalThatLeavesAfterHandingOutItsRequestEndsTheWaitWithNothing) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--portal-vanish"}));
    InstallZenity(true);
    // On its own thread, so that a picker waiting for ever fails the test instead of hanging it.
    auto result = std::make_shared<std::promise<std::optional<std::filesystem::path>>>();
    std::future<std::optional<std::filesystem::path>> picked = result->get_future();
    std::thread([result, start = start] { result->set_value(platform::PickFolder(start)); }).detach();

    ASSERT_EQ(picked.wait_for(kPickerGivesUp), std::future_status::ready) << "still waiting for a portal that left";
    EXPECT_EQ(picked.get(), std::nullopt);
    EXPECT_NE(ReadText(callLog).find("OpenFile"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(zenityArgs)) << "a second dialog after the first went away";
}

// A window of the test's own stands for the program's main window; the test
// plays the window manager: it pings the window while the dialog is open and
// then asks it to close.
class PickFolderWithMainWindow : public PickFolderWait {
protected:
    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        PickFolderWait::SetUp();
        ASSERT_TRUE(platform::desktop::InitGlfwOnX11());
        window = CreateShownTestWindow(320, 200);
        ASSERT_NE(window, nullptr);
        platform::SetMainWindow(window);
    }

    void TearDown() override {
        platform::SetMainWindow(nullptr);
        if (window != nullptr) glfwDestroyWindow(window);
        glfwTerminate();
    }

    // Runs the picker while another thread pings the window and then asks it to close.
    std::optional<std::filesystem::path> PickWhilePingingThenClose(const std::function<bool()>& dialogOpen) {
        std::atomic<bool> returned{false};
        std::thread windowManager([&] {
            Display* display = XOpenDisplay(xserver.Name().c_str());
            if (display == nullptr) return;
            if (WaitUntil(dialogOpen, 20s)) {
                for (int i = 0; i < 3; ++i) answeredPings += Ping(display, 1000 + i);
                SendProtocol(display, "WM_DELETE_WINDOW", CurrentTime);
            }
            // Lets a picker that ignores the close request finish, so the test ends.
            if (!WaitUntil([&] { return returned.load(); }, 20s)) std::ofstream(release) << "";
            XCloseDisplay(display);
        });
        const auto result = platform::PickFolder(start);
        returned = true;
        windowManager.join();
        return result;
    }

    // A WM_PROTOCOLS message to the window, as a window manager sends it.
    void SendProtocol(Display* display, const char* protocol, long stamp) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = glfwGetX11Window(window);
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, protocol, False));
        event.xclient.data.l[1] = stamp;
        event.xclient.data.l[2] = static_cast<long>(event.xclient.window);
        XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
        XFlush(display);
    }

    // True when the window answered one _NET_WM_PING: the message comes back to the root window.
    bool Ping(Display* display, long stamp) {
        XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
        SendProtocol(display, "_NET_WM_PING", stamp);
        return WaitUntil(
            [&] {
                XEvent reply;
                while (XCheckTypedWindowEvent(display, DefaultRootWindow(display), ClientMessage, &reply)) {
                    if (reply.xclient.data.l[1] == stamp) return true;
                }
                return false;
            },
            kPingAnswer);
    }

    XvfbDisplay xserver;
    GLFWwindow* window = nullptr;
    std::atomic<int> answeredPings{0};
};

TEST_F(PickFolderWithMainWindow, ThePortalDialogKeepsTheWindowAnsweringAndClosingTheWindowEndsIt) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--portal-answer", PathToUtf8(chosen), "--hold-until", release.string()}));

    const auto result = PickWhilePingingThenClose([&] { return ReadText(callLog).find("OpenFile") != std::string::npos; });

    EXPECT_EQ(answeredPings, 3);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_TRUE(glfwWindowShouldClose(window));
    EXPECT_TRUE(WaitUntil([&] { return ReadText(callLog).find("\"Close\"") != std::string::npos; }, 10s))
        << "the dialog was left open";
}

TEST_F(PickFolderWithMainWindow, TheDialogToolKeepsTheWindowAnsweringAndClosingTheWindowEndsIt) {
    InstallZenityThatStaysOpen();

    const auto result = PickWhilePingingThenClose([&] { return std::filesystem::exists(zenityStarted); });

    EXPECT_EQ(answeredPings, 3);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_TRUE(glfwWindowShouldClose(window));
    EXPECT_FALSE(std::filesystem::exists(zenityFinished)) << "the dialog was left open";
}

}  // namespace
