#include <gtest/gtest.h>
// Xlib's macros (None, Bool) clash with the test framework unless it comes first.
#include <X11/Xlib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <memory>

#include "platform/file_uri.h"
#include "platform/linux/clipboard_linux.h"
#include "platform/path_text.h"
#include "platform/platform.h"
#include "tests/linux/clipboard_manager_stub.h"
#include "tests/linux/scratch_dir.h"
#include "tests/linux/test_child.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

namespace {

using namespace std::chrono_literals;

constexpr auto kPasteTimeout = 20s;
const std::string kGnomeFiles = "x-special/gnome-copied-files";
const std::string kUriList = "text/uri-list";

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override {
        display = std::make_unique<XvfbDisplay>();
        ASSERT_TRUE(display->Ready());
        file = folder / Utf8ToPath("Take 1 é #2.wav");
        std::ofstream(file, std::ios::binary) << "RIFF";
        uri = FileUriFromPath(file);
    }

    void TearDown() override { platform::desktop::HandOverClipboardAtExit(); }

    // A second program pastes each target in turn while the frame loop serves
    // the clipboard; what it received, by target (null where refused).
    nlohmann::json PasteFromAnotherProgram(const std::vector<std::string>& targets) {
        std::vector<std::string> argv = {"/usr/bin/python3",
                                         (std::filesystem::path(WAVELIFT_TEST_SCRIPT_DIR) / "clipboard_paste.py").string()};
        argv.insert(argv.end(), targets.begin(), targets.end());
        TestChild paster;
        EXPECT_TRUE(paster.Start(argv, {}, true));
        const auto deadline = std::chrono::steady_clock::now() + kPasteTimeout;
        while (std::chrono::steady_clock::now() < deadline) {
            platform::desktop::ServeClipboard();
            if (const auto line = paster.ReadLine(10ms)) return nlohmann::json::parse(*line);
        }
        ADD_FAILURE() << "the paste did not end within " << kPasteTimeout.count() << " s";
        return nlohmann::json::object();
    }

    std::unique_ptr<XvfbDisplay> display;
    ScratchDir folder;
    std::filesystem::path file;
    std::string uri;
};

TEST_F(Clipboard, AFileManagerPastesTheFileAndUnknownTargetsAreRefused) {
    // Also keeps the server from resetting when the program's connection closes.
    Display* observer = XOpenDisplay(nullptr);
    ASSERT_NE(observer, nullptr);
    ASSERT_TRUE(platform::CopyFileToClipboard(file));
    const nlohmann::json pasted = PasteFromAnotherProgram(
        {kGnomeFiles, kUriList, "UTF8_STRING", "application/x-kde-cutselection", "image/png"});
    EXPECT_EQ(pasted[kGnomeFiles], "copy\n" + uri);
    EXPECT_EQ(pasted[kUriList], uri + "\r\n");
    EXPECT_EQ(pasted["UTF8_STRING"], PathToUtf8(file));
    EXPECT_EQ(pasted["application/x-kde-cutselection"], "0");
    EXPECT_TRUE(pasted["image/png"].is_null()) << pasted["image/png"];

    // Without a clipboard manager the clipboard goes with the program.
    platform::desktop::HandOverClipboardAtExit();
    EXPECT_EQ(XGetSelectionOwner(observer, XInternAtom(observer, "CLIPBOARD", False)), static_cast<Window>(None));
    XCloseDisplay(observer);
}

TEST_F(Clipboard, ARequestorThatVanishesBeforeTheAnswerDoesNoHarm) {
    ASSERT_TRUE(platform::CopyFileToClipboard(file));
    Display* requestor = XOpenDisplay(nullptr);
    ASSERT_NE(requestor, nullptr);
    const Window window = XCreateSimpleWindow(requestor, DefaultRootWindow(requestor), 0, 0, 1, 1, 0, 0, 0);
    XConvertSelection(requestor, XInternAtom(requestor, "CLIPBOARD", False),
                      XInternAtom(requestor, kGnomeFiles.c_str(), False), XInternAtom(requestor, "PASTE", False),
                      window, CurrentTime);
    XDestroyWindow(requestor, window);
    XCloseDisplay(requestor);
    // The answer to the vanished window fails; the error comes back on a later pump.
    for (int i = 0; i < 3; ++i) platform::desktop::ServeClipboard();

    EXPECT_EQ(PasteFromAnotherProgram({kUriList})[kUriList], uri + "\r\n");
}

TEST_F(Clipboard, AClipboardManagerKeepsTheFileOfferedAfterExit) {
    ClipboardManagerStub manager;
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(platform::CopyFileToClipboard(file));
    platform::desktop::HandOverClipboardAtExit();

    const nlohmann::json pasted = PasteFromAnotherProgram({kGnomeFiles, kUriList});
    EXPECT_EQ(pasted[kGnomeFiles], "copy\n" + uri);
    EXPECT_EQ(pasted[kUriList], uri + "\r\n");
}

}  // namespace
