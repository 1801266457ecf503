// The running program's window as any other X client may treat it: a flood of
// client messages, well-formed and malformed drop messages among them, naming
// windows that do not exist, and properties changed under its feet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/linux/program_under_test.h"
#include "tests/linux/xvfb_display.h"
#include "test_paths.h"

// After everything else: Xlib's macros (None, Bool, Status) clash with C++ names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

// Built only where the program is (sanitizer builds for the capture paths leave it out).
#if defined(WAVELIFT_PROGRAM_FILE) && defined(WAVELIFT_FRAME_COUNTER_FILE)

namespace {

using namespace std::chrono_literals;

constexpr int kMessages = 10000;
constexpr int kMessagesPerPropertyChange = 5;
constexpr int kMessagesPerSelectionNotify = 20;
// Far below the display's 60 Hz: the program draws, it does not merely live.
constexpr long kMinimumFramesAfterwards = 20;
// Window ids that no client holds on a fresh server.
constexpr unsigned long kMissingWindow = 0x3FFFFF0;

class HostileClient {
public:
    HostileClient(Display* display, Window program) : display(display), program(program) {
        own = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        messageTypes = Intern({"XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop", "XdndFinished",
                               "WM_PROTOCOLS", "_NET_WM_PING", "_NET_WM_STATE", "WM_CHANGE_STATE"});
        properties = Intern({"XdndAware", "XdndProxy", "XdndTypeList", "XdndSelection", "_NET_WM_STATE",
                             "_NET_WM_NAME", "WM_NAME", "WM_PROTOCOLS", "_NET_WM_ICON", "WAVELIFT_ANYTHING"});
        types = Intern({"ATOM", "WINDOW", "STRING", "CARDINAL", "UTF8_STRING", "junk"});
        windows = {kMissingWindow, kMissingWindow + 7, own, program, DefaultRootWindow(display), 0};
        uriList = XInternAtom(display, "text/uri-list", False);
        xdndSelection = XInternAtom(display, "XdndSelection", False);
        deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    }

    // Client messages sent to the client that created the window: here, the test's.
    Window own = 0;

    void SendMessage() {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = program;
        // Mostly messages the program knows by name; some with any number as their type.
        event.xclient.message_type = Chance(5) ? Random() % 600 : Pick(messageTypes);
        event.xclient.format = Chance(10) ? (Chance(2) ? 8 : 16) : 32;
        event.xclient.data.l[0] = static_cast<long>(Pick(windows));
        // An enter that claims a type list, of any protocol version; or any bits at all.
        event.xclient.data.l[1] = Chance(2) ? static_cast<long>((Random() % 8) << 24 | 1) : RandomLong();
        for (int i = 2; i < 5; ++i) event.xclient.data.l[i] = Chance(3) ? static_cast<long>(uriList) : RandomLong();
        // Closing the window is the one thing a message may rightly ask; that comes last.
        if (event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
            event.xclient.data.l[0] = 0;
        XSendEvent(display, program, False, NoEventMask, &event);
    }

    // The answer to a request for drop data the program never made, naming any window.
    void SendSelectionNotify() {
        XEvent event{};
        event.xselection.type = SelectionNotify;
        event.xselection.requestor = Chance(2) ? Pick(windows) : program;
        event.xselection.selection = event.xselection.property = xdndSelection;
        event.xselection.target = Chance(2) ? uriList : Random() % 600;
        XSendEvent(display, program, False, NoEventMask, &event);
    }

    void ChangeProperty() {
        const Atom property = Pick(properties);
        if (Chance(6)) {
            XDeleteProperty(display, program, property);
            return;
        }
        std::vector<long> data(Random() % 48 + 1);
        for (long& item : data) item = Chance(3) ? static_cast<long>(uriList) : RandomLong();
        XChangeProperty(display, program, property, Pick(types), Chance(3) ? 8 : (Chance(2) ? 16 : 32),
                        Chance(4) ? PropModeAppend : PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size() - 1));
    }

private:
    std::vector<Atom> Intern(std::vector<const char*> names) {
        std::vector<Atom> atoms(names.size());
        XInternAtoms(display, const_cast<char**>(names.data()), static_cast<int>(names.size()), False, atoms.data());
        return atoms;
    }
    unsigned long Random() { return random(); }
    long RandomLong() { return static_cast<long>(random() & 0xFFFFFFFF); }
    bool Chance(unsigned long oneIn) { return Random() % oneIn == 0; }
    unsigned long Pick(const std::vector<unsigned long>& values) { return values[Random() % values.size()]; }

