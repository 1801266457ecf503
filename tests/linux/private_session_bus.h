#pragma once
#include <filesystem>
#include <string>

#include "tests/linux/test_child.h"

// A session bus of the test's own, with nothing on it but what the test adds.
// Constructing it points DBUS_SESSION_BUS_ADDRESS at it.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const std::filesystem::path& folder);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    bool Ready() const { return !address.empty(); }
    const std::string& Address() const { return address; }

    // Starts desktop_stubs.py with the given options; true once it owns its names.
    bool StartStubs(const std::filesystem::path& log, const std::vector<std::string>& options);

private:
    TestChild daemon;
    TestChild stubs;
    std::string address;
};
