#pragma once
#include <cstdint>

// One channel of float samples. Owns its samples unless `borrowed` is set, in
// which case `samples` points into another buffer's storage.
struct ChannelBuffer {
    int64_t frameCount = 0;
    float* samples = nullptr;
    int32_t sampleRate = 44100;
    bool borrowed = false;

    ChannelBuffer() = default;
    ~ChannelBuffer();
    ChannelBuffer(const ChannelBuffer&) = delete;
    ChannelBuffer& operator=(const ChannelBuffer&) = delete;
    ChannelBuffer(ChannelBuffer&& other) noexcept;
    ChannelBuffer& operator=(ChannelBuffer&& other) noexcept;

    // Frees owned samples, clears `borrowed`, then allocates n floats (contents
    // undefined). n < 1 leaves the buffer empty and succeeds; a failed
    // allocation leaves it empty and returns false. sampleRate is untouched.
    bool Allocate(int64_t n);
    // Points at foreign storage without taking ownership.
    void Borrow(float* data, int64_t count, int32_t rate);
    void Free();
};

struct StereoBuffer {
    ChannelBuffer left;
    ChannelBuffer right;

    // Allocates both channels; if either fails both end up empty.
    bool Allocate(int64_t n);
};
