#pragma once
#include <functional>
#include <memory>

#include "platform/platform.h"

namespace platform::desktop {

// The session-bus name, object and interface through which the grab command
// reaches the running program.
inline constexpr char kGrabBusName[] = "com.brightmoor.Wavelift";
inline constexpr char kGrabObjectPath[] = "/com/brightmoor/Wavelift";
inline constexpr char kGrabInterface[] = "com.brightmoor.Wavelift";

// Owns the bus name while the program runs (the first instance keeps it) and
// takes Grab calls. The calls arrive in a main context of its own, which Poll
// iterates without waiting, so the bus never holds up a frame. Without a
// session bus it does nothing.
class GrabService {
public:
    GrabService();
    ~GrabService();
    GrabService(const GrabService&) = delete;
    GrabService& operator=(const GrabService&) = delete;

    // Takes what the bus delivered and answers each request with `grab`'s reply.
    void Poll(const std::function<GrabReply(double seconds)>& grab);

private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace platform::desktop
