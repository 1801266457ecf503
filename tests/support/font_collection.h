#pragma once
#include <filesystem>
#include <vector>

// Writes a font collection (.ttc) holding the faces of the given single-face
// TrueType files, in that order; false when one cannot be read.
bool WriteFontCollection(const std::filesystem::path& target, const std::vector<std::filesystem::path>& faces);
