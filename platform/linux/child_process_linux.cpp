#include "platform/linux/child_process_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>

extern char** environ;

namespace platform::desktop {

namespace {

std::vector<char*> ArgumentPointers(const std::vector<std::string>& argv) {
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::optional<std::filesystem::path> FindProgram(std::string_view name) {
    const char* searchPath = std::getenv("PATH");
    if (searchPath == nullptr || name.empty()) return std::nullopt;
    const std::string_view folders(searchPath);
    size_t begin = 0;
    while (begin <= folders.size()) {
        size_t end = folders.find(':', begin);
        if (end == std::string_view::npos) end = folders.size();
        const std::string_view folder = folders.substr(begin, end - begin);
        if (!folder.empty()) {
            const std::filesystem::path candidate = std::filesystem::path(folder) / name;
            std::error_code error;
            if (std::filesystem::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        begin = end + 1;
    }
    return std::nullopt;
}

bool LaunchDetached(const std::vector<std::string>& argv) {
    if (argv.empty()) return false;
    std::vector<char*> arguments = ArgumentPointers(argv);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0].c_str(), nullptr, nullptr, arguments.data(), environ) != 0) return false;
    try {
        std::thread([pid] { WaitForExit(pid); }).detach();
    } catch (const std::system_error&) {
        // The program runs all the same; without a thread to wait for it, it stays unreaped.
    }
    return true;
}

std::optional<ProgramOutput> RunForOutput(const std::vector<std::string>& argv, const std::function<bool()>& abandon,
                                          int pollMilliseconds) {
    if (argv.empty()) return std::nullopt;
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) return std::nullopt;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    std::vector<char*> arguments = ArgumentPointers(argv);
    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawnError != 0) {
        close(pipeEnds[0]);
        return std::nullopt;
    }

    ProgramOutput result;
    bool abandoned = false;
    char chunk[4096];
    for (;;) {
        pollfd output{pipeEnds[0], POLLIN, 0};
        const int ready = poll(&output, 1, pollMilliseconds);
        if (ready == 0 || (ready < 0 && errno == EINTR)) {
            if (abandon && abandon()) {
                kill(pid, SIGKILL);
                abandoned = true;
                break;
            }
            continue;
        }
        const ssize_t count = read(pipeEnds[0], chunk, sizeof chunk);
        if (count > 0) {
            result.standardOutput.append(chunk, static_cast<size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(pipeEnds[0]);
    result.exitCode = WaitForExit(pid);
    if (abandoned) return std::nullopt;
    return result;
}

}  // namespace platform::desktop
