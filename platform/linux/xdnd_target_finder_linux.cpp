#include "platform/linux/xdnd_target_finder_linux.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <optional>

namespace platform::desktop {

namespace {

constexpr int kMaxWindowDepth = 64;

// The first 32-bit item of a window property of the given type.
std::optional<unsigned long> ReadFirstItem(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType,
                                          &actualFormat, &count, &remaining, &data);
    std::optional<unsigned long> item;
    if (status == Success && data != nullptr && actualType == type && actualFormat == 32 && count >= 1) {
        item = reinterpret_cast<unsigned long*>(data)[0];
    }
    if (data != nullptr) XFree(data);
    return item;
}

XdndTarget AwareTarget(Display* display, const XdndAtoms& atoms, Window window) {
    Window receiver = window;
    // A proxy counts only when it points at itself, as the protocol asks.
    if (const auto proxy = ReadFirstItem(display, window, atoms.proxy, XA_WINDOW)) {
        const auto proxyOfProxy = ReadFirstItem(display, *proxy, atoms.proxy, XA_WINDOW);
        if (proxyOfProxy && *proxyOfProxy == *proxy) receiver = *proxy;
    }
    const auto version = ReadFirstItem(display, receiver, atoms.aware, XA_ATOM);
    if (!version || static_cast<long>(*version) < kXdndOldestTargetVersion) return {};
    return {window, receiver, std::min(static_cast<long>(*version), kXdndVersion)};
}

}  // namespace

XdndTarget FindXdndTarget(Display* display, const XdndAtoms& atoms, int rootX, int rootY, Window own) {
    const Window root = DefaultRootWindow(display);
    Window current = root;
    XdndTarget found;
    for (int depth = 0; depth < kMaxWindowDepth; ++depth) {
        int x = 0, y = 0;
        Window child = None;
        if (!XTranslateCoordinates(display, root, current, rootX, rootY, &x, &y, &child)) break;
        if (child == None) {
            // Desktops take drops on the bare background through the root window.
            if (current == root) found = AwareTarget(display, atoms, root);
            break;
        }
        current = child;
        if (current == own) return {};
        if (const XdndTarget target = AwareTarget(display, atoms, current)) found = target;
    }
    return found;
}

}  // namespace platform::desktop
