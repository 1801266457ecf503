#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/windows/clipboard.h"

namespace {

namespace fs = std::filesystem;

// What the clipboard holds as a pasting file manager reads it.
struct PastedFile {
    std::wstring path;
    std::optional<DWORD> preferredEffect;
};

std::optional<PastedFile> ReadClipboard() {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::optional<PastedFile> pasted;
    if (const auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP))) {
        pasted.emplace();
        if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 1) {
            wchar_t name[MAX_PATH * 4] = {};
            DragQueryFileW(drop, 0, name, static_cast<UINT>(std::size(name)));
            pasted->path = name;
        }
        const HANDLE effect = GetClipboardData(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT));
        if (const auto* value = effect != nullptr ? static_cast<const DWORD*>(GlobalLock(effect)) : nullptr) {
            pasted->preferredEffect = *value;
            GlobalUnlock(effect);
        }
    }
    CloseClipboard();
    return pasted;
}

}  // namespace

TEST(Clipboard, APastedFileIsCopiedFromItsPathEvenAfterTheProgramEnds) {
    const fs::path folder = fs::temp_directory_path() / ("wavelift-clipboard-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder);
    const fs::path file = folder / L"Take 1 \u00e9.wav";
    std::ofstream(file, std::ios::binary) << "RIFF";

    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    ASSERT_TRUE(platform::CopyFileToClipboard(file));
    auto pasted = ReadClipboard();
    ASSERT_TRUE(pasted.has_value());
    EXPECT_EQ(pasted->path, file.wstring());
    EXPECT_EQ(pasted->preferredEffect, static_cast<DWORD>(DROPEFFECT_COPY));

    // Under Wine the data outlives OleUninitialize even without the flush.
    KeepClipboardAfterExit();
    OleUninitialize();
    pasted = ReadClipboard();
    ASSERT_TRUE(pasted.has_value()) << "the clipboard went with the data object";
    EXPECT_EQ(pasted->path, file.wstring());
    EXPECT_EQ(pasted->preferredEffect, static_cast<DWORD>(DROPEFFECT_COPY));

    std::error_code ignored;
    fs::remove_all(folder, ignored);
}
