#include "tests/support/wav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr size_t kHeaderBytes = 44;

uint32_t ReadLe(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

}  // namespace

Wav24 ReadWav24(const std::filesystem::path& path) {
    Wav24 wav;
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVEfmt ", 8) != 0 || std::memcmp(bytes.data() + 36, "data", 4) != 0 ||
        ReadLe(bytes.data() + 34, 2) != 24)
        return wav;
    wav.format = static_cast<uint16_t>(ReadLe(bytes.data() + 20, 2));
    wav.channels = static_cast<uint16_t>(ReadLe(bytes.data() + 22, 2));
    wav.sampleRate = ReadLe(bytes.data() + 24, 4);
    wav.dataSize = ReadLe(bytes.data() + 40, 4);
    if (bytes.size() < kHeaderBytes + wav.dataSize) return wav;
    for (size_t i = kHeaderBytes; i + 3 <= kHeaderBytes + wav.dataSize; i += 3) {
        const uint32_t raw = ReadLe(bytes.data() + i, 3);
        wav.samples.push_back(static_cast<int32_t>(raw << 8) >> 8);
    }
    wav.valid = true;
    return wav;
}

int32_t Pcm24Code(float sample) {
    const double clamped = std::clamp(static_cast<double>(sample), -1.0, 1.0);
    return static_cast<int32_t>(std::nearbyint(clamped * 8388607.0));
}
