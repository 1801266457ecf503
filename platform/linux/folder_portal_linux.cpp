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
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr const char* kRequestPathPrefix = "/org/freedesktop/portal/desktop/request/";
// Only the call that opens the dialog is bounded; the user may take as long as they like.
constexpr int kOpenFileCallTimeoutMs = 10000;
constexpr guint32 kResponseSuccess = 0;

// Ends when the portal answers, the bus connection closes or the portal leaves the bus.
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

// A portal that dies after handing out its request would otherwise be waited for for ever.
void OnPortalOwnerChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                          GVariant* parameters, gpointer data) {
    const gchar* newOwner = "";
    if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sss)")))
        g_variant_get(parameters, "(&s&s&s)", nullptr, nullptr, &newOwner);
    if (newOwner[0] == '\0') static_cast<ResponseWait*>(data)->done = true;
}

struct CallWait {
    bool done = false;
    GVariant* reply = nullptr;
};

void OnOpenFileReply(GObject* bus, GAsyncResult* result, gpointer data) {
    auto* wait = static_cast<CallWait*>(data);
    wait->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
    wait->done = true;
}

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
    return g_dbus_connection_signal_subscribe(bus, nullptr, kRequestInterface, "Response", path.c_str(), nullptr,
                                              G_DBUS_SIGNAL_FLAGS_NONE, OnResponse, wait, nullptr);
}

guint SubscribePortalOwner(GDBusConnection* bus, ResponseWait* wait) {
    return g_dbus_connection_signal_subscribe(bus, "org.freedesktop.DBus", "org.freedesktop.DBus",
                                              "NameOwnerChanged", "/org/freedesktop/DBus", kPortalName,
                                              G_DBUS_SIGNAL_FLAGS_NONE, OnPortalOwnerChanged, wait, nullptr);
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

// Runs the private context until `finished`; false, early, once the main window is to close.
bool WaitResponsively(GMainContext* context, ModalWait& modal, const bool& finished) {
    GSource* tick = g_timeout_source_new(ModalWait::kPollMilliseconds);
    g_source_set_callback(tick, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
    g_source_attach(tick, context);
    bool closing = false;
    while (!finished && !(closing = modal.CloseRequested())) g_main_context_iteration(context, TRUE);
    g_source_destroy(tick);
    g_source_unref(tick);
    return !closing;
}

// Takes the dialog away when the program stops waiting for it.
void CloseRequest(GDBusConnection* bus, const std::string& handle) {
    GDBusMessage* message =
        g_dbus_message_new_method_call(kPortalName, handle.c_str(), kRequestInterface, "Close");
    g_dbus_message_set_flags(message, G_DBUS_MESSAGE_FLAGS_NO_REPLY_EXPECTED);
    g_dbus_connection_send_message(bus, message, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr, nullptr);
    g_object_unref(message);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

// The handle of the portal's request; empty when no portal took the call.
std::string OpenDialog(GDBusConnection* bus, GMainContext* context, ModalWait& modal, const std::string& token,
                       const std::optional<std::filesystem::path>& start, const std::string& parentWindow,
                       bool& closing) {
    CallWait call;
    GCancellable* cancellable = g_cancellable_new();
    g_dbus_connection_call(
        bus, kPortalName, kPortalPath, "org.freedesktop.portal.FileChooser", "OpenFile",
        g_variant_new("(ss@a{sv})", parentWindow.c_str(), kPickFolderTitle, OpenFileOptions(token, start)),
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kOpenFileCallTimeoutMs, cancellable, OnOpenFileReply, &call);
    closing = !WaitResponsively(context, modal, call.done);
    if (closing) {
        g_cancellable_cancel(cancellable);
        // The reply handler runs once more, soon, with the outcome; `call` must outlive it.
        while (!call.done) g_main_context_iteration(context, TRUE);
    }
    g_object_unref(cancellable);
    std::string handle;
    if (call.reply != nullptr) {
        const gchar* path = nullptr;
        g_variant_get(call.reply, "(&o)", &path);
        handle = path;
        g_variant_unref(call.reply);
    }
    return handle;
}

PortalAnswer AskPortal(GMainContext* context, ModalWait& modal, const std::optional<std::filesystem::path>& start,
                       const std::string& parentWindow) {
    BusConnection bus = OpenSessionBus();
    if (!bus) return {};
    ResponseWait wait;
    const gulong closedHandler = g_signal_connect(bus.get(), "closed", G_CALLBACK(OnClosed), &wait);
    const guint ownerSubscription = SubscribePortalOwner(bus.get(), &wait);
    const std::string token = NewHandleToken();
    const std::string expectedPath = RequestPath(bus.get(), token);
    guint subscription = SubscribeResponse(bus.get(), expectedPath, &wait);

    bool closing = false;
    const std::string handle = OpenDialog(bus.get(), context, modal, token, start, parentWindow, closing);
    PortalAnswer answer;
    if (!handle.empty()) {
        // Older portals choose their own request path.
        if (expectedPath != handle) {
            g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
            subscription = SubscribeResponse(bus.get(), handle, &wait);
        }
        if (!closing) closing = !WaitResponsively(context, modal, wait.done);
        answer = closing ? PortalAnswer{PortalOutcome::Cancelled, {}} : wait.answer;
        if (closing) CloseRequest(bus.get(), handle);
    } else if (closing) {
        answer = {PortalOutcome::Cancelled, {}};
    }
    g_dbus_connection_signal_unsubscribe(bus.get(), subscription);
    g_dbus_connection_signal_unsubscribe(bus.get(), ownerSubscription);
    g_signal_handler_disconnect(bus.get(), closedHandler);
    return answer;
}

}  // namespace

PortalAnswer PickFolderWithPortal(const std::optional<std::filesystem::path>& start, const std::string& parentWindow,
                                  ModalWait& modal) {
    // A private main context keeps the portal's signals away from any other loop of the program.
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    const PortalAnswer answer = AskPortal(context, modal, start, parentWindow);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return answer;
}

}  // namespace platform::desktop
