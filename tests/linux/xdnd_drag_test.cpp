#include <gtest/gtest.h>
// Xlib's macros (None, Bool) clash with the test framework unless it comes first.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <thread>

#include "platform/file_uri.h"
#include "platform/linux/drag_file_out_linux.h"
#include "platform/linux/x11_error_handler_linux.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/test_child.h"
#include "tests/linux/test_window.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

namespace {

using platform::DragResult;
using namespace std::chrono_literals;

// The program's window sits at the top-left; drop targets to its right.
constexpr int kWindowWidth = 200, kWindowHeight = 150;
constexpr int kTargetX = 400, kTargetY = 50, kTargetWidth = 300, kTargetHeight = 200;

struct Spot {
    int x = 0, y = 0;
    std::string X() const { return std::to_string(x); }
    std::string Y() const { return std::to_string(y); }
};
const Spot kOverNothing{1000, 740};
constexpr auto kTargetStartTimeout = 20s;
// Past the longest a target is waited for.
constexpr auto kAnswerTimeout = 10s;

std::filesystem::path DropTargetScript() { return std::filesystem::path(WAVELIFT_TEST_SCRIPT_DIR) / "drop_target.py"; }

class XdndDrag : public ::testing::Test {
protected:
    virtual bool WithWindowManager() const { return false; }

    void SetUp() override {
        display = std::make_unique<XvfbDisplay>(WithWindowManager());
        ASSERT_TRUE(display->Ready());
        ASSERT_TRUE(platform::desktop::InitGlfwOnX11());
        window = CreateShownTestWindow(kWindowWidth, kWindowHeight);
        ASSERT_NE(window, nullptr);
        platform::SetMainWindow(window);
        WaitUntilPlaced();

        ImGui::CreateContext();
        ImGui::GetIO().IniFilename = nullptr;
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        ImGui::GetIO().Fonts->GetTexDataAsAlpha8(&pixels, &width, &height);
        ImGui_ImplGlfw_InitForOther(window, true);

        file = folder / Utf8ToPath("Take 1 é #2 100%.wav");
        std::ofstream(file, std::ios::binary) << "RIFF";
    }

    void WaitUntilPlaced() {
        int x = -1, y = -1;
        for (int i = 0; i < 100; ++i) {
            glfwPollEvents();
            glfwGetWindowPos(window, &x, &y);
            if (glfwGetWindowAttrib(window, GLFW_VISIBLE) && (x > 0 || !WithWindowManager())) break;
            std::this_thread::sleep_for(20ms);
        }
        insideWindow = {x + kWindowWidth / 2, y + kWindowHeight / 2};
    }

    void TearDown() override {
        target.Stop();
        platform::SetMainWindow(nullptr);
        if (ImGui::GetCurrentContext() != nullptr) {
            ImGui_ImplGlfw_Shutdown();
            ImGui::DestroyContext();
        }
        if (window != nullptr) glfwDestroyWindow(window);
        glfwTerminate();
    }

    void PumpFrames(int count) {
        for (int i = 0; i < count; ++i) {
            glfwPollEvents();
            ImGui_ImplGlfw_NewFrame();
            ImGui::NewFrame();
            ImGui::EndFrame();
            std::this_thread::sleep_for(10ms);
        }
    }

    // The press that starts a drag-out happens in the program's window, as a user's would.
    void PressInsideWindow() {
        // Events an earlier drag handed back to the toolkit are read first, as between a program's frames.
        PumpFrames(3);
        ASSERT_TRUE(display->Xdotool({"mousemove", insideWindow.X(), insideWindow.Y(), "mousedown", "1"}));
        for (int i = 0; i < 200 && !ImGui::GetIO().MouseDown[0]; ++i) PumpFrames(1);
        ASSERT_TRUE(ImGui::GetIO().MouseDown[0]);
    }

    // `options` are the target's own: how it refuses, or whether it is the desktop.
    void StartTarget(const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv = {"/usr/bin/python3", DropTargetScript().string(),
                                         "--x", std::to_string(kTargetX), "--y", std::to_string(kTargetY),
                                         "--width", std::to_string(kTargetWidth), "--height",
                                         std::to_string(kTargetHeight)};
        argv.insert(argv.end(), options.begin(), options.end());
        ASSERT_TRUE(target.Start(argv, {}, true));
        // "ready x y width height": where the window really is, wherever a window manager put it.
        const auto ready = target.ReadLine(kTargetStartTimeout);
        ASSERT_TRUE(ready && ready->starts_with("ready ")) << ready.value_or("(nothing)");
        int x = 0, y = 0, width = 0, height = 0;
        ASSERT_EQ(std::sscanf(ready->c_str(), "ready %d %d %d %d", &x, &y, &width, &height), 4);
        overTarget = {x + width / 2, y + height / 2};
        overTargetsLeft = {x + width / 4, y + height / 2};
        overTargetsRight = {x + width * 3 / 4, y + height / 2};
        targetLeft = x;
        targetRight = x + width;
    }

