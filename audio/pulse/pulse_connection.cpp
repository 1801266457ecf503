#include "audio/pulse/pulse_connection.h"

#include <pulse/error.h>
#include <pulse/operation.h>

#include <algorithm>

namespace {
bool IsFinal(pa_context_state_t state) {
    return state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED;
}
}  // namespace

PulseConnection::PulseConnection(const char* clientName, const std::atomic<bool>* interrupt) : interrupt(interrupt) {
    loop = pa_mainloop_new();
    if (loop) context = pa_context_new(pa_mainloop_get_api(loop), clientName);
}

PulseConnection::~PulseConnection() {
    if (context) {
        pa_context_disconnect(context);
        pa_context_unref(context);
    }
    if (loop) pa_mainloop_free(loop);
}

PulseConnection::ConnectResult PulseConnection::Connect(PulseClock::time_point deadline) {
    if (!context) return ConnectResult::Failed;
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return ConnectResult::Failed;
    const bool settled = RunUntil(
        [this] {
            const pa_context_state_t state = pa_context_get_state(context);
            return state == PA_CONTEXT_READY || IsFinal(state);
        },
        deadline);
    if (!settled) return ConnectResult::TimedOut;
    return IsReady() ? ConnectResult::Ready : ConnectResult::Failed;
}

bool PulseConnection::RunOnce(std::chrono::microseconds wait) {
    if (pa_mainloop_prepare(loop, static_cast<int>(wait.count())) < 0) return false;
    if (pa_mainloop_poll(loop) < 0) return false;
    return pa_mainloop_dispatch(loop) >= 0;
}

bool PulseConnection::RunUntil(const std::function<bool()>& done, PulseClock::time_point deadline) {
    // Short turns keep the deadline and the interrupt honest even when the server stays silent.
    constexpr std::chrono::microseconds kLongestTurn{5000};
    while (!done()) {
        const auto now = PulseClock::now();
        if (now >= deadline || (interrupt && interrupt->load())) return false;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        if (!RunOnce(std::min(left, kLongestTurn))) return done();
    }
    return true;
}

bool PulseConnection::Await(pa_operation* operation, PulseClock::time_point deadline) {
    if (!operation) return false;
    const bool finished = RunUntil(
        [this, operation] {
            return pa_operation_get_state(operation) != PA_OPERATION_RUNNING || !IsReady();
        },
        deadline);
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
    const bool done = finished && pa_operation_get_state(operation) == PA_OPERATION_DONE;
    pa_operation_unref(operation);
    return done;
}

bool PulseConnection::IsReady() const {
    return context && pa_context_get_state(context) == PA_CONTEXT_READY;
}

std::string PulseConnection::ErrorText() const {
    const char* text = pa_strerror(context ? pa_context_errno(context) : PA_ERR_INTERNAL);
    return text ? text : "unknown error";
}
