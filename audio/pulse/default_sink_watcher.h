#pragma once
#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "audio/loopback_capture.h"

// Follows the server for the capture object's whole life, on a connection and
// loop thread of its own: while active, a change of the default sink's name
// raises the restart flag and does nothing else. It also keeps the server's
// list of sinks current, so the list is at hand without asking a server that
// may be slow to answer. When the server goes away it keeps reconnecting.
class DefaultSinkWatcher {
public:
    explicit DefaultSinkWatcher(std::atomic<bool>& restartFlag);
    ~DefaultSinkWatcher();
    DefaultSinkWatcher(const DefaultSinkWatcher&) = delete;
    DefaultSinkWatcher& operator=(const DefaultSinkWatcher&) = delete;

    // True while capture follows the default output (started with an empty id).
    void SetActive(bool followsDefault);
    // The sink a capture following the default has opened. Until the watcher
    // has its first answer, that sink is what a changed default is told from.
    void NoteOpenedSink(const std::string& name);

    // The server's sinks in its own order, the default one flagged; empty
    // while no server is connected.
    std::vector<OutputDevice> Sinks() const;

private:
    static void OnContextState(pa_context* context, void* userdata);
    static void OnServerEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* userdata);
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* userdata);
    static void OnSinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* userdata);
    static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when, void* userdata);

    // Loop thread (or under the loop's lock) only.
    void Connect();
    void ScheduleRetry();
    void AskForDefaultSink(pa_context* context);
    void AskForSinks(pa_context* context);
    void ForgetServer();

    std::atomic<bool> active{false};
    std::atomic<bool>* restartFlag;
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    pa_time_event* retryTimer = nullptr;
    bool defaultKnown = false;
    std::string defaultSink;
    std::vector<OutputDevice> arrivingSinks;

    // Shared with the interface and capture threads.
    mutable std::mutex mutex;
    std::vector<OutputDevice> sinks;
    std::string publishedDefault;
    std::string openedSink;
};
