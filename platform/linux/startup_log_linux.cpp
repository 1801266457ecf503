// The switch is the file "Brightmoor/logging" in the user's configuration folder;
// the log is "<program>.startup.log" in the temporary folder.
#include "platform/startup_log.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/linux/regular_file_linux.h"

namespace {

// The switch is read as at most this many bytes.
constexpr size_t kSwitchReadLimit = 16;
constexpr size_t kTimestampSize = 64;

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config";
    return {};
}

bool LoggingSwitchedOn() {
    const std::string folder = ConfigFolder();
    if (folder.empty()) return false;
    const std::string path = folder + "/Brightmoor/logging";
    if (path.size() >= PATH_MAX) return false;
    const int fd = platform::desktop::OpenRegularDescriptor(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    char content[kSwitchReadLimit];
    const ssize_t length = read(fd, content, sizeof(content));
    close(fd);
    return length == 1 && content[0] == '1';
}

std::string ProgramFileName() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return {};
    const std::string path(buffer, static_cast<size_t>(length));
    return path.substr(path.find_last_of('/') + 1);
}

std::string LogFilePath() {
    const std::string program = ProgramFileName();
    if (program.empty()) return {};
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = (tmp && tmp[0] == '/') ? tmp : "/tmp";
    const std::string path = folder + "/" + program + ".startup.log";
    return path.size() < PATH_MAX ? path : std::string();
}

std::string LinePrefix() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char prefix[kTimestampSize];
    std::snprintf(prefix, sizeof(prefix), "%04u-%02u-%02uT%02u:%02u:%02uZ pid=%lu ", unsigned(utc.tm_year + 1900),
                  unsigned(utc.tm_mon + 1), unsigned(utc.tm_mday), unsigned(utc.tm_hour), unsigned(utc.tm_min),
                  unsigned(utc.tm_sec), static_cast<unsigned long>(getpid()));
    return prefix;
}

}  // namespace

void platform::WriteStartupLog(const char* message) {
    if (!message || !LoggingSwitchedOn()) return;
    const std::string path = LogFilePath();
    if (path.empty()) return;
    // Never follow a link, never wait on a FIFO: anyone can make either in the shared temporary folder.
    const int fd =
        platform::desktop::OpenRegularDescriptor(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, 0600);
    if (fd < 0) return;
    const std::string line = LinePrefix() + message + "\n";
    // One write per line, so lines of concurrent start-ups never interleave.
    const ssize_t written = write(fd, line.data(), line.size());
    (void)written;  // a failed line is dropped
    close(fd);
}
