#include <windows.h>
#include <shobjidl.h>

#include <system_error>

#include "platform/platform.h"
#include "platform/windows/main_window.h"

namespace {

void OpenIn(IFileOpenDialog* dialog, const std::filesystem::path& initial) {
    std::error_code error;
    if (initial.empty() || !std::filesystem::exists(initial, error)) return;
    IShellItem* folder = nullptr;
    if (FAILED(SHCreateItemFromParsingName(initial.c_str(), nullptr, __uuidof(IShellItem),
                                           reinterpret_cast<void**>(&folder)))) {
        return;
    }
    dialog->SetFolder(folder);
    folder->Release();
}

std::optional<std::filesystem::path> ChosenPath(IFileOpenDialog* dialog) {
    IShellItem* item = nullptr;
    if (FAILED(dialog->GetResult(&item))) return std::nullopt;
    std::optional<std::filesystem::path> result;
    PWSTR text = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &text))) {
        result = std::filesystem::path(text);
        CoTaskMemFree(text);
    }
    item->Release();
    return result;
}

}  // namespace

namespace platform {

std::optional<std::filesystem::path> PickFolder(const std::filesystem::path& initial) {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(FileOpenDialog), nullptr, CLSCTX_INPROC_SERVER, __uuidof(IFileOpenDialog),
                                reinterpret_cast<void**>(&dialog)))) {
        return std::nullopt;
    }
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(L"Folder for captured WAV files");
    OpenIn(dialog, initial);

    std::optional<std::filesystem::path> result;
    if (SUCCEEDED(dialog->Show(MainWindow()))) result = ChosenPath(dialog);
    dialog->Release();
    return result;
}

}  // namespace platform
