#pragma once
#include <cstdint>
#include <filesystem>

enum class WavSampleFormat : int32_t { Pcm16 = 0, Pcm24 = 1, Float32 = 2 };

// Writes planar float channels as an interleaved RIFF/WAVE file with a 44-byte
// header, creating the file or replacing one of that name. True when the file
// was opened and every write succeeded.
bool WriteWavFile(const std::filesystem::path& path, const float* const* channels,
                  int32_t channelCount, int64_t frameCount, int32_t sampleRate,
                  WavSampleFormat format);

enum class NewWavResult { Written, NameTaken, Failed };

// The same file, written only under a name that is free: whatever already has
// the name (a file, a folder, a dangling link) is left alone and NameTaken is
// answered, and nothing is ever written through a link. A file this call
// created but could not finish is removed again.
NewWavResult WriteNewWavFile(const std::filesystem::path& path, const float* const* channels,
                             int32_t channelCount, int64_t frameCount, int32_t sampleRate,
                             WavSampleFormat format);
