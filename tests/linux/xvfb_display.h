#pragma once
#include <chrono>
#include <string>

#include "tests/linux/test_child.h"

// A private X server for one test, on a display number no one else holds,
// optionally with a window manager. Constructing it points DISPLAY at it.
class XvfbDisplay {
public:
    // `screen` is Xvfb's screen geometry, WIDTHxHEIGHTxDEPTH.
    explicit XvfbDisplay(bool withWindowManager = false, const std::string& screen = "1024x768x24");
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    bool Ready() const { return ready; }
    const std::string& Name() const { return name; }  // ":123"

    // Longer than any scripted gesture takes.
    static constexpr auto kXdotoolTimeout = std::chrono::seconds(60);

    // Runs xdotool with the given commands against this display and waits for it.
    bool Xdotool(const std::vector<std::string>& commands) const;
    // The same, started in the background; wait on the returned child.
    bool XdotoolInBackground(TestChild& child, const std::vector<std::string>& commands) const;

private:
    bool StartServer(const std::string& screen);
    bool StartWindowManager();

    TestChild server;
    TestChild windowManager;
    std::string name;
    bool ready = false;
    std::string failure;  // what the start waited for in vain
};
