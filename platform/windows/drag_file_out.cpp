#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <system_error>

#include "platform/platform.h"
#include "platform/windows/main_window.h"

namespace {

// BHID_DataObject: the shell's own data object for an item.
constexpr GUID kBindToDataObject = {0xB8C0BD9F, 0xED24, 0x455C, {0x83, 0xE6, 0xD5, 0x39, 0x0C, 0x4F, 0xE8, 0xC4}};

// The shell reports a drop the target turned down as a cancel, so Refused never comes from here.
platform::DragResult MapDragResult(HRESULT hr) {
    if (hr == DRAGDROP_S_DROP) return platform::DragResult::Dropped;
    if (hr == DRAGDROP_S_CANCEL) return platform::DragResult::Cancelled;
    return platform::DragResult::Failed;
}

// The button release happened inside the shell's drag loop; hand it to the
// window as well, so the press that started the drag ends there too.
void PostButtonRelease(HWND window) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    ScreenToClient(window, &cursor);
    const LPARAM position = MAKELPARAM(static_cast<WORD>(cursor.x), static_cast<WORD>(cursor.y));
    PostMessageW(window, WM_LBUTTONUP, 0, position);
}

platform::DragResult RunDrag(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return platform::DragResult::Failed;

    IShellItem* item = nullptr;
    if (FAILED(SHCreateItemFromParsingName(absolute.c_str(), nullptr, __uuidof(IShellItem),
                                           reinterpret_cast<void**>(&item)))) {
        return platform::DragResult::Failed;
    }
    platform::DragResult result = platform::DragResult::Failed;
    IDataObject* data = nullptr;
    if (SUCCEEDED(item->BindToHandler(nullptr, kBindToDataObject, __uuidof(IDataObject),
                                      reinterpret_cast<void**>(&data)))) {
        const HWND window = MainWindow();
        DWORD effect = DROPEFFECT_NONE;
        const HRESULT hr = SHDoDragDrop(window, data, nullptr, DROPEFFECT_COPY, &effect);
        if (window != nullptr) PostButtonRelease(window);
        result = MapDragResult(hr);
        data->Release();
    }
    item->Release();
    return result;
}

}  // namespace

namespace platform {

void DragFileOut(const std::filesystem::path& path, std::function<void(DragResult)> callback) {
    const DragResult result = RunDrag(path);
    if (callback) callback(result);
}

}  // namespace platform
