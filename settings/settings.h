#pragma once
#include <cstdint>
#include <filesystem>
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
Settings LoadSettings();
// Writes "settings.json"; failures are ignored.
void SaveSettings(const std::filesystem::path& saveFolder, const std::string& deviceId,
                  int32_t bufferSeconds, bool alwaysOnTop);
template <typename T>
void SaveSettings(const T& s) { SaveSettings(s.saveFolder, s.deviceId, s.bufferSeconds, s.alwaysOnTop); }

// Parses settings text (the file's content) over the defaults given; the part
// of LoadSettings that reads bytes, shared with the fuzz target.
Settings ParseSettings(std::istream& in, Settings defaults);
// The JSON text SaveSettings writes (LF line breaks).
std::string FormatSettings(const std::filesystem::path& saveFolder, const std::string& deviceId,
                           int32_t bufferSeconds, bool alwaysOnTop);

// <roaming application data>/Wavelift, created on every call.
std::filesystem::path GetSettingsFolder();
// <Music or Documents>/Wavelift; creates nothing itself.
std::filesystem::path GetDefaultSaveFolder();
