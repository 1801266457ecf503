#include "tests/linux/xvfb_display.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

constexpr int kFirstDisplay = 100;
constexpr int kDisplaySpread = 400;
constexpr int kAttempts = 40;
constexpr auto kServerStartTimeout = std::chrono::seconds(15);
constexpr auto kWindowManagerTimeout = std::chrono::seconds(15);

bool DisplayTaken(int number) {
    std::error_code error;
    return std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock", error) ||
           std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number), error);
}

bool WindowManagerRunning(Display* display) {
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format, &count,
                       &remaining, &data);
    const bool running = data != nullptr && count == 1;
    if (data != nullptr) XFree(data);
    return running;
}

bool Reparented(Display* display, Window window) {
    Window root = None, parent = None, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return false;
    if (children != nullptr) XFree(children);
    return parent != root;
}

// The window manager announces itself before it has finished starting, and a
// window mapped in that gap can stay unmanaged. A probe window that it frames
// shows that it takes new windows; one it misses is mapped again.
bool WindowManagerTakesWindows(Display* display, std::chrono::steady_clock::time_point deadline) {
    const Window probe = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    bool taken = false;
    while (!taken && std::chrono::steady_clock::now() < deadline) {
        XMapWindow(display, probe);
        XSync(display, False);
        const auto retry = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(1));
        while (!(taken = Reparented(display, probe)) && std::chrono::steady_clock::now() < retry)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!taken) {
            XUnmapWindow(display, probe);
            XSync(display, False);
        }
    }
    XDestroyWindow(display, probe);
    XSync(display, False);
    return taken;
}

}  // namespace

XvfbDisplay::XvfbDisplay(bool withWindowManager, const std::string& screen) {
    ready = StartServer(screen) && (!withWindowManager || StartWindowManager());
    // The test's own assertion only says the display is not ready; this says what was waited for.
    if (!ready) std::fprintf(stderr, "test display: %s\n", failure.c_str());
}

XvfbDisplay::~XvfbDisplay() {
    windowManager.Stop();
    server.Stop();
}

bool XvfbDisplay::StartServer(const std::string& screen) {
    // Spread start points so that parallel tests rarely race for the same number.
    int number = kFirstDisplay + static_cast<int>(getpid() % kDisplaySpread);
    for (int attempt = 0; attempt < kAttempts; ++attempt, ++number) {
        if (DisplayTaken(number)) continue;
        const std::string candidate = ":" + std::to_string(number);
        // -displayfd reports the number once this very server listens; a lost race exits instead.
        if (!server.Start({"/usr/bin/Xvfb", candidate, "-nolisten", "tcp", "-screen", "0", screen,
                           "-displayfd", "1"},
                          {}, true)) {
            failure = "/usr/bin/Xvfb could not be started";
            return false;
        }
        const auto reported = server.ReadLine(kServerStartTimeout);
        if (reported && *reported == std::to_string(number)) {
            name = candidate;
            setenv("DISPLAY", name.c_str(), 1);
            return true;
        }
        server.Stop();
    }
    failure = "no Xvfb reported listening on a free display number within " +
              std::to_string(kServerStartTimeout.count()) + " s, in " + std::to_string(kAttempts) + " tries";
    return false;
}

bool XvfbDisplay::StartWindowManager() {
    failure = "/usr/bin/openbox could not be started on " + name;
    if (!windowManager.Start({"/usr/bin/openbox", "--sm-disable"}, {"DISPLAY=" + name})) return false;
    failure = "cannot open " + name + " to wait for the window manager";
    Display* display = XOpenDisplay(name.c_str());
    if (display == nullptr) return false;
    const auto deadline = std::chrono::steady_clock::now() + kWindowManagerTimeout;
    bool running = false;
    while (!(running = WindowManagerRunning(display)) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    failure = running ? "openbox did not frame a probe window" : "openbox did not announce itself";
    failure += " within " + std::to_string(kWindowManagerTimeout.count()) + " s on " + name;
    running = running && WindowManagerTakesWindows(display, deadline);
    XCloseDisplay(display);
    return running;
}

bool XvfbDisplay::Xdotool(const std::vector<std::string>& commands) const {
    TestChild child;
    return XdotoolInBackground(child, commands) && child.Wait(kXdotoolTimeout) == 0;
}

bool XvfbDisplay::XdotoolInBackground(TestChild& child, const std::vector<std::string>& commands) const {
    std::vector<std::string> argv = {"/usr/bin/xdotool"};
    argv.insert(argv.end(), commands.begin(), commands.end());
    return child.Start(argv, {"DISPLAY=" + name});
}
