#include "settings/settings.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

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

}  // namespace

Settings ParseSettings(std::istream& in, Settings defaults) {
    Settings settings = std::move(defaults);
    try {
        const Json value = Json::parse(in);
        if (!value.is_object()) return settings;
        if (value.contains("saveFolder")) settings.saveFolder = Utf8ToPath(value.at("saveFolder").get<std::string>());
        settings.deviceId = value.contains("deviceId") ? value.at("deviceId").get<std::string>() : std::string();
        if (value.contains("bufferSeconds")) settings.bufferSeconds = ReadSeconds(value.at("bufferSeconds"));
        settings.alwaysOnTop = value.contains("alwaysOnTop") ? value.at("alwaysOnTop").get<bool>() : false;
    } catch (const std::exception&) {
        // Members read before the failure stay; the rest keep their defaults.
    }
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
    const std::optional<std::string> text = ReadRegularFile(SettingsFilePath(), kMostSettingsBytes);
    if (!text) return LimitSettings(defaults, defaults.saveFolder);
    std::istringstream in(*text);
    return ReadSettings(in, defaults);
}

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
        // Never rewritten in place: a save cut short must not cost the previous settings.
        ReplaceFileContents(SettingsFilePath(), text);
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
