#include "tests/linux/capture_probe.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <thread>
#include <utility>

AudioCallback CaptureProbe::Callback() {
    return [this](const float* block, size_t count) {
        std::lock_guard lock(mutex);
        samples.insert(samples.end(), block, block + 2 * count);
        for (size_t i = 0; i < 2 * count; ++i) loudest = std::max(loudest, std::fabs(block[i]));
        frames += count;
        ++calls;
    };
}

size_t CaptureProbe::Frames() const {
    std::lock_guard lock(mutex);
    return frames;
}

size_t CaptureProbe::Calls() const {
    std::lock_guard lock(mutex);
    return calls;
}

std::vector<float> CaptureProbe::TakeSamples() {
    std::lock_guard lock(mutex);
    return std::exchange(samples, {});
}

bool CaptureProbe::WaitForLevel(float level, std::chrono::milliseconds timeout) const {
    return WaitUntil(
        [&] {
            std::lock_guard lock(mutex);
            return loudest >= level;
        },
        timeout);
}

bool CaptureProbe::WaitForFrames(size_t wanted, std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Frames() >= wanted; }, timeout);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto giveUp = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

float Peak(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float s : samples) peak = std::max(peak, std::fabs(s));
    return peak;
}

int ThreadCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++count;
    return count;
}
