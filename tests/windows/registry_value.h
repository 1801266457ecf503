#pragma once
#include <windows.h>

#include <optional>
#include <string>

// Sets one per-user string value for a test and puts back what was there.
class ScopedRegistryString {
public:
    ScopedRegistryString(const wchar_t* keyPath, const wchar_t* name) : name(name) {
        RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        wchar_t buffer[256] = {};
        DWORD size = sizeof(buffer);
        if (key != nullptr && RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size) == ERROR_SUCCESS) {
            previous = buffer;
        }
    }
    ~ScopedRegistryString() {
        if (key == nullptr) return;
        if (previous) {
            Set(previous->c_str());
        } else {
            RegDeleteValueW(key, name);
        }
        RegCloseKey(key);
    }
    ScopedRegistryString(const ScopedRegistryString&) = delete;
    ScopedRegistryString& operator=(const ScopedRegistryString&) = delete;

    void Set(const wchar_t* value) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
    void Remove() { RegDeleteValueW(key, name); }

private:
    HKEY key = nullptr;
    const wchar_t* name;
    std::optional<std::wstring> previous;
};
