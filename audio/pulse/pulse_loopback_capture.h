#pragma once
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/loopback_capture.h"
#include "audio/pulse/default_sink_watcher.h"

// Records what one sink of the sound server plays, from the sink's monitor,
// on a capture thread of its own. The interface thread never waits long on
// the server: Start takes the answer only if it comes quickly, otherwise the
// start goes on by itself on the capture thread.
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
    bool IsStarting() const override { return starting.load(); }
    int32_t SampleRate() const override { return sampleRate.load(); }
    std::string DeviceName() const override;
    std::string LastError() const override;
    bool NeedsRestart() const override { return needsRestart.load(); }

private:
    struct StartRecord {
        std::string deviceId;
        AudioCallback callback;
    };

    void CaptureThreadMain(StartRecord record);
    // The start-up's outcome, for a Start still waiting and for the accessors.
    void Answer(bool started, const std::string& error);
    void SetDeviceName(const std::string& name);
    void SetLastError(const std::string& text);

    std::unique_ptr<DefaultSinkWatcher> watcher;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    std::atomic<bool> starting{false};
    std::atomic<bool> needsRestart{false};
    std::atomic<int32_t> sampleRate{48000};
    mutable std::mutex mutex;
    std::condition_variable answered;
    bool hasAnswer = false;
    bool startedAnswer = false;
    std::string deviceName;
    std::string lastError;
};
