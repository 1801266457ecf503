#include "export/wav_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t U16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
std::string Text(const Bytes& b, size_t at, size_t n) { return std::string(b.begin() + at, b.begin() + at + n); }

// Writes one mono sample and returns its encoded bytes.
Bytes EncodeOne(const TempDir& dir, float sample, WavSampleFormat format) {
    const float* channels[] = {&sample};
    const auto path = dir / "one.wav";
    EXPECT_TRUE(WriteWavFile(path, channels, 1, 1, 48000, format));
    const Bytes file = ReadAll(path);
    const uint32_t dataSize = U32(file, 40);
    return Bytes(file.begin() + 44, file.begin() + 44 + dataSize);
}

}  // namespace

TEST(WavWriter, StereoPcm24HeaderDescribesTheData) {
    TempDir dir;
    std::vector<float> left(48000, 0.25f), right(48000, -0.25f);
    const float* channels[] = {left.data(), right.data()};
    const auto path = dir / "stereo.wav";
    ASSERT_TRUE(WriteWavFile(path, channels, 2, 48000, 48000, WavSampleFormat::Pcm24));

    const Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), 288044u);
    EXPECT_EQ(Text(file, 0, 4), "RIFF");
    EXPECT_EQ(U32(file, 4), 288036u);
    EXPECT_EQ(Text(file, 8, 8), "WAVEfmt ");
    EXPECT_EQ(U32(file, 16), 16u);
    EXPECT_EQ(U16(file, 20), 1);
    EXPECT_EQ(U16(file, 22), 2);
    EXPECT_EQ(U32(file, 24), 48000u);
    EXPECT_EQ(U32(file, 28), 288000u);
    EXPECT_EQ(U16(file, 32), 6);
    EXPECT_EQ(U16(file, 34), 24);
    EXPECT_EQ(Text(file, 36, 4), "data");
    EXPECT_EQ(U32(file, 40), 288000u);
    // Interleaved: left then right; 0.25 × 8388607 = 2097151.75 → 2097152.
    EXPECT_EQ(Bytes(file.begin() + 44, file.begin() + 50), (Bytes{0x00, 0x00, 0x20, 0x00, 0x00, 0xE0}));
    // The last frame, written in the third block of 16384 frames.
    EXPECT_EQ(Bytes(file.end() - 6, file.end()), (Bytes{0x00, 0x00, 0x20, 0x00, 0x00, 0xE0}));
}

