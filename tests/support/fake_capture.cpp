#include "tests/support/fake_capture.h"

FakeCapture* FakeCapture::last = nullptr;

FakeCapture::FakeCapture() { last = this; }

FakeCapture::~FakeCapture() {
    if (last == this) last = nullptr;
}

std::vector<OutputDevice> FakeCapture::ListOutputDevices() {
    ++listCount;
    return deviceList;
}

bool FakeCapture::Start(const std::string& deviceId, AudioCallback cb) {
    calls.push_back("Start:" + deviceId);
    ++startCount;
    // Whatever ran before ends here, without counting as the caller's Stop.
    running = false;
    needsRestart = false;
    callback = nullptr;
    if (answersLate) {
        callback = std::move(cb);
        starting = true;
        lastError = errorWithoutAnswer;
        return false;
    }
    if (!startSucceeds) {
        lastError = errorOnFailure;
        return false;
    }
    callback = std::move(cb);
    running = true;
    lastError.clear();
    return true;
}

void FakeCapture::AnswerLate(bool started) {
    starting = false;
    running = started;
    lastError = started ? "" : errorOnFailure;
    if (!started) callback = nullptr;
}

void FakeCapture::Stop() {
    calls.push_back("Stop");
    if (onStop) onStop();
    running = false;
    starting = false;
    callback = nullptr;
}

void FakeCapture::Feed(const float* interleaved, size_t frames) {
    if (callback) callback(interleaved, frames);
}

void FakeCapture::FeedConstant(float left, float right, size_t frames) {
    std::vector<float> block(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        block[2 * i] = left;
        block[2 * i + 1] = right;
    }
    Feed(block.data(), frames);
}

std::unique_ptr<LoopbackCapture> CreateLoopbackCapture() { return std::make_unique<FakeCapture>(); }
