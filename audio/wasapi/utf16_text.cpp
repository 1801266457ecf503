#include "audio/wasapi/utf16_text.h"

#include <windows.h>

std::string Utf16ToUtf8(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 1 ? static_cast<size_t>(size - 1) : 0, '\0');
    // The size includes the terminator, which std::string keeps for itself.
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring Utf8ToUtf16(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring result(size > 1 ? static_cast<size_t>(size - 1) : 0, L'\0');
    if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, result.data(), size);
    return result;
}