TEST(WavWriter, Pcm24CodesClampRoundToEvenAndMapNaNToZero) {
    TempDir dir;
    const auto pcm24 = WavSampleFormat::Pcm24;
    EXPECT_EQ(EncodeOne(dir, 1.0f, pcm24), (Bytes{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(EncodeOne(dir, -1.0f, pcm24), (Bytes{0x01, 0x00, 0x80}));
    EXPECT_EQ(EncodeOne(dir, 0.0f, pcm24), (Bytes{0x00, 0x00, 0x00}));
    EXPECT_EQ(EncodeOne(dir, 1.5f, pcm24), (Bytes{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(EncodeOne(dir, -7.0f, pcm24), (Bytes{0x01, 0x00, 0x80}));
    EXPECT_EQ(EncodeOne(dir, 0.5f, pcm24), (Bytes{0x00, 0x00, 0x40}));  // 4194303.5 → even 4194304
    EXPECT_EQ(EncodeOne(dir, std::numeric_limits<float>::quiet_NaN(), pcm24), (Bytes{0x00, 0x00, 0x00}));
    EXPECT_EQ(EncodeOne(dir, std::numeric_limits<float>::infinity(), pcm24), (Bytes{0xFF, 0xFF, 0x7F}));
}

TEST(WavWriter, Pcm16AndFloat32Encodings) {
    TempDir dir;
    EXPECT_EQ(EncodeOne(dir, 1.0f, WavSampleFormat::Pcm16), (Bytes{0xFF, 0x7F}));
    EXPECT_EQ(EncodeOne(dir, -2.0f, WavSampleFormat::Pcm16), (Bytes{0x01, 0x80}));
    EXPECT_EQ(EncodeOne(dir, std::numeric_limits<float>::quiet_NaN(), WavSampleFormat::Pcm16), (Bytes{0x00, 0x00}));

    const Bytes loud = EncodeOne(dir, 1.5f, WavSampleFormat::Float32);  // not clamped
    float decoded;
    ASSERT_EQ(loud.size(), 4u);
    std::memcpy(&decoded, loud.data(), 4);
    EXPECT_EQ(decoded, 1.5f);

    const Bytes file = ReadAll(dir / "one.wav");
    EXPECT_EQ(U16(file, 20), 3);
    EXPECT_EQ(U16(file, 34), 32);
}

TEST(WavWriter, OddDataSizeGetsAPadByteOutsideTheDataChunk) {
    TempDir dir;
    std::vector<float> mono{0.1f, 0.2f, 0.3f};
    const float* channels[] = {mono.data()};
    const auto path = dir / "odd.wav";
    ASSERT_TRUE(WriteWavFile(path, channels, 1, 3, 44100, WavSampleFormat::Pcm24));
    const Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), 44u + 9u + 1u);
    EXPECT_EQ(U32(file, 40), 9u);
    EXPECT_EQ(U32(file, 4), 36u + 9u + 1u);
    EXPECT_EQ(file.back(), 0);
}

TEST(WavWriter, EmptyRunsAndReplacedFiles) {
    TempDir dir;
    std::vector<float> samples(100, 0.5f);
    const float* channels[] = {samples.data(), samples.data()};
    const auto path = dir / "take.wav";
    ASSERT_TRUE(WriteWavFile(path, channels, 2, 100, 48000, WavSampleFormat::Pcm24));
    ASSERT_EQ(ReadAll(path).size(), 644u);

    ASSERT_TRUE(WriteWavFile(path, channels, 2, 0, 48000, WavSampleFormat::Pcm24));
    Bytes file = ReadAll(path);
    ASSERT_EQ(file.size(), 44u);  // replaced completely, not overwritten in place
    EXPECT_EQ(U32(file, 4), 36u);
    EXPECT_EQ(U32(file, 40), 0u);

    ASSERT_TRUE(WriteWavFile(path, channels, 2, -5, 48000, WavSampleFormat::Pcm24));
    EXPECT_EQ(ReadAll(path).size(), 44u);

    ASSERT_TRUE(WriteWavFile(path, nullptr, 0, 100, 48000, WavSampleFormat::Pcm24));
    file = ReadAll(path);
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(U32(file, 40), 0u);  // the header does not promise data that is not there
}

TEST(WavWriter, UnwritableTargetsFailWithoutCreatingAFile) {
    TempDir dir;
    std::vector<float> samples(10, 0.5f);
    const float* channels[] = {samples.data(), samples.data()};
    EXPECT_FALSE(WriteWavFile(dir / "missing" / "take.wav", channels, 2, 10, 48000, WavSampleFormat::Pcm24));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));

    // More than a RIFF size field can hold: refused before anything is read or written.
    const auto huge = dir / "huge.wav";
    EXPECT_FALSE(WriteWavFile(huge, channels, 2, int64_t{1} << 40, 48000, WavSampleFormat::Pcm24));
    EXPECT_FALSE(std::filesystem::exists(huge));
}

// The fast rounding must agree with the reference rounding everywhere,
// including next to the midpoints between two codes (the only exact ties, ±0.5,
// are checked above).
TEST(WavWriter, Pcm24CodesMatchReferenceRoundingAcrossTheRange) {
    std::vector<float> samples;
    for (int i = -120000; i <= 120000; ++i) samples.push_back(static_cast<float>(i) / 100000.0f);
    for (int code = -8388607; code < 8388607; code += 4099) {
        samples.push_back(static_cast<float>((code + 0.5) / 8388607.0));
    }
    TempDir dir;
    const float* channels[] = {samples.data()};
    const auto path = dir / "sweep.wav";
    ASSERT_TRUE(WriteWavFile(path, channels, 1, static_cast<int64_t>(samples.size()), 48000, WavSampleFormat::Pcm24));
    const Bytes file = ReadAll(path);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double clamped = std::clamp(static_cast<double>(samples[i]), -1.0, 1.0);
        const int32_t expected = static_cast<int32_t>(std::nearbyint(clamped * 8388607.0));
        const size_t at = 44 + 3 * i;
        const int32_t written = static_cast<int32_t>(static_cast<uint32_t>(file[at] | (file[at + 1] << 8) |
                                                                           (file[at + 2] << 16))
                                                     << 8) >>
                                8;
        ASSERT_EQ(written, expected) << "sample " << samples[i];
    }
}
