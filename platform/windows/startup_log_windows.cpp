// The switch is the string value "logging" under HKCU\SOFTWARE\Brightmoor;
// the log is "<program>.startup.log" in the user's temporary folder.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/startup_log.h"

namespace {

constexpr DWORD kSwitchReadLimit = 16;  // bytes
constexpr size_t kTimestampSize = 64;
constexpr size_t kLogNameReserve = 13;  // room for ".startup.log" and its terminator

bool LoggingSwitchedOn() {
    wchar_t value[kSwitchReadLimit / sizeof(wchar_t)] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\Brightmoor", L"logging", RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS) {
        return false;
    }
    return value[0] == L'1' && value[1] == L'\0';
}

std::wstring LogFilePath() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    if (tempLength == 0 || tempLength >= MAX_PATH) return {};
    wchar_t module[MAX_PATH] = {};
    const DWORD moduleLength = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (moduleLength == 0 || moduleLength >= MAX_PATH) return {};

    const std::wstring modulePath(module, moduleLength);
    const std::wstring fileName = modulePath.substr(modulePath.find_last_of(L"\\/") + 1);
    if (tempLength + fileName.size() + kLogNameReserve >= MAX_PATH) return {};
    return std::wstring(temp, tempLength) + fileName + L".startup.log";
}

std::string LinePrefix() {
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    char prefix[kTimestampSize];
    std::snprintf(prefix, sizeof(prefix), "%04u-%02u-%02uT%02u:%02u:%02uZ pid=%lu ", unsigned(utc.wYear),
                  unsigned(utc.wMonth), unsigned(utc.wDay), unsigned(utc.wHour), unsigned(utc.wMinute),
                  unsigned(utc.wSecond), static_cast<unsigned long>(GetCurrentProcessId()));
    return prefix;
}

}  // namespace

void platform::WriteStartupLog(const char* message) {
    if (message == nullptr || !LoggingSwitchedOn()) return;
    const std::wstring path = LogFilePath();
    if (path.empty()) return;
    // A link is opened as itself, not followed, and then refused with anything else that is not a plain file.
    const HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(file);
        return;
    }
    // One write per line, so lines of concurrent start-ups never interleave.
    const std::string line = LinePrefix() + message + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    FlushFileBuffers(file);
    CloseHandle(file);
}
