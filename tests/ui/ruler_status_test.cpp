#include <gtest/gtest.h>

#include "platform/path_text.h"
#include "tests/ui/wave_test_support.h"
#include "ui/icons.h"
#include "ui/text_format.h"
#include "ui/text_width.h"

namespace {

constexpr float kRulerLeft = 16.0f;
constexpr float kRulerRight = 1084.0f;
constexpr float kStatusMidY = 404.0f;

float TextWidth(ImFont* font, const char* text) { return font->CalcTextSizeA(font->FontSize, FLT_MAX, 0, text).x; }

class RulerAndStatus : public ::testing::Test {
protected:
    void SetUp() override {
        capture = &StartCapture(ui);
        Feed(*capture, Noise(288000, 0.5f, 21));
        ui.Frame();
    }
    HeadlessUi ui{1100, 421, /*systemFonts=*/true};
    FakeCapture* capture = nullptr;
};

}  // namespace

TEST_F(RulerAndStatus, LabelsWholeSecondsBackFromNowWithTheOuterLabelsInsideTheRuler) {
    ImFont* font = ui.app.smallFont;
    const auto now = ui.FindText("now", font);
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(now[0].color, colors::kLive);
    const float nowLeft = kRulerRight - TextWidth(font, "now");
    EXPECT_NEAR(now[0].pos.x, std::floor(nowLeft) + font->FindGlyph('n')->X0, 1e-3);
    for (int i = 1; i <= 6; ++i) {
        const std::string label = "-" + std::to_string(i) + " s";
        const auto found = ui.FindText(label, font);
        ASSERT_EQ(found.size(), 1u) << label;
        EXPECT_EQ(found[0].color, colors::kRulerLabel);
    }
    EXPECT_FALSE(ui.DrewText("-7 s", font));
    const auto oldest = ui.FindText("-6 s", font);
    EXPECT_NEAR(oldest[0].pos.x, kRulerLeft + font->FindGlyph('-')->X0, 1e-3);

    ui.app.paused = true;
    ui.Frame();
    EXPECT_FALSE(ui.DrewText("now", font));
    const auto zero = ui.FindText("0 s", font);
    ASSERT_FALSE(zero.empty());
    EXPECT_EQ(zero[0].color, colors::kTextSecondary);
}

TEST(TimeRuler, HoverTimeIsZeroAtTheRightEdgeAndMinusTheHistoryAtTheLeft) {
    // Mouse positions are whole pixels, so the last pixel inside the panel maps
    // to the right edge only when a frame is wider than half a pixel.
    HeadlessUi ui;
    FakeCapture& capture = StartCapture(ui, 100, 2);
    Feed(capture, Noise(200, 0.5f, 22));
    ui.MouseMove(kRulerRight - 1, 200);
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("0.000 s"));
    EXPECT_FALSE(ui.DrewText("-0.000 s"));
    ui.MouseMove(kRulerLeft, 200);
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("-2.000 s"));
}

TEST_F(RulerAndStatus, HoverTimeCountsSecondsBeforeTheRightEdge) {
    ui.MouseMove(kRulerLeft, 200);
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("-6.000 s"));
    ui.MouseMove(kRulerRight - 1, 200);
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("-0.006 s"));  // one pixel of 6 s over 1068 pixels
    ui.MouseMove(600, 400);  // over the status bar: no hover time
    ui.Frame();
    EXPECT_FALSE(ui.DrewText(".00"));
}

TEST_F(RulerAndStatus, HintsFollowTheViewState) {
    EXPECT_TRUE(ui.DrewText("Click and drag on the waveform to grab audio   \xc2\xb7   Space pauses"));
    ui.app.paused = true;
    ui.app.selectionActive = true;
    ui.app.selectionStart = ui.app.selectionEnd = ui.app.viewEnd - 1000;  // a press not yet moved
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("Paused. Drag across the waveform to select"));
}

TEST_F(RulerAndStatus, SelectionReadOutCountsFromTheOldestFrame) {
    App& app = ui.app;
    app.paused = true;
    app.selectionActive = true;
    const int64_t first = app.viewEnd - 288000;
    app.selectionStart = first + 156000;  // stored in either order while a gesture runs
    app.selectionEnd = first + 72000;
    ui.Frame();
    const std::string readOut = SelectionReadOut(first + 72000, first + 156000, first, 48000);
    const auto found = ui.FindText(readOut, app.smallFont);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].color, colors::kText);
    EXPECT_TRUE(ui.DrewText("0:01.500  \xe2\x80\x93  0:03.250   (1.75 s)"));
}

