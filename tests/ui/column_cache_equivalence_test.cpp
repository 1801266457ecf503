#include <cstring>
#include <random>

#include <gtest/gtest.h>

#include "tests/support/case_size.h"
#include "tests/ui/wave_test_support.h"

namespace {

// The ways of drawing the columns, each app driven by the same inputs; each
// ImGui context is made current before use.
enum Way {
    kCachedRectangles,  // the column cache, every column a rectangle (no image texture)
    kFullRescan,        // the reference: full copy, full rescan, rectangles
    kLaneImage,         // the column cache and the lane image, as the program draws
    kFreshLaneImage,    // the same, rasterising every column again each frame
    kWays
};

class TwinApps {
public:
    TwinApps() {
        for (int i = 0; i < kWays; ++i) {
            ImGui::SetCurrentContext(nullptr);  // so that the new context becomes the current one
            uis[i] = std::make_unique<HeadlessUi>(1100.0f, 421.0f);
            contexts[i] = ImGui::GetCurrentContext();
            uis[i]->app.fullRecompute = i == kFullRescan;
            if (i == kLaneImage || i == kFreshLaneImage) uis[i]->UseTextures();
            uis[i]->app.saveFolder = "/srv/captures";  // the status bar shows it; each harness has its own temp folder
            StartCapture(*uis[i]);
        }
    }

    template <typename Step>
    void Both(Step&& step) {
        for (int i = 0; i < kWays; ++i) {
            ImGui::SetCurrentContext(contexts[i]);
            if (i == kFreshLaneImage) uis[i]->app.laneImage.Discard();
            step(*uis[i]);
        }
    }

    // Compares the main window's vertices of the last frame of two ways, bit for bit.
    void ExpectIdenticalVertices(Way one, Way other, int frame) {
        ASSERT_NE(contexts[one], contexts[other]);
        ImGui::SetCurrentContext(contexts[one]);
        const ImVector<ImDrawVert> first = uis[one]->MainDrawList()->VtxBuffer;
        ImGui::SetCurrentContext(contexts[other]);
        const ImVector<ImDrawVert>& second = uis[other]->MainDrawList()->VtxBuffer;
        ASSERT_EQ(first.Size, second.Size) << "frame " << frame;
        for (int v = 0; v < first.Size; ++v) {
            const ImDrawVert& a = first[v];
            const ImDrawVert& b = second[v];
            ASSERT_EQ(std::memcmp(&a, &b, sizeof(ImDrawVert)), 0)
                << "frame " << frame << ", vertex " << v << ": (" << a.pos.x << ", " << a.pos.y << ") #" << std::hex
                << a.col << " against (" << b.pos.x << ", " << b.pos.y << ") #" << b.col;
        }
    }

    void ExpectIdenticalFrames(int frame) {
        ExpectIdenticalVertices(kCachedRectangles, kFullRescan, frame);
        ExpectIdenticalVertices(kLaneImage, kFreshLaneImage, frame);
        // The image the quads show, texel for texel.
        const CpuTextureDevice::Texture* images[2] = {};
        for (const Way way : {kLaneImage, kFreshLaneImage}) {
            ImGui::SetCurrentContext(contexts[way]);
            images[way - kLaneImage] = uis[way]->textures.Find(uis[way]->app.laneImage.Texture());
            ASSERT_NE(images[way - kLaneImage], nullptr) << "frame " << frame;
        }
        ASSERT_EQ(images[0]->width, images[1]->width) << "frame " << frame;
        ASSERT_EQ(images[0]->height, images[1]->height) << "frame " << frame;
        for (int y = 0; y < images[0]->height; ++y)
            for (int x = 0; x < images[0]->width; ++x)
                ASSERT_EQ(images[0]->At(x, y), images[1]->At(x, y)) << "frame " << frame << ", texel (" << x << ", " << y << ")";
    }

    ~TwinApps() {
        for (int i = kWays - 1; i >= 0; --i) {
            ImGui::SetCurrentContext(contexts[i]);
            uis[i].reset();
        }
    }

private:
    std::unique_ptr<HeadlessUi> uis[kWays];
    ImGuiContext* contexts[kWays] = {};
};

}  // namespace

// The cached rectangles draw vertex for vertex what a full rescan draws, and
// the lane image kept from frame to frame holds texel for texel what one
// rasterised afresh holds. (That the image shows what the rectangles show is
// checked by pixels, through the GL renderer, in the render suite.)
TEST(ColumnCacheEquivalence, CachedColumnsAndTheKeptLaneImageDrawExactlyWhatAFreshStartDraws) {
    TwinApps twins;
    std::mt19937 random(20261208);
    const auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    const auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };

    const int frames = CaseSize(400, 100);
    for (int frame = 0; frame < frames; ++frame) {
        // A packet of audio of random size: noise, silence or overs.
        size_t packet = static_cast<size_t>(between(0, 6000));
        if (chance(0.2)) packet = static_cast<size_t>(between(1, 5)) * 270;  // whole columns at 6 s, 48 kHz
        if (chance(0.05)) packet = static_cast<size_t>(between(100'000, 700'000));  // more than the history
        // Silence, overs, overs loud enough for one lane's core to reach into the other, or ordinary audio.
        const float amplitude = chance(0.1) ? 0.0f : chance(0.1) ? 1.6f : chance(0.05) ? 2.5f : 0.7f;
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
        // A selection of part of the view, as a drag makes it.
        const bool selectPart = chance(0.06);
        const double partStart = std::uniform_real_distribution<double>(0, 1)(random);
        const double partLength = std::uniform_real_distribution<double>(0, 0.5)(random);
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
            if (selectPart) {
                const int64_t n = ui.app.view.left.frameCount;
                ui.app.paused = ui.app.selectionActive = true;
                ui.app.selectionStart = ui.app.viewEnd - n + static_cast<int64_t>(partStart * static_cast<double>(n));
                ui.app.selectionEnd = ui.app.selectionStart + static_cast<int64_t>(partLength * static_cast<double>(n));
            }
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
