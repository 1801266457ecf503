#include "settings/safe_file.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLinkHops = 40;
constexpr int kTemporaryNameAttempts = 16;
constexpr size_t kReadChunk = 4096;

// Where a chain of symbolic links starting at `path` ends.
fs::path LinkTarget(fs::path path) {
    std::error_code error;
    for (int hop = 0; hop < kMaxLinkHops && fs::is_symlink(fs::symlink_status(path, error)); ++hop) {
        const fs::path next = fs::read_symlink(path, error);
        if (error) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// A name beside `target` that a save of another instance is unlikely to pick at the same moment.
fs::path TemporaryName(const fs::path& target, int attempt) {
    const auto tick = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%llx-%d.tmp", tick, attempt);
    return target.parent_path() / (target.filename().native() + fs::path(suffix).native());
}

bool WriteAndFlush(std::FILE* file, std::string_view content) {
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    const bool flushed = written && platform::FlushToDisk(file);
    return std::fclose(file) == 0 && flushed;
}

}  // namespace

std::optional<std::string> ReadRegularFile(const fs::path& path, size_t mostBytes) {
    std::FILE* file = platform::OpenRegularFile(path);
    if (file == nullptr) return std::nullopt;
    std::string content;
    char chunk[kReadChunk];
    for (size_t got; content.size() <= mostBytes && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        content.append(chunk, got);
    const bool failed = std::ferror(file) != 0 || content.size() > mostBytes;
    std::fclose(file);
    if (failed) return std::nullopt;
    return content;
}

bool ReplaceFileContents(const fs::path& path, std::string_view content) {
    const fs::path target = LinkTarget(path);
    std::error_code error;
    const fs::file_type type = fs::symlink_status(target, error).type();
    if (type != fs::file_type::regular && type != fs::file_type::not_found) return false;

    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const fs::path temporary = TemporaryName(target, attempt);
        std::FILE* file = nullptr;
        const platform::NewFileResult created = platform::CreateNewFile(temporary, file);
        if (created == platform::NewFileResult::NameTaken) continue;
        if (created != platform::NewFileResult::Created) return false;
        if (WriteAndFlush(file, content) && platform::RenameOver(temporary, target)) return true;
        fs::remove(temporary, error);
        return false;
    }
    return false;
}
