#pragma once
#include <atomic>

#include <windows.h>
#include <mmdeviceapi.h>

// Raises the capture's restart flag when the default output (render, console
// role) changes while the capture follows the default. Called on the audio
// system's own threads: it only reads and writes atomics.
class DefaultDeviceWatcher : public IMMNotificationClient {
public:
    // Starts inactive, holding the creator's reference.
    explicit DefaultDeviceWatcher(std::atomic<bool>* restartFlag);

    void SetActive(bool followsDefault) { active.exchange(followsDefault); }
    bool IsActive() const { return active.load(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR deviceId, DWORD newState) override;
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR deviceId) override;
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR deviceId) override;
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR newDefaultId) override;
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR deviceId, const PROPERTYKEY key) override;

private:
    // Deleted only through Release.
    virtual ~DefaultDeviceWatcher() = default;

    std::atomic<bool> active{false};
    std::atomic<bool>* restartFlag;
    LONG refCount = 1;
};
