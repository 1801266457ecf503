#include "tests/linux/private_session_bus.h"
#include "test_paths.h"

#include <cstdlib>
#include <fstream>

namespace {

using namespace std::chrono_literals;

// No service files: nothing on this bus is ever started on demand.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%DIR%</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateSessionBus::PrivateSessionBus(const std::filesystem::path& folder) {
    std::string config = kBusConfig;
    config.replace(config.find("%DIR%"), 5, folder.string());
    const std::filesystem::path configFile = folder / "bus.conf";
    std::ofstream(configFile) << config;
    if (!daemon.Start({"/usr/bin/dbus-daemon", "--nofork", "--config-file=" + configFile.string(), "--print-address=1"},
                      {}, true)) {
        return;
    }
    if (auto line = daemon.ReadLine(10s)) {
        address = *line;
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
}

PrivateSessionBus::~PrivateSessionBus() {
    stubs.Stop();
    daemon.Stop();
}

bool PrivateSessionBus::StartStubs(const std::filesystem::path& log, const std::vector<std::string>& options) {
    const std::filesystem::path script = std::filesystem::path(WAVELIFT_TEST_SCRIPT_DIR) / "desktop_stubs.py";
    std::vector<std::string> argv = {"/usr/bin/python3", script.string(), log.string()};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!stubs.Start(argv, {"DBUS_SESSION_BUS_ADDRESS=" + address}, true)) return false;
    return stubs.ReadLine(20s) == "ready";
}
