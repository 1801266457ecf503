#include <future>
#include <optional>

#include "audio/wasapi/capture_messages.h"
#include "audio/wasapi/default_device_watcher.h"
#include "audio/wasapi/device_properties.h"
#include "audio/wasapi/mix_format.h"
#include "audio/wasapi/utf16_text.h"
#include "audio/wasapi/wasapi_loopback_capture.h"

namespace {

constexpr REFERENCE_TIME kBufferDuration = 2000000;  // 200 ms in 100-ns units
constexpr DWORD kPollIntervalMs = 5;

// Everything one capture run obtains from Core Audio, released in reverse order.
struct CaptureSession {
    IMMDeviceEnumerator* enumerator = nullptr;
    IMMDevice* device = nullptr;
    IAudioClient* audioClient = nullptr;
    WAVEFORMATEX* mixFormat = nullptr;
    IAudioCaptureClient* captureClient = nullptr;
    SilentRenderStream render;
    PacketFormat format;

    // Opens the endpoint and starts loopback capture on it; the failure text, or nothing.
    std::optional<std::string> Open(const std::string& deviceId, const std::function<void(std::string)>& setDeviceName);
    void StartSilentRenderStream();
    void StopStreams();
    void Release();
};

std::optional<std::string> CaptureSession::Open(const std::string& deviceId,
                                                const std::function<void(std::string)>& setDeviceName) {
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  reinterpret_cast<void**>(&enumerator));
    if (FAILED(hr)) {
        enumerator = nullptr;
        return FailedStepMessage("MMDeviceEnumerator", hr);
    }
    if (!deviceId.empty()) {
        const std::wstring wideId = Utf8ToUtf16(deviceId);
        if (FAILED(enumerator->GetDevice(wideId.c_str(), &device))) {
            device = nullptr;
            return "Selected output device is not available";
        }
    } else if (FAILED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device))) {
        device = nullptr;
        return "No audio output device found";
    }
    setDeviceName(DeviceFriendlyName(device));

    hr = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(&audioClient));
    if (FAILED(hr)) {
        audioClient = nullptr;
        return FailedStepMessage("IAudioClient activation", hr);
    }
    hr = audioClient->GetMixFormat(&mixFormat);
    if (FAILED(hr)) {
        mixFormat = nullptr;
        return FailedStepMessage("GetMixFormat", hr);
    }
    const std::optional<SampleKind> kind = ClassifyMixFormat(*mixFormat);
    if (!kind) return "Unsupported device mix format";

    hr = audioClient->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK, kBufferDuration, 0, mixFormat,
                                 nullptr);
    if (FAILED(hr)) return FailedStepMessage("Loopback Initialize", hr);
    hr = audioClient->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&captureClient));
    if (FAILED(hr)) {
        captureClient = nullptr;
        return FailedStepMessage("IAudioCaptureClient", hr);
    }
    StartSilentRenderStream();
    hr = audioClient->Start();
    if (FAILED(hr)) return FailedStepMessage("Loopback Start", hr);

    format.channels = mixFormat->nChannels;
    format.bytesPerSample = mixFormat->wBitsPerSample / 8;
    format.bytesPerFrame = mixFormat->nBlockAlign;
    format.kind = *kind;
    return std::nullopt;
}

void CaptureSession::StartSilentRenderStream() {
    // Best effort: without it, capture still runs while something else plays.
    SilentRenderStream stream;
    bool ok = SUCCEEDED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                         reinterpret_cast<void**>(&stream.client)));
    if (!ok) stream.client = nullptr;
    ok = ok && SUCCEEDED(stream.client->Initialize(AUDCLNT_SHAREMODE_SHARED, 0, kBufferDuration, 0, mixFormat, nullptr));
    ok = ok && SUCCEEDED(stream.client->GetBufferSize(&stream.bufferFrames));
    ok = ok && SUCCEEDED(stream.client->GetService(__uuidof(IAudioRenderClient),
                                                   reinterpret_cast<void**>(&stream.renderClient)));
    if (!ok) {
        if (stream.renderClient != nullptr) stream.renderClient->Release();
        if (stream.client != nullptr) stream.client->Release();
        return;
    }
    BYTE* data = nullptr;
    if (SUCCEEDED(stream.renderClient->GetBuffer(stream.bufferFrames, &data))) {
        stream.renderClient->ReleaseBuffer(stream.bufferFrames, AUDCLNT_BUFFERFLAGS_SILENT);
    }
    stream.client->Start();
    render = stream;
}

