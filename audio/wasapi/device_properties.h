#pragma once
#include <string>

#include <windows.h>
#include <mmdeviceapi.h>

// The endpoint id in UTF-8; empty when it cannot be read.
std::string DeviceIdUtf8(IMMDevice* device);
// The endpoint's friendly name in UTF-8; empty when it cannot be read.
std::string DeviceFriendlyName(IMMDevice* device);
