#include "audio/pulse/pulse_loopback_capture.h"

#include <chrono>
#include <system_error>

#include "audio/pulse/pulse_capture_session.h"

namespace {
// How long Start waits for the answer before it lets the start go on by itself.
constexpr std::chrono::milliseconds kStartAnswerWait{40};
// A start-up with no answer by then gives up, so that a wedged connection is
// replaced by a fresh one on the next attempt.
constexpr std::chrono::seconds kAttemptTimeout{5};
// Bounds how long Stop waits for the thread to notice the request.
constexpr std::chrono::microseconds kPumpWait{10000};
constexpr char kNoAnswer[] = "Sound server did not answer";
}  // namespace

PulseLoopbackCapture::PulseLoopbackCapture() {
    // Built here, not in the member list, so the flag it raises already exists.
    watcher = std::make_unique<DefaultSinkWatcher>(needsRestart);
}

PulseLoopbackCapture::~PulseLoopbackCapture() {
    Stop();
    watcher.reset();
}

std::vector<OutputDevice> PulseLoopbackCapture::ListOutputDevices() {
    return watcher ? watcher->Sinks() : std::vector<OutputDevice>{};
}

bool PulseLoopbackCapture::Start(const std::string& deviceId, AudioCallback callback) {
    Stop();
    needsRestart.exchange(false);
    stopRequested.exchange(false);
    if (watcher) watcher->SetActive(deviceId.empty());
    {
        std::lock_guard lock(mutex);
        hasAnswer = false;
    }
    starting.exchange(true);
    try {
        thread = std::thread(&PulseLoopbackCapture::CaptureThreadMain, this, StartRecord{deviceId, std::move(callback)});
    } catch (const std::system_error& failure) {
        starting.exchange(false);
        SetLastError(std::string("Capture failed (") + failure.what() + ")");
        return false;
    }

    std::unique_lock lock(mutex);
    if (!answered.wait_for(lock, kStartAnswerWait, [this] { return hasAnswer; })) {
        // The thread answers under the same lock, so its answer replaces this one.
        lastError = kNoAnswer;
        return false;
    }
    const bool started = startedAnswer;
    lock.unlock();
    if (!started && thread.joinable()) thread.join();
    return started;
}

void PulseLoopbackCapture::Stop() {
    stopRequested.exchange(true);
    if (thread.joinable()) thread.join();
    running.exchange(false);
    starting.exchange(false);
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

void PulseLoopbackCapture::Answer(bool started, const std::string& error) {
    {
        std::lock_guard lock(mutex);
        // A start ended by Stop has not failed: the reason shown before stays.
        if (started || !stopRequested.load()) lastError = error;
        if (started) running.exchange(true);
        hasAnswer = true;
        startedAnswer = started;
        starting.exchange(false);
    }
    answered.notify_all();
}

void PulseLoopbackCapture::CaptureThreadMain(StartRecord record) {
    std::string error;
    {
        PulseCaptureSession session(stopRequested);
        const bool opened = session.Open(
            record.deviceId, PulseClock::now() + kAttemptTimeout,
            [this](const std::string& name, const std::string& description) {
                SetDeviceName(description);
                if (watcher) watcher->NoteOpenedSink(name);
            },
            error);
        if (!opened) {
            Answer(false, error);
        } else {
            sampleRate.exchange(session.Rate());
            Answer(true, "");
            while (!stopRequested.load()) {
                if (!session.Pump(kPumpWait, record.callback, error)) {
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
