#include "export/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

constexpr int64_t kFramesPerBlock = 16384;
constexpr uint32_t kHeaderBytesAfterRiffSize = 36;
constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFu;
constexpr double kPcm24Scale = 8388607.0;
constexpr float kPcm16Scale = 32767.0f;

struct FormatInfo {
    uint16_t bitsPerSample;
    uint16_t formatTag;
};

FormatInfo Describe(WavSampleFormat format) {
    switch (format) {
        case WavSampleFormat::Pcm16: return {16, 1};
        case WavSampleFormat::Pcm24: return {24, 1};
        case WavSampleFormat::Float32: return {32, 3};
    }
    return {24, 1};
}

unsigned char* PutU16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    return p + 2;
}

unsigned char* PutU32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
    return p + 4;
}

unsigned char* PutText(unsigned char* p, const char* text) {
    const size_t length = std::strlen(text);
    std::memcpy(p, text, length);
    return p + length;
}

// Clamps to [-1, 1]; NaN passes through and is encoded as 0 by the callers.
float Clamp(float x) { return x > 1.0f ? 1.0f : (x < -1.0f ? -1.0f : x); }

// Rounds like std::nearbyint (the current mode: to nearest, ties to even) for
// |v| < 2^51, without a library call per sample: adding 1.5 × 2^52 leaves no
// fraction bits, so the addition itself rounds.
double RoundToInteger(double v) {
    constexpr double kShift = 6755399441055744.0;
    return (v + kShift) - kShift;  // not folded: IEEE arithmetic is not reassociated
}

int32_t EncodePcm24(float x) {
    if (std::isnan(x)) return 0;
    return static_cast<int32_t>(RoundToInteger(static_cast<double>(Clamp(x)) * kPcm24Scale));
}

int32_t EncodePcm16(float x) {
    if (std::isnan(x)) return 0;
    return static_cast<int32_t>(std::nearbyint(Clamp(x) * kPcm16Scale));
}

template <WavSampleFormat Format>
unsigned char* EncodeSample(float x, unsigned char* out) {
    if constexpr (Format == WavSampleFormat::Pcm24) {
        const uint32_t code = static_cast<uint32_t>(EncodePcm24(x));
        out[0] = static_cast<unsigned char>(code);
        out[1] = static_cast<unsigned char>(code >> 8);
        out[2] = static_cast<unsigned char>(code >> 16);
        return out + 3;
    } else if constexpr (Format == WavSampleFormat::Pcm16) {
        return PutU16(out, static_cast<uint16_t>(EncodePcm16(x)));
    } else {
        uint32_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        return PutU32(out, bits);
    }
}

// Appends frames [first, first + count) interleaved into `out`; returns the end.
template <WavSampleFormat Format>
unsigned char* EncodeBlock(const float* const* channels, int32_t channelCount, int64_t first, int64_t count,
                           unsigned char* out) {
    if (channelCount == 2) {
        const float* left = channels[0];
        const float* right = channels[1];
        for (int64_t frame = first; frame < first + count; ++frame) {
            out = EncodeSample<Format>(left[frame], out);
            out = EncodeSample<Format>(right[frame], out);
        }
        return out;
    }
    for (int64_t frame = first; frame < first + count; ++frame) {
        for (int32_t c = 0; c < channelCount; ++c) out = EncodeSample<Format>(channels[c][frame], out);
    }
    return out;
}

unsigned char* EncodeBlock(const float* const* channels, int32_t channelCount, int64_t first, int64_t count,
                           WavSampleFormat format, unsigned char* out) {
    switch (format) {
        case WavSampleFormat::Pcm16:
            return EncodeBlock<WavSampleFormat::Pcm16>(channels, channelCount, first, count, out);
        case WavSampleFormat::Float32:
            return EncodeBlock<WavSampleFormat::Float32>(channels, channelCount, first, count, out);
        case WavSampleFormat::Pcm24: break;
    }
    return EncodeBlock<WavSampleFormat::Pcm24>(channels, channelCount, first, count, out);
}

}  // namespace

bool WriteWavFile(const std::filesystem::path& path, const float* const* channels, int32_t channelCount,
                  int64_t frameCount, int32_t sampleRate, WavSampleFormat format) {
    const FormatInfo info = Describe(format);
    const int64_t frames = std::max<int64_t>(frameCount, 0);
    // No channels means no sample bytes, and the header must say so too.
    const int32_t usedChannels = std::max<int32_t>(channelCount, 0);
    const uint64_t blockAlign = static_cast<uint64_t>(info.bitsPerSample) * static_cast<uint64_t>(usedChannels) / 8;
    const uint64_t dataSize = blockAlign * static_cast<uint64_t>(frames);
    const uint32_t padBytes = dataSize % 2;
    // A RIFF file cannot describe more; writing it would leave a lying header.
    if (blockAlign > 0xFFFF || (blockAlign != 0 && static_cast<uint64_t>(frames) > kMaxRiffSize / blockAlign) ||
        dataSize + padBytes + kHeaderBytesAfterRiffSize > kMaxRiffSize) {
        return false;
    }

    std::ofstream file(path, std::ios::binary | std::ios::trunc | std::ios::out);
    if (!file.is_open()) return false;

    unsigned char header[44];
    unsigned char* p = PutText(header, "RIFF");
    p = PutU32(p, static_cast<uint32_t>(kHeaderBytesAfterRiffSize + dataSize + padBytes));
    p = PutText(p, "WAVEfmt ");
    p = PutU32(p, 16);
    p = PutU16(p, info.formatTag);
    p = PutU16(p, static_cast<uint16_t>(channelCount));
    p = PutU32(p, static_cast<uint32_t>(sampleRate));
    p = PutU32(p, static_cast<uint32_t>(sampleRate) * static_cast<uint32_t>(blockAlign));
    p = PutU16(p, static_cast<uint16_t>(blockAlign));
    p = PutU16(p, info.bitsPerSample);
    p = PutText(p, "data");
    PutU32(p, static_cast<uint32_t>(dataSize));
    file.write(reinterpret_cast<const char*>(header), sizeof header);

    if (usedChannels > 0) {
        std::vector<unsigned char> block(static_cast<size_t>(blockAlign * kFramesPerBlock));
        for (int64_t first = 0; first < frames && file; first += kFramesPerBlock) {
            const int64_t count = std::min(kFramesPerBlock, frames - first);
            const unsigned char* end = EncodeBlock(channels, usedChannels, first, count, format, block.data());
            file.write(reinterpret_cast<const char*>(block.data()), end - block.data());
        }
    }
    if (padBytes != 0) file.put('\0');
    file.close();
    return !file.fail();
}
