#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "platform/linux/xdg_user_dirs_linux.h"
#include "platform/platform.h"

namespace platform {
namespace {

constexpr char kSystemFontFolder[] = "/usr/share/fonts";

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return {};
    std::filesystem::path path(value);
    return path.is_absolute() ? path : std::filesystem::path();
}

std::filesystem::path HomeFolder() {
    std::filesystem::path home = AbsoluteFromEnvironment("HOME");
    if (!home.empty()) return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        home = entry->pw_dir;
    }
    return home.is_absolute() ? home : std::filesystem::path();
}

std::filesystem::path ConfigFolder(const std::filesystem::path& home) {
    std::filesystem::path config = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
    if (!config.empty() || home.empty()) return config;
    return home / ".config";
}

// The user's own name for the folder, or `fallbackName` under the home folder.
std::filesystem::path UserFolder(const char* key, const char* fallbackName) {
    const std::filesystem::path home = HomeFolder();
    if (home.empty()) return {};
    const std::filesystem::path config = ConfigFolder(home);
    std::ifstream file(config / "user-dirs.dirs", std::ios::binary);
    if (file.is_open()) {
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::filesystem::path chosen = linux_folders::FindUserDir(text, key, home);
        if (!chosen.empty()) return chosen;
    }
    return home / fallbackName;
}

std::filesystem::path Created(const std::filesystem::path& folder) {
    if (folder.empty()) return {};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error) ? folder : std::filesystem::path();
}

}  // namespace

std::filesystem::path GetKnownFolderPath(KnownFolder folder) {
    switch (folder) {
        case KnownFolder::Music: return Created(UserFolder("XDG_MUSIC_DIR", "Music"));
        case KnownFolder::Documents: return Created(UserFolder("XDG_DOCUMENTS_DIR", "Documents"));
        case KnownFolder::RoamingAppData: return Created(ConfigFolder(HomeFolder()));
        case KnownFolder::Fonts: {
            // A system folder: found, never created.
            std::error_code error;
            return std::filesystem::is_directory(kSystemFontFolder, error) ? std::filesystem::path(kSystemFontFolder)
                                                                           : std::filesystem::path();
        }
    }
    return {};
}

}  // namespace platform
