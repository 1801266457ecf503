#include <cfloat>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "ui/wave_columns.h"
#include "ui/wave_mapping.h"

TEST(WaveMapping, FitsTheWholeViewToThePanelWithTheNewestFrameAtTheRightEdge) {
    // 6 s at 48 kHz over a 1068-pixel panel.
    const WaveMapping m = WaveMapping::Make(288000, 48000, 1'000'000, 16.0f, 1084.0f);
    EXPECT_DOUBLE_EQ(m.samplesPerPixel, 288000.0 / 1068.0);
    EXPECT_EQ(m.columnFrames, 270);
    EXPECT_EQ(m.rate, 48000);
    EXPECT_FLOAT_EQ(m.XOfFrame(1'000'000), 1084.0f);
    EXPECT_NEAR(m.XOfFrame(1'000'000 - 288000), 16.0f, 1e-3);
    EXPECT_EQ(m.FrameAtX(1084.0f), 1'000'000);
    EXPECT_EQ(m.FrameAtX(16.0f), 1'000'000 - 288000);
}

TEST(WaveMapping, FrameUnderTheMouseIsClampedToTheViewEvenForInvalidPositions) {
    const WaveMapping m = WaveMapping::Make(1000, 48000, 5000, 0.0f, 100.0f);
    EXPECT_EQ(m.FrameAtX(-50.0f), 4000);
    EXPECT_EQ(m.FrameAtX(500.0f), 5000);
    EXPECT_EQ(m.FrameAtX(-FLT_MAX), 4000);  // ImGui's "no mouse" position
    EXPECT_EQ(m.FrameAtX(FLT_MAX), 5000);
    EXPECT_EQ(m.FrameAtX(NAN), 5000);
}

TEST(WaveMapping, FrameUnderTheMouseRoundsHalfwayToEven) {
    const WaveMapping m = WaveMapping::Make(200, 48000, 1000, 0.0f, 100.0f);  // 2 frames per pixel
    EXPECT_EQ(m.FrameAtX(99.75f), 1000);  // 0.5 frames before the edge rounds to 0
    EXPECT_EQ(m.FrameAtX(99.25f), 998);   // 1.5 rounds to 2
}

TEST(WaveMapping, DegenerateRateAndWidthAreTreatedAsOne) {
    const WaveMapping m = WaveMapping::Make(10, 0, 10, 5.0f, 5.0f);
    EXPECT_EQ(m.rate, 1);
    EXPECT_DOUBLE_EQ(m.samplesPerPixel, 10.0);
    const WaveMapping empty = WaveMapping::Make(0, 48000, 0, 0.0f, 100.0f);
    EXPECT_DOUBLE_EQ(empty.samplesPerPixel, 1e-6);
    EXPECT_EQ(empty.columnFrames, 1);
    EXPECT_EQ(empty.FrameAtX(50.0f), 0);
}

namespace {
std::vector<WaveColumn> Columns(const WaveMapping& m) {
    std::vector<WaveColumn> columns;
    ForEachColumn(m, [&](const WaveColumn& c) { columns.push_back(c); });
    return columns;
}
}  // namespace

TEST(WaveColumns, AreAlignedToAbsoluteMultiplesOfTheColumnWidth) {
    // 1000 frames over 300 px: u = 4; the view starts at an unaligned frame.
    const WaveMapping m = WaveMapping::Make(1000, 48000, 10'003, 0.0f, 300.0f);
    const std::vector<WaveColumn> columns = Columns(m);
    ASSERT_FALSE(columns.empty());
    EXPECT_EQ(columns.front().start, 9003);  // partial column 9000..9004
    EXPECT_EQ(columns.front().end, 9004);
    for (size_t i = 1; i < columns.size(); ++i) {
        EXPECT_EQ(columns[i].start % 4, 0);
        EXPECT_EQ(columns[i].start, columns[i - 1].end);
    }
    EXPECT_EQ(columns.back().end, 10'003);
}

TEST(WaveColumns, FloorAlignmentHoldsForTheSilenceBeforeTheFirstFrame) {
    // The first frame, -499, lies inside the column -500..-496.
    const WaveMapping m = WaveMapping::Make(1000, 48000, 501, 0.0f, 300.0f);
    const std::vector<WaveColumn> columns = Columns(m);
    EXPECT_EQ(columns.front().start, -499);
    EXPECT_EQ(columns.front().end, -496);
    EXPECT_EQ(columns.back().end, 501);
}

TEST(WaveColumns, AShortHistoryGetsOneColumnPerFrameEachAtLeastAPixelWide) {
    const WaveMapping wide = WaveMapping::Make(200, 100, 200, 0.0f, 1068.0f);
    const std::vector<WaveColumn> columns = Columns(wide);
    ASSERT_EQ(columns.size(), 200u);
    for (const WaveColumn& c : columns) {
        EXPECT_EQ(c.end - c.start, 1);
        EXPECT_NEAR(c.right - c.left, 1068.0 / 200.0, 1e-3);
    }
    // Rounding never makes a column thinner than a pixel.
    const WaveMapping dense = WaveMapping::Make(288001, 48000, 288001, 0.0f, 1067.0f);
    for (const WaveColumn& c : Columns(dense)) EXPECT_GE(c.right - c.left, 1.0f);
}

TEST(ColumnSummary, ExtendingASummaryEqualsOneScan) {
    const float samples[] = {0.25f, -0.5f, 0.125f, 0.75f, -0.0625f};
    ColumnSummary part = SummarizeSamples(samples, 2);
    ExtendSummary(part, samples + 2, 3);
    const ColumnSummary whole = SummarizeSamples(samples, 5);
    EXPECT_EQ(part.min, -0.5f);
    EXPECT_EQ(part.max, 0.75f);
    EXPECT_EQ(part.min, whole.min);
    EXPECT_EQ(part.max, whole.max);
    EXPECT_EQ(part.sumSquares, whole.sumSquares);
}
