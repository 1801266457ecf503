#include "audio/pulse/default_sink_watcher.h"

#include <pulse/timeval.h>

namespace {
constexpr pa_usec_t kRetryDelayUsec = PA_USEC_PER_SEC;
constexpr auto kEvents = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK);
}  // namespace

DefaultSinkWatcher::DefaultSinkWatcher(std::atomic<bool>& flag) : restartFlag(&flag) {
    loop = pa_threaded_mainloop_new();
    if (!loop) return;
    if (pa_threaded_mainloop_start(loop) < 0) {
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return;
    }
    // The first answer comes later, on the loop thread: a server that is slow
    // to answer never holds up the caller.
    pa_threaded_mainloop_lock(loop);
    Connect();
    pa_threaded_mainloop_unlock(loop);
}

DefaultSinkWatcher::~DefaultSinkWatcher() {
    if (!loop) return;
    pa_threaded_mainloop_stop(loop);
    // The loop thread has ended; nothing runs our callbacks any more.
    if (retryTimer) pa_threaded_mainloop_get_api(loop)->time_free(retryTimer);
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    pa_threaded_mainloop_free(loop);
}

void DefaultSinkWatcher::Connect() {
    context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Wavelift");
    if (!context) {
        ScheduleRetry();
        return;
    }
    pa_context_set_state_callback(context, OnContextState, this);
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) ScheduleRetry();
}

void DefaultSinkWatcher::SetActive(bool followsDefault) {
    active.exchange(followsDefault);
    std::lock_guard lock(mutex);
    openedSink.clear();
}

void DefaultSinkWatcher::NoteOpenedSink(const std::string& name) {
    std::lock_guard lock(mutex);
    openedSink = name;
}

std::vector<OutputDevice> DefaultSinkWatcher::Sinks() const {
    std::lock_guard lock(mutex);
    std::vector<OutputDevice> list = sinks;
    for (OutputDevice& sink : list) sink.isDefault = !sink.id.empty() && sink.id == publishedDefault;
    return list;
}

void DefaultSinkWatcher::ForgetServer() {
    arrivingSinks.clear();
    std::lock_guard lock(mutex);
    sinks.clear();
    publishedDefault.clear();
}

void DefaultSinkWatcher::ScheduleRetry() {
    if (retryTimer) return;
    struct timeval when {};
    pa_timeval_add(pa_gettimeofday(&when), kRetryDelayUsec);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    retryTimer = api->time_new(api, &when, OnRetry, this);
}

void DefaultSinkWatcher::AskForDefaultSink(pa_context* ctx) {
    if (pa_operation* operation = pa_context_get_server_info(ctx, OnServerInfo, this)) pa_operation_unref(operation);
}

void DefaultSinkWatcher::AskForSinks(pa_context* ctx) {
    if (pa_operation* operation = pa_context_get_sink_info_list(ctx, OnSinkInfo, this)) pa_operation_unref(operation);
}

void DefaultSinkWatcher::OnContextState(pa_context* ctx, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    switch (pa_context_get_state(ctx)) {
        case PA_CONTEXT_READY: {
            pa_context_set_subscribe_callback(ctx, OnServerEvent, self);
            if (pa_operation* operation = pa_context_subscribe(ctx, kEvents, nullptr, nullptr))
                pa_operation_unref(operation);
            // Answers come in the order asked: the default is known before the list.
            self->AskForDefaultSink(ctx);
            self->AskForSinks(ctx);
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->ForgetServer();
            // The dead context is released by the retry, not inside its own callback.
            self->ScheduleRetry();
            break;
        default: break;
    }
}

void DefaultSinkWatcher::OnServerEvent(pa_context* ctx, pa_subscription_event_type_t type, uint32_t, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    switch (type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
        case PA_SUBSCRIPTION_EVENT_SERVER: self->AskForDefaultSink(ctx); break;
        case PA_SUBSCRIPTION_EVENT_SINK: self->AskForSinks(ctx); break;
        default: break;
    }
}

void DefaultSinkWatcher::OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    if (!info) return;
    const std::string name = info->default_sink_name ? info->default_sink_name : "";
    std::lock_guard lock(self->mutex);
    // Before the first answer, a capture that already opened the default is the starting point.
    const bool changed = self->defaultKnown ? name != self->defaultSink
                                            : !self->openedSink.empty() && name != self->openedSink;
    if (changed && self->active.load()) self->restartFlag->exchange(true);
    self->defaultSink = name;
    self->defaultKnown = true;
    self->publishedDefault = name;
}

void DefaultSinkWatcher::OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    if (eol < 0) {
        self->arrivingSinks.clear();
        return;
    }
    if (eol == 0) {
        if (info)
            self->arrivingSinks.push_back({info->name ? info->name : "", info->description ? info->description : "", false});
        return;
    }
    std::lock_guard lock(self->mutex);
    self->sinks = std::move(self->arrivingSinks);
    self->arrivingSinks.clear();
}

void DefaultSinkWatcher::OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    api->time_free(event);
    self->retryTimer = nullptr;
    if (self->context) {
        pa_context_set_state_callback(self->context, nullptr, nullptr);
        pa_context_set_subscribe_callback(self->context, nullptr, nullptr);
        pa_context_disconnect(self->context);
        pa_context_unref(self->context);
        self->context = nullptr;
    }
    self->Connect();
}
