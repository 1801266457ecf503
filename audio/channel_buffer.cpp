#include "audio/channel_buffer.h"

#include <cstddef>
#include <cstdint>
#include <new>

ChannelBuffer::~ChannelBuffer() { Free(); }

ChannelBuffer::ChannelBuffer(ChannelBuffer&& other) noexcept
    : frameCount(other.frameCount), samples(other.samples), sampleRate(other.sampleRate),
      borrowed(other.borrowed) {
    other.frameCount = 0;
    other.samples = nullptr;
    other.borrowed = false;
}

ChannelBuffer& ChannelBuffer::operator=(ChannelBuffer&& other) noexcept {
    if (this == &other) return *this;
    Free();
    frameCount = other.frameCount;
    samples = other.samples;
    sampleRate = other.sampleRate;
    borrowed = other.borrowed;
    other.frameCount = 0;
    other.samples = nullptr;
    other.borrowed = false;
    return *this;
}

bool ChannelBuffer::Allocate(int64_t n) {
    Free();
    if (n < 1) return true;
    // A size that does not fit size_t fails like any other allocation.
    if (static_cast<uint64_t>(n) > SIZE_MAX / sizeof(float)) return false;
    samples = new (std::nothrow) float[static_cast<size_t>(n)];
    if (samples == nullptr) return false;
    frameCount = n;
    return true;
}

void ChannelBuffer::Borrow(float* data, int64_t count, int32_t rate) {
    Free();
    samples = data;
    frameCount = data != nullptr && count > 0 ? count : 0;
    sampleRate = rate;
    borrowed = true;
}

void ChannelBuffer::Free() {
    if (!borrowed) delete[] samples;
    samples = nullptr;
    frameCount = 0;
    borrowed = false;
}

bool StereoBuffer::Allocate(int64_t n) {
    if (left.Allocate(n) && right.Allocate(n)) return true;
    left.Free();
    right.Free();
    return false;
}
