#include "audio/wasapi/wasapi_loopback_capture.h"

#include "audio/wasapi/default_device_watcher.h"
#include "audio/wasapi/device_properties.h"

std::unique_ptr<LoopbackCapture> CreateLoopbackCapture() {
    return std::make_unique<WasapiLoopbackCapture>();
}

WasapiLoopbackCapture::WasapiLoopbackCapture() {
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  reinterpret_cast<void**>(&enumerator));
    if (FAILED(hr)) {
        enumerator = nullptr;
        return;
    }
    watcher = new DefaultDeviceWatcher(&needsRestart);
    // Without the registration the capture just does not follow the default.
    enumerator->RegisterEndpointNotificationCallback(watcher);
}

WasapiLoopbackCapture::~WasapiLoopbackCapture() {
    Stop();
    if (enumerator != nullptr && watcher != nullptr) enumerator->UnregisterEndpointNotificationCallback(watcher);
    if (watcher != nullptr) watcher->Release();
    if (enumerator != nullptr) enumerator->Release();
}

std::string WasapiLoopbackCapture::DeviceName() const {
    std::lock_guard lock(mutex);
    return deviceName;
}

std::string WasapiLoopbackCapture::LastError() const {
    std::lock_guard lock(mutex);
    return lastError;
}

void WasapiLoopbackCapture::SetLastError(std::string message) {
    std::lock_guard lock(mutex);
    lastError = std::move(message);
}

void WasapiLoopbackCapture::SetDeviceName(std::string name) {
    std::lock_guard lock(mutex);
    deviceName = std::move(name);
}

std::vector<OutputDevice> WasapiLoopbackCapture::ListOutputDevices() {
    std::vector<OutputDevice> devices;
    if (enumerator == nullptr) return devices;

    std::string defaultId;
    IMMDevice* defaultDevice = nullptr;
    if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &defaultDevice))) {
        defaultId = DeviceIdUtf8(defaultDevice);
        defaultDevice->Release();
    }

    IMMDeviceCollection* collection = nullptr;
    if (FAILED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, &collection))) return devices;
    UINT count = 0;
    collection->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
        IMMDevice* device = nullptr;
        if (FAILED(collection->Item(i, &device))) continue;
        OutputDevice entry;
        entry.id = DeviceIdUtf8(device);
        entry.name = DeviceFriendlyName(device);
        entry.isDefault = !defaultId.empty() && entry.id == defaultId;
        devices.push_back(std::move(entry));
        device->Release();
    }
    collection->Release();
    return devices;
}

void WasapiLoopbackCapture::Stop() {
    stopRequested.exchange(true);
    if (thread.joinable()) thread.join();
    running.exchange(false);
}
