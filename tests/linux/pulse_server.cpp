#include "tests/linux/pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <sstream>
#include <thread>

#include "tests/linux/child_exit.h"

extern char** environ;

namespace {
constexpr std::chrono::seconds kStartTimeout{10};
constexpr std::chrono::milliseconds kStartPoll{20};
constexpr std::chrono::seconds kStopTimeout{10};
// A client of a server that stopped answering gives up long before this.
constexpr std::chrono::seconds kClientTimeout{30};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

PulseServer::PulseServer() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wavelift-pulse-XXXXXX").string();
    if (mkdtemp(pattern.data())) dir = pattern;
    socketPath = (dir / "native").string();
    address = "unix:" + socketPath;
    std::filesystem::create_directories(dir / "home");
    std::ofstream(dir / "client.conf") << "autospawn = no\n";
    setenv("PULSE_SERVER", address.c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (dir / "client.conf").c_str(), 1);
    setenv("PULSE_COOKIE", (dir / "cookie").c_str(), 1);
}

PulseServer::~PulseServer() {
    StopPlayback();
    Stop();
    std::error_code ignored;
    if (!dir.empty()) std::filesystem::remove_all(dir, ignored);
}

bool PulseServer::Start() {
    if (pid > 0) return true;
    const std::string script = (dir / "server.pa").string();
    std::ofstream(script)
        << "load-module module-native-protocol-unix auth-anonymous=1 socket=" << socketPath << "\n"
        << "load-module module-null-sink sink_name=" << kFloatSink << " rate=48000 format=float32le channels=2"
        << " sink_properties=\"device.description='" << kFloatSinkName << "'\"\n"
        << "load-module module-null-sink sink_name=" << kShortSink << " rate=44100 format=s16le channels=2"
        << " sink_properties=\"device.description='" << kShortSinkName << "'\"\n"
        << "load-module module-null-sink sink_name=" << kMonoSink << " rate=48000 format=s16le channels=1"
        << " channel_map=mono sink_properties=\"device.description='" << kMonoSinkName << "'\"\n"
        << "set-default-sink " << kFloatSink << "\n";
    const std::string root = dir.string();
    const std::vector<std::string> env = {
        "PATH=/usr/bin:/bin",         "HOME=" + root + "/home",
        "XDG_RUNTIME_DIR=" + root,    "XDG_CONFIG_HOME=" + root + "/config",
        "PULSE_RUNTIME_PATH=" + root + "/runtime", "PULSE_STATE_PATH=" + root + "/state",
    };
    pid = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit", "--use-pid-file=no",
                 "--log-target=stderr", "-F", script},
                env, (dir / "daemon.log").string());
    if (pid <= 0) return false;

    const auto giveUp = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < giveUp) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return false;
        }
        if (Pactl("info") == 0) {
            for (const char* sink : {kFloatSink, kShortSink, kMonoSink}) Prime(sink);
            return true;
        }
        std::this_thread::sleep_for(kStartPoll);
    }
    Kill();
    return false;
}

void PulseServer::Stop() { EndDaemon(SIGTERM); }

void PulseServer::Kill() { EndDaemon(SIGKILL); }

void PulseServer::EndDaemon(int signal) {
    EndChildren(primers);
    if (pid <= 0) return;
    if (frozen) Thaw();
    kill(pid, signal);
    WaitForExit(pid, kStopTimeout, "sound server");
    pid = -1;
}

void PulseServer::Freeze() {
    if (pid > 0 && kill(pid, SIGSTOP) == 0) frozen = true;
}

void PulseServer::Thaw() {
    if (pid > 0 && frozen) kill(pid, SIGCONT);
    frozen = false;
}

int PulseServer::Pactl(const std::string& arguments) const {
    std::istringstream words(arguments);
    std::vector<std::string> argv = {"pactl"};
    for (std::string word; words >> word;) argv.push_back(word);
    const pid_t child = Spawn(argv, ClientEnvironment(), (dir / "pactl.out").string());
    return child > 0 ? WaitForExit(child, kClientTimeout, "pactl " + arguments) : -1;
}

