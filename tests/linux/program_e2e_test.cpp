// The installed program as a user meets it: a private X server, a private sound
// server with a null sink, and the program started as a child process.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "app/app.h"
#include "platform/linux/glfw_x11_linux.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/test_child.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <GLFW/glfw3.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// Built only where the program is (sanitizer builds for the capture paths leave it out).
#if defined(WAVELIFT_PROGRAM_FILE) && defined(WAVELIFT_FRAME_COUNTER_FILE)

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kScreen[] = "1920x1080x24";
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;
constexpr uint32_t kBackground = 0x0D1015;
constexpr uint32_t kAccent = 0x38BDF8;
constexpr uint32_t kMeterGreen = 0x22C55E;

// Blue-dominated pixels: the accent and its tints blended over the dark panels.
bool IsAccentLike(uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return b >= 110 && b > r + 50 && g > r;
}

class ProgramTest : public ::testing::Test {
protected:
    XvfbDisplay xserver{false, kScreen};
    PulseServer sound;
    ProgramUnderTest program{WAVELIFT_PROGRAM_FILE};
    Display* display = nullptr;

    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        ASSERT_TRUE(program.Open(xserver.Name()));
        display = program.Connection();
    }

    fs::path ConfigHome() const { return program.ConfigHome(); }
    fs::path ErrorFile() const { return program.ErrorFile(); }

    void Launch(const std::vector<std::string>& extraEnvironment = {}, bool withDisplay = true) {
        ASSERT_TRUE(program.Launch(extraEnvironment, withDisplay));
    }
    Window WaitForWindow() { return program.WaitForWindow(); }
    Screenshot CaptureOnce(Window window, const std::function<bool(const Screenshot&)>& ready) {
        return program.CaptureOnce(window, ready);
    }
    long ProgramPid(Window window) { return program.ProgramPid(window); }
    void SendDeleteWindow(Window window) { program.SendDeleteWindow(window); }

    void SetXftDpi(int dpi) { program.SetXftDpi(dpi); }

};

TEST_F(ProgramTest, OpensItsWindowCentredWithTheBackgroundAndTopBar) {
    ASSERT_TRUE(sound.Start());
    Launch();
    const Window window = WaitForWindow();
    ASSERT_NE(window, None) << ReadText(ErrorFile());

    XClassHint classHint{};
    ASSERT_TRUE(XGetClassHint(display, window, &classHint));
    EXPECT_STREQ(classHint.res_class, "WaveliftMainWindow");
    XFree(classHint.res_name);
    XFree(classHint.res_class);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    EXPECT_EQ(attributes.width, 1100);
    EXPECT_EQ(attributes.height, 460);
    EXPECT_EQ(attributes.x, (kScreenWidth - 1100) / 2);
    EXPECT_EQ(attributes.y, (kScreenHeight - 460) / 2);
    EXPECT_TRUE(program.HasMinimumSize(window, 360, 210));
    Atom type = None;
    int format = 0;
    unsigned long iconWords = 0, remaining = 0;
    unsigned char* icon = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0, 1 << 16, False, XA_CARDINAL,
                       &type, &format, &iconWords, &remaining, &icon);
    EXPECT_EQ(iconWords, 4u * 2 + 16 * 16 + 32 * 32 + 48 * 48 + 64 * 64) << "the program's four icon sizes";
    if (icon) XFree(icon);

    const Rect all{0, 0, 1100, 460};
    const auto background = [](uint32_t p) { return p == kBackground; };
    // The first frames may still be on their way.
    const Screenshot shot =
        CaptureOnce(window, [&](const Screenshot& s) { return !s.pixels.empty() && s.Count(all, background) > 0; });
    ASSERT_EQ(shot.width, 1100);
    const MainLayout layout = ComputeMainLayout(0, 0, 1100, 460, 1.0f);
    EXPECT_GT(shot.Count(all, background), 1100 * 460 / 10);
    // The round play button in the accent colour at the top bar's left end.
    const Rect barStart{0, layout.topBar.y0, 100, layout.topBar.y1};
    EXPECT_GT(shot.Count(barStart, [](uint32_t p) { return p == kAccent; }), 500);
}

