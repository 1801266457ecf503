// How long the folder picker waits, and what the main window does meanwhile.
#include <gtest/gtest.h>

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

// Generous deadlines that only stop a hung test.
constexpr auto kPickerGivesUp = 60s;
constexpr auto kPingAnswer = 10s;

class PickFolderWait : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.Ready());
        std::filesystem::create_directories(start);
        std::filesystem::create_directories(chosen);
    }

    // A dialog tool that stays open until `release` exists and then chooses `chosen`.
    void InstallZenity() {
        WriteStubProgram(folder / "bin", "zenity",
                         "echo started > '" + zenityStarted.string() + "'\n" + "while [ ! -e '" + release.string() +
                             "' ]; do /bin/sleep 0.05; done\n" + "echo > '" + zenityFinished.string() + "'\n" +
                             "printf '%s\\n' '" + PathToUtf8(chosen) + "'\n");
    }

    ScratchDir folder;
    PrivateSessionBus bus{folder.path()};
    ScopedPath path{folder / "bin"};
    std::filesystem::path callLog = folder / "calls.jsonl";
    std::filesystem::path release = folder / "release";
    std::filesystem::path zenityStarted = folder / "zenity-started";
    std::filesystem::path zenityFinished = folder / "zenity-finished";
    std::filesystem::path start = folder / "current";
    std::filesystem::path chosen = folder / "chosen";
};

TEST_F(PickFolderWait, APortalThatLeavesAfterHandingOutItsRequestEndsTheWaitWithNothing) {
    ASSERT_TRUE(bus.StartStubs(callLog, {"--portal-vanish"}));
    InstallZenity();
    std::ofstream(release) << "";
    // On its own thread, so that a picker waiting for ever fails the test instead of hanging it.
    auto result = std::make_shared<std::promise<std::optional<std::filesystem::path>>>();
    std::future<std::optional<std::filesystem::path>> picked = result->get_future();
    std::thread([result, start = start] { result->set_value(platform::PickFolder(start)); }).detach();

    ASSERT_EQ(picked.wait_for(kPickerGivesUp), std::future_status::ready) << "still waiting for a portal that left";
    EXPECT_EQ(picked.get(), std::nullopt);
    EXPECT_NE(ReadText(callLog).find("OpenFile"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(zenityStarted)) << "a second dialog after the first went away";
}

// A window of the test's own stands for the program's main window; the test
// plays the window manager: it pings the window while the dialog is open and
// then asks it to close.
class PickFolderWithMainWindow : public PickFolderWait {
protected:
    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        PickFolderWait::SetUp();
        ASSERT_TRUE(glfwInit());
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
    InstallZenity();

    const auto result = PickWhilePingingThenClose([&] { return std::filesystem::exists(zenityStarted); });

    EXPECT_EQ(answeredPings, 3);
    EXPECT_EQ(result, std::nullopt);
    EXPECT_TRUE(glfwWindowShouldClose(window));
    EXPECT_FALSE(std::filesystem::exists(zenityFinished)) << "the dialog was left open";
}

}  // namespace
