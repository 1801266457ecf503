#include "audio/pulse/pulse_device_list.h"

#include <pulse/introspect.h>

#include <string>

#include "audio/pulse/pulse_connection.h"

namespace {
struct SinkQuery {
    std::string defaultSink;
    std::vector<OutputDevice> sinks;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* query = static_cast<SinkQuery*>(userdata);
    if (info && info->default_sink_name) query->defaultSink = info->default_sink_name;
}

void OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    if (eol != 0 || !info) return;
    auto* query = static_cast<SinkQuery*>(userdata);
    OutputDevice device;
    device.id = info->name ? info->name : "";
    device.name = info->description ? info->description : "";
    query->sinks.push_back(std::move(device));
}
}  // namespace

std::vector<OutputDevice> ListPulseSinks(std::chrono::milliseconds timeout) {
    const auto deadline = PulseClock::now() + timeout;
    PulseConnection connection("Wavelift");
    if (connection.Connect(deadline) != PulseConnection::ConnectResult::Ready) return {};

    SinkQuery query;
    pa_context* context = connection.Context();
    if (!connection.Await(pa_context_get_server_info(context, OnServerInfo, &query), deadline)) return {};
    if (!connection.Await(pa_context_get_sink_info_list(context, OnSinkInfo, &query), deadline)) return {};

    for (OutputDevice& sink : query.sinks) sink.isDefault = !sink.id.empty() && sink.id == query.defaultSink;
    return query.sinks;
}