    Display* display;
    Window program;
    std::vector<Atom> messageTypes, properties, types, windows;
    Atom uriList = 0, xdndSelection = 0, deleteWindow = 0;
    std::mt19937_64 random{20240917};
};

TEST(ProgramUnderHostileClients, SurvivesAFloodOfMessagesAndPropertiesTakesNoDropsAndClosesCleanly) {
    // The flood's own mistakes (appending in another format, naming a window that
    // has gone) come back to the test's connection; they must not end the test.
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    {
        XvfbDisplay xserver;
        ASSERT_TRUE(xserver.Ready());
        ProgramUnderTest program(WAVELIFT_PROGRAM_FILE);
        ASSERT_TRUE(program.Open(xserver.Name()));
        const std::string frameFile = (program.Home() / "frames").string();
        ASSERT_TRUE(program.Launch(
            {std::string("LD_PRELOAD=") + WAVELIFT_FRAME_COUNTER_FILE, "WAVELIFT_TEST_FRAME_COUNT_FILE=" + frameFile}));
        const Window window = program.WaitForWindow();
        ASSERT_NE(window, 0u) << program.ErrorText();
        Display* display = program.Connection();

        Atom type = None;
        int format = 0;
        unsigned long items = 0, remaining = 0;
        unsigned char* aware = nullptr;
        XGetWindowProperty(display, window, XInternAtom(display, "XdndAware", False), 0, 1, False, AnyPropertyType,
                           &type, &format, &items, &remaining, &aware);
        if (aware) XFree(aware);
        EXPECT_EQ(type, None) << "the window announces itself as a drop target";

        HostileClient client(display, window);
        for (int i = 1; i <= kMessages; ++i) {
            client.SendMessage();
            if (i % kMessagesPerPropertyChange == 0) client.ChangeProperty();
            if (i % kMessagesPerSelectionNotify == 0) client.SendSelectionNotify();
            if (i % 200 == 0) XSync(display, False);
        }
        XSync(display, False);
        std::printf("sent %d client messages, %d property changes, %d selection answers\n", kMessages,
                    kMessages / kMessagesPerPropertyChange, kMessages / kMessagesPerSelectionNotify);

        const long before = std::atol(ReadText(frameFile).c_str());
        std::this_thread::sleep_for(2s);
        const long drawn = std::atol(ReadText(frameFile).c_str()) - before;
        std::printf("frames drawn in the 2 s after the flood: %ld\n", drawn);
        EXPECT_GE(drawn, kMinimumFramesAfterwards) << "it stopped drawing";

        // A drop target would have answered the positions and drops that named the test's window.
        int answers = 0;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            answers += event.type == ClientMessage && event.xany.window == client.own;
        }
        EXPECT_EQ(answers, 0) << "the program answered drop messages";

        program.SendDeleteWindow(window);
        EXPECT_EQ(program.Wait(), 0) << program.ErrorText();
        EXPECT_EQ(program.ErrorText().find("X Error"), std::string::npos) << program.ErrorText();
        EXPECT_EQ(program.ErrorText().find("runtime error"), std::string::npos) << program.ErrorText();
    }
    XSetErrorHandler(previous);
}

}  // namespace

#endif  // WAVELIFT_PROGRAM_FILE
