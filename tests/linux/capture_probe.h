#pragma once
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

#include "audio/loopback_capture.h"

// Collects what a capture delivers on its thread, for checks on the test thread.
class CaptureProbe {
public:
    AudioCallback Callback();

    size_t Frames() const;
    size_t Calls() const;
    // Interleaved stereo samples delivered since the last call.
    std::vector<float> TakeSamples();
    // Waits until a delivered sample's magnitude reaches `level`.
    bool WaitForLevel(float level, std::chrono::milliseconds timeout) const;
    bool WaitForFrames(size_t frames, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex;
    std::vector<float> samples;
    size_t frames = 0;
    size_t calls = 0;
    float loudest = 0.0f;
};

// Polls a condition; true as soon as it holds, false when time runs out.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

float Peak(const std::vector<float>& samples);
// Threads of this process, to show that no capture thread is left behind.
int ThreadCount();
