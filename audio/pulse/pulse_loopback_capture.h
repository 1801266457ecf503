#pragma once
#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/loopback_capture.h"
#include "audio/pulse/default_sink_watcher.h"

// Records what one sink of the sound server plays, from the sink's monitor,
// on a capture thread of its own.
class PulseLoopbackCapture final : public LoopbackCapture {
public:
    PulseLoopbackCapture();
    ~PulseLoopbackCapture() override;
    PulseLoopbackCapture(const PulseLoopbackCapture&) = delete;
    PulseLoopbackCapture& operator=(const PulseLoopbackCapture&) = delete;

    std::vector<OutputDevice> ListOutputDevices() override;
    bool Start(const std::string& deviceId, AudioCallback callback) override;
    void Stop() override;
    bool IsRunning() const override { return running.load(); }
    int32_t SampleRate() const override { return sampleRate.load(); }
    std::string DeviceName() const override;
    std::string LastError() const override;
    bool NeedsRestart() const override { return needsRestart.load(); }

private:
    struct StartRecord {
        std::string deviceId;
        AudioCallback callback;
        std::promise<bool> result;
    };

    void CaptureThreadMain(StartRecord record);
    void SetDeviceName(const std::string& name);
    void SetLastError(const std::string& text);

    std::unique_ptr<DefaultSinkWatcher> watcher;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    std::atomic<bool> needsRestart{false};
    std::atomic<int32_t> sampleRate{48000};
    mutable std::mutex mutex;
    std::string deviceName;
    std::string lastError;
};
