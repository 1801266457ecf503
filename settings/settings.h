#pragma once
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <string>

// The four persisted settings; the App starts with the same fields in the same order.
struct Settings {
    std::filesystem::path saveFolder;
    std::string deviceId;  // UTF-8; empty = the system default output
    int32_t bufferSeconds = 6;
    bool alwaysOnTop = false;
};

inline constexpr int32_t kMinBufferSeconds = 2;
inline constexpr int32_t kMaxBufferSeconds = 10;

// Reads "settings.json"; never fails, falls back to defaults member by member.
// A settings path that is not a regular file reads as defaults.
Settings LoadSettings();
// Writes "settings.json" in one step, so that a failed save leaves the previous
// file as it was; failures are ignored. Something other than a regular file at
// the settings path is left alone, and so is a file the user may not write. A
// file that LoadSettings could not read is first renamed beside itself
// ("settings.json.unreadable", then ".unreadable.2", ...) and logged.
void SaveSettings(const std::filesystem::path& saveFolder, const std::string& deviceId,
                  int32_t bufferSeconds, bool alwaysOnTop);
template <typename T>
void SaveSettings(const T& s) { SaveSettings(s.saveFolder, s.deviceId, s.bufferSeconds, s.alwaysOnTop); }
// Whether SaveSettings can keep changes: false since LoadSettings found a file
// the user may not write, or one that could not be read nor set aside.
bool SettingsChangesKept();

// Parses settings text (the file's content) over the defaults given, member by
// member; a member that cannot be read ends the parse. bufferSeconds is only
// saturated to its type here, not yet limited.
Settings ParseSettings(std::istream& in, Settings defaults);
// What LoadSettings makes of the file's stream: ParseSettings, then
// bufferSeconds limited to 2 … 10 and an empty save folder replaced by the
// default one. Shared with the fuzz target.
Settings ReadSettings(std::istream& in, const Settings& defaults);
// Limits bufferSeconds and fills an empty save folder from `defaultSaveFolder`
// (or GetDefaultSaveFolder when that is empty too).
Settings LimitSettings(Settings settings, const std::filesystem::path& defaultSaveFolder);
// The JSON text SaveSettings writes (LF line breaks).
std::string FormatSettings(const std::filesystem::path& saveFolder, const std::string& deviceId,
                           int32_t bufferSeconds, bool alwaysOnTop);

// <roaming application data>/Wavelift, created on every call.
std::filesystem::path GetSettingsFolder();
// <Music or Documents>/Wavelift; creates nothing itself.
std::filesystem::path GetDefaultSaveFolder();
