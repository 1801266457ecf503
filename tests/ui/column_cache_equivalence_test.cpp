#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "tests/ui/wave_test_support.h"

namespace {

// One app drawing through its column cache and one rescanning everything,
// driven by the same inputs; each ImGui context is made current before use.
class TwinApps {
public:
    TwinApps() {
        for (int i = 0; i < 2; ++i) {
            ImGui::SetCurrentContext(nullptr);  // so that the new context becomes the current one
            uis[i] = std::make_unique<HeadlessUi>(1100.0f, 421.0f);
            contexts[i] = ImGui::GetCurrentContext();
            uis[i]->app.fullRecompute = i == 1;
            uis[i]->app.saveFolder = "/srv/captures";  // the status bar shows it; each harness has its own temp folder
            StartCapture(*uis[i]);
        }
    }

    template <typename Step>
    void Both(Step&& step) {
        for (int i = 0; i < 2; ++i) {
            ImGui::SetCurrentContext(contexts[i]);
            step(*uis[i]);
        }
    }

    // Compares the main window's vertices of the last frame, bit for bit.
    void ExpectIdenticalFrames(int frame) {
        ASSERT_NE(contexts[0], contexts[1]);
        ImGui::SetCurrentContext(contexts[0]);
        const ImVector<ImDrawVert> cached = uis[0]->MainDrawList()->VtxBuffer;
        ImGui::SetCurrentContext(contexts[1]);
        const ImVector<ImDrawVert>& full = uis[1]->MainDrawList()->VtxBuffer;
        ASSERT_EQ(cached.Size, full.Size) << "frame " << frame;
        for (int v = 0; v < cached.Size; ++v) {
            const ImDrawVert& a = cached[v];
            const ImDrawVert& b = full[v];
            ASSERT_EQ(std::memcmp(&a, &b, sizeof(ImDrawVert)), 0)
                << "frame " << frame << ", vertex " << v << ": (" << a.pos.x << ", " << a.pos.y << ") #" << std::hex
                << a.col << " against (" << b.pos.x << ", " << b.pos.y << ") #" << b.col;
        }
    }

    ~TwinApps() {
        for (int i = 1; i >= 0; --i) {
            ImGui::SetCurrentContext(contexts[i]);
            uis[i].reset();
        }
    }

private:
    std::unique_ptr<HeadlessUi> uis[2];
    ImGuiContext* contexts[2] = {};
};

}  // namespace

TEST(ColumnCacheEquivalence, CachedColumnsDrawExactlyWhatAFullScanDraws) {
    TwinApps twins;
    std::mt19937 random(20261208);
    const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    const auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    for (int frame = 0; frame < 400; ++frame) {
        // A packet of audio of random size: noise, silence or overs.
        size_t packet = static_cast<size_t>(between(0, 6000));
        if (chance(0.2)) packet = static_cast<size_t>(between(1, 5)) * 270;  // whole columns at 6 s, 48 kHz
        if (chance(0.05)) packet = static_cast<size_t>(between(100'000, 700'000));  // more than the history
        const float amplitude = chance(0.1) ? 0.0f : chance(0.1) ? 1.6f : 0.7f;
        const std::vector<float> audio = Noise(packet, amplitude, static_cast<unsigned>(frame));

        const bool togglePause = chance(0.08);
        const bool resize = chance(0.05);
        const float width = static_cast<float>(between(300, 2200));
        const float height = static_cast<float>(between(200, 800));
        const bool resetLength = chance(0.04);
        const int seconds = between(2, 10);
        const bool changeRate = chance(0.03);
        const int rate = chance(0.5) ? 44100 : chance(0.5) ? 48000 : 96000;
        const bool select = chance(0.05);
        // Away and back between two frames: same length and rate, different audio.
        const bool resetRoundTrip = chance(0.04);

        twins.Both([&](HeadlessUi& ui) {
            Feed(ui.capture(), audio);
            if (togglePause) ui.app.TogglePause();
            if (resize) ui.SetDisplaySize(width, height);
            if (resetLength) {
                ui.app.bufferSeconds = seconds;
                ui.app.history.Reset(ui.app.history.SampleRate(), seconds);
            }
            if (changeRate) {
                ui.capture().rate = rate;
                ui.app.RestartCapture();
            }
            if (resetRoundTrip) {
                const int32_t currentRate = ui.app.history.SampleRate();
                ui.app.history.Reset(currentRate == 44100 ? 48000 : 44100, ui.app.bufferSeconds);
                ui.app.history.Reset(currentRate, ui.app.bufferSeconds);
            }
            if (select) ui.app.SelectAll();
            ui.Frame();
        });
        twins.ExpectIdenticalFrames(frame);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(ColumnCacheEquivalence, APauseClickInTheFrameThatFindsTheHistoryReplacedDrawsTheNewAudio) {
    TwinApps twins;
    const float playX = 16 + 22, playY = 36;  // the play/pause button
    twins.Both([&](HeadlessUi& ui) {
        Feed(ui.capture(), Noise(300'000, 0.8f, 1));
        ui.MouseMove(playX, playY);
        ui.Frame();
        ui.MouseDown();
        ui.Frame();
        ui.MouseUp();
        // Away and back before the frame of the release: same length and rate, silence instead of noise.
        ui.FrameWith([&] {
            const int32_t rate = ui.app.history.SampleRate();
            ui.app.history.Reset(rate == 44100 ? 48000 : 44100, ui.app.bufferSeconds);
            ui.app.history.Reset(rate, ui.app.bufferSeconds);
        });
        ASSERT_TRUE(ui.app.paused);
    });
    twins.ExpectIdenticalFrames(0);
}
