#pragma once
#include <filesystem>
#include <string>

// Paths are native (wide on Windows); text shown or stored is UTF-8.
std::string PathToUtf8(const std::filesystem::path& path);
std::filesystem::path Utf8ToPath(const std::string& text);
