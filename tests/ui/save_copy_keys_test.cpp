#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "platform/path_text.h"
#include "tests/support/headless_ui.h"
#include "tests/support/wav_reader.h"
#include "ui/text_format.h"

namespace {

constexpr int32_t kRate = 48000;
constexpr int64_t kHistoryFrames = 6 * kRate;

// A ramp, so that every frame of a file tells where it came from.
std::vector<float> Ramp(int64_t frames, int64_t offset) {
    std::vector<float> block(static_cast<size_t>(frames) * 2);
    for (int64_t i = 0; i < frames; ++i)
        block[static_cast<size_t>(2 * i)] = block[static_cast<size_t>(2 * i + 1)] =
            static_cast<float>((i + offset) % 100000) / 200000.0f;
    return block;
}

class SaveCopyKeys : public ::testing::Test {
protected:
    HeadlessUi ui;
    App& app = ui.app;
    fake_platform::State& shell = fake_platform::Get();
    int64_t fed = 0;

    void SetUp() override {
        ui.UseFakeCapture();
        app.RestartCapture();
        Feed(kHistoryFrames);
        ui.Frame();
    }
    void Feed(int64_t frames) {
        const std::vector<float> audio = Ramp(frames, fed);
        ui.capture().Feed(audio.data(), static_cast<size_t>(frames));
        fed += frames;
    }
    // The file must hold the fed frames [first, first + count).
    static void ExpectHolds(const std::filesystem::path& path, int64_t first, int64_t count) {
        const Wav24 wav = ReadWav24(path);
        ASSERT_TRUE(wav.valid) << path;
        ASSERT_EQ(static_cast<int64_t>(wav.samples.size()), 2 * count);
        const std::vector<float> expected = Ramp(count, first);
        for (size_t i = 0; i < expected.size(); i += 997) ASSERT_NEAR(wav.samples[i], Pcm24Code(expected[i]), 1) << i;
    }
    std::string Name() const { return PathToUtf8(app.lastSavedPath.filename()); }
};

TEST_F(SaveCopyKeys, CtrlSSavesTheSelectionOrTheWholeViewAndKeepsTheFile) {
    ui.TapKey(ImGuiKey_S, true);  // live, no selection: the whole view, and it stays live
    EXPECT_FALSE(app.paused);
    ASSERT_EQ(app.lastSavedPath.parent_path(), app.saveFolder);
    ExpectHolds(app.lastSavedPath, fed - app.view.left.frameCount, app.view.left.frameCount);
    EXPECT_EQ(app.statusMessage, "Saved " + Name() + " (" + FormatSeconds(6.0) + ")");
    EXPECT_FALSE(app.statusIsError);

    app.paused = true;
    app.selectionActive = true;
    app.selectionStart = app.viewEnd - 24000;
    app.selectionEnd = app.viewEnd - 96000;
    ui.TapKey(ImGuiKey_S, true);
    ExpectHolds(app.lastSavedPath, fed - 96000, 72000);
    EXPECT_EQ(app.statusMessage, "Saved " + Name() + " (1.50 s)");
    EXPECT_TRUE(shell.clipboardPaths.empty());
    EXPECT_TRUE(shell.dragPaths.empty());
}

TEST_F(SaveCopyKeys, CtrlCSavesThenOffersTheFileAndSaysWhenTheClipboardIsUnavailable) {
    ui.TapKey(ImGuiKey_C, true);
    ASSERT_EQ(shell.clipboardPaths, std::vector<std::filesystem::path>{app.lastSavedPath});
    EXPECT_TRUE(std::filesystem::is_regular_file(app.lastSavedPath));
    EXPECT_EQ(app.statusMessage, "Copied " + Name() + " - paste it into a folder or application");
    EXPECT_FALSE(app.statusIsError);

    shell.clipboardResult = false;
    ui.TapKey(ImGuiKey_C, true);
    ASSERT_EQ(shell.clipboardPaths.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_regular_file(shell.clipboardPaths[1]));
    EXPECT_EQ(app.statusMessage, "Saved " + Name() + " (clipboard unavailable)");
}

TEST_F(SaveCopyKeys, AFailedSaveShowsCannotWriteAndOffersNothing) {
    const std::filesystem::path earlier = app.lastSavedPath;
    app.saveFolder = ui.temp / "a file";
    std::ofstream(app.saveFolder) << "not a folder";
    ui.TapKey(ImGuiKey_C, true);
    EXPECT_TRUE(app.statusIsError);
    EXPECT_EQ(app.statusMessage.rfind("Cannot write " + PathToUtf8(app.saveFolder), 0), 0u) << app.statusMessage;
    EXPECT_EQ(app.lastSavedPath, earlier);
    EXPECT_TRUE(shell.clipboardPaths.empty());
}

TEST_F(SaveCopyKeys, KeysDoNothingWhileATextFieldHasTheKeyboard) {
    const auto withField = &HeadlessUi::DrawFocusedTextField;
    for (int i = 0; i < 3; ++i) ui.FrameWith(withField);
    ASSERT_TRUE(ImGui::GetIO().WantTextInput);
    for (ImGuiKey key : {ImGuiKey_S, ImGuiKey_C}) {
        ui.Key(ImGuiMod_Ctrl, true);
        ui.Key(key, true);
        ui.FrameWith(withField);
        ui.Key(key, false);
        ui.Key(ImGuiMod_Ctrl, false);
        ui.FrameWith(withField);
    }
    EXPECT_TRUE(app.lastSavedPath.empty());
    EXPECT_TRUE(shell.clipboardPaths.empty());
}

TEST_F(SaveCopyKeys, GrabTakesTheNewestAudioOfTheHistoryWhateverTheViewShows) {
    app.paused = true;
    ui.Frame();
    Feed(kRate);  // arrives after the freeze: in the history, not the view
    const SavedCapture half = app.SaveNewestAudio(0.5);
    ASSERT_TRUE(half.error.empty()) << half.error;
    ExpectHolds(half.path, fed - kRate / 2, kRate / 2);
    EXPECT_EQ(app.lastSavedPath, half.path);
    EXPECT_EQ(app.statusMessage, "Saved " + Name() + " (0.50 s)");

    ExpectHolds(app.SaveNewestAudio(0.0).path, fed - kHistoryFrames, kHistoryFrames);  // the whole history
    ExpectHolds(app.SaveNewestAudio(60.0).path, fed - kHistoryFrames, kHistoryFrames);  // no more than it holds
    App started;  // no audio arrived yet
    started.history.Reset(kRate, 6.0);
    EXPECT_EQ(started.SaveNewestAudio(2.0).error, "No audio to save yet");
}

}  // namespace
