#include <gio/gio.h>

#include <string>

#include "platform/linux/grab_service_linux.h"
#include "platform/linux/session_bus_linux.h"
#include "platform/platform.h"

namespace platform {

namespace {

// Long enough for a slow disk to take a 10 s file, short enough for a hot key.
constexpr int kReplyTimeoutMs = 5000;
constexpr char kNotRunning[] = "Wavelift is not running";

}  // namespace

GrabReply RequestGrabFromRunningProgram(double seconds) {
    const desktop::BusConnection bus = desktop::OpenSessionBus();
    if (!bus) return {.path = {}, .error = std::string(kNotRunning) + " (no session bus to reach it through)"};

    GError* error = nullptr;
    GVariant* answer = g_dbus_connection_call_sync(
        bus.get(), desktop::kGrabBusName, desktop::kGrabObjectPath, desktop::kGrabInterface, "Grab",
        g_variant_new("(d)", seconds), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kReplyTimeoutMs,
        nullptr, &error);
    GrabReply reply;
    if (answer != nullptr) {
        const gchar* path = nullptr;
        g_variant_get(answer, "(&s)", &path);
        reply.path = path;
        g_variant_unref(answer);
    } else if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
               g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
        reply.error = kNotRunning;
    } else if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT)) {
        reply.error = "Wavelift did not answer in time";
    } else {
        g_dbus_error_strip_remote_error(error);
        reply.error = error->message;
    }
    g_clear_error(&error);
    return reply;
}

}  // namespace platform
