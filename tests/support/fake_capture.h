#pragma once
#include <functional>
#include <string>
#include <vector>

#include "audio/loopback_capture.h"

// A scripted capture object: tests decide what Start answers and feed audio
// through the callback it was given.
class FakeCapture : public LoopbackCapture {
public:
    // Script.
    bool startSucceeds = true;
    int32_t rate = 48000;
    std::string deviceName = "Speakers";
    std::string errorOnFailure = "No audio output device found";
    std::vector<OutputDevice> deviceList;
    // Start gets no answer in time: it fails with errorWithoutAnswer and the
    // start goes on until AnswerLate.
    bool answersLate = false;
    std::string errorWithoutAnswer = "Sound server did not answer";

    // State as the interface sees it.
    bool running = false;
    bool starting = false;
    bool needsRestart = false;
    std::string lastError;
    AudioCallback callback;

    // Record of the caller's calls, in order: "Start:<id>" or "Stop".
    std::vector<std::string> calls;
    int startCount = 0;
    int listCount = 0;
    // Runs at every Stop, before the capture is marked stopped.
    std::function<void()> onStop;

    // The most recently constructed fake (what CreateLoopbackCapture made).
    static FakeCapture* last;

    FakeCapture();
    ~FakeCapture() override;

    std::vector<OutputDevice> ListOutputDevices() override;
    bool Start(const std::string& deviceId, AudioCallback cb) override;
    void Stop() override;
    bool IsRunning() const override { return running; }
    bool IsStarting() const override { return starting; }
    int32_t SampleRate() const override { return rate; }
    std::string DeviceName() const override { return deviceName; }
    std::string LastError() const override { return lastError; }
    bool NeedsRestart() const override { return needsRestart; }

    // Ends a start that got no answer in time, as the capture thread would.
    void AnswerLate(bool started);
    // Delivers frames as the capture thread would.
    void Feed(const float* interleaved, size_t frames);
    void FeedConstant(float left, float right, size_t frames);
};
