#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/regular_file_linux.h"

namespace platform {

NewFileResult CreateNewFile(const std::filesystem::path& path, std::FILE*& file) {
    // O_EXCL fails on any existing name, a symbolic link included, wherever it points.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return errno == EEXIST ? NewFileResult::NameTaken : NewFileResult::Failed;
    file = fdopen(fd, "wb");
    if (file != nullptr) return NewFileResult::Created;
    close(fd);
    unlink(path.c_str());
    return NewFileResult::Failed;
}

std::FILE* OpenRegularFile(const std::filesystem::path& path) {
    const int fd = desktop::OpenRegularDescriptor(path.c_str(), O_RDONLY);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "r");
    if (file == nullptr) close(fd);
    return file;
}

bool FlushToDisk(std::FILE* file) { return std::fflush(file) == 0 && fsync(fileno(file)) == 0; }

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    struct stat previous {};
    if (stat(to.c_str(), &previous) == 0) chmod(from.c_str(), previous.st_mode & 07777);
    return rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace platform