TEST_F(RulerAndStatus, StatusMessageIsOpaqueForFiveSecondsThenFadesOutDuringTheSixth) {
    ui.app.statusMessage = "Dropped Wavelift take.wav";
    ui.app.statusIsError = false;
    ui.app.statusTime = ui.Time();
    ui.Frame(5.0f);
    auto found = ui.FindText("Dropped Wavelift take.wav");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].color, colors::kSuccess);
    ui.Frame(0.5f);
    found = ui.FindText("Dropped Wavelift take.wav");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].color, colors::WithAlpha(colors::kSuccess, 127));
    ui.Frame(0.5f);
    EXPECT_FALSE(ui.DrewText("Dropped Wavelift take.wav"));
    EXPECT_TRUE(ui.DrewText("captures"));  // the save folder is back

    ui.app.statusMessage = "Could not write the file";
    ui.app.statusIsError = true;
    ui.app.statusTime = ui.Time();
    ui.Frame();
    found = ui.FindText("Could not write the file");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].color, colors::kLive);
}

TEST_F(RulerAndStatus, TheLastSavedFileNameReplacesTheSaveFolder) {
    ui.app.lastSavedPath = ui.app.saveFolder / "Wavelift 2026-01-02 03-04-05.wav";
    ui.Frame();
    EXPECT_TRUE(ui.DrewText(ICON_FOLDER_OPEN "  Wavelift 2026-01-02 03-04-05.wav"));
    EXPECT_FALSE(ui.DrewText("captures"));
}

TEST(StatusBar, ALongSaveFolderKeepsItsTailAfterAnEllipsisWithinFortyFivePercentOfTheBar) {
    HeadlessUi ui(600, 421, /*systemFonts=*/true);
    StartCapture(ui);
    ui.app.saveFolder = ui.temp.path() / "a rather long folder name that goes on and on" /
                        "and then some more folders" / Utf8ToPath("Wavelift \xc3\xbcnterwegs \xc3\xa9t\xc3\xa9");
    ui.Frame();
    ImFont* font = ui.app.smallFont;
    const auto ellipsis = ui.FindText("\xe2\x80\xa6", font);
    ASSERT_EQ(ellipsis.size(), 1u);
    EXPECT_TRUE(ui.DrewText("Wavelift \xc3\xbcnterwegs \xc3\xa9t\xc3\xa9", font));
    EXPECT_FALSE(ui.DrewText("a rather long folder", font));
    const float textLeft = ellipsis[0].pos.x - font->FindGlyph(0x2026)->X0;
    EXPECT_GE(textLeft, 600.0f - 16.0f - 0.45f * 600.0f - 1.0f);
}

TEST(StatusBar, ASixtyFourKibibyteFolderIsFittedMeasuringAboutWhatIsShown) {
    HeadlessUi ui(1100, 421, /*systemFonts=*/true);
    StartCapture(ui);
    const std::string tail = "/the end of a long folder";
    ui.app.saveFolder = Utf8ToPath("/" + std::string(64 * 1024, 'd') + tail);
    const uint64_t before = MeasuredTextBytes();
    ui.Frame();
    // Measuring the whole rest once per character would be 2 GiB here.
    EXPECT_LT(MeasuredTextBytes() - before, 16u * 1024u);
    EXPECT_TRUE(ui.DrewText(tail, ui.app.smallFont));
}

#ifdef _WIN32
TEST(StatusBar, AFolderNameWithAnUnpairedSurrogateIsShownWithAReplacementCharacter) {
    HeadlessUi ui(1100, 421, /*systemFonts=*/true);
    StartCapture(ui);
    ui.app.saveFolder = std::filesystem::path(L"C:\\Music\\take" + std::wstring(1, wchar_t(0xD800)) + L"one");
    ui.Frame();
    EXPECT_TRUE(ui.DrewText("take\xef\xbf\xbdone", ui.app.smallFont));
    ui.app.settingsOpen = true;
    ui.Frame();
    EXPECT_STREQ(ui.app.saveFolderText, "C:\\Music\\take\xef\xbf\xbdone");
}
#endif

TEST_F(RulerAndStatus, TheRevealButtonShowsTheLastFileElseTheSaveFolder) {
    fake_platform::State& platform = fake_platform::Get();
    ui.Click(kRulerRight - 5, kStatusMidY);
    ASSERT_EQ(platform.revealPaths.size(), 1u);
    EXPECT_EQ(platform.revealPaths[0], ui.app.saveFolder);

    ui.app.lastSavedPath = ui.app.saveFolder / "Wavelift take.wav";
    ui.MouseMove(kRulerRight - 5, kStatusMidY);
    ui.Frames(2);  // a new tooltip window shows from its second frame
    EXPECT_TRUE(ui.DrewText("Show in file browser"));
    ui.Click(kRulerRight - 5, kStatusMidY);
    ASSERT_EQ(platform.revealPaths.size(), 2u);
    EXPECT_EQ(platform.revealPaths[1], ui.app.lastSavedPath);
}
