#pragma once
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/ui_font_candidates.h"

// Recording doubles for the platform:: services.
namespace fake_platform {

struct State {
    void* mainWindow = nullptr;

    // DragFileOut: each call records its path, runs `onDrag` (if set) while the
    // file exists, then answers `dragResult`.
    std::vector<std::filesystem::path> dragPaths;
    platform::DragResult dragResult = platform::DragResult::Dropped;
    std::function<void(const std::filesystem::path&)> onDrag;

    std::vector<std::filesystem::path> revealPaths;
    std::vector<bool> alwaysOnTopCalls;
    std::function<void(bool)> onAlwaysOnTop;  // runs at each SetAlwaysOnTop

    // Known folders; an empty entry answers an empty path.
    std::filesystem::path music, documents, roamingAppData, fonts;

    std::vector<std::filesystem::path> pickFolderCalls;
    std::optional<std::filesystem::path> pickFolderResult;

    std::vector<platform::UiFontFace> fontCandidates;
    std::vector<std::string> startupLog;  // lines passed to WriteStartupLog

    // CopyFileToClipboard records each path and answers `clipboardResult`.
    std::vector<std::filesystem::path> clipboardPaths;
    bool clipboardResult = true;

    // RequestGrabFromRunningProgram records each request's seconds and answers `grabReply`.
    std::vector<double> grabRequests;
    platform::GrabReply grabReply;

    // File operations act on real files. `beforeCreateNewFile` runs first in
    // each CreateNewFile, as another writer taking the name at that moment
    // would; the fail flags make the next flushes or renames fail.
    std::function<void(const std::filesystem::path&)> beforeCreateNewFile;
    bool failFlush = false;
    bool failRename = false;
};

State& Get();
// Fresh state whose known folders live under `root` (Music, Documents, config, fonts).
void Reset(const std::filesystem::path& root);

}  // namespace fake_platform
