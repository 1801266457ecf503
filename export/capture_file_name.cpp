#include "export/capture_file_name.h"

#include <ctime>
#include <string>
#include <system_error>

namespace {

constexpr char kBaseNamePattern[] = "Wavelift %Y-%m-%d %H-%M-%S";
constexpr size_t kBaseNameBufferSize = 64;

std::string LocalTimeBaseName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char buffer[kBaseNameBufferSize] = {};
    std::strftime(buffer, sizeof buffer, kBaseNamePattern, &local);
    return buffer;
}

// A path whose status cannot be read counts as free, so it is taken.
bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error) && !error;
}

}  // namespace

std::filesystem::path MakeCaptureFilePath(const std::filesystem::path& saveFolder) {
    const std::string baseName = LocalTimeBaseName();
    std::filesystem::path candidate = saveFolder / (baseName + ".wav");
    for (long long n = 2; Exists(candidate); ++n) {
        candidate = saveFolder / (baseName + " (" + std::to_string(n) + ").wav");
    }
    return candidate;
}
