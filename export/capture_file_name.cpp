#include "export/capture_file_name.h"

#include <ctime>
#include <system_error>
#include <utility>

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

// The name itself counts, not what a link points at. A path whose status
// cannot be read counts as free: creating the file then decides.
bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(path, error)) && !error;
}

}  // namespace

CaptureFileNames::CaptureFileNames(std::filesystem::path folder)
    : folder(std::move(folder)), baseName(LocalTimeBaseName()) {}

std::filesystem::path CaptureFileNames::Candidate(long long n) const {
    if (n == 1) return folder / (baseName + ".wav");
    return folder / (baseName + " (" + std::to_string(n) + ").wav");
}

std::filesystem::path CaptureFileNames::NextFree() {
    std::filesystem::path candidate = Candidate(next++);
    while (Exists(candidate)) candidate = Candidate(next++);
    return candidate;
}

std::filesystem::path MakeCaptureFilePath(const std::filesystem::path& saveFolder) {
    return CaptureFileNames(saveFolder).NextFree();
}
