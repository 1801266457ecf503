#include "audio/wasapi/capture_messages.h"

#include <audioclient.h>

#include <cstdio>

namespace {
constexpr size_t kMessageBufferSize = 160;
}

std::string FailedStepMessage(const char* label, HRESULT hr) {
    char buffer[kMessageBufferSize];
    std::snprintf(buffer, sizeof(buffer), "%s failed (0x%08lX)", label, static_cast<unsigned long>(hr));
    return buffer;
}

std::string BreakdownMessage(HRESULT hr) {
    if (hr == AUDCLNT_E_DEVICE_INVALIDATED) return "Output device was removed";
    return FailedStepMessage("Capture", hr);
}
