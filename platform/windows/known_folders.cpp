#include <windows.h>
#include <shlobj.h>

#include "platform/platform.h"

namespace {

// FOLDERID_Music, FOLDERID_Documents, FOLDERID_RoamingAppData, FOLDERID_Fonts.
constexpr GUID kMusic = {0x4BD8D571, 0x6D19, 0x48D3, {0xBE, 0x97, 0x42, 0x22, 0x20, 0x08, 0x0E, 0x43}};
constexpr GUID kDocuments = {0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
constexpr GUID kRoamingAppData = {0x3EB685DB, 0x65F9, 0x4CF6, {0xA0, 0x3A, 0xE3, 0xEF, 0x65, 0x72, 0x9F, 0x3D}};
constexpr GUID kFonts = {0xFD228CB7, 0xAE11, 0x4AE3, {0x86, 0x4C, 0x16, 0xF3, 0x91, 0x0A, 0xB8, 0xFE}};

const GUID& FolderId(platform::KnownFolder folder) {
    switch (folder) {
        case platform::KnownFolder::Music: return kMusic;
        case platform::KnownFolder::Documents: return kDocuments;
        case platform::KnownFolder::RoamingAppData: return kRoamingAppData;
        case platform::KnownFolder::Fonts: break;
    }
    return kFonts;
}

}  // namespace

namespace platform {

std::filesystem::path GetKnownFolderPath(KnownFolder folder) {
    PWSTR text = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(FolderId(folder), KF_FLAG_CREATE, nullptr, &text);
    std::filesystem::path result;
    if (SUCCEEDED(hr) && text != nullptr) result = text;
    CoTaskMemFree(text);
    return result;
}

}  // namespace platform
