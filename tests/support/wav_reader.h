#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

// A 24-bit PCM WAV file as the program writes it (44-byte header), decoded.
struct Wav24 {
    bool valid = false;
    uint16_t format = 0;  // 1: integer PCM
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t dataSize = 0;
    std::vector<int32_t> samples;  // interleaved codes, sign-extended
};

Wav24 ReadWav24(const std::filesystem::path& path);

// The code a float sample is written as, the way the writer rounds it.
int32_t Pcm24Code(float sample);
