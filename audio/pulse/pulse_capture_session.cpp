#include "audio/pulse/pulse_capture_session.h"

#include <pulse/introspect.h>

#include "audio/pulse/pulse_sample_format.h"

namespace {
// Small fragments keep the waveform live.
constexpr pa_usec_t kFragmentUsec = 10000;
constexpr std::chrono::seconds kSinkCheckTimeout{1};

bool IsFinal(pa_stream_state_t state) { return state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED; }
}  // namespace

struct PulseSinkDetails {
    bool found = false;
    std::string name;
    std::string description;
    std::string monitorSource;
    pa_sample_spec spec{};
    pa_channel_map channelMap{};
};

namespace {
void OnDefaultSink(pa_context*, const pa_server_info* info, void* userdata) {
    auto* name = static_cast<std::string*>(userdata);
    if (info && info->default_sink_name) *name = info->default_sink_name;
}

void OnSinkDetails(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    if (eol != 0 || !info) return;
    auto* sink = static_cast<PulseSinkDetails*>(userdata);
    sink->found = true;
    sink->name = info->name ? info->name : "";
    sink->description = info->description ? info->description : "";
    sink->monitorSource = info->monitor_source_name ? info->monitor_source_name : "";
    sink->spec = info->sample_spec;
    sink->channelMap = info->channel_map;
}
}  // namespace

PulseCaptureSession::PulseCaptureSession(const std::atomic<bool>& stopRequested)
    : stopRequested(stopRequested), connection("Wavelift", &stopRequested) {}

PulseCaptureSession::~PulseCaptureSession() {
    if (stream) {
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
    }
}

bool PulseCaptureSession::Open(
    const std::string& requested, PulseClock::time_point deadline,
    const std::function<void(const std::string& name, const std::string& description)>& onSinkFound,
    std::string& error) {
    switch (connection.Connect(deadline)) {
        case PulseConnection::ConnectResult::Ready: break;
        case PulseConnection::ConnectResult::Failed:
            error = "Cannot connect to the sound server (" + connection.ErrorText() + ")";
            return false;
        case PulseConnection::ConnectResult::TimedOut: error = "Sound server did not answer"; return false;
    }
    PulseSinkDetails sink;
    if (!FindSink(requested, deadline, sink, error)) return false;
    if (onSinkFound) onSinkFound(sink.name, sink.description);
    return ConnectStream(sink, deadline, error);
}

bool PulseCaptureSession::FindSink(const std::string& requested, PulseClock::time_point deadline, PulseSinkDetails& sink,
                                   std::string& error) {
    // A lost connection or a silent server, told apart from a missing sink.
    const auto queryFailed = [&] {
        error = connection.IsReady() ? "Sound server did not answer"
                                     : "Cannot connect to the sound server (" + connection.ErrorText() + ")";
        return false;
    };
    const char* missing = requested.empty() ? "No audio output device found" : "Selected output device is not available";
    pa_context* context = connection.Context();

    std::string name = requested;
    if (name.empty()) {
        if (!connection.Await(pa_context_get_server_info(context, OnDefaultSink, &name), deadline)) return queryFailed();
        if (name.empty()) {
            error = missing;
            return false;
        }
    }
    if (!connection.Await(pa_context_get_sink_info_by_name(context, name.c_str(), OnSinkDetails, &sink),
                          deadline))
        return queryFailed();
    if (!sink.found || sink.monitorSource.empty()) {
        error = missing;
        return false;
    }
    return true;
}

bool PulseCaptureSession::ConnectStream(const PulseSinkDetails& sink, PulseClock::time_point deadline,
                                        std::string& error) {
    const RecordFormat format = ChooseRecordFormat(sink.spec.format);
    pa_sample_spec spec = sink.spec;
    spec.format = format.format;
    const pa_channel_map* channelMap = pa_channel_map_compatible(&sink.channelMap, &spec) ? &sink.channelMap : nullptr;

    const auto streamFailed = [&] {
        error = "Record stream failed (" + connection.ErrorText() + ")";
        return false;
    };
    stream = pa_stream_new(connection.Context(), "Wavelift capture", &spec, channelMap);
    if (!stream) return streamFailed();

    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = static_cast<uint32_t>(-1);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec));
    // Without DONT_MOVE the server would quietly hand us another sink's audio
    // when ours goes away.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(stream, sink.monitorSource.c_str(), &attr, flags) < 0) return streamFailed();

    const bool settled = connection.RunUntil(
        [this] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || IsFinal(state) || !connection.IsReady();
        },
        deadline);
    if (!settled) {
        error = "Sound server did not answer";
        return false;
    }
    if (pa_stream_get_state(stream) != PA_STREAM_READY) return streamFailed();

    const pa_sample_spec* actual = pa_stream_get_sample_spec(stream);
    sinkName = sink.name;
    kind = format.kind;
    channels = actual->channels;
    bytesPerSample = static_cast<int>(pa_sample_size(actual));
    bytesPerFrame = static_cast<int>(pa_frame_size(actual));
    rate = static_cast<int32_t>(actual->rate);
    return true;
}

bool PulseCaptureSession::Pump(std::chrono::microseconds wait, const AudioCallback& callback, std::string& error) {
    const bool loopRuns = connection.RunOnce(wait);
    if (!loopRuns || !connection.IsReady() || IsFinal(pa_stream_get_state(stream))) {
        error = BreakdownMessage();
        return false;
    }
    while (!stopRequested.load()) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0) {
            error = BreakdownMessage();
            return false;
        }
        if (bytes == 0) break;
        const size_t frames = bytes / static_cast<size_t>(bytesPerFrame);
        // A hole (no data) is the server telling us audio was lost: silence of
        // the same length keeps the history's clock right.
        ConvertPacketToStereo(static_cast<const unsigned char*>(data), frames, channels, bytesPerSample, bytesPerFrame,
                              kind, data == nullptr, packet);
        pa_stream_drop(stream);
        if (callback && frames > 0) callback(packet.data(), frames);
    }
    return true;
}

std::string PulseCaptureSession::BreakdownMessage() {
    const std::string reason = connection.ErrorText();
    if (connection.IsReady() && !SinkExists(sinkName)) return "Output device was removed";
    return "Capture failed (" + reason + ")";
}

bool PulseCaptureSession::SinkExists(const std::string& name) {
    PulseSinkDetails sink;
    const bool answered = connection.Await(
        pa_context_get_sink_info_by_name(connection.Context(), name.c_str(), OnSinkDetails, &sink),
        PulseClock::now() + kSinkCheckTimeout);
    // Without an answer we cannot claim the sink is gone.
    return !answered || sink.found;
}
