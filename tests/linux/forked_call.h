#pragma once
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

// Runs `body` in a child process and waits for it: its exit code (0 when
// `body` returns), or -1 when it is still running at the deadline, which only
// stops a test that would hang; the child is then killed.
inline int RunForked(const std::function<void()>& body, std::chrono::seconds deadline = std::chrono::seconds(20)) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    if (child < 0) return -1;
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= end) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
