#include "platform/linux/xdg_user_dirs_linux.h"

#include <optional>
#include <string>

namespace platform::linux_folders {
namespace {

constexpr std::string_view kHomeVariable = "$HOME";
constexpr std::string_view kBlanks = " \t\r";

std::string_view TrimLeft(std::string_view text) {
    const size_t start = text.find_first_not_of(kBlanks);
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

// The text between the double quotes, with shell backslash escapes undone;
// nothing when the quotes are not closed.
std::optional<std::string> Unquote(std::string_view value) {
    if (value.empty() || value.front() != '"') return std::nullopt;
    std::string text;
    for (size_t i = 1; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') return text;
        if (c == '\\' && i + 1 < value.size()) {
            text += value[++i];
        } else {
            text += c;
        }
    }
    return std::nullopt;
}

std::filesystem::path Expand(const std::string& value, const std::filesystem::path& home) {
    if (value.compare(0, kHomeVariable.size(), kHomeVariable) == 0) {
        const std::string rest = value.substr(kHomeVariable.size());
        if (!rest.empty() && rest.front() != '/') return {};  // $HOMEWORK is not $HOME
        const std::filesystem::path relative = std::filesystem::path(rest).relative_path();
        return relative.empty() ? home : home / relative;
    }
    return std::filesystem::path(value);
}

}  // namespace

std::filesystem::path FindUserDir(std::string_view fileText, std::string_view key,
                                  const std::filesystem::path& home) {
    std::filesystem::path found;
    while (!fileText.empty()) {
        const size_t end = fileText.find('\n');
        std::string_view line = TrimLeft(fileText.substr(0, end));
        fileText = end == std::string_view::npos ? std::string_view() : fileText.substr(end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.substr(0, key.size()) != key || line.substr(key.size(), 1) != "=") continue;
        const std::optional<std::string> value = Unquote(line.substr(key.size() + 1));
        if (!value) continue;
        // Later assignments win, as when the file is sourced by a shell.
        found = Expand(*value, home);
    }
    if (!found.is_absolute()) return {};
    if (found.lexically_normal() == home.lexically_normal() ||
        found.lexically_normal() == (home / "").lexically_normal()) {
        return {};
    }
    return found;
}

}  // namespace platform::linux_folders
