#include <gtest/gtest.h>
// Xlib's macros (None, Bool) clash with the test framework unless it comes first.
#include <GLFW/glfw3.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/file_uri.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/test_child.h"
#include "tests/linux/xvfb_display.h"

namespace {

using platform::DragResult;
using namespace std::chrono_literals;

// The program's window sits at the top-left; drop targets to its right.
constexpr int kWindowWidth = 200, kWindowHeight = 150;
constexpr int kTargetX = 400, kTargetY = 50, kTargetWidth = 300, kTargetHeight = 200;
const std::string kOverTarget[] = {"550", "150"};
const std::string kOverNothing[] = {"800", "600"};
constexpr auto kTargetStartTimeout = 20s;

std::filesystem::path DropTargetScript() { return std::filesystem::path(__FILE__).parent_path() / "drop_target.py"; }

class XdndDrag : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.Ready());
        ASSERT_TRUE(glfwInit());
        glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        window = glfwCreateWindow(kWindowWidth, kWindowHeight, "Wavelift", nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        glfwSetWindowPos(window, 0, 0);
        glfwShowWindow(window);
        platform::SetMainWindow(window);

        ImGui::CreateContext();
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        ImGui::GetIO().Fonts->GetTexDataAsAlpha8(&pixels, &width, &height);
        ImGui_ImplGlfw_InitForOther(window, true);

        file = folder / Utf8ToPath("Take 1 é #2 100%.wav");
        std::ofstream(file, std::ios::binary) << "RIFF";
    }

    void TearDown() override {
        platform::SetMainWindow(nullptr);
        if (ImGui::GetCurrentContext() != nullptr) {
            ImGui_ImplGlfw_Shutdown();
            ImGui::DestroyContext();
        }
        if (window != nullptr) glfwDestroyWindow(window);
        glfwTerminate();
    }

    void PumpFrames(int count) {
        for (int i = 0; i < count; ++i) {
            glfwPollEvents();
            ImGui_ImplGlfw_NewFrame();
            ImGui::NewFrame();
            ImGui::EndFrame();
            std::this_thread::sleep_for(10ms);
        }
    }

    // The press that starts a drag-out happens in the program's window, as a user's would.
    void PressInsideWindow() {
        ASSERT_TRUE(display.Xdotool({"mousemove", "100", "75", "mousedown", "1"}));
        for (int i = 0; i < 200 && !ImGui::GetIO().MouseDown[0]; ++i) PumpFrames(1);
        ASSERT_TRUE(ImGui::GetIO().MouseDown[0]);
    }

    void StartTarget(bool refuse = false) {
        std::vector<std::string> argv = {"/usr/bin/python3", DropTargetScript().string(),
                                         "--x", std::to_string(kTargetX), "--y", std::to_string(kTargetY),
                                         "--width", std::to_string(kTargetWidth), "--height",
                                         std::to_string(kTargetHeight)};
        if (refuse) argv.push_back("--refuse");
        ASSERT_TRUE(target.Start(argv, {}, true));
        ASSERT_EQ(target.ReadLine(kTargetStartTimeout), "ready");
    }

    // Runs DragFileOut while xdotool plays the user's part; counts the callbacks.
    DragResult DragWhile(const std::vector<std::string>& userActions) {
        TestChild user;
        EXPECT_TRUE(display.XdotoolInBackground(user, userActions));
        int calls = 0;
        DragResult result = DragResult::Failed;
        platform::DragFileOut(file, [&](DragResult r) {
            ++calls;
            result = r;
        });
        user.Wait();
        EXPECT_EQ(calls, 1);
        return result;
    }

    static std::vector<std::string> MoveAndRelease(const std::string (&to)[2]) {
        return {"sleep", "0.3", "mousemove", "300", "100", "sleep", "0.15", "mousemove", to[0], to[1],
                "sleep", "0.15", "mousemove_relative", "--", "5", "5", "sleep", "0.4", "mouseup", "1"};
    }

    std::vector<std::string> ReceivedUris(std::chrono::milliseconds firstWithin) {
        std::vector<std::string> uris;
        auto wait = firstWithin;
        while (auto line = target.ReadLine(wait)) {
            uris.push_back(*line);
            wait = 500ms;
        }
        return uris;
    }

    XvfbDisplay display;
    ScratchDir folder;
    std::filesystem::path file;
    GLFWwindow* window = nullptr;
    TestChild target;
};

