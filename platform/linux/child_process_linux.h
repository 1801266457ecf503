#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::desktop {

// The program's full path when an executable of that name is on PATH.
std::optional<std::filesystem::path> FindProgram(std::string_view name);

// Starts a program without a shell and without waiting for it; it is reaped in
// the background. `argv[0]` is the program's full path. False if it could not start.
bool LaunchDetached(const std::vector<std::string>& argv);

struct ProgramOutput {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string standardOutput;
};

// Runs a program without a shell, collects what it writes to standard output
// and waits for it. While it runs, `abandon` is asked at least every
// `pollMilliseconds`; once it answers true the program is killed. Nothing if it
// could not start or was abandoned.
std::optional<ProgramOutput> RunForOutput(const std::vector<std::string>& argv, const std::function<bool()>& abandon,
                                          int pollMilliseconds);

}  // namespace platform::desktop
