#pragma once
#include <cstdint>
#include <filesystem>

// Where a capture went; when not `written`, `path` is the last name tried.
struct CaptureFile {
    std::filesystem::path path;
    bool written = false;
};

// Writes two channels of `frames` samples as a new 24-bit stereo WAV file under
// a fresh capture name in `folder`. Another writer (a second instance of the
// program, say) may take the chosen name before the file is created: then the
// next counter is tried, a bounded number of times. Never replaces a file.
CaptureFile WriteNewCaptureFile(const std::filesystem::path& folder, const float* left, const float* right,
                                int64_t frames, int32_t sampleRate);
