#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// How one sample of a device's native format is read.
enum class SampleKind : int32_t {
    Float32 = 0,  // IEEE single, unchanged
    Int16 = 1,    // little-endian, × 2^-15
    Int24 = 2,    // little-endian, sign-extended from bit 23, × 2^-23
    Int32 = 3,    // little-endian, × 2^-31 in double, then to float
};

// Reads one sample at p; a kind outside the enumeration reads as 0.
float ConvertSample(const unsigned char* p, SampleKind kind);

// Converts one captured packet of `frames` frames into interleaved stereo float
// in `out` (resized to 2 × frames, capacity reused). Channel 0 is left, channel
// 1 right (left again for mono); further channels are dropped. A silent packet
// becomes zeros and `data` is not read.
void ConvertPacketToStereo(const unsigned char* data, size_t frames, int channels,
                           int bytesPerSample, int bytesPerFrame, SampleKind kind,
                           bool silent, std::vector<float>& out);
