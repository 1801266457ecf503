#include "audio/wasapi/default_device_watcher.h"

DefaultDeviceWatcher::DefaultDeviceWatcher(std::atomic<bool>* restartFlag) : restartFlag(restartFlag) {}

HRESULT STDMETHODCALLTYPE DefaultDeviceWatcher::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IMMNotificationClient))) {
        *object = static_cast<IMMNotificationClient*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DefaultDeviceWatcher::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refCount));
}

ULONG STDMETHODCALLTYPE DefaultDeviceWatcher::Release() {
    const LONG count = InterlockedDecrement(&refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE DefaultDeviceWatcher::OnDeviceStateChanged(LPCWSTR, DWORD) { return S_OK; }
HRESULT STDMETHODCALLTYPE DefaultDeviceWatcher::OnDeviceAdded(LPCWSTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE DefaultDeviceWatcher::OnDeviceRemoved(LPCWSTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE DefaultDeviceWatcher::OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) { return S_OK; }

HRESULT STDMETHODCALLTYPE DefaultDeviceWatcher::OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) {
    // Only the output that plays system sounds and media (console role) is followed.
    if (flow == eRender && role == eConsole && active.load()) restartFlag->exchange(true);
    return S_OK;
}
