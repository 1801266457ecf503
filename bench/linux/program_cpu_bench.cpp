// CPU of the running program, live with a tone, against an empty Dear ImGui
// window of the same size drawn through the same renderer at the same rate,
// both on one private X server in one run. The two take turns, so that load
// from elsewhere on the machine falls on both alike.
//
//   program_cpu_bench [rounds] [seconds per measurement] [program file]
//
// The program file defaults to the program of this build; another build's
// (an earlier version, say) can be measured against the same yardstick.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/xvfb_display.h"

namespace {

constexpr char kScreen[] = "1920x1080x24";
constexpr auto kWarmUp = std::chrono::seconds(3);

// Ticks of user and system time in a /proc stat text.
long StatTicks(const std::string& text) {
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) ticks += std::stol(field);
    return ticks;
}

// CPU ticks of one process by kind of thread: its main thread, the software
// GL rasteriser's threads, and the rest (capture, sound-server client).
struct ThreadTicks {
    long main = 0, rasteriser = 0, other = 0;
    long All() const { return main + rasteriser + other; }
};

ThreadTicks ReadThreadTicks(long pid) {
    ThreadTicks ticks;
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(taskDir.c_str());
    if (!dir) return ticks;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string task = taskDir + "/" + entry->d_name;
        const long t = StatTicks(ReadText(task + "/stat"));
        if (std::to_string(pid) == entry->d_name)
            ticks.main += t;
        else if (ReadText(task + "/comm").rfind("llvmpipe", 0) == 0)
            ticks.rasteriser += t;
        else
            ticks.other += t;
    }
    closedir(dir);
    return ticks;
}

struct Sample {
    double framesPerSecond = 0, all = 0, main = 0, rasteriser = 0, other = 0;  // shares of one core
};

long Frames(const std::filesystem::path& counter) { return std::atol(ReadText(counter).c_str()); }

// Starts `file` on the display, lets it settle and measures it for `seconds`.
bool Measure(const std::string& file, const std::string& display, double seconds, Sample& out) {
    ProgramUnderTest program(file);
    if (!program.Open(display)) return false;
    const std::filesystem::path counter = program.Home() / "frames";
    if (!program.Launch({std::string("LD_PRELOAD=") + WAVELIFT_FRAME_COUNTER_FILE,
                         "WAVELIFT_TEST_FRAME_COUNT_FILE=" + counter.string()}))
        return false;
    const XWindowId window = program.WaitForWindow();
    const long pid = window ? program.ProgramPid(window) : -1;
    if (pid <= 0) {
        std::fprintf(stderr, "%s showed no window: %s\n", file.c_str(), program.ErrorText().c_str());
        return false;
    }
    std::this_thread::sleep_for(kWarmUp);
    const ThreadTicks before = ReadThreadTicks(pid);
    const long frames0 = Frames(counter);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const ThreadTicks after = ReadThreadTicks(pid);
    const long frames1 = Frames(counter);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double perTick = 1.0 / static_cast<double>(sysconf(_SC_CLK_TCK)) / elapsed;
    out.framesPerSecond = static_cast<double>(frames1 - frames0) / elapsed;
    out.main = static_cast<double>(after.main - before.main) * perTick;
    out.rasteriser = static_cast<double>(after.rasteriser - before.rasteriser) * perTick;
    out.other = static_cast<double>(after.other - before.other) * perTick;
    out.all = out.main + out.rasteriser + out.other;
    program.Stop();
    return true;
}

Sample Median(std::vector<Sample> samples) {
    Sample m;
    const auto pick = [&](double Sample::*field) {
        std::sort(samples.begin(), samples.end(), [&](const Sample& a, const Sample& b) { return a.*field < b.*field; });
        m.*field = samples[samples.size() / 2].*field;
    };
    for (double Sample::*f : {&Sample::framesPerSecond, &Sample::all, &Sample::main, &Sample::rasteriser, &Sample::other})
        pick(f);
    return m;
}

// CPU per drawn frame keeps the comparison fair when a starved program falls below the display's rate.
double MillisecondsPerFrame(const Sample& s) { return s.framesPerSecond > 0 ? s.all * 1000.0 / s.framesPerSecond : 0; }

void PrintRow(const char* name, const Sample& s) {
    std::printf("| %-28s | %8.1f | %11.0f %% | %11.0f %% | %11.0f %% | %7.0f %% | %9.2f |\n", name,
                s.framesPerSecond, s.all * 100, s.main * 100, s.rasteriser * 100, s.other * 100,
                MillisecondsPerFrame(s));
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const double seconds = argc > 2 ? std::max(1.0, std::atof(argv[2])) : 8.0;
    const std::string programFile = argc > 3 ? argv[3] : WAVELIFT_PROGRAM_FILE;

    XvfbDisplay xserver(false, kScreen);
    PulseServer sound;
    if (!xserver.Ready() || !sound.Start()) {
        std::fprintf(stderr, "cannot start the X server or the sound server\n");
        return 1;
    }
    std::vector<Sample> program, empty;
    std::vector<double> ratios, perFrameRatios;
    for (int round = 0; round < rounds; ++round) {
        // A 440 Hz tone at half scale, 48 kHz stereo, into the default sink the program records.
        sound.PlayTone(PulseServer::kFloatSink, 440.0, 0.5, 48000, 2, 2 * (seconds + 10));
        Sample p, e;
        const bool ok = Measure(programFile, xserver.Name(), seconds, p) &&
                        Measure(WAVELIFT_EMPTY_WINDOW_FILE, xserver.Name(), seconds, e);
        sound.StopPlayback();
        if (!ok) return 1;
        program.push_back(p);
        empty.push_back(e);
        ratios.push_back(p.all / e.all);
        perFrameRatios.push_back(MillisecondsPerFrame(p) / MillisecondsPerFrame(e));
        std::printf("round %d: program %.0f %% at %.1f fps, empty window %.0f %% at %.1f fps\n", round + 1,
                    p.all * 100, p.framesPerSecond, e.all * 100, e.framesPerSecond);
        std::fflush(stdout);
    }

    std::printf("Medians of %d rounds of %.0f s, 1100 x 460 window, software GL, tone at 48 kHz, 6 s history\n\n",
                rounds, seconds);
    std::printf("| %-28s | %8s | %13s | %13s | %13s | %9s | %9s |\n", "", "frames/s", "all threads", "main thread",
                "GL rasteriser", "other", "ms/frame");
    std::printf("|---|---|---|---|---|---|---|\n");
    PrintRow("Wavelift, live with a tone", Median(program));
    PrintRow("empty Dear ImGui window", Median(empty));
    const auto printRatio = [](const char* what, std::vector<double> values) {
        std::sort(values.begin(), values.end());
        std::printf("%s, program / empty window: %.2f (rounds, sorted:", what, values[values.size() / 2]);
        for (double r : values) std::printf(" %.2f", r);
        std::printf(")\n");
    };
    std::printf("\n");
    printRatio("CPU of all threads", ratios);
    printRatio("CPU per frame", perFrameRatios);
    return 0;
}
