// A selection dragged out of the running program, as a user does it: a tone
// played into a private sound server, the pointer driven on a private X
// server, and another application's window as the drop target.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "platform/file_uri.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/test_child.h"
#include "tests/linux/xvfb_display.h"
#include "tests/support/wav_reader.h"
#include "test_paths.h"

// Built only where the program is (sanitizer builds for the capture paths leave it out).
#if defined(WAVELIFT_PROGRAM_FILE) && defined(WAVELIFT_FRAME_COUNTER_FILE)

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// Room for the program's window in the middle and a drop target to its right.
constexpr char kScreen[] = "2400x900x24";
constexpr int kWindowWidth = 1100, kWindowHeight = 460;
constexpr int kTargetX = 1850, kTargetY = 300, kTargetWidth = 400, kTargetHeight = 300;
constexpr int kOverNothingX = 200, kOverNothingY = 700;

constexpr int kSinkRate = 48000;
constexpr int kHistorySeconds = 6;  // the default history length
constexpr double kToneHertz = 440.0;
constexpr double kToneAmplitude = 0.5;
constexpr double kToneSeconds = 30.0;

constexpr uint32_t kAmber = 0xFBBF24;
constexpr int kHandleMinimumPixels = 40;  // of the two 8 x 16 handles at the top and bottom of an edge
constexpr int kStatusMinimumPixels = 30;
// The note of a drop names the file; that of a cancelled drag is two words.
constexpr int kDroppedStatusMinimumWidth = 250;
constexpr int kCancelledStatusMaximumWidth = 160;
constexpr double kFullScale24 = 8388608.0;

constexpr auto kTargetStartTimeout = 20s;
constexpr auto kScreenTimeout = 20s;
constexpr auto kFileTimeout = 15s;
constexpr auto kDropTimeout = 15s;
constexpr auto kPoll = 50ms;
// How long the drop of a target that never answers is watched: most of the program's wait for it.
constexpr auto kUnansweredWatch = 4s;
// A frame every 16 ms at 60 Hz, a few hundred ms between frames on a busy machine; a wait
// that blocks the window leaves it without a frame for the whole watch.
constexpr auto kLongestFrameGap = 2s;

fs::path DropTargetScript() { return fs::path(WAVELIFT_TEST_SCRIPT_DIR) / "drop_target.py"; }

// The status line in the success colour, blended over the status bar.
bool IsSuccessGreen(uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return g >= 110 && g > r + 60 && g > b + 30;
}

// The status line in the error colour.
bool IsErrorRed(uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r >= 140 && r > g + 80 && r > b + 40;
}

// Blue-dominated pixels: the live waveform drawn in the accent colour.
bool IsAccentLike(uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return b >= 110 && b > r + 50 && g > r;
}

// One channel of a stereo file, in full scale.
std::vector<double> Channel(const Wav24& wav, size_t channel) {
    std::vector<double> samples;
    for (size_t i = channel; i < wav.samples.size(); i += 2) samples.push_back(wav.samples[i] / kFullScale24);
    return samples;
}

double Peak(const std::vector<double>& samples) {
    double peak = 0.0;
    for (double s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

// The typical distance in frames between upward zero crossings: the tone's
// period, undisturbed by a gap that a busy machine may leave in the audio.
double MedianPeriod(const std::vector<double>& samples) {
    std::vector<double> periods;
    std::optional<size_t> last;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0 && samples[i] >= 0.0) {
            if (last) periods.push_back(static_cast<double>(i - *last));
            last = i;
        }
    }
    if (periods.empty()) return 0.0;
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    return periods[periods.size() / 2];
}

std::vector<fs::path> WavFilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.path().extension() == ".wav") files.push_back(entry.path());
    return files;
}

class ProgramDragOut : public ::testing::Test {
protected:
    XvfbDisplay xserver{false, kScreen};
    PulseServer sound;
    ProgramUnderTest program{WAVELIFT_PROGRAM_FILE};
    TestChild target;
    XWindowId window = 0;
    int originX = 0, originY = 0;
    const MainLayout layout = ComputeMainLayout(0, 0, kWindowWidth, kWindowHeight, 1.0f);
    const double samplesPerPixel =
        static_cast<double>(kHistorySeconds * kSinkRate) / (layout.waveform.x1 - layout.waveform.x0);
    const int pixelsPerSecond = static_cast<int>(std::lround(kSinkRate / samplesPerPixel));
    // Half-way down the left lane, where a press lands on the waveform.
    const int laneY = static_cast<int>(layout.waveform.y0 + (layout.waveform.y1 - layout.waveform.y0) / 4);

