#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "platform/linux/display_scale_watch_linux.h"
#include "tests/linux/xvfb_display.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;
using platform::desktop::DisplayScaleWatch;
using platform::desktop::UiScaleFromResources;

TEST(UiScaleFromResources, ReadsXftDpiAmongOtherResourcesAndHoldsOddValuesToAUsableRange) {
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.dpi:\t144\n"), 1.5f);
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.antialias:\t1\n*background: #000\nXft.dpi: 120\nXft.rgba: rgb\n"),
                    1.25f);
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.dpi: 96\nXft.dpi: 192\n"), 2.0f) << "the last entry wins";
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.hinting: 1\n"), 1.0f);
    EXPECT_FLOAT_EQ(UiScaleFromResources(""), 1.0f);
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.dpi: lots\n"), 1.0f);
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.dpi: -96\n"), 1.0f);
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.dpi: 100000\n"), 4.0f);
    EXPECT_FLOAT_EQ(UiScaleFromResources("Xft.dpi: 12\n"), 0.5f);
}

class DisplayScaleWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        desktop = XOpenDisplay(xserver.Name().c_str());
        ASSERT_NE(desktop, nullptr);
    }
    void TearDown() override {
        if (desktop) XCloseDisplay(desktop);
    }

    // What a settings daemon or `xrdb` does.
    void SetResources(const std::string& text) {
        XChangeProperty(desktop, DefaultRootWindow(desktop), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        XSync(desktop, False);
    }

    // The watch is polled once per frame; this polls it until it reports.
    std::optional<float> NextChange(DisplayScaleWatch& watch) {
        for (int i = 0; i < 500; ++i) {
            if (const auto scale = watch.Changed()) return scale;
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    XvfbDisplay xserver;
    Display* desktop = nullptr;
};

TEST_F(DisplayScaleWatchTest, ReportsEachNewResourceDatabaseOnceAndNothingInBetween) {
    SetResources("Xft.dpi:\t120\n");
    DisplayScaleWatch watch;
    EXPECT_EQ(watch.Changed(), 1.25f) << "the scale at the start of the watch";
    EXPECT_EQ(watch.Changed(), std::nullopt);

    SetResources("Xft.dpi:\t144\nXft.antialias:\t1\n");
    EXPECT_EQ(NextChange(watch), 1.5f);
    EXPECT_EQ(watch.Changed(), std::nullopt);

    // The server has sent the event by the time it answers the sync.
    XChangeProperty(desktop, DefaultRootWindow(desktop), XInternAtom(desktop, "_WAVELIFT_OTHER", False), XA_STRING,
                    8, PropModeReplace, reinterpret_cast<const unsigned char*>("x"), 1);
    XSync(desktop, False);
    EXPECT_EQ(watch.Changed(), std::nullopt) << "another root property";

    XDeleteProperty(desktop, DefaultRootWindow(desktop), XA_RESOURCE_MANAGER);
    XSync(desktop, False);
    EXPECT_EQ(NextChange(watch), 1.0f) << "no resources at all";
    EXPECT_EQ(watch.Changed(), std::nullopt);
}

}  // namespace
