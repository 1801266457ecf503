#include "platform/windows/clipboard.h"

#include <windows.h>
#include <ole2.h>

#include <system_error>

#include "platform/platform.h"
#include "platform/windows/file_data_object.h"

namespace platform {

// OLE hands the data object to pasting programs and renders it on demand.
bool CopyFileToClipboard(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error || !std::filesystem::exists(absolute, error)) return false;
    auto* data = new FileDataObject(absolute);
    const HRESULT hr = OleSetClipboard(data);
    data->Release();
    return SUCCEEDED(hr);
}

}  // namespace platform

// Does nothing once another program has taken the clipboard.
void KeepClipboardAfterExit() { OleFlushClipboard(); }
