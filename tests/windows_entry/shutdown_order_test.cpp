// The program's entry function run inside the test, on the test's own thread
// as the interface thread, with a capture object that holds an audio-system
// object as the real one does.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmdeviceapi.h>
#include <objbase.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/loopback_capture.h"
#include "tests/windows/windows_test_support.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int show);

namespace {

using namespace std::chrono_literals;

// What COM answered on the interface thread when the capture object went.
HRESULT apartmentAtRelease = E_UNEXPECTED;

class ComHoldingCapture : public LoopbackCapture {
public:
    ComHoldingCapture() {
        CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                         reinterpret_cast<void**>(&enumerator));
    }
    ~ComHoldingCapture() override {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        apartmentAtRelease = CoGetApartmentType(&type, &qualifier);
        if (enumerator != nullptr) enumerator->Release();
    }
    std::vector<OutputDevice> ListOutputDevices() override { return {}; }
    bool Start(const std::string&, AudioCallback) override { return false; }
    void Stop() override {}
    bool IsRunning() const override { return false; }
    int32_t SampleRate() const override { return 0; }
    std::string DeviceName() const override { return {}; }
    std::string LastError() const override { return "No capture in this test"; }
    bool NeedsRestart() const override { return false; }

private:
    IMMDeviceEnumerator* enumerator = nullptr;
};

}  // namespace

std::unique_ptr<LoopbackCapture> CreateLoopbackCapture() { return std::make_unique<ComHoldingCapture>(); }

TEST(ProgramShutdown, TheCaptureObjectIsReleasedWhileComStillRunsOnTheInterfaceThread) {
    std::thread user([] {
        HWND window = nullptr;
        const auto shown = [&] {
            window = FindWindowW(L"WaveliftMainWindow", L"Wavelift");
            return window != nullptr && IsWindowVisible(window);
        };
        if (WaitFor(shown, 90s)) PostMessageW(window, WM_CLOSE, 0, 0);
    });
    const int exitCode = wWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWDEFAULT);
    user.join();

    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(apartmentAtRelease, S_OK) << "COM was already shut down: 0x" << std::hex << apartmentAtRelease;
}
