#include <cmath>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "ui/icons.h"
#include "ui/level_scale.h"
#include "ui/text_format.h"

namespace {
// Counts characters rather than bytes, like a monospaced font.
float CharacterWidth(std::string_view text) {
    float width = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) width += 1;
    return width;
}
}  // namespace

TEST(TextFormat, ClockAndSeconds) {
    EXPECT_EQ(FormatClock(3.25), "0:03.250");
    EXPECT_EQ(FormatClock(65.0), "1:05.000");
    EXPECT_EQ(FormatClock(-2.0), "0:00.000");
    EXPECT_EQ(FormatSeconds(1.75), "1.75 s");
}

TEST(TextFormat, SelectionReadOutOfOneAndAHalfToThreeAndAQuarterSeconds) {
    const int64_t first = 1'000'000;
    EXPECT_EQ(SelectionReadOut(first + 72000, first + 156000, first, 48000),
              ICON_ARROWS_ALT_H "  0:01.500  \xe2\x80\x93  0:03.250   (1.75 s)    Drag the highlighted region into a "
                                "DAW, folder or desktop");
}

TEST(TextFormat, DeviceLine) {
    EXPECT_EQ(DeviceLine("Speakers", 48000, 6),
              "   " ICON_VOLUME_UP "  Speakers   \xc2\xb7   48.0 kHz   \xc2\xb7   6 s buffer");
}

TEST(TextFormat, AnOverlongDeviceNameIsCutOnACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 300; ++i) name += "\xc3\xa9";  // é
    const std::string line = DeviceLine(name, 48000, 6);
    EXPECT_LE(line.size(), 511u);
    EXPECT_NE(static_cast<unsigned char>(line.back()), 0xC3);
    EXPECT_EQ(line.substr(line.size() - 2), "\xc3\xa9");
}

TEST(TextShortening, TextThatFitsIsKept) {
    EXPECT_EQ(ShortenFromLeft("/home/me/Music", 14, CharacterWidth), "/home/me/Music");
}

TEST(TextShortening, KeepsTheLongestTailThatFitsAfterAnEllipsis) {
    EXPECT_EQ(ShortenFromLeft("/home/me/Music/Wavelift", 10, CharacterWidth), "\xe2\x80\xa6" "/Wavelift");
}

TEST(TextShortening, CutsOnlyAtCharacterStarts) {
    // "ü" and "ß" are two bytes each; a byte cut would leave half a character.
    const std::string text = "a\xc3\xbc\xc3\x9f\xc3\xbc\xc3\x9f";
    const std::string shortened = ShortenFromLeft(text, 3, CharacterWidth);
    EXPECT_EQ(shortened, "\xe2\x80\xa6\xc3\xbc\xc3\x9f");
    for (float width = 0; width < 6; width += 1) {
        const std::string s = ShortenFromLeft(text, width, CharacterWidth);
        EXPECT_NE(static_cast<unsigned char>(s[3]) & 0xC0, 0x80) << "cut inside a character at width " << width;
    }
}

TEST(TextShortening, ShrinksToAnEllipsisAloneWhenNothingFits) {
    EXPECT_EQ(ShortenFromLeft("abcdef", 0, CharacterWidth), "\xe2\x80\xa6");
    EXPECT_EQ(ShortenFromLeft("", 0, CharacterWidth), "");
}

// The shortening as it was first written, one character at a time: the
// result the faster search must keep for every text and width.
std::string ShortenOneCharacterAtATime(std::string_view text, float maxWidth,
                                       const std::function<float(std::string_view)>& measure) {
    std::string candidate(text);
    for (size_t k = 0; measure(candidate) > maxWidth && k < text.size();) {
        ++k;
        while (k < text.size() && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80) ++k;
        candidate = "\xe2\x80\xa6" + std::string(text.substr(k));
    }
    return candidate;
}

TEST(TextShortening, GivesTheSameTextAsShorteningOneCharacterAtATime) {
    // Glyphs of uneven widths, some zero; bytes of 1- to 4-byte characters, stray continuation bytes, line breaks.
    const auto unevenWidth = [](std::string_view text) {
        float width = 0;
        for (char c : text) width += static_cast<float>(static_cast<unsigned char>(c) % 7) * 0.75f;
        return width;
    };
    const std::string pieces[] = {"a", "/", " ", "\n", "\xc3\xbc", "\xe9\x9f\xb3", "\xf0\x9f\x8e\xb5", "\x80", "\xbf"};
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) text += pieces[random() % std::size(pieces)];
        const float widths[] = {static_cast<float>(random() % 60), -1.0f, 0.0f,
                                std::numeric_limits<float>::quiet_NaN()};
        for (const float width : widths) {
            for (const auto& measure : {std::function<float(std::string_view)>(CharacterWidth),
                                        std::function<float(std::string_view)>(unevenWidth)}) {
                ASSERT_EQ(ShortenFromLeft(text, width, measure), ShortenOneCharacterAtATime(text, width, measure))
                    << "text '" << text << "' width " << width;
            }
        }
    }
}

TEST(MeterScale, LinearInDecibelsFromMinusSixtyToZero) {
    EXPECT_FLOAT_EQ(MeterPosition(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(MeterPosition(2.0f), 1.0f);
    EXPECT_FLOAT_EQ(MeterPosition(0.001f), 0.0f);
    EXPECT_FLOAT_EQ(MeterPosition(0.0f), 0.0f);
    EXPECT_NEAR(MeterPosition(0.5f), 0.8997f, 1e-4);
    EXPECT_NEAR(MeterPosition(0.891f), 0.9833f, 1e-4);
}
