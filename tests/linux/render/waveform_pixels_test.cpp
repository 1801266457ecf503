// The waveform as the user sees it: two apps fed the same audio and input, one
// drawing its columns through the lane image in a texture, the other as
// rectangles from a full rescan, both rendered by the program's GL renderer
// into a window on a private X server and compared pixel by pixel.
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#define GL_GLEXT_PROTOTYPES
#include <GL/glcorearb.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "app/font_texture.h"
#include "app/linux/gl3_renderer.h"
#include "platform/linux/glfw_x11_linux.h"
#include "tests/linux/xvfb_display.h"
#include "tests/support/headless_ui.h"
#include "ui/wave_mapping.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// The software GL driver keeps allocations until the process ends, which the
// leak check would count against this test; the app's own code is leak-checked
// in the headless suites.
#if defined(__SANITIZE_ADDRESS__)
using DriverAllocationsIgnored = __lsan::ScopedDisabler;
#else
struct DriverAllocationsIgnored {};
#endif

constexpr int kWindowWidth = 2400, kWindowHeight = 1000;
// A pixel whose centre lies this close to the edge between two columns may show
// either: the rectangles' corners are snapped to 1/256 of a pixel before the
// rasteriser tests pixel centres, while the image's texel is chosen from a
// texture coordinate interpolated across the whole quad, so when an edge falls
// within rounding distance of a centre the two may decide for different sides.
// Everywhere else the images must be identical.
constexpr double kEdgeTolerance = 0.01;

// One app with its own ImGui context and GL renderer, drawing into the shared window.
struct Twin {
    std::unique_ptr<HeadlessUi> ui;
    Gl3Renderer renderer;
    ImGuiContext* context = nullptr;
};

class WaveformPixels : public ::testing::Test {
protected:
    DriverAllocationsIgnored driverAllocations;
    XvfbDisplay xserver{false, "2560x1200x24"};
    GLFWwindow* window = nullptr;
    Twin twins[2];  // [0] the lane image, [1] the rectangles of a full rescan

    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        ASSERT_TRUE(platform::desktop::InitGlfwOnX11());
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
        window = glfwCreateWindow(kWindowWidth, kWindowHeight, "pixels", nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        glfwMakeContextCurrent(window);
        glfwSwapInterval(0);
        for (int i = 0; i < 2; ++i) {
            Twin& t = twins[i];
            ImGui::SetCurrentContext(nullptr);  // so that the new context becomes the current one
            t.ui = std::make_unique<HeadlessUi>(1100.0f, 460.0f);
            t.context = ImGui::GetCurrentContext();
            ASSERT_TRUE(t.renderer.Init());
            t.ui->app.saveFolder = "/srv/captures";  // the status bar shows it; each harness has its own temp folder
            if (i == 0) t.ui->app.textureDevice = &t.renderer;
            t.ui->app.fullRecompute = i == 1;
            t.ui->UseFakeCapture().rate = 48000;
            t.ui->app.RestartCapture();
            UploadFonts(t);
            // The renderer learns how the window's rasteriser breaks ties in its first frame.
            t.ui->Frame();
            t.renderer.RenderDrawData(ImGui::GetDrawData());
        }
    }

    void TearDown() override {
        for (int i = 1; i >= 0; --i) {
            if (!twins[i].context) continue;
            ImGui::SetCurrentContext(twins[i].context);
            twins[i].renderer.Shutdown();
            twins[i].ui.reset();
        }
        if (window) glfwDestroyWindow(window);
        glfwTerminate();
    }

    static void UploadFonts(Twin& t) {
        t.renderer.DestroyFontTexture(*ImGui::GetIO().Fonts);
        CreateFontTexture(*ImGui::GetIO().Fonts, t.renderer, [](const char*) {});
    }

    template <typename Step>
    void Both(Step&& step) {
        for (Twin& t : twins) {
            ImGui::SetCurrentContext(t.context);
            if constexpr (std::is_invocable_v<Step, Twin&>)
                step(t);
            else
                step(*t.ui);
        }
    }

    void SetScale(float scale) {
        Both([&](Twin& t) {
            t.ui->ApplyScale(scale);
            t.ui->SetDisplaySize(std::floor(1100.0f * scale), std::floor(460.0f * scale));
            UploadFonts(t);
        });
    }

