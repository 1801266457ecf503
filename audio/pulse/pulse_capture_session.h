#pragma once
#include <pulse/stream.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "audio/loopback_capture.h"
#include "audio/pulse/pulse_connection.h"
#include "audio/sample_conversion.h"

struct PulseSinkDetails;

// One run of capture on the capture thread: the connection, the sink being
// recorded and the record stream on that sink's monitor. Every wait ends as
// soon as `stopRequested` is raised.
class PulseCaptureSession {
public:
    explicit PulseCaptureSession(const std::atomic<bool>& stopRequested);
    ~PulseCaptureSession();
    PulseCaptureSession(const PulseCaptureSession&) = delete;
    PulseCaptureSession& operator=(const PulseCaptureSession&) = delete;

    // Connects and starts recording the named sink (empty: the server's
    // default). onSinkFound receives the sink's name and description as soon as
    // the sink is known. On failure `error` holds the message for the user.
    bool Open(const std::string& sinkName, PulseClock::time_point deadline,
              const std::function<void(const std::string& name, const std::string& description)>& onSinkFound,
              std::string& error);

    int32_t Rate() const { return rate; }

    // Waits up to `wait` for audio, then hands every fragment that has arrived
    // to the callback, in order, while `stopRequested` stays clear. False when
    // capture broke down, with the message in `error`.
    bool Pump(std::chrono::microseconds wait, const AudioCallback& callback, std::string& error);

private:
    bool FindSink(const std::string& requested, PulseClock::time_point deadline, PulseSinkDetails& sink,
                  std::string& error);
    bool ConnectStream(const PulseSinkDetails& sink, PulseClock::time_point deadline, std::string& error);
    bool SinkExists(const std::string& name);
    std::string BreakdownMessage();

    const std::atomic<bool>& stopRequested;
    PulseConnection connection;
    pa_stream* stream = nullptr;
    std::string sinkName;
    SampleKind kind = SampleKind::Float32;
    int channels = 2;
    int bytesPerSample = 4;
    int bytesPerFrame = 8;
    int32_t rate = 48000;
    std::vector<float> packet;
};
