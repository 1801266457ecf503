#include "platform/file_uri.h"

#include <gtest/gtest.h>

#include "platform/path_text.h"

namespace {

TEST(FileUri, AwkwardPathsSurviveTheRoundTrip) {
    const char* const paths[] = {
        "/home/user/Music/Wavelift 2024-05-01 10-00-00.wav",
        "/tmp/100% loud #2/take (2).wav",
        "/home/zoë/Müsik/声音 ☃.wav",
        "/a/b?c&d=e;f+g,h'i[j]k@l:m.wav",
    };
    for (const char* text : paths) {
        const std::filesystem::path path = Utf8ToPath(text);
        const std::string uri = FileUriFromPath(path);
        const auto back = PathFromFileUri(uri);
        ASSERT_TRUE(back.has_value()) << uri;
        EXPECT_EQ(PathToUtf8(*back), text) << uri;
    }
}

TEST(FileUri, EncodesEverythingButUnreservedCharactersAndSlashes) {
    EXPECT_EQ(FileUriFromPath(Utf8ToPath("/tmp/a b%c#d/é.wav")), "file:///tmp/a%20b%25c%23d/%C3%A9.wav");
    EXPECT_EQ(PercentEncodePath("Az09-._~/"), "Az09-._~/");
    EXPECT_EQ(PercentEncodePath("?&=+\r\n"), "%3F%26%3D%2B%0D%0A");
}

TEST(FileUri, DecodingKeepsBrokenEscapesLiterally) {
    EXPECT_EQ(PercentDecode("%41%4a%4A"), "AJJ");
    EXPECT_EQ(PercentDecode("100%"), "100%");
    EXPECT_EQ(PercentDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(PercentDecode("a%2"), "a%2");
}

TEST(FileUri, AcceptsOnlyLocalFileUris) {
    EXPECT_EQ(PathFromFileUri("file:///tmp/x%20y.wav"), std::filesystem::path("/tmp/x y.wav"));
    EXPECT_EQ(PathFromFileUri("file://localhost/tmp/x.wav"), std::filesystem::path("/tmp/x.wav"));
    EXPECT_EQ(PathFromFileUri("FILE:///tmp/x.wav"), std::filesystem::path("/tmp/x.wav"));
    EXPECT_FALSE(PathFromFileUri("file://otherhost/tmp/x.wav"));
    EXPECT_FALSE(PathFromFileUri("file://localhostile/tmp/x.wav"));
    EXPECT_FALSE(PathFromFileUri("http://example.invalid/x.wav"));
    EXPECT_FALSE(PathFromFileUri("/tmp/x.wav"));
    EXPECT_FALSE(PathFromFileUri("file://"));
    EXPECT_FALSE(PathFromFileUri("file:///tmp/a%00b"));
}

}  // namespace
