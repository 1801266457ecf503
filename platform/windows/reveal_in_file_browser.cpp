#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <system_error>

#include "platform/platform.h"

namespace platform {

void RevealInFileBrowser(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        if (PIDLIST_ABSOLUTE list = ILCreateFromPathW(path.c_str())) {
            SHOpenFolderAndSelectItems(list, 0, nullptr, 0);
            ILFree(list);
            return;
        }
    }
    ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
