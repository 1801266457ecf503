// Any bytes as settings.json: the loaded record must stay within its limits,
// and what the program writes back must read back unchanged.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "settings/settings.h"

namespace {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "settings invariant broken: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Settings defaults;
    defaults.saveFolder = "/home/user/Music/Wavelift";
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const Settings loaded = ReadSettings(in, defaults);
    Require(loaded.bufferSeconds >= kMinBufferSeconds && loaded.bufferSeconds <= kMaxBufferSeconds,
            "bufferSeconds outside 2..10");
    Require(!loaded.saveFolder.empty(), "empty save folder");

    std::istringstream written(
        FormatSettings(loaded.saveFolder, loaded.deviceId, loaded.bufferSeconds, loaded.alwaysOnTop));
    const Settings reread = ReadSettings(written, defaults);
    Require(reread.saveFolder == loaded.saveFolder, "save folder changed on the round trip");
    Require(reread.deviceId == loaded.deviceId, "device changed on the round trip");
    Require(reread.bufferSeconds == loaded.bufferSeconds, "history length changed on the round trip");
    Require(reread.alwaysOnTop == loaded.alwaysOnTop, "always-on-top changed on the round trip");
    return 0;
}
