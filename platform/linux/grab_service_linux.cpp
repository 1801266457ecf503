#include "platform/linux/grab_service_linux.h"

#include <gio/gio.h>

#include <vector>

#include "platform/linux/session_bus_linux.h"

namespace platform::desktop {

namespace {

constexpr char kIntrospection[] =
    "<node><interface name='com.brightmoor.Wavelift'>"
    "<method name='Grab'><arg type='d' name='seconds' direction='in'/>"
    "<arg type='s' name='path' direction='out'/></method>"
    "</interface></node>";
constexpr char kNotSavedError[] = "com.brightmoor.Wavelift.Error.NotSaved";
// Enough for any burst of requests; the rest waits for the next frame.
constexpr int kDispatchesPerPoll = 16;

}  // namespace

struct GrabService::State {
    GMainContext* context = g_main_context_new();
    BusConnection connection;
    guint registration = 0;
    guint nameOwner = 0;
    // Calls taken from the bus and not answered yet.
    std::vector<GDBusMethodInvocation*> pending;

    static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                             GVariant*, GDBusMethodInvocation* invocation, gpointer self) {
        static_cast<State*>(self)->pending.push_back(invocation);
    }
};

GrabService::GrabService() : state(std::make_unique<State>()) {
    // The connection dispatches the calls for its objects in the context current when they are registered.
    g_main_context_push_thread_default(state->context);
    state->connection = OpenSessionBus();
    if (state->connection) {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
        static const GDBusInterfaceVTable vtable = {&State::OnMethodCall, nullptr, nullptr, {}};
        state->registration = g_dbus_connection_register_object(state->connection.get(), kGrabObjectPath,
                                                                node->interfaces[0], &vtable, state.get(),
                                                                nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // Neither replaces an owner nor lets itself be replaced: the first instance keeps the name.
        state->nameOwner = g_bus_own_name_on_connection(state->connection.get(), kGrabBusName,
                                                        G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr, nullptr,
                                                        nullptr);
    }
    g_main_context_pop_thread_default(state->context);
}

GrabService::~GrabService() {
    for (GDBusMethodInvocation* invocation : state->pending)
        g_dbus_method_invocation_return_dbus_error(invocation, kNotSavedError, "Wavelift is closing");
    if (state->nameOwner != 0) g_bus_unown_name(state->nameOwner);
    if (state->registration != 0) g_dbus_connection_unregister_object(state->connection.get(), state->registration);
    state->connection.reset();
    for (int i = 0; i < kDispatchesPerPoll && g_main_context_iteration(state->context, FALSE); ++i) {
    }
    g_main_context_unref(state->context);
}

void GrabService::Poll(const std::function<GrabReply(double)>& grab) {
    for (int i = 0; i < kDispatchesPerPoll && g_main_context_iteration(state->context, FALSE); ++i) {
    }
    std::vector<GDBusMethodInvocation*> calls;
    calls.swap(state->pending);
    for (GDBusMethodInvocation* invocation : calls) {
        double seconds = 0.0;
        g_variant_get(g_dbus_method_invocation_get_parameters(invocation), "(d)", &seconds);
        const GrabReply reply = grab(seconds);
        if (reply.path.empty())
            g_dbus_method_invocation_return_dbus_error(invocation, kNotSavedError, reply.error.c_str());
        else
            g_dbus_method_invocation_return_value(invocation, g_variant_new("(s)", reply.path.c_str()));
    }
}

}  // namespace platform::desktop
