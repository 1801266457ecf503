#include "export/wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include "platform/files.h"

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

// Sizes of one file; `fits` is false when a RIFF file cannot describe them.
struct WavLayout {
    FormatInfo info;
    int64_t frames;
    int32_t usedChannels;
    uint64_t blockAlign;
    uint64_t dataSize;
    uint32_t padBytes;
    bool fits;
};

WavLayout Plan(int32_t channelCount, int64_t frameCount, WavSampleFormat format) {
    WavLayout layout{};
    layout.info = Describe(format);
    layout.frames = std::max<int64_t>(frameCount, 0);
    // No channels means no sample bytes, and the header must say so too.
    layout.usedChannels = std::max<int32_t>(channelCount, 0);
    layout.blockAlign =
        static_cast<uint64_t>(layout.info.bitsPerSample) * static_cast<uint64_t>(layout.usedChannels) / 8;
    layout.dataSize = layout.blockAlign * static_cast<uint64_t>(layout.frames);
    layout.padBytes = layout.dataSize % 2;
    // A RIFF file cannot describe more; writing it would leave a lying header.
    layout.fits = layout.blockAlign <= 0xFFFF &&
                  (layout.blockAlign == 0 || static_cast<uint64_t>(layout.frames) <= kMaxRiffSize / layout.blockAlign) &&
                  layout.dataSize + layout.padBytes + kHeaderBytesAfterRiffSize <= kMaxRiffSize;
    return layout;
}

// Hands the header, the sample blocks and the pad byte to `write(bytes, size)`,
// which answers false once a write has failed.
template <typename Write>
bool Emit(const WavLayout& layout, const float* const* channels, int32_t channelCount, int32_t sampleRate,
          WavSampleFormat format, Write&& write) {
    unsigned char header[44];
    unsigned char* p = PutText(header, "RIFF");
    p = PutU32(p, static_cast<uint32_t>(kHeaderBytesAfterRiffSize + layout.dataSize + layout.padBytes));
    p = PutText(p, "WAVEfmt ");
    p = PutU32(p, 16);
    p = PutU16(p, layout.info.formatTag);
    p = PutU16(p, static_cast<uint16_t>(channelCount));
    p = PutU32(p, static_cast<uint32_t>(sampleRate));
    p = PutU32(p, static_cast<uint32_t>(sampleRate) * static_cast<uint32_t>(layout.blockAlign));
    p = PutU16(p, static_cast<uint16_t>(layout.blockAlign));
    p = PutU16(p, layout.info.bitsPerSample);
    p = PutText(p, "data");
    PutU32(p, static_cast<uint32_t>(layout.dataSize));
    bool ok = write(header, sizeof header);

    if (layout.usedChannels > 0) {
        std::vector<unsigned char> block(static_cast<size_t>(layout.blockAlign * kFramesPerBlock));
        for (int64_t first = 0; first < layout.frames && ok; first += kFramesPerBlock) {
            const int64_t count = std::min(kFramesPerBlock, layout.frames - first);
            const unsigned char* end = EncodeBlock(channels, layout.usedChannels, first, count, format, block.data());
            ok = write(block.data(), static_cast<size_t>(end - block.data()));
        }
    }
    const unsigned char pad = 0;
    if (ok && layout.padBytes != 0) ok = write(&pad, 1);
    return ok;
}

}  // namespace

bool WriteWavFile(const std::filesystem::path& path, const float* const* channels, int32_t channelCount,
                  int64_t frameCount, int32_t sampleRate, WavSampleFormat format) {
    const WavLayout layout = Plan(channelCount, frameCount, format);
    if (!layout.fits) return false;
    std::ofstream file(path, std::ios::binary | std::ios::trunc | std::ios::out);
    if (!file.is_open()) return false;
    Emit(layout, channels, channelCount, sampleRate, format, [&file](const unsigned char* bytes, size_t size) {
        file.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
        return !file.fail();
    });
    file.close();
    return !file.fail();
}

NewWavResult WriteNewWavFile(const std::filesystem::path& path, const float* const* channels, int32_t channelCount,
                             int64_t frameCount, int32_t sampleRate, WavSampleFormat format) {
    const WavLayout layout = Plan(channelCount, frameCount, format);
    if (!layout.fits) return NewWavResult::Failed;
    std::FILE* file = nullptr;
    const platform::NewFileResult created = platform::CreateNewFile(path, file);
    if (created == platform::NewFileResult::NameTaken) return NewWavResult::NameTaken;
    if (created != platform::NewFileResult::Created) return NewWavResult::Failed;
    const bool written =
        Emit(layout, channels, channelCount, sampleRate, format, [file](const unsigned char* bytes, size_t size) {
            return std::fwrite(bytes, 1, size, file) == size;
        });
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return NewWavResult::Written;
    // A header promising more data than the file holds would leave a corrupt file behind.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return NewWavResult::Failed;
}
