#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/linux/regular_file_linux.h"

namespace platform {
namespace {

// A renamed entry survives a crash only once its folder is on the disk too.
void FlushFolder(const std::filesystem::path& entry) {
    const std::filesystem::path folder = entry.has_parent_path() ? entry.parent_path() : ".";
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

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
    if (rename(from.c_str(), to.c_str()) != 0) return false;
    FlushFolder(to);
    return true;
}

MoveResult MoveToFreeName(const std::filesystem::path& from, const std::filesystem::path& to) {
    // A second name and then the first one dropped: link() fails on any existing
    // name, where rename() would replace it. It names a symbolic link itself.
    if (link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? MoveResult::NameTaken : MoveResult::Failed;
    if (unlink(from.c_str()) != 0) {
        unlink(to.c_str());
        return MoveResult::Failed;
    }
    FlushFolder(to);
    return MoveResult::Moved;
}

bool MayReplaceFile(const std::filesystem::path& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT;
    // The mode bits, not access(): a user with every right still marks a file read-only this way.
    return info.st_uid == geteuid() && (info.st_mode & S_IWUSR) != 0;
}

}  // namespace platform