    // With no folder configuration the save folder is the home folder's music folder.
    fs::path SaveFolder() const { return program.Home() / "Music" / "Wavelift"; }

    fs::path FrameCountFile() const { return program.Home() / "frames"; }

    // The longest stretch without a new frame over the next `watch`.
    std::chrono::milliseconds LongestFrameGap(std::chrono::milliseconds watch) const {
        const auto end = Clock::now() + watch;
        auto lastFrameAt = Clock::now();
        auto longest = Clock::duration::zero();
        for (std::string count = ReadText(FrameCountFile()); Clock::now() < end; std::this_thread::sleep_for(2ms)) {
            const std::string now = ReadText(FrameCountFile());
            if (now == count) continue;
            count = now;
            longest = std::max(longest, Clock::now() - lastFrameAt);
            lastFrameAt = Clock::now();
        }
        longest = std::max(longest, Clock::now() - lastFrameAt);
        return std::chrono::duration_cast<std::chrono::milliseconds>(longest);
    }

    // The program running with the tone filling the newest part of its history.
    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        ASSERT_TRUE(program.Open(xserver.Name()));
        ASSERT_TRUE(sound.Start());
        sound.PlayTone(PulseServer::kFloatSink, kToneHertz, kToneAmplitude, kSinkRate, 2, kToneSeconds);
        ASSERT_TRUE(program.Launch({std::string("LD_PRELOAD=") + WAVELIFT_FRAME_COUNTER_FILE,
                                    "WAVELIFT_TEST_FRAME_COUNT_FILE=" + FrameCountFile().string()}));
        window = program.WaitForWindow();
        ASSERT_NE(window, 0u) << program.ErrorText();
        ASSERT_TRUE(program.WindowOrigin(window, originX, originY));

