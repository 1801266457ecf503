#pragma once
#include <chrono>

// Keeps the frame loop at or below the display's refresh rate where buffer
// swaps do not wait for the display (some X servers return at once).
class FrameLimiter {
public:
    using Clock = std::chrono::steady_clock;

    explicit FrameLimiter(int refreshHertz);
    void SetRefreshRate(int refreshHertz);
    // Sleeps until the current frame's slot has passed.
    void Wait();

private:
    Clock::duration period;
    Clock::time_point deadline;
};
