#include "tests/linux/test_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace {

constexpr auto kStopGrace = std::chrono::seconds(3);

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool overridden = false;
        for (const std::string& o : overrides) overridden = overridden || o.compare(0, name.size() + 1, name + "=") == 0;
        if (!overridden) merged.push_back(text);
    }
    merged.insert(merged.end(), overrides.begin(), overrides.end());
    return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

TestChild::~TestChild() { Stop(); }

bool TestChild::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      bool captureOutput) {
    int pipeEnds[2] = {-1, -1};
    if (captureOutput && pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (captureOutput) posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    std::vector<std::string> arguments = argv;
    std::vector<std::string> env = MergedEnvironment(environment);
    const int failed =
        posix_spawn(&pid, arguments[0].c_str(), &actions, nullptr, Pointers(arguments).data(), Pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    if (captureOutput) {
        close(pipeEnds[1]);
        output = pipeEnds[0];
    }
    if (failed != 0) {
        pid = -1;
        return false;
    }
    program = argv[0];
    return true;
}

std::optional<std::string> TestChild::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const size_t newline = pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            return line;
        }
        if (output < 0) return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd readable{output, POLLIN, 0};
        if (poll(&readable, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[1024];
        const ssize_t count = read(output, chunk, sizeof chunk);
        if (count <= 0) {
            if (count < 0 && errno == EINTR) continue;
            close(output);
            output = -1;
            continue;
        }
        pending.append(chunk, static_cast<size_t>(count));
    }
}

std::vector<std::string> TestChild::ReadLinesUntilQuiet(std::chrono::milliseconds firstWithin,
                                                        std::chrono::milliseconds quiet) {
    std::vector<std::string> lines;
    auto wait = firstWithin;
    while (auto line = ReadLine(wait)) {
        lines.push_back(*line);
        wait = quiet;
    }
    return lines;
}

int TestChild::Wait(std::chrono::milliseconds limit) {
    if (pid <= 0) return -1;
    const int exitCode = WaitForExit(pid, limit, program);
    pid = -1;
    if (output >= 0) {
        close(output);
        output = -1;
    }
    return exitCode;
}

void TestChild::Stop() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
        while (waitpid(pid, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
    }
    if (output >= 0) {
        close(output);
        output = -1;
    }
}
