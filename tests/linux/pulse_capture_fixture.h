#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "audio/loopback_capture.h"
#include "tests/linux/capture_probe.h"
#include "tests/linux/pulse_server.h"

using namespace std::chrono_literals;

// Each test gets its own sound server, started unless the test wants to meet
// an absent one first. The capture object goes before the server does.
class PulseCaptureFixture : public ::testing::Test {
protected:
    void StartServer() { ASSERT_TRUE(server.Start()) << server.DaemonLog(); }
    void MakeCapture() { capture = CreateLoopbackCapture(); }

    PulseServer server;
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
