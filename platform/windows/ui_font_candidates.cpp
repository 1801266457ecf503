#include "platform/ui_font_candidates.h"

#include "platform/platform.h"

std::vector<platform::UiFontFace> platform::GetUiFontCandidates() {
    const std::filesystem::path fonts = GetKnownFolderPath(KnownFolder::Fonts);
    if (fonts.empty()) return {};
    return {{fonts / L"segoeui.ttf"}, {fonts / L"seguisb.ttf"}};
}