TEST_F(ProgramTest, ToneShowsInBothLanesAndMovesTheMeters) {
    ASSERT_TRUE(sound.Start());
    Launch();
    const Window window = WaitForWindow();
    ASSERT_NE(window, None) << ReadText(ErrorFile());
    const MainLayout layout = ComputeMainLayout(0, 0, 1100, 460, 1.0f);
    const auto green = [](uint32_t p) { return p == kMeterGreen; };
    const int greenInSilence =
        CaptureOnce(window, [](const Screenshot& s) { return !s.pixels.empty(); }).Count(layout.topBar, green);

    const Rect& wave = layout.waveform;
    const float middle = (wave.y0 + wave.y1) / 2;
    const Rect leftLane{wave.x0, wave.y0, wave.x1, middle};
    const Rect rightLane{wave.x0, middle, wave.x1, wave.y1};
    const int width = static_cast<int>(wave.x1 - wave.x0);
    // A half-scale tone reaches about a quarter of a lane's height above and below its centre.
    const int signalHeight = static_cast<int>((middle - wave.y0) / 4);

    sound.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2);
    // The history fills from the right; within seconds the tone spans much of it.
    const Screenshot shot = CaptureOnce(window, [&](const Screenshot& s) {
        return s.Columns(leftLane, IsAccentLike, signalHeight) > width / 3 &&
               s.Columns(rightLane, IsAccentLike, signalHeight) > width / 3;
    });
    if (const char* keep = std::getenv("WAVELIFT_TEST_SCREENSHOT")) shot.Save(keep);
    ASSERT_EQ(shot.width, 1100);
    EXPECT_GT(shot.Columns(leftLane, IsAccentLike, signalHeight), width / 3) << "left lane";
    EXPECT_GT(shot.Columns(rightLane, IsAccentLike, signalHeight), width / 3) << "right lane";
    EXPECT_GT(shot.Count(layout.topBar, green), greenInSilence + 100) << "meters";
}

TEST_F(ProgramTest, ClosingTheWindowEndsWithCodeZeroAndWritesTheSettings) {
    ASSERT_TRUE(sound.Start());
    Launch();
    const Window window = WaitForWindow();
    ASSERT_NE(window, None) << ReadText(ErrorFile());
    SendDeleteWindow(window);

    EXPECT_EQ(program.Wait(), 0) << ReadText(ErrorFile());
    const std::string settings = ReadText(ConfigHome() / "Wavelift" / "settings.json");
    for (const char* member : {"\"alwaysOnTop\"", "\"bufferSeconds\"", "\"deviceId\"", "\"saveFolder\""})
        EXPECT_NE(settings.find(member), std::string::npos) << member << " in " << settings;
}

TEST_F(ProgramTest, OpensOneAndAHalfTimesLargerAt144Dpi) {
    SetXftDpi(144);
    Launch();
    const Window window = WaitForWindow();
    ASSERT_NE(window, None) << ReadText(ErrorFile());
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    EXPECT_EQ(attributes.width, 1650);
    EXPECT_EQ(attributes.height, 690);
    EXPECT_EQ(attributes.x, (kScreenWidth - 1650) / 2);
    EXPECT_TRUE(program.HasMinimumSize(window, 540, 315));
}

TEST_F(ProgramTest, WithoutADisplayExitsWithCodeOneAndSaysWhy) {
    Launch({}, false);
    EXPECT_EQ(program.Wait(), 1);
    const std::string error = ReadText(ErrorFile());
    EXPECT_EQ(error.rfind("Wavelift: cannot open the display", 0), 0u) << error;
    EXPECT_NE(error.find("an X11 display or XWayland is needed"), std::string::npos) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    EXPECT_FALSE(fs::exists(ConfigHome() / "Wavelift" / "settings.json"));
}

