#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Paths are native (wide on Windows); text shown or stored is UTF-8. Neither
// conversion throws: what has no form in the other encoding becomes U+FFFD.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path Utf8ToPath(const std::string& text);

// A surrogate without its partner (which Windows allows in file names) becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);
// Each byte of a malformed sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(std::string_view text);
