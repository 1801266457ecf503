// Placeholder until the sound-server capture lands: never starts.
#include "audio/loopback_capture.h"

namespace {
class IdleCapture : public LoopbackCapture {
public:
    std::vector<OutputDevice> ListOutputDevices() override { return {}; }
    bool Start(const std::string&, AudioCallback) override { return false; }
    void Stop() override {}
    bool IsRunning() const override { return false; }
    int32_t SampleRate() const override { return 48000; }
    std::string DeviceName() const override { return {}; }
    std::string LastError() const override { return "Capture is not available yet"; }
    bool NeedsRestart() const override { return false; }
};
}  // namespace

std::unique_ptr<LoopbackCapture> CreateLoopbackCapture() { return std::make_unique<IdleCapture>(); }
