#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "audio/audio_history.h"
#include "audio/loopback_capture.h"
#include "tests/linux/capture_probe.h"
#include "tests/linux/pulse_server.h"

using namespace std::chrono_literals;

// Each test gets its own sound server, started unless the test wants to meet
// an absent one first. Whatever the capture thread writes into is declared
// before the capture object, so the thread has ended before those go away.
class PulseCaptureFixture : public ::testing::Test {
protected:
    void StartServer() { ASSERT_TRUE(server.Start()) << server.DaemonLog(); }
    void MakeCapture() { capture = CreateLoopbackCapture(); }
    // Start, and when the server is slow to answer (a busy machine, a sanitizer
    // build), the end of the start that then goes on by itself.
    bool StartCapture(const std::string& deviceId, AudioCallback callback) {
        if (capture->Start(deviceId, std::move(callback))) return true;
        WaitUntil([this] { return !capture->IsStarting(); }, 10s);
        return capture->IsRunning();
    }

    PulseServer server;
    CaptureProbe probe;
    CaptureProbe secondProbe;
    AudioHistory history;
    std::unique_ptr<LoopbackCapture> capture;
};

// Fixture for tests that begin with a running server and a capture object.
class PulseCaptureWithServer : public PulseCaptureFixture {
protected:
    void SetUp() override {
        StartServer();
        MakeCapture();
    }
};
