#include "app/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/platform.h"
#include "settings/settings.h"

namespace {

constexpr double kShortestGrab = 0.1;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A plain decimal number of seconds within what a history can hold.
bool ParseSeconds(const std::string& text, double& seconds) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(seconds) && seconds >= kShortestGrab &&
           seconds <= kMaxBufferSeconds;
}

CommandLine Usage(std::string error) {
    CommandLine command;
    command.action = CommandLine::Action::Usage;
    command.error = std::move(error);
    return command;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine command;
    if (args.empty()) return command;
    const std::string& option = args[0];
    if (args.size() == 1 && (option == "--help" || option == "-h")) command.action = CommandLine::Action::Help;
    else if (args.size() == 1 && option == "--version") command.action = CommandLine::Action::Version;
    else if (option == "--grab" && args.size() <= 2) {
        command.action = CommandLine::Action::Grab;
        if (args.size() == 2 && !ParseSeconds(args[1], command.grabSeconds))
            return Usage("SECONDS must be a number from 0.1 to " + std::to_string(kMaxBufferSeconds) + ": " + args[1]);
    } else {
        return Usage("unexpected argument: " + (option == "--grab" ? args.back() : option));
    }
    return command;
}

std::string UsageText() {
    return "Usage: wavelift [--grab [SECONDS] | --help | --version]\n"
           "Keeps the last seconds of what the computer plays, ready to save as a WAV file.\n"
           "\n"
           "  --grab [SECONDS]  ask the running Wavelift to save the newest SECONDS of audio\n"
           "                    (0.1 to its history length; default: all of it) and print\n"
           "                    the saved file's path\n"
           "  --help            show this help\n"
           "  --version         show the version\n";
}

std::string VersionText() { return std::string("Wavelift ") + WAVELIFT_VERSION; }

int RunCommand(const CommandLine& command) {
    switch (command.action) {
        case CommandLine::Action::Help:
            std::fputs(UsageText().c_str(), stdout);
            return 0;
        case CommandLine::Action::Version:
            std::printf("%s\n", VersionText().c_str());
            return 0;
        case CommandLine::Action::Grab: {
            const platform::GrabReply reply = platform::RequestGrabFromRunningProgram(command.grabSeconds);
            if (reply.path.empty()) {
                std::fprintf(stderr, "%s\n", reply.error.c_str());
                return kExitFailed;
            }
            std::printf("%s\n", reply.path.c_str());
            return 0;
        }
        case CommandLine::Action::Usage:
        case CommandLine::Action::Run:
            break;
    }
    std::fprintf(stderr, "wavelift: %s\n%s", command.error.c_str(), UsageText().c_str());
    return kExitUsage;
}
