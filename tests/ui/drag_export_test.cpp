#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "export/capture_file_name.h"
#include "platform/path_text.h"
#include "tests/support/headless_ui.h"
#include "tests/support/wav_reader.h"
#include "ui/icons.h"

namespace {

constexpr int32_t kRate = 48000;
constexpr int64_t kHistoryFrames = 6 * kRate;

// A distinct, non-repeating stereo signal so that any misplaced frame shows.
std::vector<float> Signal(int64_t frames, int64_t offset) {
    std::vector<float> block(static_cast<size_t>(frames) * 2);
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i + offset);
        block[static_cast<size_t>(2 * i)] = static_cast<float>(0.8 * std::sin(t * 0.0013));
        block[static_cast<size_t>(2 * i + 1)] = static_cast<float>(-0.6 * std::cos(t * 0.0007));
    }
    return block;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "<name without .wav> (n).wav": the name an export takes when `taken` is not free.
std::string CounterName(const std::filesystem::path& taken, int n) {
    return PathToUtf8(taken.stem()) + " (" + std::to_string(n) + ").wav";
}

class DragExport : public ::testing::Test {
protected:
    HeadlessUi ui;
    App& app = ui.app;
    fake_platform::State& shell = fake_platform::Get();

    // A full history of the test signal, frozen as the view, as after a press on the waveform.
    void SetUp() override {
        ui.UseFakeCapture();
        app.RestartCapture();
        const std::vector<float> audio = Signal(kHistoryFrames, 0);
        ui.capture().Feed(audio.data(), static_cast<size_t>(kHistoryFrames));
        ui.Frame();
        app.paused = true;
        app.SetStatus("Earlier message", false);
    }

    int64_t FirstFrame() const { return app.viewEnd - app.view.left.frameCount; }

    void Select(int64_t start, int64_t end) {
        app.selectionActive = true;
        app.selectionStart = start;
        app.selectionEnd = end;
    }

    // The written file must hold exactly these frames of the view, within one code.
    void ExpectFileHoldsView(const std::filesystem::path& path, int64_t viewIndex, int64_t frames) {
        const Wav24 wav = ReadWav24(path);
        ASSERT_TRUE(wav.valid);
        EXPECT_EQ(wav.channels, 2);
        EXPECT_EQ(wav.sampleRate, static_cast<uint32_t>(kRate));
        ASSERT_EQ(static_cast<int64_t>(wav.samples.size()), frames * 2);
        for (int64_t i = 0; i < frames; ++i) {
            const size_t v = static_cast<size_t>(viewIndex + i);
            ASSERT_NEAR(wav.samples[static_cast<size_t>(2 * i)], Pcm24Code(app.view.left.samples[v]), 1) << i;
            ASSERT_NEAR(wav.samples[static_cast<size_t>(2 * i + 1)], Pcm24Code(app.view.right.samples[v]), 1) << i;
        }
    }

    std::vector<std::filesystem::path> SavedFiles() const {
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(app.saveFolder, ec)) files.push_back(entry.path());
        return files;
    }
};

TEST_F(DragExport, SelectionOutsideTheViewOrEmptyWritesNothingAndKeepsTheStatus) {
    const double statusTime = app.statusTime;
    Select(FirstFrame() - 5000, FirstFrame() - 1000);
    app.ExportSelectionByDrag();
    Select(FirstFrame() - 5000, FirstFrame());
    app.ExportSelectionByDrag();
    Select(FirstFrame() + 100, FirstFrame() + 100);
    app.ExportSelectionByDrag();
    Select(app.viewEnd + 10, app.viewEnd + 500);
    app.ExportSelectionByDrag();

    EXPECT_TRUE(shell.dragPaths.empty());
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(app.statusMessage, "Earlier message");
    EXPECT_EQ(app.statusTime, statusTime);
}

TEST_F(DragExport, SelectionReachingPastTheViewIsCutAtItsEnds) {
    Select(FirstFrame() + 1200, FirstFrame() - 3000);  // either order; begins before the view
    app.ExportSelectionByDrag();
    ASSERT_EQ(shell.dragPaths.size(), 1u);
    ExpectFileHoldsView(shell.dragPaths[0], 0, 1200);

    Select(app.viewEnd - 900, app.viewEnd + 48000);
    app.ExportSelectionByDrag();
    ASSERT_EQ(shell.dragPaths.size(), 2u);
    ExpectFileHoldsView(shell.dragPaths[1], kHistoryFrames - 900, 900);
}

TEST_F(DragExport, OneAndAHalfSecondsGiveTheDurationTextAndTheExactFile) {
    const int64_t start = FirstFrame() + 10000;
    Select(start, start + 72000);
    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    const std::filesystem::path path = shell.dragPaths[0];
    EXPECT_EQ(path.parent_path(), app.saveFolder);
    EXPECT_EQ(std::filesystem::file_size(path), 432044u);
    ExpectFileHoldsView(path, 10000, 72000);
    EXPECT_EQ(app.statusMessage, ICON_CHECK "  Dropped " + PathToUtf8(path.filename()) + "  (1.50 s)");
    EXPECT_FALSE(app.statusIsError);
    EXPECT_EQ(app.lastSavedPath, path);
}

