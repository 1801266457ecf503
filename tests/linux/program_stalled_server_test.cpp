// The running program while its sound server stops answering: the server is
// stopped (SIGSTOP) before the program starts, so every connection and stream
// set-up meets silence, and continued (SIGCONT) later.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "app/app.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

// Built only where the program is (sanitizer builds for the capture paths leave it out).
#if defined(WAVELIFT_PROGRAM_FILE) && defined(WAVELIFT_FRAME_COUNTER_FILE)

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr auto kStall = 15s;
// Frames are counted in spans of this length; a blocked interface thread
// leaves whole spans without a frame.
constexpr auto kSpan = 2s;
// Far below the display's 60 Hz even in a sanitizer build on a busy machine.
constexpr long kFloorFramesPerSpan = 4;
// Fifty times what closing takes: a program still running by then is hung.
constexpr auto kCloseDeadline = 5s;
constexpr uint32_t kMeterGreen = 0x22C55E;

// Continues the server whatever happens to the test.
class StallGuard {
public:
    explicit StallGuard(PulseServer& server) : server(server) { server.Freeze(); }
    ~StallGuard() { server.Thaw(); }
    StallGuard(const StallGuard&) = delete;
    StallGuard& operator=(const StallGuard&) = delete;

private:
    PulseServer& server;
};

class ProgramStalledServer : public ::testing::Test {
protected:
    // Wide enough for the whole window, so screenshots of it can be taken.
    XvfbDisplay xserver{false, "1920x1080x24"};
    PulseServer sound;
    ProgramUnderTest program{WAVELIFT_PROGRAM_FILE};
    fs::path counter;

    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        ASSERT_TRUE(program.Open(xserver.Name()));
        ASSERT_TRUE(sound.Start()) << sound.DaemonLog();
        counter = program.Home() / "frames";
    }

    void Launch() {
        ASSERT_TRUE(program.Launch({std::string("LD_PRELOAD=") + WAVELIFT_FRAME_COUNTER_FILE,
                                    "WAVELIFT_TEST_FRAME_COUNT_FILE=" + counter.string()}));
    }
    long Frames() const { return std::atol(ReadText(counter).c_str()); }

    struct Ending {
        int exitCode = -1;
        std::chrono::milliseconds after{0};
    };
    // Asks the window to close and waits for the program to end.
    Ending Close(XWindowId window) {
        const auto asked = Clock::now();
        program.SendDeleteWindow(window);
        Ending ending;
        ending.exitCode = program.Wait(kCloseDeadline);
        ending.after = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked);
        return ending;
    }
};

TEST_F(ProgramStalledServer, KeepsDrawingThroughTheStallAndCapturesOnceTheServerAnswers) {
    long drawn = 0;
    long fewestInASpan = -1;
    {
        StallGuard stall(sound);
        const auto stalledAt = Clock::now();
        Launch();
        ASSERT_NE(program.WaitForWindow(), 0u) << program.ErrorText();
        for (auto spanEnd = Clock::now() + kSpan; spanEnd <= stalledAt + kStall; spanEnd += kSpan) {
            const long before = Frames();
            std::this_thread::sleep_until(spanEnd);
            const long inSpan = Frames() - before;
            if (fewestInASpan < 0 || inSpan < fewestInASpan) fewestInASpan = inSpan;
        }
        std::this_thread::sleep_until(stalledAt + kStall);
        drawn = Frames();
    }
    RecordProperty("framesDuringStall", std::to_string(drawn));
    std::printf("frames drawn during a %lld s stall: %ld, fewest in %lld s: %ld\n",
                static_cast<long long>(kStall.count()), drawn, static_cast<long long>(kSpan.count()), fewestInASpan);
    EXPECT_GE(fewestInASpan, kFloorFramesPerSpan);

    const XWindowId window = program.WaitForWindow();
    const MainLayout layout = ComputeMainLayout(0, 0, 1100, 460, 1.0f);
    const auto green = [](uint32_t p) { return p == kMeterGreen; };
    const int greenInSilence = program.Capture(window).Count(layout.topBar, green);
    sound.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2);
    const Screenshot shot =
        program.CaptureOnce(window, [&](const Screenshot& s) { return s.Count(layout.topBar, green) > greenInSilence + 100; });
    EXPECT_GT(shot.Count(layout.topBar, green), greenInSilence + 100) << "the meters never showed the tone";

    EXPECT_EQ(Close(window).exitCode, 0) << program.ErrorText();
}

TEST_F(ProgramStalledServer, CloseRequestDuringTheStallEndsTheProgram) {
    StallGuard stall(sound);
    Launch();
    const XWindowId window = program.WaitForWindow();
    ASSERT_NE(window, 0u) << program.ErrorText();
    // Past the first retry, so a second attempt is under way as well.
    std::this_thread::sleep_for(3s);

    const Ending ending = Close(window);
    RecordProperty("closeLatencyMs", std::to_string(ending.after.count()));
    std::printf("close during a stall took %lld ms\n", static_cast<long long>(ending.after.count()));
    EXPECT_EQ(ending.exitCode, 0) << "killed when still running " << kCloseDeadline.count() << " s after the close request "
                                  << program.ErrorText();
}

}  // namespace

#endif  // WAVELIFT_PROGRAM_FILE
