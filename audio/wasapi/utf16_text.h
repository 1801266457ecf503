#pragma once
#include <string>

// Conversions at the boundary to the system's UTF-16 strings.
std::string Utf16ToUtf8(const wchar_t* text);
std::wstring Utf8ToUtf16(const std::string& text);
