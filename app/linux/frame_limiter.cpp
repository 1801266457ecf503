#include "app/linux/frame_limiter.h"

#include <thread>

namespace {
constexpr int kFallbackHertz = 60;
}

FrameLimiter::FrameLimiter(int refreshHertz) : deadline(Clock::now()) { SetRefreshRate(refreshHertz); }

void FrameLimiter::SetRefreshRate(int refreshHertz) {
    const int hertz = refreshHertz > 0 ? refreshHertz : kFallbackHertz;
    period = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hertz));
}

void FrameLimiter::Wait() {
    deadline += period;
    const Clock::time_point now = Clock::now();
    if (deadline > now) {
        std::this_thread::sleep_until(deadline);
    } else if (now - deadline > period) {
        // Far behind (a stall, a modal loop): start afresh instead of racing to catch up.
        deadline = now;
    }
}
