// Time from starting `wavelift --grab` to the saved file's path printed, with
// the running program at 10 s of history and 192 kHz and a tone playing: the
// median of a number of runs. A private session bus, X server and sound server,
// started with the end-to-end tests' fixtures.
//
//   grab_latency_bench [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/linux/private_session_bus.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kSink[] = "wl_192k";
constexpr int kRate = 192000;
constexpr int kHistorySeconds = 10;

int Fail(const std::string& what) {
    std::fprintf(stderr, "grab_latency_bench: %s\n", what.c_str());
    return 1;
}

// The printed path and the time until it was printed, in milliseconds; an empty path on failure.
std::pair<std::string, double> TimedGrab() {
    TestChild command;
    const auto began = Clock::now();
    if (!command.Start({WAVELIFT_PROGRAM_FILE, "--grab"}, {}, true)) return {};
    const std::string path = command.ReadLine(std::chrono::seconds(20)).value_or("");
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    return {command.Wait(std::chrono::seconds(20)) == 0 ? path : std::string(), ms};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    ScratchDir folder;
    PrivateSessionBus bus{folder.path()};
    XvfbDisplay xserver{false, "1280x800x24"};
    PulseServer sound;
    ProgramUnderTest program{WAVELIFT_PROGRAM_FILE};
    if (!bus.Ready() || !xserver.Ready() || !sound.Start() || !program.Open(xserver.Name()))
        return Fail("cannot start the private servers");
    sound.Pactl(std::string("load-module module-null-sink sink_name=") + kSink + " rate=" + std::to_string(kRate) +
                " format=float32le channels=2");
    sound.Pactl(std::string("set-default-sink ") + kSink);
    std::filesystem::create_directories(program.ConfigHome() / "Wavelift");
    std::ofstream(program.ConfigHome() / "Wavelift" / "settings.json")
        << "{\"bufferSeconds\": " << kHistorySeconds << "}";
    sound.PlayTone(kSink, 440.0, 0.5, kRate, 2, 600.0);
    if (!program.Launch() || program.WaitForWindow() == 0) return Fail("the program did not start");

    // Until the history is full: each file then holds 10 s at 192 kHz, 11.5 MB.
    const uintmax_t fullSize = 44 + uintmax_t{kRate} * kHistorySeconds * 6;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (;;) {
        const std::string path = TimedGrab().first;
        std::error_code error;
        const bool full = !path.empty() && std::filesystem::file_size(path, error) >= fullSize;
        if (!path.empty()) std::filesystem::remove(path, error);
        if (full) break;
        if (Clock::now() > deadline) return Fail("the history did not fill: " + program.ErrorText());
    }

    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto [path, ms] = TimedGrab();
        if (path.empty()) return Fail("a grab failed: " + program.ErrorText());
        times.push_back(ms);
        std::error_code error;
        std::filesystem::remove(path, error);
    }
    std::sort(times.begin(), times.end());
    std::printf("grab of %d s at %d Hz, %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n", kHistorySeconds, kRate,
                runs, times[times.size() / 2], times.front(), times.back());
    program.Stop();
    return 0;
}