TEST_F(XdndDrag, DropOntoATargetDeliversOneUriAndReleasesTheButton) {
    StartTarget();
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(kOverTarget)), DragResult::Dropped);

    const std::vector<std::string> uris = ReceivedUris(3s);
    ASSERT_EQ(uris.size(), 1u);
    EXPECT_EQ(uris[0], FileUriFromPath(file));
    EXPECT_TRUE(uris[0].ends_with("/Take%201%20%C3%A9%20%232%20100%25.wav")) << uris[0];
    EXPECT_EQ(PathFromFileUri(uris[0]), file);

    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(XdndDrag, ReleaseOverNoTargetIsCancelled) {
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(kOverNothing)), DragResult::Cancelled);
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

TEST_F(XdndDrag, ReleaseBackOnTheProgramsOwnWindowIsCancelled) {
    StartTarget();
    PressInsideWindow();
    const DragResult result = DragWhile({"sleep", "0.3", "mousemove", "550", "150", "sleep", "0.3", "mousemove",
                                         "120", "80", "sleep", "0.3", "mouseup", "1"});
    EXPECT_EQ(result, DragResult::Cancelled);
    EXPECT_TRUE(ReceivedUris(1s).empty());
}

TEST_F(XdndDrag, EscapeCancelsTheDragOverATarget) {
    StartTarget();
    PressInsideWindow();
    const DragResult result = DragWhile({"sleep", "0.3", "mousemove", kOverTarget[0], kOverTarget[1], "sleep", "0.4",
                                         "key", "Escape", "sleep", "0.2", "mouseup", "1"});
    EXPECT_EQ(result, DragResult::Cancelled);
    EXPECT_TRUE(ReceivedUris(1s).empty());
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

TEST_F(XdndDrag, TargetRefusingTheFileGivesCancelled) {
    StartTarget(true);
    PressInsideWindow();
    EXPECT_EQ(DragWhile(MoveAndRelease(kOverTarget)), DragResult::Cancelled);
    EXPECT_TRUE(ReceivedUris(1s).empty());
}

TEST_F(XdndDrag, SilentTargetEndsTheDragAfterATimeout) {
    // A window that claims to take drops but never answers.
    Display* other = XOpenDisplay(display.Name().c_str());
    ASSERT_NE(other, nullptr);
    const Window silent = XCreateSimpleWindow(other, DefaultRootWindow(other), kTargetX, kTargetY, kTargetWidth,
                                              kTargetHeight, 0, 0, 0);
    const Atom version = 5;
    XChangeProperty(other, silent, XInternAtom(other, "XdndAware", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
    XMapWindow(other, silent);
    XSync(other, False);

    PressInsideWindow();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DragWhile(MoveAndRelease(kOverTarget)), DragResult::Cancelled);
    // It waited for an answer that never came, then gave up.
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GT(elapsed, 2500ms);
    EXPECT_LT(elapsed, 8s);
    XCloseDisplay(other);
}

TEST_F(XdndDrag, MissingCallbackIsFine) {
    PressInsideWindow();
    TestChild user;
    ASSERT_TRUE(display.XdotoolInBackground(user, MoveAndRelease(kOverNothing)));
    platform::DragFileOut(file, nullptr);
    user.Wait();
    PumpFrames(3);
    EXPECT_FALSE(ImGui::GetIO().MouseDown[0]);
}

TEST_F(XdndDrag, MissingFileFailsWithoutADrag) {
    PressInsideWindow();
    int calls = 0;
    DragResult result = DragResult::Dropped;
    platform::DragFileOut(folder / "gone.wav", [&](DragResult r) {
        ++calls;
        result = r;
    });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result, DragResult::Failed);
    EXPECT_TRUE(ImGui::GetIO().MouseDown[0]);
}

TEST(XdndWithoutDisplay, FailsAtOnceWithOrWithoutCallback) {
    platform::SetMainWindow(nullptr);
    ScratchDir folder;
    const std::filesystem::path file = folder / "take.wav";
    std::ofstream(file) << "RIFF";
    int calls = 0;
    DragResult result = DragResult::Dropped;
    const auto start = std::chrono::steady_clock::now();
    platform::DragFileOut(file, [&](DragResult r) {
        ++calls;
        result = r;
    });
    platform::DragFileOut(file, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(result, DragResult::Failed);
    EXPECT_TRUE(std::filesystem::exists(file));
}

}  // namespace
