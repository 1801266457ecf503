#include "platform/linux/regular_file_linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::desktop {

int OpenRegularDescriptor(const char* path, int flags, mode_t mode) {
    // Non-blocking: opening a FIFO would otherwise wait for the other end.
    const int fd = open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) return fd;
    close(fd);
    return -1;
}

}  // namespace platform::desktop
