#include "audio/sample_conversion.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr float kInt16Scale = 1.0f / 32768.0f;
constexpr float kInt24Scale = 1.0f / 8388608.0f;
constexpr double kInt32Scale = 1.0 / 2147483648.0;

uint32_t ReadLittleEndian(const unsigned char* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

}  // namespace

float ConvertSample(const unsigned char* p, SampleKind kind) {
    switch (kind) {
        case SampleKind::Float32: {
            const uint32_t bits = ReadLittleEndian(p, 4);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }
        case SampleKind::Int16:
            return static_cast<float>(static_cast<int16_t>(ReadLittleEndian(p, 2))) * kInt16Scale;
        case SampleKind::Int24: {
            // Shift the 24 bits to the top of a 32-bit word, then back down
            // arithmetically to extend the sign from bit 23.
            const int32_t value = static_cast<int32_t>(ReadLittleEndian(p, 3) << 8) >> 8;
            return static_cast<float>(value) * kInt24Scale;
        }
        case SampleKind::Int32:
            return static_cast<float>(static_cast<double>(static_cast<int32_t>(ReadLittleEndian(p, 4))) *
                                      kInt32Scale);
    }
    return 0.0f;
}

void ConvertPacketToStereo(const unsigned char* data, size_t frames, int channels, int bytesPerSample,
                           int bytesPerFrame, SampleKind kind, bool silent, std::vector<float>& out) {
    out.resize(2 * frames);
    if (silent || data == nullptr) {
        std::fill(out.begin(), out.end(), 0.0f);
        return;
    }
    const size_t frameStride = static_cast<size_t>(std::max(bytesPerFrame, 0));
    const size_t rightOffset = channels >= 2 ? static_cast<size_t>(std::max(bytesPerSample, 0)) : 0;
    for (size_t i = 0; i < frames; ++i) {
        const unsigned char* frame = data + i * frameStride;
        out[2 * i] = ConvertSample(frame, kind);
        out[2 * i + 1] = channels >= 2 ? ConvertSample(frame + rightOffset, kind) : out[2 * i];
    }
}