    // Runs DragFileOut while xdotool plays the user's part; counts the callbacks.
    DragResult DragWhile(const std::vector<std::string>& userActions) {
        TestChild user;
        EXPECT_TRUE(display->XdotoolInBackground(user, userActions));
        int calls = 0;
        DragResult result = DragResult::Failed;
        platform::DragFileOut(file, [&](DragResult r) {
            ++calls;
            result = r;
        });
        EXPECT_NE(user.Wait(XvfbDisplay::kXdotoolTimeout), kChildStillRunning) << "the scripted gesture";
        // After a release over a target, its answer arrives while the window's loop runs.
        const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
        while (calls == 0 && std::chrono::steady_clock::now() < deadline) {
            PumpFrames(1);
            platform::desktop::PollDropAnswer();
        }
        EXPECT_EQ(calls, 1) << "no outcome within " << kAnswerTimeout.count() << " s of the release";
        return result;
    }

    static std::vector<std::string> MoveAndRelease(const Spot& to) {
        return {"sleep", "0.3", "mousemove", "300", "100", "sleep", "0.15", "mousemove", to.X(), to.Y(),
                "sleep", "0.15", "mousemove_relative", "--", "5", "5", "sleep", "0.4", "mouseup", "1"};
    }

    std::vector<std::string> ReceivedUris(std::chrono::milliseconds firstWithin) {
        return target.ReadLinesUntilQuiet(firstWithin, 500ms);
    }

    std::unique_ptr<XvfbDisplay> display;
    ScratchDir folder;
    Spot insideWindow;
    Spot overTarget{kTargetX + kTargetWidth / 2, kTargetY + kTargetHeight / 2};
    Spot overTargetsLeft, overTargetsRight;
    int targetLeft = kTargetX, targetRight = kTargetX + kTargetWidth;
    std::filesystem::path file;
    GLFWwindow* window = nullptr;
    TestChild target;
};

TEST_F(XdndDrag, DropOntoATargetDeliversOneUriAndReleasesTheButton) {
    StartTarget();
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(overTarget)), DragResult::Dropped);

    const std::vector<std::string> uris = ReceivedUris(3s);
    ASSERT_EQ(uris.size(), 1u);
    EXPECT_EQ(uris[0], FileUriFromPath(file));
    EXPECT_TRUE(uris[0].ends_with("/Take%201%20%C3%A9%20%232%20100%25.wav")) << uris[0];
    EXPECT_EQ(PathFromFileUri(uris[0]), file);

    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(XdndDrag, ReleaseOverNoTargetIsCancelled) {
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(kOverNothing)), DragResult::Cancelled);
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

TEST_F(XdndDrag, ReleaseBackOnTheProgramsOwnWindowIsCancelled) {
    StartTarget();
    PressInsideWindow();
    const DragResult result = DragWhile({"sleep", "0.3", "mousemove", overTarget.X(), overTarget.Y(), "sleep", "0.3",
                                         "mousemove", insideWindow.X(), insideWindow.Y(), "sleep", "0.3", "mouseup",
                                         "1"});
    EXPECT_EQ(result, DragResult::Cancelled);
    EXPECT_TRUE(ReceivedUris(1s).empty());
}

