#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/ui_font_candidates.h"
#include "tests/windows/windows_test_support.h"

namespace {

// A hidden top-level window standing in for the program's main window.
class TestWindow {
public:
    TestWindow() {
        hwnd = CreateWindowExW(0, L"STATIC", L"Wavelift test window", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                               nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() {
        platform::SetMainWindow(nullptr);
        DestroyWindow(hwnd);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND hwnd = nullptr;
};

bool IsTopmost(HWND hwnd) {
    return (GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

}  // namespace

TEST(ShellKnownFolders, EachFolderResolvesToAnExistingAbsoluteFolder) {
    ComApartment com;
    for (platform::KnownFolder folder : {platform::KnownFolder::Music, platform::KnownFolder::Documents,
                                         platform::KnownFolder::RoamingAppData, platform::KnownFolder::Fonts}) {
        const std::filesystem::path path = platform::GetKnownFolderPath(folder);
        EXPECT_TRUE(path.is_absolute()) << path;
        EXPECT_TRUE(std::filesystem::is_directory(path)) << path;
    }
    EXPECT_NE(platform::GetKnownFolderPath(platform::KnownFolder::Music),
              platform::GetKnownFolderPath(platform::KnownFolder::Documents));
}

TEST(ShellKnownFolders, InterfaceFontsAreLookedUpInTheFontsFolder) {
    ComApartment com;
    const std::filesystem::path fonts = platform::GetKnownFolderPath(platform::KnownFolder::Fonts);
    EXPECT_EQ(platform::GetUiFontCandidates(), (std::vector<platform::UiFontFace>{{fonts / "segoeui.ttf"}, {fonts / "seguisb.ttf"}}));
}

TEST(ShellDragOut, UnparsablePathFailsAtOnceWithoutReleasingTheButton) {
    ComApartment com;
    TestWindow window;
    platform::SetMainWindow(window.hwnd);
    std::vector<platform::DragResult> results;
    platform::DragFileOut(L"Z:\\no such folder\\Wavelift 2026-01-01 00-00-00.wav",
                          [&](platform::DragResult result) { results.push_back(result); });
    EXPECT_EQ(results, std::vector<platform::DragResult>{platform::DragResult::Failed});
    EXPECT_NO_THROW(platform::DragFileOut(L"Z:\\no such folder\\capture.wav", nullptr)) << "without a callback";
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, window.hwnd, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE))
        << "no drag loop ran, so no release may be posted";
}

TEST(ShellAlwaysOnTop, RaisesAndLowersTheMainWindowOnceItIsHandedOver) {
    TestWindow window;
    // Asked before, it touches no window and keeps nothing for later.
    platform::SetMainWindow(nullptr);
    platform::SetAlwaysOnTop(true);
    platform::SetMainWindow(window.hwnd);
    EXPECT_FALSE(IsTopmost(window.hwnd));
    platform::SetAlwaysOnTop(true);
    EXPECT_TRUE(IsTopmost(window.hwnd));
    platform::SetAlwaysOnTop(false);
    EXPECT_FALSE(IsTopmost(window.hwnd));
}
