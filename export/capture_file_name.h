#pragma once
#include <filesystem>

// "<folder>/Wavelift YYYY-MM-DD HH-MM-SS.wav", or with " (n)" for the first free
// n from 2 when that exists. Creates nothing.
std::filesystem::path MakeCaptureFilePath(const std::filesystem::path& saveFolder);