TEST_F(DragExport, ExportsWithinOneSecondGetDistinctFiles) {
    Select(FirstFrame(), FirstFrame() + 4800);
    app.ExportSelectionByDrag();
    app.ExportSelectionByDrag();
    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 3u);
    EXPECT_NE(shell.dragPaths[0], shell.dragPaths[1]);
    EXPECT_NE(shell.dragPaths[1], shell.dragPaths[2]);
    EXPECT_NE(shell.dragPaths[0], shell.dragPaths[2]);
    EXPECT_EQ(SavedFiles().size(), 3u);
}

TEST_F(DragExport, ANameTakenByAnotherWriterMeanwhileMovesTheExportToTheNextCounter) {
    // As a second instance exporting in the same second does: the name is free when chosen, taken when created.
    std::filesystem::path othersFile;
    shell.beforeCreateNewFile = [&](const std::filesystem::path& path) {
        if (!othersFile.empty()) return;
        othersFile = path;
        std::ofstream(path, std::ios::binary) << "another instance's take";
    };
    shell.dragResult = platform::DragResult::Cancelled;
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    EXPECT_EQ(PathToUtf8(shell.dragPaths[0].filename()), CounterName(othersFile, 2));
    EXPECT_EQ(ReadText(othersFile), "another instance's take") << "neither overwritten nor removed by the cancel";
    EXPECT_FALSE(std::filesystem::exists(shell.dragPaths[0]));
}

TEST_F(DragExport, ANameTakenAtEveryTryEndsInCannotWriteAfterBoundedTries) {
    int tries = 0;
    shell.beforeCreateNewFile = [&](const std::filesystem::path& path) {
        ++tries;
        std::ofstream(path, std::ios::binary) << "taken";
    };
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    EXPECT_TRUE(shell.dragPaths.empty());
    EXPECT_TRUE(app.statusIsError);
    EXPECT_EQ(app.statusMessage.rfind("Cannot write " + PathToUtf8(app.saveFolder / "Wavelift "), 0), 0u)
        << app.statusMessage;
    EXPECT_GT(tries, 1);
    EXPECT_LE(tries, 100);
    for (const auto& file : SavedFiles()) EXPECT_EQ(ReadText(file), "taken");
}

TEST_F(DragExport, ADanglingLinkWithTheNextNameIsLeftAloneAndNothingIsWrittenThroughIt) {
    const std::filesystem::path outside = ui.temp / "outside.wav";
    std::filesystem::create_directories(app.saveFolder);
    shell.dragResult = platform::DragResult::Cancelled;
    Select(FirstFrame(), FirstFrame() + 4800);
    std::filesystem::path link;
    // The link must carry the name of the export's second; a second boundary in between asks for another try.
    for (int attempt = 0; attempt < 3; ++attempt) {
        link = MakeCaptureFilePath(app.saveFolder);
        std::error_code error;
        std::filesystem::create_symlink(outside, link, error);
        if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
        shell.dragPaths.clear();
        app.ExportSelectionByDrag();
        ASSERT_EQ(shell.dragPaths.size(), 1u);
        if (PathToUtf8(shell.dragPaths[0].filename()) == CounterName(link, 2)) break;
    }

    EXPECT_EQ(PathToUtf8(shell.dragPaths[0].filename()), CounterName(link, 2));
    EXPECT_FALSE(std::filesystem::exists(outside)) << "written through the link";
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the cancel removes only the export's own file";
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(shell.dragPaths[0])));
}

TEST_F(DragExport, CancelledDragRemovesTheFileAndKeepsTheLastSavedFile) {
    const std::filesystem::path earlier = app.saveFolder / "earlier.wav";
    app.lastSavedPath = earlier;
    shell.dragResult = platform::DragResult::Cancelled;
    bool fileExistedDuringDrag = false;
    shell.onDrag = [&](const std::filesystem::path& path) { fileExistedDuringDrag = std::filesystem::exists(path); };
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    EXPECT_TRUE(fileExistedDuringDrag);
    EXPECT_FALSE(std::filesystem::exists(shell.dragPaths[0]));
    EXPECT_EQ(app.lastSavedPath, earlier);
    EXPECT_EQ(app.statusMessage, "Drag cancelled");
    EXPECT_FALSE(app.statusIsError);
}

TEST_F(DragExport, UnavailableDragKeepsTheFileAndReportsWhereItWent) {
    shell.dragResult = platform::DragResult::Failed;
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    const std::filesystem::path path = shell.dragPaths[0];
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(app.lastSavedPath, path);
    EXPECT_EQ(app.statusMessage, "Saved " + PathToUtf8(path.filename()) + " (drag-and-drop unavailable)");
    EXPECT_TRUE(app.statusIsError);
    EXPECT_EQ(app.statusTime, ui.Time());
}

TEST_F(DragExport, DropRefusedByTheTargetKeepsTheFileForTheRevealButton) {
    shell.dragResult = platform::DragResult::Refused;
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    const std::filesystem::path path = shell.dragPaths[0];
    ExpectFileHoldsView(path, 0, 4800);
    EXPECT_EQ(app.lastSavedPath, path);
    EXPECT_EQ(app.statusMessage, "Not taken by the target - kept " + PathToUtf8(path.filename()));
    EXPECT_TRUE(app.statusIsError);
}

