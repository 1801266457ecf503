#include "audio/sample_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

float Convert(const Bytes& bytes, SampleKind kind) { return ConvertSample(bytes.data(), kind); }

Bytes FloatBytes(float value) {
    Bytes bytes(4);
    std::memcpy(bytes.data(), &value, 4);  // the test machines are little-endian
    return bytes;
}

}  // namespace

TEST(SampleConversion, IntegerFormatsScaleWithoutClipping) {
    EXPECT_EQ(Convert({0x00, 0x80}, SampleKind::Int16), -1.0f);
    EXPECT_EQ(Convert({0xFF, 0x7F}, SampleKind::Int16), 32767.0f / 32768.0f);
    EXPECT_EQ(Convert({0x00, 0x40}, SampleKind::Int16), 0.5f);

    EXPECT_EQ(Convert({0x00, 0x00, 0x80}, SampleKind::Int24), -1.0f);
    EXPECT_EQ(Convert({0xFF, 0xFF, 0x7F}, SampleKind::Int24), 8388607.0f / 8388608.0f);
    EXPECT_EQ(Convert({0xFF, 0xFF, 0xFF}, SampleKind::Int24), -1.0f / 8388608.0f);
    EXPECT_EQ(Convert({0x01, 0x00, 0x00}, SampleKind::Int24), 1.0f / 8388608.0f);

    EXPECT_EQ(Convert({0x00, 0x00, 0x00, 0x40}, SampleKind::Int32), 0.5f);
    EXPECT_EQ(Convert({0x00, 0x00, 0x00, 0x80}, SampleKind::Int32), -1.0f);
    // 2^31 − 1 is not representable in single precision; it rounds to 1.0.
    EXPECT_EQ(Convert({0xFF, 0xFF, 0xFF, 0x7F}, SampleKind::Int32), 1.0f);
}

TEST(SampleConversion, FloatPassesUnchangedAndUnknownKindsReadAsZero) {
    EXPECT_EQ(Convert(FloatBytes(-0.375f), SampleKind::Float32), -0.375f);
    EXPECT_EQ(Convert(FloatBytes(1.75f), SampleKind::Float32), 1.75f);
    EXPECT_EQ(Convert({0x00, 0x00, 0x00, 0x40}, static_cast<SampleKind>(7)), 0.0f);
}

TEST(SampleConversion, PacketsBecomeInterleavedStereo) {
    std::vector<float> out;

    // Mono Int16: right repeats left.
    const Bytes mono{0x00, 0x40, 0x00, 0xC0};
    ConvertPacketToStereo(mono.data(), 2, 1, 2, 2, SampleKind::Int16, false, out);
    EXPECT_EQ(out, (std::vector<float>{0.5f, 0.5f, -0.5f, -0.5f}));

    // Six channels of Int24: channels 0 and 1 become left and right.
    Bytes six;
    for (int frame = 0; frame < 2; ++frame) {
        for (int channel = 0; channel < 6; ++channel) {
            const unsigned char high = static_cast<unsigned char>(0x10 * (channel + 1) + frame);
            six.insert(six.end(), {0x00, 0x00, high});
        }
    }
    ConvertPacketToStereo(six.data(), 2, 6, 3, 18, SampleKind::Int24, false, out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0], 0x100000 / 8388608.0f);
    EXPECT_EQ(out[1], 0x200000 / 8388608.0f);
    EXPECT_EQ(out[2], 0x110000 / 8388608.0f);
    EXPECT_EQ(out[3], 0x210000 / 8388608.0f);

    // Stereo Float32.
    Bytes stereo = FloatBytes(0.25f);
    const Bytes right = FloatBytes(-1.5f);
    stereo.insert(stereo.end(), right.begin(), right.end());
    ConvertPacketToStereo(stereo.data(), 1, 2, 4, 8, SampleKind::Float32, false, out);
    EXPECT_EQ(out, (std::vector<float>{0.25f, -1.5f}));
}

TEST(SampleConversion, SilentPacketsAreZerosAndTheBufferIsReused) {
    std::vector<float> out;
    out.reserve(4096);
    const float* storage = out.data();
    const Bytes loud(8 * 1000, 0x7F);
    ConvertPacketToStereo(loud.data(), 1000, 2, 4, 8, SampleKind::Int32, false, out);
    EXPECT_EQ(out.data(), storage);
    ASSERT_EQ(out.size(), 2000u);
    EXPECT_NE(out[0], 0.0f);

    // The data of a silent packet is not read, so it may be anything, even null.
    ConvertPacketToStereo(nullptr, 480, 2, 4, 8, SampleKind::Int32, true, out);
    EXPECT_EQ(out.data(), storage);
    EXPECT_EQ(out, std::vector<float>(960, 0.0f));
}
