#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define WAVELIFT_GETPID _getpid
#else
#include <unistd.h>
#define WAVELIFT_GETPID getpid
#endif

TempDir::TempDir(const std::string& prefix) {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = std::filesystem::temp_directory_path() /
          (prefix + "-" + std::to_string(WAVELIFT_GETPID()) + "-" + std::to_string(stamp) + "-" +
           std::to_string(counter++));
    std::filesystem::create_directories(dir);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir, ec);
}
