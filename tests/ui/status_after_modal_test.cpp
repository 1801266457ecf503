#include <gtest/gtest.h>

#include "tests/ui/wave_test_support.h"

namespace {

// The GUI clock stands still while the shell's drag loop runs inside a frame;
// the first frame afterwards carries the whole drag as its delta time.
TEST(StatusAfterModalLoop, ADragOutcomeIsShownForSixSecondsFromWhenDrawingResumes) {
    HeadlessUi ui{1100, 421, /*systemFonts=*/true};
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Noise(96000, 0.5f, 7));
    ui.Frame();
    ui.app.SelectAll();
    ui.app.ExportSelectionByDrag();
    ASSERT_EQ(fake_platform::Get().dragPaths.size(), 1u);
    const std::string outcome = ui.app.statusMessage;
    ASSERT_FALSE(outcome.empty());

    ui.Frame(7.0f);
    auto found = ui.FindText(outcome);
    ASSERT_EQ(found.size(), 1u) << "gone after a 7 s drag";
    EXPECT_EQ(found[0].color, colors::kSuccess);

    ui.Frame(5.5f);
    found = ui.FindText(outcome);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].color, colors::WithAlpha(colors::kSuccess, 127));
    ui.Frame(0.5f);
    EXPECT_FALSE(ui.DrewText(outcome));
}

}  // namespace