TEST_F(DragExport, DropTheTargetNeverConfirmedKeepsTheFileAndSaysWhereWithoutClaimingIt) {
    shell.dragResult = platform::DragResult::Unconfirmed;
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    const std::filesystem::path path = shell.dragPaths[0];
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(app.lastSavedPath, path);
    EXPECT_EQ(app.statusMessage, "Saved " + PathToUtf8(path.filename()) + " in " + PathToUtf8(app.saveFolder) +
                                     " - the target did not confirm the drop");
    EXPECT_TRUE(app.statusIsError);
}

TEST_F(DragExport, DropThatMovedTheFileAwayNamesItButKeepsTheLastSavedFile) {
    const std::filesystem::path earlier = app.saveFolder / "earlier.wav";
    app.lastSavedPath = earlier;
    const std::filesystem::path elsewhere = ui.temp / "moved.wav";
    shell.onDrag = [&](const std::filesystem::path& path) { std::filesystem::rename(path, elsewhere); };
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    EXPECT_EQ(app.statusMessage, ICON_CHECK "  Dropped " + PathToUtf8(shell.dragPaths[0].filename()) + "  (0.10 s)");
    EXPECT_EQ(app.lastSavedPath, earlier);
}

TEST_F(DragExport, UncreatableSaveFolderReportsTheAttemptedPathAndStartsNoDrag) {
    // A regular file in the way stops the folder from being created, even for root.
    std::ofstream(ui.temp / "afile") << "x";
    app.saveFolder = ui.temp / "afile" / "sub";
    const std::filesystem::path earlier = ui.temp / "earlier.wav";
    app.lastSavedPath = earlier;
    Select(FirstFrame(), FirstFrame() + 4800);

    app.ExportSelectionByDrag();

    EXPECT_TRUE(shell.dragPaths.empty());
    const std::string prefix = "Cannot write " + PathToUtf8(app.saveFolder / "Wavelift ");
    EXPECT_EQ(app.statusMessage.rfind(prefix, 0), 0u) << app.statusMessage;
    EXPECT_TRUE(app.statusMessage.ends_with(".wav")) << app.statusMessage;
    EXPECT_TRUE(app.statusIsError);
    EXPECT_EQ(app.lastSavedPath, earlier);
    EXPECT_FALSE(std::filesystem::exists(app.saveFolder));
}

TEST_F(DragExport, MissingSaveFolderIsCreated) {
    app.saveFolder = ui.temp / "new" / "nested";
    Select(FirstFrame(), FirstFrame() + 480);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    EXPECT_EQ(shell.dragPaths[0].parent_path(), app.saveFolder);
    EXPECT_TRUE(std::filesystem::is_regular_file(shell.dragPaths[0]));
}

TEST_F(DragExport, CaptureKeepsFillingTheHistoryWhileTheFrozenViewIsWritten) {
    const uint64_t totalBefore = app.history.TotalFrames();
    const std::vector<float> frozen(app.view.left.samples, app.view.left.samples + app.view.left.frameCount);
    shell.onDrag = [&](const std::filesystem::path&) {
        const std::vector<float> louder = Signal(kRate, 999999);
        ui.capture().Feed(louder.data(), static_cast<size_t>(kRate));
    };
    Select(FirstFrame() + 2000, FirstFrame() + 2000 + kRate);

    app.ExportSelectionByDrag();

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    EXPECT_EQ(app.history.TotalFrames(), totalBefore + static_cast<uint64_t>(kRate));
    EXPECT_TRUE(std::equal(frozen.begin(), frozen.end(), app.view.left.samples));
    ExpectFileHoldsView(shell.dragPaths[0], 2000, kRate);

    // The next frame is still frozen: the export leaves the paused view alone.
    ui.Frame();
    EXPECT_TRUE(app.paused);
    EXPECT_TRUE(std::equal(frozen.begin(), frozen.end(), app.view.left.samples));
}

TEST_F(DragExport, DraggingASelectionOutOfTheWaveformWritesItAndShowsTheOutcome) {
    app.paused = false;
    ui.Frame();
    const float y = (app.waveRect.y0 + app.waveRect.y1) * 0.5f;
    ui.Drag(300.0f, y, 700.0f, y);
    ASSERT_TRUE(app.selectionActive);
    const int64_t lo = std::min(app.selectionStart, app.selectionEnd);
    const int64_t hi = std::max(app.selectionStart, app.selectionEnd);

    ui.Drag(500.0f, y, 560.0f, y);

    ASSERT_EQ(shell.dragPaths.size(), 1u);
    ExpectFileHoldsView(shell.dragPaths[0], lo - FirstFrame(), hi - lo);
    ui.Frame();
    EXPECT_TRUE(ui.DrewText(app.statusMessage));
    EXPECT_NE(app.statusMessage.find("Dropped " + PathToUtf8(shell.dragPaths[0].filename())), std::string::npos);
}

}  // namespace
