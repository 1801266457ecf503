#include <gtest/gtest.h>
// Xlib's macros (None, Bool) clash with the test framework unless it comes first.
#include "tests/linux/test_window.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/linux/xvfb_display.h"

namespace {

using namespace std::chrono_literals;

// Generous: on a loaded machine the window manager can take seconds to answer.
constexpr auto kWindowManagerAnswer = 20s;

class AlwaysOnTop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.Ready());
        ASSERT_TRUE(platform::desktop::InitGlfwOnX11());
        window = CreateShownTestWindow(320, 200);
        ASSERT_NE(window, nullptr);
        platform::SetMainWindow(window);
        observer = XOpenDisplay(display.Name().c_str());
        ASSERT_NE(observer, nullptr);
        // The window manager must have taken the window before its state means anything.
        ASSERT_TRUE(WaitFor([&] { return WindowState().size() > 0 || Managed(); }));
    }

    void TearDown() override {
        platform::SetMainWindow(nullptr);
        if (observer != nullptr) XCloseDisplay(observer);
        if (window != nullptr) glfwDestroyWindow(window);
        glfwTerminate();
    }

    bool Managed() {
        Window rootWindow = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(observer, glfwGetX11Window(window), &rootWindow, &parent, &children, &count);
        if (children != nullptr) XFree(children);
        return parent != rootWindow;
    }

    std::vector<Atom> WindowState() {
        const Atom state = XInternAtom(observer, "_NET_WM_STATE", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(observer, glfwGetX11Window(window), state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &remaining, &data);
        std::vector<Atom> atoms;
        if (data != nullptr) {
            atoms.assign(reinterpret_cast<Atom*>(data), reinterpret_cast<Atom*>(data) + count);
            XFree(data);
        }
        return atoms;
    }

    bool KeptAbove() {
        const auto atoms = WindowState();
        return std::find(atoms.begin(), atoms.end(), XInternAtom(observer, "_NET_WM_STATE_ABOVE", False)) !=
               atoms.end();
    }

    template <typename Condition>
    bool WaitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + kWindowManagerAnswer;
        while (std::chrono::steady_clock::now() < deadline) {
            glfwPollEvents();
            if (condition()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    XvfbDisplay display{true};
    GLFWwindow* window = nullptr;
    Display* observer = nullptr;
};

TEST_F(AlwaysOnTop, WindowManagerKeepsTheWindowAboveOnlyWhileAsked) {
    // Before a main window is handed over, asking touches no window.
    platform::SetMainWindow(nullptr);
    platform::SetAlwaysOnTop(true);
    platform::SetMainWindow(window);
    EXPECT_FALSE(KeptAbove());
    platform::SetAlwaysOnTop(true);
    EXPECT_TRUE(WaitFor([&] { return KeptAbove(); }));
    platform::SetAlwaysOnTop(false);
    EXPECT_TRUE(WaitFor([&] { return !KeptAbove(); }));
    platform::SetAlwaysOnTop(true);
    EXPECT_TRUE(WaitFor([&] { return KeptAbove(); }));
}

}  // namespace
