#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Receives interleaved stereo float frames (L, R, L, R, ...) and their frame
// count on the capture thread. The block is valid only during the call.
using AudioCallback = std::function<void(const float*, size_t)>;

struct OutputDevice {
    std::string id;    // stable identifier, stored as "deviceId"
    std::string name;  // friendly name, UTF-8; may be empty
    bool isDefault = false;
};

// Records what one audio output plays. One object per run, owned by the App.
// Every call is made on the interface thread; accessors never change state.
class LoopbackCapture {
public:
    virtual ~LoopbackCapture() = default;
    virtual std::vector<OutputDevice> ListOutputDevices() = 0;
    // Stops whatever runs, then starts capture of deviceId (empty: the default
    // output). True: capture runs. False: it does not run now and LastError
    // says why; a start still waiting for the audio system's answer goes on
    // by itself meanwhile (IsStarting) and may begin capture later.
    virtual bool Start(const std::string& deviceId, AudioCallback callback) = 0;
    // Stops capture, or a start still under way, and waits for the capture thread to end.
    virtual void Stop() = 0;
    virtual bool IsRunning() const = 0;
    // A start has not had its answer yet: capture may still begin without another Start.
    virtual bool IsStarting() const { return false; }
    virtual int32_t SampleRate() const = 0;
    virtual std::string DeviceName() const = 0;
    virtual std::string LastError() const = 0;
    // Raised on a breakdown or a default-output change; cleared only by Start.
    virtual bool NeedsRestart() const = 0;
};

// The platform's capture object.
std::unique_ptr<LoopbackCapture> CreateLoopbackCapture();
