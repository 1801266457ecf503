#pragma once
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/linux/child_exit.h"

// A helper program run by a test as its own child: started without a shell,
// optionally with its standard output readable line by line, and always
// stopped and reaped by the end of the test.
class TestChild {
public:
    TestChild() = default;
    ~TestChild();
    TestChild(const TestChild&) = delete;
    TestChild& operator=(const TestChild&) = delete;

    // `argv[0]` is a full path. `environment` entries ("NAME=value") override
    // this process's own.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {},
               bool captureOutput = false);
    // The next line of standard output without its newline; nothing on timeout or end of output.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout);
    // Every line until the output stays quiet: the first may take `firstWithin`,
    // each further one `quiet`.
    std::vector<std::string> ReadLinesUntilQuiet(std::chrono::milliseconds firstWithin,
                                                 std::chrono::milliseconds quiet);
    // Waits up to `limit` for the exit: the exit code, -1 if a signal ended it,
    // or kChildStillRunning if it had not ended by then (it is then killed).
    int Wait(std::chrono::milliseconds limit);
    // SIGTERM, a grace period, then SIGKILL; reaps.
    void Stop();
    bool Running() const { return pid > 0; }

private:
    pid_t pid = -1;
    std::string program;  // what a wait that ran out names
    int output = -1;
    std::string pending;
};