TEST_F(XdndDrag, EscapeCancelsTheDragOverATarget) {
    StartTarget();
    PressInsideWindow();
    const DragResult result = DragWhile({"sleep", "0.3", "mousemove", overTarget.X(), overTarget.Y(), "sleep", "0.4",
                                         "key", "Escape", "sleep", "0.2", "mouseup", "1"});
    EXPECT_EQ(result, DragResult::Cancelled);
    EXPECT_TRUE(ReceivedUris(1s).empty());
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

// Each way an application turns the file down, as opposed to the user's own cancel.
TEST_F(XdndDrag, ReleaseOverATargetThatDoesNotTakeTheFileIsRefused) {
    StartTarget({"--refuse", "type"});
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(overTarget)), DragResult::Refused) << "no type it takes";
    target.Stop();

    // Accepted over the left half on the way, not where the button comes up.
    StartTarget({"--refuse", "right-half"});
    PressInsideWindow();
    EXPECT_EQ(DragWhile({"sleep", "0.3", "mousemove", overTargetsLeft.X(), overTargetsLeft.Y(), "sleep", "0.3",
                         "mousemove", overTargetsRight.X(), overTargetsRight.Y(), "sleep", "0.4", "mouseup", "1"}),
              DragResult::Refused)
        << "not accepted at the drop point";
    EXPECT_TRUE(ReceivedUris(1s).empty());
    target.Stop();

    StartTarget({"--refuse", "at-drop"});
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(overTarget)), DragResult::Refused) << "drop reported failed";
}

// A window of another client that claims to take drops but never answers;
// the client's connection hears every message the drag sends it.
class SilentTarget {
public:
    SilentTarget(const std::string& displayName, int x, int y, int width, int height)
        : display(XOpenDisplay(displayName.c_str())),
          window(XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, width, height, 0, 0, 0)) {
        const Atom version = 5;
        XChangeProperty(display, window, XInternAtom(display, "XdndAware", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&version), 1);
        XMapWindow(display, window);
        XSync(display, False);
    }
    ~SilentTarget() { XCloseDisplay(display); }

    // Messages heard so far: their type and the window they name.
    std::vector<std::pair<std::string, Window>> Heard() {
        std::vector<std::pair<std::string, Window>> heard;
        XSync(display, False);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != ClientMessage) continue;
            char* name = XGetAtomName(display, event.xclient.message_type);
            heard.emplace_back(name, event.xclient.window);
            XFree(name);
        }
        return heard;
    }

    Display* const display;
    const Window window;
};

TEST_F(XdndDrag, ReleaseOverATargetThatNeverAnswersIsRefusedAfterLeavingIt) {
    SilentTarget silent(display->Name(), kTargetX, kTargetY, kTargetWidth, kTargetHeight);
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(overTarget)), DragResult::Refused);
    // It gave up on the target and told it so, without dropping.
    const auto heard = silent.Heard();
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.front().first, "XdndEnter");
    EXPECT_EQ(heard.back().first, "XdndLeave");
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(), [](const auto& m) { return m.first == "XdndDrop"; }), 0);
}

TEST_F(XdndDrag, TargetClosingMidDragCostsTheDragNothing) {
    SilentTarget silent(display->Name(), kTargetX, kTargetY, kTargetWidth, kTargetHeight);
    const unsigned long errorsBefore = platform::desktop::X11ErrorCount(glfwGetX11Display());
    // The target closes once the drag has spoken to it; the drag names it again when it leaves.
    std::thread closer([&] {
        for (int i = 0; i < 500 && silent.Heard().empty(); ++i) std::this_thread::sleep_for(10ms);
        XDestroyWindow(silent.display, silent.window);
        XSync(silent.display, False);
    });
    PressInsideWindow();
    EXPECT_EQ(DragWhile({"sleep", "0.3", "mousemove", overTarget.X(), overTarget.Y(), "sleep", "0.5", "mousemove",
                         kOverNothing.X(), kOverNothing.Y(), "sleep", "0.3", "mouseup", "1"}),
              DragResult::Cancelled);
    closer.join();
    EXPECT_GT(platform::desktop::X11ErrorCount(glfwGetX11Display()), errorsBefore) << "no request met the closed window";
}

TEST_F(XdndDrag, OverTheBareDesktopTheRootWindowsProxyIsTheTarget) {
    // A desktop's window, named by the root window's XdndProxy and by its own.
    SilentTarget desktop(display->Name(), 0, 0, 1, 1);
    const Window root = DefaultRootWindow(desktop.display);
    const Atom proxy = XInternAtom(desktop.display, "XdndProxy", False);
    for (const Window holder : {desktop.window, root})
        XChangeProperty(desktop.display, holder, proxy, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&desktop.window), 1);
    XUnmapWindow(desktop.display, desktop.window);
    XSync(desktop.display, False);

    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(kOverNothing)), DragResult::Refused) << "this desktop never answers";
    const auto heard = desktop.Heard();
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.front(), std::make_pair(std::string("XdndEnter"), root)) << "messages name the root window";

    // Back over the program's own window, the desktop behind it is no target.
    PressInsideWindow();
    EXPECT_EQ(DragWhile({"sleep", "0.3", "mousemove", kOverNothing.X(), kOverNothing.Y(), "sleep", "0.3", "mousemove",
                         insideWindow.X(), insideWindow.Y(), "sleep", "0.3", "mouseup", "1"}),
              DragResult::Cancelled);
}

