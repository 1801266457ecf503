#pragma once
#include <unistd.h>

#include <chrono>
#include <functional>

#include "tests/linux/child_exit.h"

// Runs `body` in a child process and waits for it: its exit code (0 when
// `body` returns), -1 when it could not start or a signal ended it, or
// kChildStillRunning when it is still running at the deadline, which only
// stops a test that would hang; the child is then killed.
inline int RunForked(const std::function<void()>& body, std::chrono::seconds deadline = std::chrono::seconds(20)) {
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    if (child < 0) return -1;
    return WaitForExit(child, deadline, "forked call");
}
