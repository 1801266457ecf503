#include "audio/pulse/pulse_loopback_capture.h"

#include <chrono>
#include <system_error>

#include "audio/pulse/pulse_capture_session.h"
#include "audio/pulse/pulse_device_list.h"

namespace {
constexpr std::chrono::seconds kStartAnswerTimeout{5};
constexpr std::chrono::milliseconds kListTimeout{2000};
// Bounds how long Stop waits for the thread to notice the request.
constexpr std::chrono::microseconds kPumpWait{10000};
}  // namespace

PulseLoopbackCapture::PulseLoopbackCapture() {
    // Built here, not in the member list, so the flag it raises already exists.
    watcher = std::make_unique<DefaultSinkWatcher>(needsRestart);
}

PulseLoopbackCapture::~PulseLoopbackCapture() {
    Stop();
    watcher.reset();
}

std::vector<OutputDevice> PulseLoopbackCapture::ListOutputDevices() { return ListPulseSinks(kListTimeout); }

bool PulseLoopbackCapture::Start(const std::string& deviceId, AudioCallback callback) {
    Stop();
    needsRestart.exchange(false);
    stopRequested.exchange(false);
    if (watcher) watcher->SetActive(deviceId.empty());

    std::promise<bool> result;
    std::future<bool> answer = result.get_future();
    try {
        thread = std::thread(&PulseLoopbackCapture::CaptureThreadMain, this,
                             StartRecord{deviceId, std::move(callback), std::move(result)});
    } catch (const std::system_error& failure) {
        SetLastError(std::string("Capture failed (") + failure.what() + ")");
        return false;
    }
    const bool started = answer.get();
    if (!started && thread.joinable()) thread.join();
    return started;
}

void PulseLoopbackCapture::Stop() {
    stopRequested.exchange(true);
    if (thread.joinable()) thread.join();
    running.exchange(false);
}

std::string PulseLoopbackCapture::DeviceName() const {
    std::lock_guard lock(mutex);
    return deviceName;
}

std::string PulseLoopbackCapture::LastError() const {
    std::lock_guard lock(mutex);
    return lastError;
}

void PulseLoopbackCapture::SetDeviceName(const std::string& name) {
    std::lock_guard lock(mutex);
    deviceName = name;
}

void PulseLoopbackCapture::SetLastError(const std::string& text) {
    std::lock_guard lock(mutex);
    lastError = text;
}

void PulseLoopbackCapture::CaptureThreadMain(StartRecord record) {
    std::string error;
    {
        PulseCaptureSession session;
        const bool opened = session.Open(
            record.deviceId, PulseClock::now() + kStartAnswerTimeout,
            [this](const std::string& name) { SetDeviceName(name); }, error);
        if (!opened) {
            SetLastError(error);
            record.result.set_value(false);
        } else {
            sampleRate.exchange(session.Rate());
            running.exchange(true);
            SetLastError("");
            record.result.set_value(true);
            while (!stopRequested.load()) {
                if (!session.Pump(kPumpWait, record.callback, stopRequested, error)) {
                    SetLastError(error);
                    needsRestart.exchange(true);
                    break;
                }
            }
        }
    }
    running.exchange(false);
    record.callback = nullptr;
}

std::unique_ptr<LoopbackCapture> CreateLoopbackCapture() { return std::make_unique<PulseLoopbackCapture>(); }
