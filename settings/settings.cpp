#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "platform/startup_log.h"
#include "platform/files.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "settings/safe_file.h"

namespace {

using Json = nlohmann::json;

constexpr char kProductFolder[] = "Wavelift";
constexpr char kSettingsFileName[] = "settings.json";
constexpr int kIndent = 2;
// The file holds four short members; a far larger one is not read at all.
constexpr size_t kMostSettingsBytes = 1 << 20;
// Earlier files set aside are kept; past this many, saving gives up.
constexpr int kSetAsideNames = 100;
// The system's own line breaks, as a text-mode stream writes them.
#ifdef _WIN32
constexpr char kLineBreak[] = "\r\n";
#else
constexpr char kLineBreak[] = "\n";
#endif

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();

// Any JSON number or boolean, saturated to 32 bits: a value too large for the
// type must count as large, not wrap around or be undefined.
int32_t ReadSeconds(const Json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (value.is_number_unsigned()) {
        return static_cast<int32_t>(std::min<uint64_t>(value.get<uint64_t>(), static_cast<uint64_t>(kInt32Max)));
    }
    if (value.is_number_integer()) return static_cast<int32_t>(std::clamp(value.get<int64_t>(), kInt32Min, kInt32Max));
    if (value.is_number_float()) {
        const double whole = std::trunc(value.get<double>());
        if (std::isnan(whole)) return 0;
        return static_cast<int32_t>(std::clamp(whole, static_cast<double>(kInt32Min), static_cast<double>(kInt32Max)));
    }
    throw std::invalid_argument("bufferSeconds is neither a number nor a boolean");
}

std::filesystem::path SettingsFilePath() { return GetSettingsFolder() / kSettingsFileName; }

// What the last LoadSettings found, for the saves that follow it.
struct FileFound {
    std::filesystem::path path;
    bool unreadable = false;  // a file there that did not read: set aside before the first save
    bool replaceable = true;  // false for a read-only or foreign file, never replaced
};
FileFound found;

// A regular file (a link to one included) that the user might want back.
bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// Renames the settings file (a link itself, not where it leads) beside itself
// under the first free name of "settings.json.unreadable", ".unreadable.2", ...
bool SetAside(const std::filesystem::path& path) {
    for (int number = 1; number <= kSetAsideNames; ++number) {
        std::filesystem::path aside = path;
        aside += ".unreadable";
        if (number > 1) aside += "." + std::to_string(number);
        switch (platform::MoveToFreeName(path, aside)) {
            case platform::MoveResult::Moved:
                platform::WriteStartupLog(("Settings file could not be read; kept as " + PathToUtf8(aside)).c_str());
                return true;
            case platform::MoveResult::NameTaken: continue;
            case platform::MoveResult::Failed: break;
        }
        break;
    }
    platform::WriteStartupLog("Settings file could not be read nor set aside; changes will not be kept");
    return false;
}

}  // namespace

namespace {

// Reads the members over `settings`; false when the text or a member could not be read.
bool ParseInto(std::istream& in, Settings& settings) {
    try {
        const Json value = Json::parse(in);
        if (!value.is_object()) return false;
        if (value.contains("saveFolder")) settings.saveFolder = Utf8ToPath(value.at("saveFolder").get<std::string>());
        settings.deviceId = value.contains("deviceId") ? value.at("deviceId").get<std::string>() : std::string();
        if (value.contains("bufferSeconds")) settings.bufferSeconds = ReadSeconds(value.at("bufferSeconds"));
        settings.alwaysOnTop = value.contains("alwaysOnTop") ? value.at("alwaysOnTop").get<bool>() : false;
        return true;
    } catch (const std::exception&) {
        // Members read before the failure stay; the rest keep their defaults.
        return false;
    }
}

}  // namespace

Settings ParseSettings(std::istream& in, Settings defaults) {
    Settings settings = std::move(defaults);
    ParseInto(in, settings);
    return settings;
}

Settings LimitSettings(Settings settings, const std::filesystem::path& defaultSaveFolder) {
    settings.bufferSeconds = std::clamp(settings.bufferSeconds, kMinBufferSeconds, kMaxBufferSeconds);
    if (settings.saveFolder.empty()) {
        settings.saveFolder = defaultSaveFolder.empty() ? GetDefaultSaveFolder() : defaultSaveFolder;
    }
    return settings;
}

Settings ReadSettings(std::istream& in, const Settings& defaults) {
    return LimitSettings(ParseSettings(in, defaults), defaults.saveFolder);
}

Settings LoadSettings() {
    Settings defaults;
    defaults.saveFolder = GetDefaultSaveFolder();
    const std::filesystem::path path = SettingsFilePath();
    found = {path};
    found.replaceable = platform::MayReplaceFile(path);
    if (!found.replaceable) platform::WriteStartupLog("Settings file is read-only or another user's; changes will not be kept");

    Settings settings = defaults;
    const std::optional<std::string> text = ReadRegularFile(path, kMostSettingsBytes);
    std::istringstream in(text.value_or(std::string()));
    // An empty file holds nothing worth keeping.
    found.unreadable = !(text && (text->empty() || ParseInto(in, settings))) && IsRegularFile(path);
    return LimitSettings(settings, defaults.saveFolder);
}

bool SettingsChangesKept() { return found.replaceable; }

std::string FormatSettings(const std::filesystem::path& saveFolder, const std::string& deviceId,
                           int32_t bufferSeconds, bool alwaysOnTop) {
    Json object = Json::object();
    object["saveFolder"] = PathToUtf8(saveFolder);
    object["deviceId"] = deviceId;
    object["bufferSeconds"] = bufferSeconds;
    object["alwaysOnTop"] = alwaysOnTop;
    // Text that is not valid UTF-8 must not cost the other settings their save.
    return object.dump(kIndent, ' ', false, Json::error_handler_t::replace);
}

void SaveSettings(const std::filesystem::path& saveFolder, const std::string& deviceId, int32_t bufferSeconds,
                  bool alwaysOnTop) {
    try {
        std::string text;
        for (const char c : FormatSettings(saveFolder, deviceId, bufferSeconds, alwaysOnTop)) {
            if (c == '\n')
                text += kLineBreak;
            else
                text += c;
        }
        const std::filesystem::path path = SettingsFilePath();
        if (path != found.path) found = {path};
        if (!found.replaceable) return;
        // The user's file is kept, not overwritten with what could be read of it.
        if (found.unreadable) {
            found.replaceable = SetAside(path);
            if (!found.replaceable) return;
            found.unreadable = false;
        }
        // Never rewritten in place: a save cut short must not cost the previous settings.
        ReplaceFileContents(path, text);
    } catch (const std::exception&) {
        // Saving is best effort; the next start reads the old file or the defaults.
    }
}

std::filesystem::path GetSettingsFolder() {
    const std::filesystem::path roaming = platform::GetKnownFolderPath(platform::KnownFolder::RoamingAppData);
    const std::filesystem::path folder = roaming.empty() ? std::filesystem::path(kProductFolder) : roaming / kProductFolder;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

std::filesystem::path GetDefaultSaveFolder() {
    std::filesystem::path base = platform::GetKnownFolderPath(platform::KnownFolder::Music);
    if (base.empty()) base = platform::GetKnownFolderPath(platform::KnownFolder::Documents);
    return base.empty() ? std::filesystem::path(kProductFolder) : base / kProductFolder;
}
