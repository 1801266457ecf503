#pragma once
#include <string>
#include <vector>

// What the program is asked to do by its arguments.
struct CommandLine {
    enum class Action { Run, Grab, Help, Version, Usage };
    Action action = Action::Run;
    // Grab: the newest seconds to save; 0 for the whole history.
    double grabSeconds = 0.0;
    // Usage: what was wrong with the arguments.
    std::string error;
};

// The arguments that follow the program's name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// "Usage: ..." with the options, each line ending in a newline.
std::string UsageText();
// "Wavelift <version>".
std::string VersionText();

// Carries out any action but Run: prints what was asked for, on standard output,
// or the trouble on standard error, and answers the exit code.
int RunCommand(const CommandLine& command);
