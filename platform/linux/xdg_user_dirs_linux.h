#pragma once
#include <filesystem>
#include <string_view>

namespace platform::linux_folders {

// The folder that a user-dirs.dirs text assigns to `key` (for example
// "XDG_MUSIC_DIR"), with a leading $HOME replaced by `home`. Empty when the
// key is missing, the value is not an absolute path, or it names the home
// folder itself (the way a folder is switched off in that file).
std::filesystem::path FindUserDir(std::string_view fileText, std::string_view key,
                                  const std::filesystem::path& home);

}  // namespace platform::linux_folders