        // Tone over most of the newest two seconds, where the selections below lie; a
        // busy machine may leave short gaps in it.
        const Rect& wave = layout.waveform;
        const Rect newest{wave.x1 - 2 * pixelsPerSecond, wave.y0, wave.x1, (wave.y0 + wave.y1) / 2};
        // A half-scale tone reaches about a quarter of a lane's height above and below its centre.
        const int signalHeight = static_cast<int>((newest.y1 - newest.y0) / 4);
        const int wanted = 2 * pixelsPerSecond * 3 / 4;
        const Screenshot shot = program.CaptureOnce(
            window, [&](const Screenshot& s) { return s.Columns(newest, IsAccentLike, signalHeight) >= wanted; },
            kScreenTimeout);
        ASSERT_GE(shot.Columns(newest, IsAccentLike, signalHeight), wanted) << "the tone never filled the waveform";
    }

    void TearDown() override {
        // The sanitizer build's program reports undefined behaviour on its standard error and goes on.
        EXPECT_EQ(program.ErrorText().find("runtime error"), std::string::npos) << program.ErrorText();
        if (HasFailure() && window != 0) {
            const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
            const fs::path keep = fs::temp_directory_path() / ("wavelift-drag-out-" + name + ".ppm");
            program.Capture(window).Save(keep);
            std::printf("screenshot: %s\n", keep.string().c_str());
        }
        target.Stop();
    }

    std::string ScreenX(int windowX) const { return std::to_string(originX + windowX); }
    std::string ScreenY(int windowY) const { return std::to_string(originY + windowY); }

    // Pointer moves from (x0, y0) to (x1, y1) in steps of a few pixels, as a hand moves it.
    static void AddSteps(std::vector<std::string>& commands, int x0, int y0, int x1, int y1, int stepPixels) {
        const int steps = std::max(1, std::max(std::abs(x1 - x0), std::abs(y1 - y0)) / stepPixels);
        for (int i = 1; i <= steps; ++i) {
            commands.insert(commands.end(), {"mousemove", std::to_string(x0 + (x1 - x0) * i / steps),
                                             std::to_string(y0 + (y1 - y0) * i / steps), "sleep", "0.02"});
        }
    }

    // Presses on the waveform at `fromX`, drags to `toX` and releases (window coordinates).
    void DragSelect(int fromX, int toX) {
        std::vector<std::string> commands = {"mousemove", ScreenX(fromX), ScreenY(laneY), "sleep", "0.15",
                                             "mousedown", "1", "sleep", "0.1"};
        AddSteps(commands, originX + fromX, originY + laneY, originX + toX, originY + laneY, 12);
        commands.insert(commands.end(), {"sleep", "0.2", "mouseup", "1", "sleep", "0.1"});
        ASSERT_TRUE(xserver.Xdotool(commands));
    }

    // Exact amber pixels of the selection handles around an edge at `x`.
    static int HandlePixels(const Screenshot& shot, const Rect& wave, int x) {
        const Rect around{static_cast<float>(x - 8), wave.y0, static_cast<float>(x + 8), wave.y1};
        return shot.Count(around, [](uint32_t p) { return p == kAmber; });
    }

    Screenshot WaitForSelection(int fromX, int toX) {
        return program.CaptureOnce(
            window,
            [&](const Screenshot& s) {
                return HandlePixels(s, layout.waveform, fromX) >= kHandleMinimumPixels &&
                       HandlePixels(s, layout.waveform, toX) >= kHandleMinimumPixels;
            },
            kScreenTimeout);
    }

    // Selects about a second of the tone; returns the edges' window x.
    std::pair<int, int> SelectOneSecondOfTone() {
        const int toX = static_cast<int>(layout.waveform.x1) - pixelsPerSecond / 2;
        const int fromX = toX - pixelsPerSecond;
        DragSelect(fromX, toX);
        const Screenshot shot = WaitForSelection(fromX, toX);
        EXPECT_GE(HandlePixels(shot, layout.waveform, fromX), kHandleMinimumPixels) << "selection start";
        EXPECT_GE(HandlePixels(shot, layout.waveform, toX), kHandleMinimumPixels) << "selection end";
        return {fromX, toX};
    }

    // Presses inside the selection and moves far enough for the program to
    // write the file and start dragging it; the button stays down.
    fs::path StartDragOut(const std::pair<int, int>& selection) {
        const int x = (selection.first + selection.second) / 2;
        std::vector<std::string> commands = {"mousemove", ScreenX(x), ScreenY(laneY), "sleep", "0.15",
                                             "mousedown", "1", "sleep", "0.1"};
        AddSteps(commands, originX + x, originY + laneY, originX + x + 16, originY + laneY - 16, 4);
        EXPECT_TRUE(xserver.Xdotool(commands));

        const auto deadline = Clock::now() + kFileTimeout;
        std::vector<fs::path> files = WavFilesIn(SaveFolder());
        while (files.empty() && Clock::now() < deadline) {
            std::this_thread::sleep_for(kPoll);
            files = WavFilesIn(SaveFolder());
        }
        EXPECT_EQ(files.size(), 1u) << "the drag-out wrote no file";
        // The program takes the drag selection just before it grabs the pointer.
        while (program.SelectionOwner("XdndSelection") != window && Clock::now() < deadline)
            std::this_thread::sleep_for(kPoll);
        EXPECT_EQ(program.SelectionOwner("XdndSelection"), window) << "the drag never began";
        return files.empty() ? fs::path() : files.front();
    }

    // Moves the held pointer from the waveform to (x, y) on the screen; then `finish`.
    void MoveHeldPointerTo(const std::pair<int, int>& selection, int x, int y, const std::vector<std::string>& finish) {
        const int fromX = originX + (selection.first + selection.second) / 2 + 16;
        const int fromY = originY + laneY - 16;
        std::vector<std::string> commands;
        AddSteps(commands, fromX, fromY, x, y, 40);
        // A last small move where the pointer ends: a target may still be answering the earlier positions.
        commands.insert(commands.end(), {"sleep", "0.2", "mousemove", std::to_string(x + 5), std::to_string(y + 5),
                                         "sleep", "0.3"});
        commands.insert(commands.end(), finish.begin(), finish.end());
        ASSERT_TRUE(xserver.Xdotool(commands));
    }

    // `options` are the target's own, such as how it refuses a drop.
    void StartTarget(const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv = {"/usr/bin/python3", DropTargetScript().string(), "--x",
                                         std::to_string(kTargetX), "--y", std::to_string(kTargetY), "--width",
                                         std::to_string(kTargetWidth), "--height", std::to_string(kTargetHeight)};
        argv.insert(argv.end(), options.begin(), options.end());
        ASSERT_TRUE(target.Start(argv, {"DISPLAY=" + xserver.Name()}, true));
        const auto ready = target.ReadLine(kTargetStartTimeout);
        ASSERT_TRUE(ready && ready->starts_with("ready ")) << ready.value_or("(nothing)");
        ASSERT_EQ(std::sscanf(ready->c_str(), "ready %d %d %d %d", &targetX, &targetY, &targetWidth, &targetHeight),
                  4);
        ASSERT_GE(targetX, originX + kWindowWidth) << "the target must not cover the program's window";
    }

    std::vector<std::string> ReceivedUris(std::chrono::milliseconds firstWithin) {
        return target.ReadLinesUntilQuiet(firstWithin, 500ms);
    }

    // How wide the status line in the success colour is, once the program
    // draws again after the drag; 0 if it never shows.
    int GreenStatusWidth() {
        const auto shown = [&](const Screenshot& s) {
            return s.Count(layout.statusBar, IsSuccessGreen) >= kStatusMinimumPixels;
        };
        const Screenshot shot = program.CaptureOnce(window, shown, kScreenTimeout);
        if (!shown(shot)) return 0;
        const Rect& bar = layout.statusBar;
        for (int x = static_cast<int>(bar.x0); x < static_cast<int>(bar.x1); ++x) {
            const Rect column{static_cast<float>(x), bar.y0, static_cast<float>(x + 1), bar.y1};
            if (shot.Count(column, IsSuccessGreen) > 0) return static_cast<int>(bar.x1) - x;
        }
        return 0;
    }

    int targetX = kTargetX, targetY = kTargetY, targetWidth = kTargetWidth, targetHeight = kTargetHeight;
};

