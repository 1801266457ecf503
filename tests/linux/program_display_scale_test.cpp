// The running program when the desktop's scale (Xft.dpi) changes under it.
#include <gtest/gtest.h>

#include <string>

#include "app/app.h"
#include "tests/linux/capture_probe.h"
#include "tests/linux/program_under_test.h"
#include "tests/linux/pulse_server.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#if defined(WAVELIFT_PROGRAM_FILE)

namespace {

constexpr int kWidth = 1650, kHeight = 690;  // the window at 144 dpi

class ProgramDisplayScale : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(xserver.Ready());
        ASSERT_TRUE(changed.Open(xserver.Name()));
        ASSERT_TRUE(fresh.Open(xserver.Name()));
        display = changed.Connection();
        // Hover effects would differ between the two programs.
        XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, 1919, 1079);
    }

    // Everything but the right end of the status bar, which names each program's own save folder.
    static int Differences(const Screenshot& a, const Screenshot& b) {
        if (a.width != b.width || a.height != b.height || a.pixels.empty()) return -1;
        const MainLayout layout = ComputeMainLayout(0, 0, static_cast<float>(a.width), static_cast<float>(a.height), 1.5f);
        int differences = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                if (!(y >= layout.statusBar.y0 && x > a.width * 0.45) && a.At(x, y) != b.At(x, y)) ++differences;
        return differences;
    }

    XvfbDisplay xserver{false, "1920x1080x24"};
    PulseServer sound;  // never started: both programs show the same capture error
    ProgramUnderTest changed{WAVELIFT_PROGRAM_FILE};
    ProgramUnderTest fresh{WAVELIFT_PROGRAM_FILE};
    Display* display = nullptr;
};

TEST_F(ProgramDisplayScale, ANewXftDpiRebuildsTheWindowAsAStartAtThatScaleWould) {
    changed.SetXftDpi(144);
    ASSERT_TRUE(fresh.Launch());
    const Window freshWindow = fresh.WaitForWindow();
    ASSERT_NE(freshWindow, None) << fresh.ErrorText();
    const Screenshot reference = fresh.CaptureOnce(freshWindow, [&](const Screenshot& s) {
        return !s.pixels.empty() && s.Count(Rect{0, 0, kWidth, kHeight}, [](uint32_t p) { return p != 0; }) > 0;
    });
    ASSERT_EQ(reference.width, kWidth);
    int x = 0, y = 0;
    ASSERT_TRUE(fresh.WindowOrigin(freshWindow, x, y));
    fresh.Stop();

    changed.SetXftDpi(96);
    ASSERT_TRUE(changed.Launch());
    const Window window = changed.WaitForWindow();
    ASSERT_NE(window, None) << changed.ErrorText();
    ASSERT_TRUE(changed.HasMinimumSize(window, 360, 210));
    changed.SetXftDpi(144);
    EXPECT_TRUE(WaitUntil([&] { return changed.HasMinimumSize(window, 540, 315); }, ProgramUnderTest::kWindowTimeout))
        << "the minimum size follows the scale";

    // Side by side with the program started at 144 dpi, at its size and place.
    XMoveResizeWindow(display, window, x, y, kWidth, kHeight);
    XSync(display, False);
    const Screenshot shot =
        changed.CaptureOnce(window, [&](const Screenshot& s) { return Differences(s, reference) == 0; });
    if (Differences(shot, reference) != 0) {
        reference.Save(changed.Home().parent_path() / "wavelift-scale-fresh.ppm");
        shot.Save(changed.Home().parent_path() / "wavelift-scale-changed.ppm");
    }
    EXPECT_EQ(Differences(shot, reference), 0) << "pixels that differ from a start at 144 dpi";

    changed.SendDeleteWindow(window);
    EXPECT_EQ(changed.Wait(), 0) << changed.ErrorText();
}

}  // namespace

#endif  // WAVELIFT_PROGRAM_FILE
