// Requests the running program must never miss: a key chord whose events all
// arrive at once, as automation tools and remote desktops send them, and a
// single close request sent as soon as the window is on screen.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>

#include "app/app.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xlib.h>

// Built only where the program is (sanitizer builds for the capture paths leave it out).
#if defined(WAVELIFT_PROGRAM_FILE) && defined(WAVELIFT_FRAME_COUNTER_FILE)

namespace {

using namespace std::chrono_literals;

constexpr int kChords = 15;
constexpr int kCloses = 6;
constexpr auto kAnswerDeadline = 3s;
constexpr auto kExitDeadline = 10s;

// The PAUSED badge's amber, and the LIVE badge's red, in the status line.
bool IsAmber(uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r > 140 && g > 100 && b < 60 && r > g;
}
bool IsLiveRed(uint32_t p) { return ((p >> 16) & 0xFF) > 220 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) > 70; }

class ProgramRequests : public ::testing::Test {
protected:
    XvfbDisplay xserver{false, "1920x1080x24"};
    PulseServer sound;

    void SetUp() override { ASSERT_TRUE(xserver.Ready()); }

    // The exit code, or -1 when it had to be killed at the deadline.
    static int ExitWithin(ProgramUnderTest& program, long pid) {
        std::future<int> exited = std::async(std::launch::async, [&program] { return program.Wait(); });
        if (exited.wait_for(kExitDeadline) != std::future_status::ready && pid > 0) kill(static_cast<pid_t>(pid), SIGKILL);
        return exited.get();
    }
};

TEST_F(ProgramRequests, EveryCtrlASentInOneBurstSelectsAll) {
    ASSERT_TRUE(sound.Start());
    ProgramUnderTest program(WAVELIFT_PROGRAM_FILE);
    ASSERT_TRUE(program.Open(xserver.Name()));
    ASSERT_TRUE(program.Launch());
    const XWindowId window = program.WaitForWindow();
    ASSERT_NE(window, 0u) << program.ErrorText();
    const Rect status{0, 0, 500, ComputeMainLayout(0, 0, 1100, 460, 1.0f).topBar.y1};
    const auto paused = [&](const Screenshot& s) { return s.Count(status, IsAmber) > 30; };
    const auto live = [&](const Screenshot& s) { return s.Count(status, IsLiveRed) > 20 && !paused(s); };
    ASSERT_TRUE(live(program.CaptureOnce(window, live))) << "capture never ran; " << program.ErrorText();
    // No window manager here to give the window the keyboard.
    XSetInputFocus(program.Connection(), window, RevertToParent, CurrentTime);
    XSync(program.Connection(), False);

    int selected = 0;
    for (int chord = 0; chord < kChords; ++chord) {
        // One burst: Ctrl down, A down, A up, Ctrl up.
        ASSERT_TRUE(xserver.Xdotool({"key", "ctrl+a"}));
        if (!paused(program.CaptureOnce(window, paused, kAnswerDeadline))) continue;
        ++selected;
        ASSERT_TRUE(xserver.Xdotool({"key", "space"}));
        ASSERT_TRUE(live(program.CaptureOnce(window, live, kAnswerDeadline))) << "Space did not resume";
    }
    std::printf("Ctrl+A sent in one burst selected all %d of %d times\n", selected, kChords);
    EXPECT_EQ(selected, kChords);
}

TEST_F(ProgramRequests, OneCloseRequestAsSoonAsTheWindowMapsEndsTheProgram) {
    int closed = 0;
    for (int run = 0; run < kCloses; ++run) {
        ProgramUnderTest program(WAVELIFT_PROGRAM_FILE);
        ASSERT_TRUE(program.Open(xserver.Name()));
        ASSERT_TRUE(program.Launch());
        const XWindowId window = program.WaitForWindow();
        ASSERT_NE(window, 0u) << program.ErrorText();
        const long pid = program.ProgramPid(window);
        program.SendDeleteWindow(window);
        closed += ExitWithin(program, pid) == 0;
    }
    std::printf("one close request ended the program %d of %d times\n", closed, kCloses);
    EXPECT_EQ(closed, kCloses);
}

}  // namespace

#endif  // WAVELIFT_PROGRAM_FILE
