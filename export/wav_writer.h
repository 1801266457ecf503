#pragma once
#include <cstdint>
#include <filesystem>

enum class WavSampleFormat : int32_t { Pcm16 = 0, Pcm24 = 1, Float32 = 2 };

// Writes planar float channels as an interleaved RIFF/WAVE file with a 44-byte
// header. True when the file was opened and every write succeeded.
bool WriteWavFile(const std::filesystem::path& path, const float* const* channels,
                  int32_t channelCount, int64_t frameCount, int32_t sampleRate,
                  WavSampleFormat format);