// The rate the program paces its frames by, read the way it reads it: the
// display's refresh, or 60 Hz where the display reports none (as Xvfb does).
int DisplayRefreshRate() {
    int hertz = 0;
    if (platform::desktop::InitGlfwOnX11()) {
        GLFWmonitor* primary = glfwGetPrimaryMonitor();
        const GLFWvidmode* mode = primary ? glfwGetVideoMode(primary) : nullptr;
        hertz = mode ? mode->refreshRate : 0;
        glfwTerminate();
    }
    return hertz > 0 ? hertz : 60;
}

// The main thread's nanoseconds on a CPU and waiting in the queue for one
// (its "schedstat"); the rest of the time it slept.
struct ThreadClock {
    long long runningNs = 0, waitingNs = 0;
};
ThreadClock ReadThreadClock(long pid) {
    const std::string task = std::to_string(pid);
    std::istringstream fields(ReadText("/proc/" + task + "/task/" + task + "/schedstat"));
    ThreadClock clock;
    fields >> clock.runningNs >> clock.waitingNs;
    return clock;
}

TEST_F(ProgramTest, DrawsNoMoreFramesThanTheDisplayRefreshesAndSleepsBetweenThem) {
    ASSERT_TRUE(sound.Start());
    const int refresh = DisplayRefreshRate();
    const fs::path counter = program.Home() / "frames";
    Launch({std::string("LD_PRELOAD=") + WAVELIFT_FRAME_COUNTER_FILE, "WAVELIFT_TEST_FRAME_COUNT_FILE=" + counter.string()});
    const Window window = WaitForWindow();
    ASSERT_NE(window, None) << ReadText(ErrorFile());
    const long pid = ProgramPid(window);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::seconds(1));

    const auto frames = [&counter] { return std::atol(ReadText(counter).c_str()); };
    const auto start = Clock::now();
    const long frames0 = frames();
    const ThreadClock clock0 = ReadThreadClock(pid);
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const long drawn = frames() - frames0;
    const ThreadClock clock1 = ReadThreadClock(pid);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();

    // Slower drawing only lowers the count, so a busy machine cannot fail this.
    const long refreshes = static_cast<long>(seconds * refresh);
    EXPECT_GT(drawn, 0) << "the program keeps drawing";
    EXPECT_LE(drawn, refreshes + 2) << "at most one frame per refresh of the " << refresh << " Hz display";
    // A loop that waits by spinning runs whenever it is not blocked in drawing.
    // Time queued for a busy CPU is neither running nor sleep. Under a sanitizer
    // on a loaded machine a frame's own work fills most of the period (seen:
    // running 30 %, queued 32 %), so the share is only reported there.
    const double running = static_cast<double>(clock1.runningNs - clock0.runningNs) / 1e9;
    const double waiting = static_cast<double>(clock1.waitingNs - clock0.waitingNs) / 1e9;
    const double asleep = seconds - running - waiting;
#if !defined(WAVELIFT_SANITIZED_BUILD)
    EXPECT_GT(asleep, 2.0 * running) << "the main thread sleeps between frames rather than spinning";
#endif

    RecordProperty("framesPerSecond", std::to_string(drawn / seconds));
    RecordProperty("mainThreadRunningShare", std::to_string(running / seconds));
    RecordProperty("mainThreadAsleepShare", std::to_string(asleep / seconds));
    std::printf("frames/s %.1f at %d Hz; main thread running %.0f %%, queued %.0f %%, asleep %.0f %% of the time\n",
                drawn / seconds, refresh, 100.0 * running / seconds, 100.0 * waiting / seconds,
                100.0 * asleep / seconds);
}

}  // namespace

#endif  // WAVELIFT_PROGRAM_FILE