TEST_F(ProgramDragOut, DropOnAnotherApplicationHandsOverOneSecondOfTheToneAsA24BitWav) {
    StartTarget();
    const auto selection = SelectOneSecondOfTone();
    const fs::path file = StartDragOut(selection);
    ASSERT_FALSE(file.empty());
    MoveHeldPointerTo(selection, targetX + targetWidth / 2, targetY + targetHeight / 2, {"mouseup", "1"});

    const std::vector<std::string> uris = ReceivedUris(kDropTimeout);
    ASSERT_EQ(uris.size(), 1u);
    EXPECT_EQ(PathFromFileUri(uris[0]), file);
    EXPECT_EQ(file.parent_path(), SaveFolder());
    EXPECT_TRUE(file.filename().string().starts_with("Wavelift ")) << file;
    EXPECT_GT(GreenStatusWidth(), kDroppedStatusMinimumWidth) << "the status bar names the dropped file";
    EXPECT_TRUE(fs::exists(file)) << "a dropped file stays";

    const Wav24 wav = ReadWav24(file);
    ASSERT_TRUE(wav.valid) << file << " is not a 24-bit WAV";
    EXPECT_EQ(wav.format, 1);
    ASSERT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.sampleRate, static_cast<uint32_t>(kSinkRate));
    const std::vector<double> left = Channel(wav, 0), right = Channel(wav, 1);
    const double selectedFrames = samplesPerPixel * (selection.second - selection.first);
    EXPECT_NEAR(static_cast<double>(left.size()), selectedFrames, samplesPerPixel);
    EXPECT_NEAR(Peak(left), kToneAmplitude, 0.02);
    EXPECT_NEAR(Peak(right), kToneAmplitude, 0.02);
    EXPECT_NEAR(MedianPeriod(left), kSinkRate / kToneHertz, 1.5);
    EXPECT_NEAR(MedianPeriod(right), kSinkRate / kToneHertz, 1.5);

    // The press that started the drag has ended: a new press selects anew.
    const int fromX = static_cast<int>(layout.waveform.x0) + 100, toX = fromX + 200;
    DragSelect(fromX, toX);
    const Screenshot shot = WaitForSelection(fromX, toX);
    if (const char* keep = std::getenv("WAVELIFT_TEST_SCREENSHOT")) shot.Save(keep);
    EXPECT_GE(HandlePixels(shot, layout.waveform, fromX), kHandleMinimumPixels) << "new selection start";
    EXPECT_GE(HandlePixels(shot, layout.waveform, toX), kHandleMinimumPixels) << "new selection end";
    EXPECT_EQ(HandlePixels(shot, layout.waveform, selection.first), 0) << "the old selection is gone";
}

