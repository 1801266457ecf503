#pragma once
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <string>

// Follows the server's default sink for the capture object's whole life, on a
// connection and loop thread of its own. While active, a change of the
// default sink's name raises the restart flag and does nothing else. When the
// server goes away it keeps reconnecting.
class DefaultSinkWatcher {
public:
    explicit DefaultSinkWatcher(std::atomic<bool>& restartFlag);
    ~DefaultSinkWatcher();
    DefaultSinkWatcher(const DefaultSinkWatcher&) = delete;
    DefaultSinkWatcher& operator=(const DefaultSinkWatcher&) = delete;

    // True while capture follows the default output (started with an empty id).
    void SetActive(bool followsDefault) { active.exchange(followsDefault); }

private:
    static void OnContextState(pa_context* context, void* userdata);
    static void OnServerEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* userdata);
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* userdata);
    static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* userdata);

    // Loop thread (or under the loop's lock) only.
    void Connect();
    void ScheduleRetry();
    void AskForDefaultSink(pa_context* context);

    std::atomic<bool> active{false};
    std::atomic<bool>* restartFlag;
    std::atomic<bool> firstAnswer{false};
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_time_event* retryTimer = nullptr;
    bool defaultKnown = false;
    std::string defaultSink;
};
