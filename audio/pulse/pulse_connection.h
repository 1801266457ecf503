#pragma once
#include <pulse/context.h>
#include <pulse/mainloop.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

using PulseClock = std::chrono::steady_clock;

// A client connection driven by a loop that only the owning thread turns.
// Every wait is bounded, so a server that stops answering cannot hang us, and
// ends early once `interrupt` (when given) is raised, so the thread can be
// joined promptly.
class PulseConnection {
public:
    enum class ConnectResult { Ready, Failed, TimedOut };

    explicit PulseConnection(const char* clientName, const std::atomic<bool>* interrupt = nullptr);
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    // Connects without ever spawning a server of our own.
    ConnectResult Connect(PulseClock::time_point deadline);
    // Turns the loop once, sleeping at most `wait` when nothing is pending.
    // False when the loop cannot run any more.
    bool RunOnce(std::chrono::microseconds wait);
    // Turns the loop until done() holds (true), or the deadline passes or the
    // interrupt is raised (false).
    bool RunUntil(const std::function<bool()>& done, PulseClock::time_point deadline);
    // Waits for an operation to finish; cancels it when the deadline passes.
    bool Await(pa_operation* operation, PulseClock::time_point deadline);

    bool IsReady() const;
    // The library's text for the connection's last error.
    std::string ErrorText() const;

    pa_context* Context() const { return context; }

private:
    pa_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    const std::atomic<bool>* interrupt;
};
