#include "platform/linux/display_scale_watch_linux.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::desktop {

namespace {

constexpr float kBaseDpi = 96.0f;
constexpr float kSmallestScale = 0.5f;
constexpr float kLargestScale = 4.0f;
// A resource database larger than this (in 32-bit units) is not read whole.
constexpr long kMostResourceWords = 1 << 20;

std::string RootResources(Display* display, Atom resourceManager) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, DefaultRootWindow(display), resourceManager, 0, kMostResourceWords, False,
                           XA_STRING, &type, &format, &count, &remaining, &data) == Success &&
        type == XA_STRING && format == 8 && data != nullptr) {
        text.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data) XFree(data);
    return text;
}

}  // namespace

float UsableUiScale(float scale) {
    if (!std::isfinite(scale) || scale <= 0.0f) return 1.0f;
    return std::clamp(scale, kSmallestScale, kLargestScale);
}

float UiScaleFromResources(std::string_view resources) {
    float dpi = kBaseDpi;
    XrmInitialize();
    const std::string text(resources.substr(0, resources.find('\0')));
    if (XrmDatabase database = XrmGetStringDatabase(text.c_str())) {
        char* type = nullptr;
        XrmValue value{};
        if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && type != nullptr &&
            std::strcmp(type, "String") == 0 && value.addr != nullptr) {
            dpi = std::strtof(value.addr, nullptr);
        }
        XrmDestroyDatabase(database);
    }
    return UsableUiScale(dpi / kBaseDpi);
}

DisplayScaleWatch::DisplayScaleWatch() {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return;
    resourceManager = XInternAtom(display, "RESOURCE_MANAGER", False);
    XSelectInput(display, DefaultRootWindow(display), PropertyChangeMask);
    XFlush(display);
}

DisplayScaleWatch::~DisplayScaleWatch() {
    if (display) XCloseDisplay(display);
}

std::optional<float> DisplayScaleWatch::Changed() {
    if (display == nullptr) return std::nullopt;
    // The first call also covers a change made before the watch began.
    bool changed = firstCall;
    firstCall = false;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == PropertyNotify && event.xproperty.atom == resourceManager) changed = true;
    }
    if (!changed) return std::nullopt;
    return UiScaleFromResources(RootResources(display, resourceManager));
}

}  // namespace platform::desktop