void CaptureSession::StopStreams() {
    if (audioClient != nullptr) audioClient->Stop();
    if (render.client != nullptr) render.client->Stop();
}

void CaptureSession::Release() {
    if (render.renderClient != nullptr) render.renderClient->Release();
    if (render.client != nullptr) render.client->Release();
    if (captureClient != nullptr) captureClient->Release();
    if (mixFormat != nullptr) CoTaskMemFree(mixFormat);
    if (audioClient != nullptr) audioClient->Release();
    if (device != nullptr) device->Release();
    if (enumerator != nullptr) enumerator->Release();
    *this = CaptureSession{};
}

}  // namespace

struct WasapiLoopbackCapture::StartRecord {
    WasapiLoopbackCapture* capture = nullptr;
    std::string deviceId;
    AudioCallback callback;
    std::promise<bool> result;
};

void SilentRenderStream::TopUp() const {
    UINT32 padding = 0;
    if (FAILED(client->GetCurrentPadding(&padding)) || padding >= bufferFrames) return;
    const UINT32 frames = bufferFrames - padding;
    BYTE* data = nullptr;
    if (SUCCEEDED(renderClient->GetBuffer(frames, &data))) renderClient->ReleaseBuffer(frames, AUDCLNT_BUFFERFLAGS_SILENT);
}

bool WasapiLoopbackCapture::Start(const std::string& deviceId, AudioCallback callback) {
    Stop();
    needsRestart.exchange(false);
    stopRequested.exchange(false);
    if (watcher != nullptr) watcher->SetActive(deviceId.empty());

    auto record = std::make_unique<StartRecord>();
    record->capture = this;
    record->deviceId = deviceId;
    record->callback = std::move(callback);
    std::future<bool> started = record->result.get_future();
    try {
        thread = std::thread(&WasapiLoopbackCapture::CaptureThreadMain, std::move(record));
    } catch (const std::system_error&) {
        SetLastError("Capture thread could not be started");
        return false;
    }
    const bool ok = started.get();
    if (!ok && thread.joinable()) thread.join();
    return ok;
}

void WasapiLoopbackCapture::CaptureThreadMain(std::unique_ptr<StartRecord> record) {
    const HRESULT comResult = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WasapiLoopbackCapture& self = *record->capture;

    CaptureSession session;
    const std::optional<std::string> failure =
        session.Open(record->deviceId, [&self](std::string name) { self.SetDeviceName(std::move(name)); });
    if (failure) {
        self.SetLastError(*failure);
        record->result.set_value(false);
        session.StopStreams();
        session.Release();
    } else {
        self.sampleRate.exchange(static_cast<int32_t>(session.mixFormat->nSamplesPerSec));
        self.running.exchange(true);
        self.SetLastError({});
        record->result.set_value(true);
        self.RunCaptureLoop(session.captureClient, session.format, record->callback,
                            session.render.client != nullptr ? &session.render : nullptr);
        session.StopStreams();
        session.Release();
    }

    self.running.exchange(false);
    if (comResult == S_OK || comResult == S_FALSE) CoUninitialize();
    record->callback = nullptr;
}

void WasapiLoopbackCapture::RunCaptureLoop(IAudioCaptureClient* captureClient, const PacketFormat& format,
                                           const AudioCallback& callback, const SilentRenderStream* render) {
    std::vector<float> packet;  // reused: steady-state capture allocates nothing
    HRESULT failure = S_OK;
    while (SUCCEEDED(failure) && !stopRequested.load()) {
        Sleep(kPollIntervalMs);
        if (render != nullptr) render->TopUp();
        UINT32 pending = 0;
        failure = captureClient->GetNextPacketSize(&pending);
        while (SUCCEEDED(failure) && pending != 0) {
            BYTE* data = nullptr;
            UINT32 frames = 0;
            DWORD flags = 0;
            failure = captureClient->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
            if (FAILED(failure)) break;
            // A packet without data is delivered as silence rather than read.
            const bool silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0 || data == nullptr;
            ConvertPacketToStereo(data, frames, format.channels, format.bytesPerSample, format.bytesPerFrame,
                                  format.kind, silent, packet);
            captureClient->ReleaseBuffer(frames);
            if (callback) callback(packet.data(), frames);
            failure = captureClient->GetNextPacketSize(&pending);
        }
    }
    if (FAILED(failure)) {
        SetLastError(BreakdownMessage(failure));
        needsRestart.exchange(true);
    }
}