TEST_F(ProgramDragOut, ReleaseOverNoApplicationCancelsAndLeavesNoFile) {
    const auto selection = SelectOneSecondOfTone();
    const fs::path file = StartDragOut(selection);
    ASSERT_FALSE(file.empty());
    MoveHeldPointerTo(selection, kOverNothingX, kOverNothingY, {"mouseup", "1"});

    const int statusWidth = GreenStatusWidth();
    EXPECT_GT(statusWidth, 0) << "the status bar reports the end of the drag";
    EXPECT_LT(statusWidth, kCancelledStatusMaximumWidth) << "a short note, no file name";
    EXPECT_TRUE(WavFilesIn(SaveFolder()).empty());
}

// As a file manager does over the folder the file already lies in.
TEST_F(ProgramDragOut, ReleaseWhereAnApplicationRefusesTheFileKeepsItAndSaysSoInRed) {
    StartTarget({"--refuse", "right-half"});
    const auto selection = SelectOneSecondOfTone();
    const fs::path file = StartDragOut(selection);
    ASSERT_FALSE(file.empty());
    MoveHeldPointerTo(selection, targetX + targetWidth * 3 / 4, targetY + targetHeight / 2, {"mouseup", "1"});

    const auto shown = [&](const Screenshot& s) {
        return s.Count(layout.statusBar, IsErrorRed) >= kStatusMinimumPixels;
    };
    EXPECT_TRUE(shown(program.CaptureOnce(window, shown, kScreenTimeout))) << "no status in the error colour";
    EXPECT_EQ(WavFilesIn(SaveFolder()), std::vector<fs::path>{file}) << "the refused file stays";
    EXPECT_TRUE(ReceivedUris(1s).empty());
}

// As a Wayland window behind XWayland does when it turns a drop down.
TEST_F(ProgramDragOut, DropTheTargetNeverAnswersKeepsTheFileWithoutClaimingItWhileTheWindowDraws) {
    StartTarget({"--refuse", "silent"});
    const auto selection = SelectOneSecondOfTone();
    const fs::path file = StartDragOut(selection);
    ASSERT_FALSE(file.empty());
    MoveHeldPointerTo(selection, targetX + targetWidth / 2, targetY + targetHeight / 2, {"mouseup", "1"});

    const std::chrono::milliseconds gap = LongestFrameGap(kUnansweredWatch);
    RecordProperty("longestFrameGapMs", std::to_string(gap.count()));
    std::printf("longest stretch without a frame while the drop went unanswered: %lld ms\n",
                static_cast<long long>(gap.count()));
    EXPECT_LT(gap, kLongestFrameGap);
    const auto shown = [&](const Screenshot& s) {
        return s.Count(layout.statusBar, IsErrorRed) >= kStatusMinimumPixels;
    };
    EXPECT_TRUE(shown(program.CaptureOnce(window, shown, kScreenTimeout))) << "no status in the error colour";
    EXPECT_EQ(WavFilesIn(SaveFolder()), std::vector<fs::path>{file}) << "an unconfirmed drop keeps its file";
}

TEST_F(ProgramDragOut, EscapeOverATargetCancelsAndLeavesNoFile) {
    StartTarget();
    const auto selection = SelectOneSecondOfTone();
    const fs::path file = StartDragOut(selection);
    ASSERT_FALSE(file.empty());
    MoveHeldPointerTo(selection, targetX + targetWidth / 2, targetY + targetHeight / 2,
                      {"key", "Escape", "sleep", "0.2", "mouseup", "1"});

    const int statusWidth = GreenStatusWidth();
    EXPECT_GT(statusWidth, 0) << "the status bar reports the end of the drag";
    EXPECT_LT(statusWidth, kCancelledStatusMaximumWidth) << "a short note, no file name";
    EXPECT_TRUE(WavFilesIn(SaveFolder()).empty());
    EXPECT_TRUE(ReceivedUris(1s).empty());
}

}  // namespace

#endif  // WAVELIFT_PROGRAM_FILE
