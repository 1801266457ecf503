#include "tests/support/fake_platform.h"

#include <cstdio>
#include <system_error>

namespace fake_platform {

State& Get() {
    static State state;
    return state;
}

void Reset(const std::filesystem::path& root) {
    State& s = Get();
    s = State{};
    s.music = root / "Music";
    s.documents = root / "Documents";
    s.roamingAppData = root / "config";
    s.fonts = root / "fonts";
}

}  // namespace fake_platform

namespace platform {

void SetMainWindow(void* window) { fake_platform::Get().mainWindow = window; }

void DragFileOut(const std::filesystem::path& path, std::function<void(DragResult)> callback) {
    auto& s = fake_platform::Get();
    s.dragPaths.push_back(path);
    if (s.onDrag) s.onDrag(path);
    if (callback) callback(s.dragResult);
}

void RevealInFileBrowser(const std::filesystem::path& path) { fake_platform::Get().revealPaths.push_back(path); }

void SetAlwaysOnTop(bool onTop) {
    auto& s = fake_platform::Get();
    s.alwaysOnTopCalls.push_back(onTop);
    if (s.onAlwaysOnTop) s.onAlwaysOnTop(onTop);
}

std::filesystem::path GetKnownFolderPath(KnownFolder folder) {
    auto& s = fake_platform::Get();
    std::filesystem::path result;
    switch (folder) {
        case KnownFolder::Music: result = s.music; break;
        case KnownFolder::Documents: result = s.documents; break;
        case KnownFolder::RoamingAppData: result = s.roamingAppData; break;
        case KnownFolder::Fonts: result = s.fonts; break;
    }
    if (!result.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(result, ec);
    }
    return result;
}

std::optional<std::filesystem::path> PickFolder(const std::filesystem::path& initial) {
    auto& s = fake_platform::Get();
    s.pickFolderCalls.push_back(initial);
    return s.pickFolderResult;
}

void WriteStartupLog(const char* message) { fake_platform::Get().startupLog.emplace_back(message); }

bool CopyFileToClipboard(const std::filesystem::path& path) {
    auto& s = fake_platform::Get();
    s.clipboardPaths.push_back(path);
    return s.clipboardResult;
}

GrabReply RequestGrabFromRunningProgram(double seconds) {
    auto& s = fake_platform::Get();
    s.grabRequests.push_back(seconds);
    return s.grabReply;
}

namespace {

std::FILE* Open(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rt");
#else
    return std::fopen(path.c_str(), write ? "wb" : "r");
#endif
}

}  // namespace

NewFileResult CreateNewFile(const std::filesystem::path& path, std::FILE*& file) {
    auto& s = fake_platform::Get();
    if (s.beforeCreateNewFile) s.beforeCreateNewFile(path);
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) return NewFileResult::NameTaken;
    file = Open(path, true);
    return file != nullptr ? NewFileResult::Created : NewFileResult::Failed;
}

std::FILE* OpenRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) ? Open(path, false) : nullptr;
}

bool FlushToDisk(std::FILE* file) { return !fake_platform::Get().failFlush && std::fflush(file) == 0; }

bool RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (fake_platform::Get().failRename) return false;
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
}

MoveResult MoveToFreeName(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(to, error))) return MoveResult::NameTaken;
    std::filesystem::rename(from, to, error);
    return error ? MoveResult::Failed : MoveResult::Moved;
}

bool MayReplaceFile(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return true;
    return (status.permissions() & std::filesystem::perms::owner_write) != std::filesystem::perms::none;
}

std::vector<UiFontFace> GetUiFontCandidates() { return fake_platform::Get().fontCandidates; }

}  // namespace platform
