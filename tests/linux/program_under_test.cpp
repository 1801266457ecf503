#include "tests/linux/program_under_test.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
constexpr auto kWindowPoll = std::chrono::milliseconds(50);
constexpr auto kCapturePoll = std::chrono::milliseconds(200);
constexpr char kWindowTitle[] = "Wavelift";
}  // namespace

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Screenshot::Count(const Rect& area, const std::function<bool(uint32_t)>& match) const {
    if (pixels.empty()) return 0;
    int count = 0;
    for (int y = static_cast<int>(area.y0); y < static_cast<int>(area.y1); ++y)
        for (int x = static_cast<int>(area.x0); x < static_cast<int>(area.x1); ++x) count += match(At(x, y));
    return count;
}

int Screenshot::Columns(const Rect& area, const std::function<bool(uint32_t)>& match, int minimum) const {
    if (pixels.empty()) return 0;
    int columns = 0;
    for (int x = static_cast<int>(area.x0); x < static_cast<int>(area.x1); ++x) {
        int found = 0;
        for (int y = static_cast<int>(area.y0); y < static_cast<int>(area.y1); ++y) found += match(At(x, y));
        columns += found >= minimum;
    }
    return columns;
}

void Screenshot::Save(const fs::path& path) const {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (uint32_t p : pixels) out.put(char(p >> 16)).put(char(p >> 8)).put(char(p));
}

ProgramUnderTest::ProgramUnderTest(std::string programFile) : programFile(std::move(programFile)) {}

ProgramUnderTest::~ProgramUnderTest() {
    child.Stop();
    if (display) XCloseDisplay(display);
    std::error_code ignored;
    if (!home.empty()) fs::remove_all(home, ignored);
}

bool ProgramUnderTest::Open(const std::string& displayName) {
    char pattern[] = "/tmp/wavelift-program-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    home = pattern;
    display = XOpenDisplay(displayName.c_str());
    return display != nullptr;
}

bool ProgramUnderTest::Launch(const std::vector<std::string>& extraEnvironment, bool withDisplay) {
    std::vector<std::string> argv;
    if (!withDisplay) argv = {"/usr/bin/env", "-u", "DISPLAY"};
    for (const char* word : {"/bin/sh", "-c", "exec \"$0\" 2>\"$1\""}) argv.push_back(word);
    argv.push_back(programFile);
    argv.push_back(ErrorFile().string());
    // In the sanitizer build the software GL driver keeps allocations until
    // exit, which the leak check would count against the program; its own
    // code is leak-checked in the headless suites. A frame counter preloaded
    // by a test comes ahead of the sanitizer's runtime, which is harmless.
    std::vector<std::string> environment = {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + ConfigHome().string(),
                                            "LIBGL_ALWAYS_SOFTWARE=1",
                                            "ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0"};
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    return child.Start(argv, environment);
}

XWindowId ProgramUnderTest::WaitForWindow() {
    const auto deadline = Clock::now() + kWindowTimeout;
    while (Clock::now() < deadline) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = None;
        if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count && found == None; ++i) {
                char* name = nullptr;
                XWindowAttributes attributes{};
                if (XFetchName(display, children[i], &name) && name && std::string(name) == kWindowTitle &&
                    XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
                    found = children[i];
                if (name) XFree(name);
            }
            if (children) XFree(children);
        }
        if (found != None) return found;
        std::this_thread::sleep_for(kWindowPoll);
    }
    return None;
}

bool ProgramUnderTest::WindowOrigin(XWindowId window, int& x, int& y) const {
    Window child = None;
    return XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

Screenshot ProgramUnderTest::Capture(XWindowId window) const {
    // A window that went away with its program gives an empty screenshot, not Xlib's exit.
    XSync(display, False);
    const auto previousHandler = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XWindowAttributes attributes{};
    const bool exists = XGetWindowAttributes(display, window, &attributes);
    XImage* image = exists ? XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap)
                           : nullptr;
    XSync(display, False);
    XSetErrorHandler(previousHandler);
    Screenshot shot;
    if (!image) return shot;
    shot.width = attributes.width;
    shot.height = attributes.height;
    shot.pixels.reserve(static_cast<size_t>(shot.width) * shot.height);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) shot.pixels.push_back(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return shot;
}

Screenshot ProgramUnderTest::CaptureOnce(XWindowId window, const std::function<bool(const Screenshot&)>& ready,
                                         std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    Screenshot shot = Capture(window);
    while (!ready(shot) && Clock::now() < deadline) {
        std::this_thread::sleep_for(kCapturePoll);
        shot = Capture(window);
    }
    return shot;
}

long ProgramUnderTest::ProgramPid(XWindowId window) const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                       &format, &count, &remaining, &data);
    const long pid = (data && count == 1) ? *reinterpret_cast<long*>(data) : -1;
    if (data) XFree(data);
    return pid;
}

XWindowId ProgramUnderTest::SelectionOwner(const char* selection) const {
    return XGetSelectionOwner(display, XInternAtom(display, selection, False));
}

void ProgramUnderTest::SendDeleteWindow(XWindowId window) const {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

void ProgramUnderTest::SetXftDpi(int dpi) const {
    const std::string resources = "Xft.dpi:\t" + std::to_string(dpi) + "\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.c_str()), static_cast<int>(resources.size()));
    XSync(display, False);
}

bool ProgramUnderTest::HasMinimumSize(XWindowId window, int width, int height) const {
    XSizeHints hints{};
    long supplied = 0;
    return XGetWMNormalHints(display, window, &hints, &supplied) && (hints.flags & PMinSize) &&
           hints.min_width == width && hints.min_height == height;
}
