#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "tests/linux/test_child.h"

// Xlib's Display and Window, without its macros.
struct _XDisplay;
using XDisplayHandle = _XDisplay*;
using XWindowId = unsigned long;

std::string ReadText(const std::filesystem::path& path);

// A window's contents as 0xRRGGBB pixels.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    int Count(const Rect& area, const std::function<bool(uint32_t)>& match) const;
    // Columns of `area` with at least `minimum` matching pixels: a drawn signal,
    // not just the flat line of silence.
    int Columns(const Rect& area, const std::function<bool(uint32_t)>& match, int minimum) const;
    // A binary PPM, for looking at a failure.
    void Save(const std::filesystem::path& path) const;
};

// The program started as a user would, on a given X display: its own home
// and configuration folders in a fresh temporary folder, its standard error
// kept in a file, and a connection of the test's own for finding and
// inspecting its window.
class ProgramUnderTest {
public:
    static constexpr auto kWindowTimeout = std::chrono::seconds(30);
    // From a close request to the end of the process, saving settings included.
    static constexpr auto kExitTimeout = std::chrono::seconds(30);

    explicit ProgramUnderTest(std::string programFile);
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Makes the home folder and connects to the display; false on failure.
    bool Open(const std::string& displayName);

    // Starts the program; `extraEnvironment` entries ("NAME=value") are added last.
    bool Launch(const std::vector<std::string>& extraEnvironment = {}, bool withDisplay = true);
    // Waits up to `limit` for the exit: the exit code, -1 if a signal ended it,
    // or kChildStillRunning if it had not ended by then (it is then killed).
    int Wait(std::chrono::milliseconds limit = kExitTimeout) { return child.Wait(limit); }
    void Stop() { child.Stop(); }

    const std::filesystem::path& Home() const { return home; }
    std::filesystem::path ConfigHome() const { return home / "config"; }
    std::filesystem::path ErrorFile() const { return home / "stderr.txt"; }
    std::string ErrorText() const { return ReadText(ErrorFile()); }
    XDisplayHandle Connection() const { return display; }

    // The program's top-level window once it is mapped; 0 on timeout.
    XWindowId WaitForWindow();
    // Where the window's top-left corner is on the screen.
    bool WindowOrigin(XWindowId window, int& x, int& y) const;
    Screenshot Capture(XWindowId window) const;
    // Screenshots until one satisfies `ready`; the last one on timeout.
    Screenshot CaptureOnce(XWindowId window, const std::function<bool(const Screenshot&)>& ready,
                           std::chrono::milliseconds timeout = kWindowTimeout) const;
    long ProgramPid(XWindowId window) const;
    // The window owning the named selection now; 0 when none does.
    XWindowId SelectionOwner(const char* selection) const;
    // Asks the window to close, as a window manager's close button does.
    void SendDeleteWindow(XWindowId window) const;
    // Replaces the display's resource database with one that sets only Xft.dpi.
    void SetXftDpi(int dpi) const;
    // Whether the window asks the window manager for exactly this minimum size.
    bool HasMinimumSize(XWindowId window, int width, int height) const;

private:
    std::string programFile;
    std::filesystem::path home;
    XDisplayHandle display = nullptr;
    TestChild child;
};
