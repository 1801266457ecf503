#pragma once
#include <gio/gio.h>

#include <memory>

namespace platform::desktop {

struct CloseBusConnection {
    void operator()(GDBusConnection* connection) const {
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
    }
};
using BusConnection = std::unique_ptr<GDBusConnection, CloseBusConnection>;

// A private connection to the user's session bus, made afresh so that it
// follows the bus address of the moment; null when there is no bus. Signal
// handlers run in the thread-default main context current at this call.
BusConnection OpenSessionBus();

}  // namespace platform::desktop
