#include "platform/path_text.h"

#include <gtest/gtest.h>

namespace {
constexpr char kReplacement[] = "\xef\xbf\xbd";
}  // namespace

TEST(PathText, WhatHasNoFormInTheOtherEncodingBecomesAReplacementCharacter) {
    EXPECT_EQ(Utf8FromUtf16(u"take\U0001F3B5 \u00e9"), "take\xf0\x9f\x8e\xb5 \xc3\xa9");
    EXPECT_EQ(Utf8FromUtf16(std::u16string(u"a") + char16_t(0xD800) + u"b"), std::string("a") + kReplacement + "b");
    EXPECT_EQ(Utf8FromUtf16(std::u16string{char16_t(0xDC00), char16_t(0xD800)}),
              std::string(kReplacement) + kReplacement);  // the wrong order is no pair, nor one at the end

    EXPECT_EQ(Utf16FromUtf8("take\xf0\x9f\x8e\xb5 \xc3\xa9"), u"take\U0001F3B5 \u00e9");
    const std::u16string r(1, u'\uFFFD');
    EXPECT_EQ(Utf16FromUtf8("a\xff" "b\xc3"), u"a" + r + u"b" + r);  // a stray byte, a sequence cut short
    EXPECT_EQ(Utf16FromUtf8("\xc0\xaf\xed\xa0\x80"), r + r + r + r + r);  // overlong, an encoded surrogate
}

#ifdef _WIN32
TEST(PathText, WindowsPathsWithAnUnpairedSurrogateConvertWithoutThrowing) {
    const std::filesystem::path path(L"C:\\Music\\take" + std::wstring(1, wchar_t(0xD800)) + L".wav");
    EXPECT_EQ(PathToUtf8(path), std::string("C:\\Music\\take") + kReplacement + ".wav");
    EXPECT_EQ(Utf8ToPath("C:\\\xff").native(), L"C:\\\uFFFD");
    EXPECT_EQ(PathToUtf8(Utf8ToPath("C:\\J\xc3\xbcrgen")), "C:\\J\xc3\xbcrgen");
}
#endif