    // Draws one frame of each twin, reads both back and compares them.
    void FrameAndCompare(const std::string& what) {
        std::vector<uint32_t> images[2];
        int width = 0, height = 0;
        for (int i = 0; i < 2; ++i) {
            ImGui::SetCurrentContext(twins[i].context);
            twins[i].ui->Frame();
            const ImVec2 size = ImGui::GetIO().DisplaySize;
            width = static_cast<int>(size.x);
            height = static_cast<int>(size.y);
            glViewport(0, 0, kWindowWidth, kWindowHeight);
            glClearColor(0.05f, 0.06f, 0.08f, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            twins[i].renderer.RenderDrawData(ImGui::GetDrawData());
            images[i].resize(static_cast<size_t>(width) * height);
            glReadBuffer(GL_BACK);
            glPixelStorei(GL_PACK_ALIGNMENT, 4);
            glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, images[i].data());
        }
        ImGui::SetCurrentContext(twins[0].context);
        const App& app = twins[0].ui->app;
        ASSERT_GT(app.laneImage.LayersDrawn(), 0) << what << ": the lane image was not drawn";
        const WaveMapping m = MapView(app);
        // Centres close to a column edge, where the two rasterisations may round to different sides.
        std::vector<bool> nearEdge(static_cast<size_t>(width), false);
        for (int64_t w = FloorDiv(m.FirstFrame(), m.columnFrames) * m.columnFrames; w <= m.viewEnd;
             w += m.columnFrames) {
            const double x = m.XOfFrame(w);
            const int px = static_cast<int>(std::floor(x));
            for (int c = px - 1; c <= px + 1; ++c)
                if (c >= 0 && c < width && std::fabs(c + 0.5 - x) < kEdgeTolerance) nearEdge[static_cast<size_t>(c)] = true;
        }
        int atEdges = 0;
        for (int row = 0; row < height; ++row) {
            for (int x = 0; x < width; ++x) {
                const size_t k = static_cast<size_t>(row) * width + x;
                const uint32_t got = images[0][k], want = images[1][k];
                if (got == want) continue;
                if (nearEdge[static_cast<size_t>(x)]) {
                    ++atEdges;
                    continue;
                }
                ADD_FAILURE() << what << ": pixel (" << x << ", " << height - 1 - row << ") is " << std::hex << got
                              << ", the rectangles give " << want;
                return;
            }
        }
        std::printf("%s: %d layers, identical but for %d pixels at column edges\n", what.c_str(),
                    app.laneImage.LayersDrawn(), atEdges);
    }

    void Feed(const std::vector<float>& interleaved) {
        Both([&](HeadlessUi& ui) { ui.capture().Feed(interleaved.data(), interleaved.size() / 2); });
    }
};

// Stereo audio that exercises every band: noise, a tone, silence, full-scale
// clipping and floating-point overs loud enough for one lane's core to reach
// into the other lane.
std::vector<float> Programme(size_t frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> out(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const size_t part = (i / 9000 + seed) % 5;
        const float tone = std::sin(static_cast<float>(i) * 0.05f);
        float l = 0.0f, r = 0.0f;
        if (part == 0) l = 0.6f * noise(random), r = 0.3f * noise(random);
        if (part == 1) l = 0.5f * tone, r = -0.8f * tone;
        if (part == 3) l = tone > 0 ? 1.0f : -1.0f, r = 0.2f + 0.1f * tone;
        if (part == 4) l = 1.7f * (tone > 0 ? 1.0f : -1.0f), r = 1.3f * noise(random);
        out[2 * i] = l;
        out[2 * i + 1] = r;
    }
    return out;
}

}  // namespace

TEST_F(WaveformPixels, TheLaneImageDrawsWhatTheRectanglesDraw) {
    for (const float scale : {1.0f, 1.5f, 2.0f}) {
        const std::string at = "scale " + std::to_string(scale).substr(0, 3) + ", ";
        SetScale(scale);
        Feed(Programme(400'000, 1));
        FrameAndCompare(at + "full history");
        for (int i = 0; i < 6; ++i) {
            Feed(Programme(800 + 137 * i, 10 + i));
            FrameAndCompare(at + "scrolling " + std::to_string(i));
        }

        Both([](HeadlessUi& ui) { ui.app.TogglePause(); });
        Feed(Programme(5000, 20));
        FrameAndCompare(at + "paused");
        Both([](HeadlessUi& ui) {
            ui.app.selectionActive = true;
            ui.app.selectionStart = ui.app.viewEnd - 200'000;
            ui.app.selectionEnd = ui.app.viewEnd - 90'001;
        });
        FrameAndCompare(at + "selection");
        Both([](HeadlessUi& ui) { ui.app.selectionStart -= 33'333; });
        FrameAndCompare(at + "selection moved");
        Both([](HeadlessUi& ui) { ui.app.TogglePause(); });
        FrameAndCompare(at + "live again");

        Both([&](HeadlessUi& ui) { ui.SetDisplaySize(std::floor(1317.0f * scale), std::floor(603.0f * scale)); });
        Feed(Programme(1500, 30));
        FrameAndCompare(at + "resized");

        Both([](HeadlessUi& ui) {
            ui.capture().rate = ui.capture().rate == 48000 ? 44100 : 48000;
            ui.app.RestartCapture();
        });
        Feed(Programme(300'000, 40));
        FrameAndCompare(at + "rate changed");
        if (HasFailure()) return;
    }
}
