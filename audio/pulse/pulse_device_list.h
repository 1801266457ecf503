#pragma once
#include <chrono>
#include <vector>

#include "audio/loopback_capture.h"

// The server's sinks in its own order, the default one flagged. No server, or
// no full answer within `timeout`, gives an empty list.
std::vector<OutputDevice> ListPulseSinks(std::chrono::milliseconds timeout);
