#include "app/app.h"
#include "platform/platform.h"

std::vector<UiFontFace> GetUiFontCandidates() {
    const std::filesystem::path fonts = platform::GetKnownFolderPath(platform::KnownFolder::Fonts);
    if (fonts.empty()) return {};
    return {{fonts / L"segoeui.ttf"}, {fonts / L"seguisb.ttf"}};
}
