#pragma once
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

// What WaitForExit answers for a child that was still running at its deadline.
constexpr int kChildStillRunning = -2;

// Waits up to `limit` for `child` to end and reaps it: its exit code, or -1 when
// a signal ended it. A child still running at the deadline is killed and reaped,
// a line on standard error names it by `what`, and the answer is kChildStillRunning,
// so that a hang fails the test that waited instead of stalling the run.
inline int WaitForExit(pid_t child, std::chrono::milliseconds limit, const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (ended < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::fprintf(stderr, "%s (pid %d) had not ended after %lld ms; killed\n", what.c_str(), static_cast<int>(child),
                 static_cast<long long>(limit.count()));
    kill(child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return kChildStillRunning;
}