std::string PulseServer::PactlOutput(const std::string& arguments) const {
    if (Pactl(arguments) != 0) return {};
    return ReadFile(dir / "pactl.out");
}

int PulseServer::LoadNullSink(const std::string& sinkName, const std::string& description) {
    const std::string index = PactlOutput("load-module module-null-sink sink_name=" + sinkName +
                                          " rate=48000 format=float32le channels=2 sink_properties=device.description=" +
                                          description);
    if (index.empty()) return -1;
    Prime(sinkName);
    return std::atoi(index.c_str());
}

void PulseServer::PlayTone(const std::string& sinkName, double hertz, double amplitude, int rate, int channels,
                           double seconds) {
    Play(sinkName, rate, channels, static_cast<long>(seconds * rate), [=](long i) {
        return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hertz * static_cast<double>(i) / rate));
    });
}

void PulseServer::PlayLevel(const std::string& sinkName, float level, int rate, int channels, long frames) {
    Play(sinkName, rate, channels, frames, [level](long) { return level; });
}

void PulseServer::Play(const std::string& sinkName, int rate, int channels, long frames,
                       const std::function<float(long frame)>& sampleAt) {
    const auto path = dir / ("tone" + std::to_string(toneCount++) + ".raw");
    {
        std::ofstream out(path, std::ios::binary);
        for (long i = 0; i < frames; ++i) {
            const float sample = sampleAt(i);
            for (int c = 0; c < channels; ++c) out.write(reinterpret_cast<const char*>(&sample), sizeof sample);
        }
    }
    const pid_t player = Spawn({"pacat", "--playback", "--raw", "--device=" + sinkName, "--format=float32le",
                                "--rate=" + std::to_string(rate), "--channels=" + std::to_string(channels),
                                "--latency-msec=20", path.string()},
                               ClientEnvironment(), (dir / "pacat.log").string());
    if (player > 0) players.push_back(player);
}

void PulseServer::StopPlayback() { EndChildren(players); }

// An idle null sink runs on long blocks and notices a new low-latency reader
// only when the current block ends; a standing low-latency reader keeps every
// sink ticking in small steps, the way a sound card would.
void PulseServer::Prime(const std::string& sinkName) {
    const pid_t reader = Spawn({"parec", "--raw", "--latency-msec=10", "--device=" + sinkName + ".monitor"},
                               ClientEnvironment(), "/dev/null");
    if (reader <= 0) return;
    // Readers of sinks unloaded since have ended; forget them.
    std::erase_if(primers, [](pid_t child) { return waitpid(child, nullptr, WNOHANG) == child; });
    primers.push_back(reader);
    // Once the reader is attached, a suspend and resume ends the long block the
    // sink is in, so it switches to small steps at once.
    const auto giveUp = std::chrono::steady_clock::now() + kStartTimeout;
    const auto readers = [this] {
        const std::string list = PactlOutput("list short source-outputs");
        return static_cast<size_t>(std::count(list.begin(), list.end(), '\n'));
    };
    while (readers() < primers.size() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(kStartPoll);
    Pactl("suspend-sink " + sinkName + " 1");
    Pactl("suspend-sink " + sinkName + " 0");
}

void PulseServer::EndChildren(std::vector<pid_t>& children) {
    for (pid_t child : children) {
        kill(child, SIGKILL);
        WaitForExit(child, kStopTimeout, "sound client");
    }
    children.clear();
}

std::string PulseServer::DaemonLog() const { return ReadFile(dir / "daemon.log"); }

std::vector<std::string> PulseServer::ClientEnvironment() const {
    std::vector<std::string> env;
    for (char** entry = environ; *entry; ++entry) env.emplace_back(*entry);
    return env;
}

pid_t PulseServer::Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& outputFile) const {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    // The children die with the test process, even when it crashes or is
    // killed on a timeout, so no server outlives its test.
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child != 0) return child;
    // In the child only async-signal-safe calls until exec.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    const int input = open("/dev/null", O_RDONLY);
    const int output = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (input < 0 || output < 0) _exit(127);
    dup2(input, STDIN_FILENO);
    dup2(output, STDOUT_FILENO);
    dup2(output, STDERR_FILENO);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
}
