#include <gtest/gtest.h>

#include "tests/ui/wave_test_support.h"

// Column indices and slots at 6 s, 48 kHz over the default 1068-pixel panel: 270 frames a column.
constexpr int64_t kColumn = 270;

TEST(LaneImage, OnlyColumnsThatChangedAreRasterisedAndUploaded) {
    HeadlessUi ui;
    ui.UseTextures();
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Noise(300'001, 0.8f, 7));
    ui.Frame();
    const int64_t column = ui.app.laneImage.TextureHeight();  // texels of one column
    ASSERT_GT(column, 0);
    const auto uploadedBy = [&](const std::function<void()>& step) {
        const int64_t before = ui.textures.texelsUploaded;
        step();
        ui.Frame();
        return (ui.textures.texelsUploaded - before) / column;
    };

    // Five columns of audio: the newest columns and the partial one at the left edge, a few more at most.
    const int64_t live = uploadedBy([&] { Feed(capture, Noise(5 * kColumn, 0.8f, 8)); });
    EXPECT_GE(live, 5);
    EXPECT_LE(live, 10);

    ui.app.paused = true;
    EXPECT_EQ(uploadedBy([&] { Feed(capture, Noise(5 * kColumn, 0.8f, 9)); }), 0) << "a frozen view";

    const int64_t lo = ui.app.viewEnd - 200 * kColumn;
    EXPECT_EQ(uploadedBy([&] {
                  ui.app.selectionActive = true;
                  ui.app.selectionStart = lo;
                  ui.app.selectionEnd = lo + 100 * kColumn;
              }),
              100)
        << "a new selection";
    EXPECT_EQ(uploadedBy([&] { ui.app.selectionStart = lo - 10 * kColumn; }), 10) << "its edge moved";
    EXPECT_EQ(uploadedBy([] {}), 0) << "nothing changed";
}

TEST(LaneImage, ADeviceThatCannotHoldTheImageGetsRectangles) {
    HeadlessUi ui;
    ui.UseTextures();
    ui.textures.maxTextureSize = 1024;  // narrower than the view's 1068 columns
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Noise(288'000, 0.5f, 3));
    ui.Frame();
    EXPECT_EQ(ui.app.laneImage.LayersDrawn(), 0);
    EXPECT_EQ(QuadsOfColor(ui.MainDrawList(), colors::kEnvelope).size(), 2u * 1067u);

    ui.textures.maxTextureSize = 16384;
    ui.Frame();
    EXPECT_EQ(ui.app.laneImage.LayersDrawn(), 2);
    EXPECT_TRUE(QuadsOfColor(ui.MainDrawList(), colors::kEnvelope).empty());
}

TEST(LaneImage, ADeviceThatRefusedTheImageIsAskedAgainOnlyWhenThePanelChanges) {
    HeadlessUi ui;
    ui.UseTextures();
    ui.textures.refusesImages = true;
    FakeCapture& capture = StartCapture(ui);
    Feed(capture, Noise(288'000, 0.5f, 3));
    ui.Frame();
    const int asked = ui.textures.imageRequests;
    EXPECT_GE(asked, 1);
    for (unsigned i = 0; i < 3; ++i) {
        Feed(capture, Noise(5 * kColumn, 0.5f, i));
        ui.Frame();
    }
    EXPECT_EQ(ui.textures.imageRequests, asked);
    EXPECT_EQ(QuadsOfColor(ui.MainDrawList(), colors::kEnvelope).size(), 2u * 1067u) << "drawn as rectangles";

    ui.SetDisplaySize(900.0f, 500.0f);
    ui.Frame();
    EXPECT_EQ(ui.textures.imageRequests, asked + 1);
}
