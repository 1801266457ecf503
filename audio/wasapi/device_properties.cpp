#include "audio/wasapi/device_properties.h"

#include <propidl.h>
#include <propsys.h>

#include "audio/wasapi/utf16_text.h"

namespace {
// PKEY_Device_FriendlyName.
constexpr PROPERTYKEY kFriendlyNameKey = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};
}

std::string DeviceIdUtf8(IMMDevice* device) {
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id))) return {};
    std::string result = Utf16ToUtf8(id);
    CoTaskMemFree(id);
    return result;
}

std::string DeviceFriendlyName(IMMDevice* device) {
    IPropertyStore* store = nullptr;
    if (FAILED(device->OpenPropertyStore(STGM_READ, &store))) return {};
    PROPVARIANT value;
    PropVariantInit(&value);
    std::string name;
    if (SUCCEEDED(store->GetValue(kFriendlyNameKey, &value)) && value.vt == VT_LPWSTR) {
        name = Utf16ToUtf8(value.pwszVal);
    }
    PropVariantClear(&value);
    store->Release();
    return name;
}
