#include <gio/gio.h>

#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/file_uri.h"
#include "platform/linux/child_process_linux.h"
#include "platform/linux/session_bus_linux.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr int kShowItemsTimeoutMs = 5000;

// Asks the file manager to open the file's folder with the file selected.
bool ShowItemSelected(const std::filesystem::path& file) {
    desktop::BusConnection bus = desktop::OpenSessionBus();
    if (!bus) return false;
    GVariantBuilder uris;
    g_variant_builder_init(&uris, G_VARIANT_TYPE("as"));
    g_variant_builder_add(&uris, "s", FileUriFromPath(file).c_str());
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1",
        "ShowItems", g_variant_new("(ass)", &uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE, kShowItemsTimeoutMs,
        nullptr, &error);
    g_clear_error(&error);
    if (reply == nullptr) return false;
    g_variant_unref(reply);
    return true;
}

void OpenWithDefaultHandler(const std::filesystem::path& path) {
    if (const auto opener = desktop::FindProgram("xdg-open")) {
        if (desktop::LaunchDetached({opener->string(), path.string()})) return;
    }
    GError* error = nullptr;
    g_app_info_launch_default_for_uri(FileUriFromPath(path).c_str(), nullptr, &error);
    g_clear_error(&error);
}

void Reveal(const std::filesystem::path& absolute) {
    std::error_code error;
    if (std::filesystem::is_regular_file(absolute, error)) {
        if (ShowItemSelected(absolute)) return;
        // Opening the file itself would play it; its folder is what was asked for.
        OpenWithDefaultHandler(absolute.parent_path());
        return;
    }
    OpenWithDefaultHandler(absolute);
}

}  // namespace

void RevealInFileBrowser(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) absolute = path;
    // A file manager that is slow to answer must not hold up the interface.
    try {
        std::thread([absolute] { Reveal(absolute); }).detach();
    } catch (const std::system_error&) {
        Reveal(absolute);  // no thread to be had: better late than not at all
    }
}

}  // namespace platform
