#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "platform/file_uri.h"
#include "platform/linux/folder_pickers_linux.h"
#include "platform/linux/session_bus_linux.h"

namespace platform::desktop {

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kRequestPathPrefix = "/org/freedesktop/portal/desktop/request/";
// Only the call that opens the dialog is bounded; the user may take as long as they like.
constexpr int kOpenFileCallTimeoutMs = 10000;
constexpr guint32 kResponseSuccess = 0;

struct ResponseWait {
    bool done = false;
    PortalAnswer answer{PortalOutcome::Cancelled, {}};
};

void OnResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                gpointer data) {
    auto* wait = static_cast<ResponseWait*>(data);
    if (wait->done || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
    wait->done = true;
    guint32 response = 0;
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    const gchar** uris = nullptr;
    if (response == kResponseSuccess && g_variant_lookup(results, "uris", "^a&s", &uris) && uris != nullptr &&
        uris[0] != nullptr) {
        if (const auto folder = PathFromFileUri(uris[0])) wait->answer = {PortalOutcome::Chosen, *folder};
    }
    g_free(uris);
    g_variant_unref(results);
}

void OnClosed(GDBusConnection*, gboolean, GError*, gpointer data) { static_cast<ResponseWait*>(data)->done = true; }

// The request object's path is known before the call, so the answer cannot be missed.
std::string RequestPath(GDBusConnection* bus, const std::string& token) {
    std::string sender = g_dbus_connection_get_unique_name(bus);
    if (!sender.empty() && sender.front() == ':') sender.erase(0, 1);
    for (char& c : sender) {
        if (c == '.') c = '_';
    }
    return kRequestPathPrefix + sender + "/" + token;
}

std::string NewHandleToken() {
    static std::atomic<unsigned> counter{0};
    return "wavelift" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

guint SubscribeResponse(GDBusConnection* bus, const std::string& path, ResponseWait* wait) {
    return g_dbus_connection_signal_subscribe(bus, nullptr, "org.freedesktop.portal.Request", "Response",
                                              path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnResponse, wait,
                                              nullptr);
}

GVariant* OpenFileOptions(const std::string& token, const std::optional<std::filesystem::path>& start) {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "directory", g_variant_new_boolean(TRUE));
    g_variant_builder_add(&options, "{sv}", "modal", g_variant_new_boolean(TRUE));
    if (start) g_variant_builder_add(&options, "{sv}", "current_folder", g_variant_new_bytestring(start->c_str()));
    return g_variant_builder_end(&options);
}

PortalAnswer AskPortal(GMainContext* context, const std::optional<std::filesystem::path>& start,
                       const std::string& parentWindow) {
    BusConnection bus = OpenSessionBus();
    if (!bus) return {};
    ResponseWait wait;
    const gulong closedHandler = g_signal_connect(bus.get(), "closed", G_CALLBACK(OnClosed), &wait);
    const std::string token = NewHandleToken();
    const std::string expectedPath = RequestPath(bus.get(), token);
    guint subscription = SubscribeResponse(bus.get(), expectedPath, &wait);

    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), kPortalName, kPortalPath, "org.freedesktop.portal.FileChooser", "OpenFile",
        g_variant_new("(ss@a{sv})", parentWindow.c_str(), kPickFolderTitle, OpenFileOptions(token, start)),
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kOpenFileCallTimeoutMs, nullptr, &error);
    g_clear_error(&error);

    PortalAnswer answer;
    if (reply != nullptr) {
        const gchar* handle = nullptr;
        g_variant_get(reply, "(&o)", &handle);
        // Older portals choose their own request path.
        if (expectedPath != handle) {
            g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
            subscription = SubscribeResponse(bus.get(), handle, &wait);
        }
        g_variant_unref(reply);
        while (!wait.done) g_main_context_iteration(context, TRUE);
        answer = wait.answer;
    }
    g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
    g_signal_handler_disconnect(bus.get(), closedHandler);
    return answer;
}

}  // namespace

PortalAnswer PickFolderWithPortal(const std::optional<std::filesystem::path>& start, const std::string& parentWindow) {
    // A private main context keeps the portal's signals away from any other loop of the program.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    const PortalAnswer answer = AskPortal(context, start, parentWindow);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return answer;
}

}  // namespace platform::desktop
