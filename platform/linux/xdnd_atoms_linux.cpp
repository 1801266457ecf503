#include "platform/linux/xdnd_atoms_linux.h"

#include <iterator>

namespace platform::desktop {

XdndAtoms XdndAtoms::Intern(Display* display) {
    const char* names[] = {"XdndAware",      "XdndProxy",     "XdndSelection", "XdndEnter",
                           "XdndPosition",   "XdndStatus",    "XdndLeave",     "XdndDrop",
                           "XdndFinished",   "XdndActionCopy", "text/uri-list", "text/plain",
                           "text/plain;charset=utf-8", "UTF8_STRING", "TARGETS", "WM_PROTOCOLS",
                           "_NET_WM_PING"};
    Atom atoms[std::size(names)];
    XInternAtoms(display, const_cast<char**>(names), static_cast<int>(std::size(names)), False, atoms);
    XdndAtoms result{};
    Atom* fields[] = {&result.aware,      &result.proxy,    &result.selection,  &result.enter,
                      &result.position,   &result.status,   &result.leave,      &result.drop,
                      &result.finished,   &result.actionCopy, &result.uriList,  &result.textPlain,
                      &result.textPlainUtf8, &result.utf8String, &result.targets, &result.wmProtocols,
                      &result.wmPing};
    static_assert(std::size(fields) == std::size(names));
    for (size_t i = 0; i < std::size(names); ++i) *fields[i] = atoms[i];
    return result;
}

}  // namespace platform::desktop
