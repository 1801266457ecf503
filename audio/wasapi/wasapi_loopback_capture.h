#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include "audio/loopback_capture.h"
#include "audio/sample_conversion.h"

class DefaultDeviceWatcher;

// The layout of the captured samples, read once after the stream starts.
struct PacketFormat {
    int channels = 2;
    int bytesPerSample = 4;
    int bytesPerFrame = 8;
    SampleKind kind = SampleKind::Float32;
};

// A second stream on the captured endpoint that plays silence, so that the
// loopback keeps delivering packets while nothing else plays.
struct SilentRenderStream {
    IAudioClient* client = nullptr;
    IAudioRenderClient* renderClient = nullptr;
    UINT32 bufferFrames = 0;

    // Fills whatever the endpoint has consumed with silence; failures are ignored.
    void TopUp() const;
};

// Loopback capture of one render endpoint in shared mode, on a capture thread
// of its own. Follows the default output through a DefaultDeviceWatcher.
class WasapiLoopbackCapture : public LoopbackCapture {
public:
    // Called on a thread that has initialised COM.
    WasapiLoopbackCapture();
    ~WasapiLoopbackCapture() override;
    WasapiLoopbackCapture(const WasapiLoopbackCapture&) = delete;
    WasapiLoopbackCapture& operator=(const WasapiLoopbackCapture&) = delete;

    std::vector<OutputDevice> ListOutputDevices() override;
    bool Start(const std::string& deviceId, AudioCallback callback) override;
    void Stop() override;
    bool IsRunning() const override { return running.load(); }
    int32_t SampleRate() const override { return sampleRate.load(); }
    std::string DeviceName() const override;
    std::string LastError() const override;
    bool NeedsRestart() const override { return needsRestart.load(); }

    // The watcher registered for default-output changes; null without an enumerator.
    DefaultDeviceWatcher* Watcher() const { return watcher; }

    // Polls a started capture client every 5 ms and delivers its packets until
    // Stop is requested or the client fails; a failure becomes the error text
    // and a restart request. `render` may be null.
    void RunCaptureLoop(IAudioCaptureClient* captureClient, const PacketFormat& format,
                        const AudioCallback& callback, const SilentRenderStream* render);

private:
    struct StartRecord;
    static void CaptureThreadMain(std::unique_ptr<StartRecord> record);
    void SetLastError(std::string message);
    void SetDeviceName(std::string name);

    IMMDeviceEnumerator* enumerator = nullptr;
    DefaultDeviceWatcher* watcher = nullptr;
    std::thread thread;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> running{false};
    std::atomic<bool> needsRestart{false};
    std::atomic<int32_t> sampleRate{48000};
    mutable std::mutex mutex;
    std::string deviceName;
    std::string lastError;
};
