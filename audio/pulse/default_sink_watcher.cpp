#include "audio/pulse/default_sink_watcher.h"

#include <pulse/timeval.h>

#include <chrono>
#include <thread>

namespace {
constexpr pa_usec_t kRetryDelayUsec = PA_USEC_PER_SEC;
// Long enough for a live server to answer, short enough not to stall start-up.
constexpr std::chrono::milliseconds kFirstAnswerWait{1000};
constexpr std::chrono::milliseconds kFirstAnswerPoll{2};
}  // namespace

DefaultSinkWatcher::DefaultSinkWatcher(std::atomic<bool>& flag) : restartFlag(&flag) {
    loop = pa_threaded_mainloop_new();
    if (!loop) return;
    if (pa_threaded_mainloop_start(loop) < 0) {
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
        return;
    }
    pa_threaded_mainloop_lock(loop);
    Connect();
    pa_threaded_mainloop_unlock(loop);

    // Learning the current default first means an early change is not mistaken
    // for the starting point.
    const auto giveUp = std::chrono::steady_clock::now() + kFirstAnswerWait;
    while (!firstAnswer.load() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(kFirstAnswerPoll);
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
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        firstAnswer.exchange(true);
        ScheduleRetry();
    }
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

void DefaultSinkWatcher::OnContextState(pa_context* ctx, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    switch (pa_context_get_state(ctx)) {
        case PA_CONTEXT_READY: {
            pa_context_set_subscribe_callback(ctx, OnServerEvent, self);
            if (pa_operation* operation = pa_context_subscribe(ctx, PA_SUBSCRIPTION_MASK_SERVER, nullptr, nullptr))
                pa_operation_unref(operation);
            self->AskForDefaultSink(ctx);
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            self->firstAnswer.exchange(true);
            // The dead context is released by the retry, not inside its own callback.
            self->ScheduleRetry();
            break;
        default: break;
    }
}

void DefaultSinkWatcher::OnServerEvent(pa_context* ctx, pa_subscription_event_type_t type, uint32_t, void* userdata) {
    if ((type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) != PA_SUBSCRIPTION_EVENT_SERVER) return;
    static_cast<DefaultSinkWatcher*>(userdata)->AskForDefaultSink(ctx);
}

void DefaultSinkWatcher::OnServerInfo(pa_context*, const pa_server_info* info, void* userdata) {
    auto* self = static_cast<DefaultSinkWatcher*>(userdata);
    if (!info) return;
    const std::string name = info->default_sink_name ? info->default_sink_name : "";
    if (self->defaultKnown && name != self->defaultSink && self->active.load()) self->restartFlag->exchange(true);
    self->defaultSink = name;
    self->defaultKnown = true;
    self->firstAnswer.exchange(true);
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