TEST_F(XdndDrag, WindowManagersPingIsAnsweredWhileTheDragRuns) {
    Display* windowManager = XOpenDisplay(display->Name().c_str());
    ASSERT_NE(windowManager, nullptr);
    const Window root = DefaultRootWindow(windowManager), source = glfwGetX11Window(window);
    XSelectInput(windowManager, root, SubstructureNotifyMask);
    PressInsideWindow();
    // Waiting for the drag, which reads the window's events from its start.
    XEvent ping{};
    ping.xclient.type = ClientMessage;
    ping.xclient.window = source;
    ping.xclient.message_type = XInternAtom(windowManager, "WM_PROTOCOLS", False);
    ping.xclient.format = 32;
    ping.xclient.data.l[0] = static_cast<long>(XInternAtom(windowManager, "_NET_WM_PING", False));
    ping.xclient.data.l[1] = 4242;
    XSendEvent(windowManager, source, False, NoEventMask, &ping);
    XSync(windowManager, False);

    EXPECT_EQ(DragWhile(MoveAndRelease(kOverNothing)), DragResult::Cancelled);
    // No frame has run since: only the drag can have answered.
    XSync(glfwGetX11Display(), False);
    XSync(windowManager, False);
    bool answered = false;
    while (XPending(windowManager) > 0) {
        XEvent event;
        XNextEvent(windowManager, &event);
        answered = answered || (event.type == ClientMessage && event.xclient.window == root &&
                                event.xclient.data.l[1] == 4242);
    }
    EXPECT_TRUE(answered);
    XCloseDisplay(windowManager);
}

TEST_F(XdndDrag, MissingCallbackIsFine) {
    PressInsideWindow();
    TestChild user;
    ASSERT_TRUE(display->XdotoolInBackground(user, MoveAndRelease(kOverNothing)));
    platform::DragFileOut(file, nullptr);
    EXPECT_NE(user.Wait(XvfbDisplay::kXdotoolTimeout), kChildStillRunning) << "the scripted gesture";
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

TEST_F(XdndDrag, MissingFileFailsWithoutADrag) {
    PressInsideWindow();
    int calls = 0;
    DragResult result = DragResult::Dropped;
    platform::DragFileOut(folder / "gone.wav", [&](DragResult r) {
        ++calls;
        result = r;
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result, DragResult::Failed);
    EXPECT_TRUE(ImGui::GetIO().MouseDown[0]);
}

// With a window manager the target's XdndAware sits on a client window inside a frame.
class XdndDragUnderWindowManager : public XdndDrag {
protected:
    bool WithWindowManager() const override { return true; }
};

TEST_F(XdndDragUnderWindowManager, DropOntoAFramedTargetDeliversOneUri) {
    StartTarget();
    // The window manager places windows as it likes; keep the press clear of the target.
    const int x = targetLeft > kWindowWidth + 40 ? 20 : targetRight + 40;
    glfwSetWindowPos(window, x, 450);
    for (int i = 0; i < 100; ++i) {
        int placedX = 0, placedY = 0;
        PumpFrames(1);
        glfwGetWindowPos(window, &placedX, &placedY);
        insideWindow = {placedX + kWindowWidth / 2, placedY + kWindowHeight / 2};
        if (placedX == x && placedY == 450) break;
    }
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(overTarget)), DragResult::Dropped);
    const std::vector<std::string> uris = ReceivedUris(3s);
    ASSERT_EQ(uris.size(), 1u);
    EXPECT_EQ(uris[0], FileUriFromPath(file));
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

TEST(XdndWithoutDisplay, FailsAtOnceWithOrWithoutCallback) {
    platform::SetMainWindow(nullptr);
    ScratchDir folder;
    const std::filesystem::path file = folder / "take.wav";
    std::ofstream(file) << "RIFF";
    int calls = 0;
    DragResult result = DragResult::Dropped;
    platform::DragFileOut(file, [&](DragResult r) {
        ++calls;
        result = r;
    });
    platform::DragFileOut(file, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result, DragResult::Failed);
    EXPECT_TRUE(std::filesystem::exists(file));
}

}  // namespace
