#include "platform/linux/clipboard_linux.h"

#include <memory>
#include <system_error>

#include "platform/linux/clipboard_owner_linux.h"
#include "platform/platform.h"

namespace platform {

namespace {

// How long the exit waits for a clipboard manager to take the contents.
constexpr std::chrono::milliseconds kHandOverLimit{1500};

// Opened at the first copy: a program that never copies keeps one connection less.
std::unique_ptr<desktop::ClipboardOwner> owner;

}  // namespace

bool CopyFileToClipboard(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error || !std::filesystem::exists(absolute, error)) return false;
    if (!owner) owner = std::make_unique<desktop::ClipboardOwner>();
    if (!owner->Connected()) {
        owner.reset();
        return false;
    }
    return owner->Offer(absolute);
}

namespace desktop {

void ServeClipboard() {
    if (owner) owner->Serve();
}

void HandOverClipboardAtExit() {
    if (owner) owner->HandOver(kHandOverLimit);
    owner.reset();
}

}  // namespace desktop

}  // namespace platform
