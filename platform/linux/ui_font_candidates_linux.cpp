// Interface text faces chosen through fontconfig, among the families its
// configuration lists for sans-serif and in that order: the regular and
// semibold faces of the first such family with a real semibold, else the
// system's sans-serif regular face and whatever it offers for semibold (often
// Bold). A serif or monospace family never stands in, whatever weights it has.
#include <fontconfig/fontconfig.h>

#include <string>

#include "platform/ui_font_candidates.h"

namespace {

using platform::UiFontFace;

// The face `font` names: its file and, in a collection, its number. A named
// instance of a variable font does not count (index above 0xFFFF): the atlas
// would draw the font's default instance instead.
UiFontFace FaceOf(FcPattern* font) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) return {};
    int index = 0;
    if (FcPatternGetInteger(font, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    if (index < 0 || index > 0xFFFF) return {};
    return {std::filesystem::path(reinterpret_cast<const char*>(file)), index};
}

// The face fontconfig matches for `pattern` (consumed). With a family given,
// only a face of exactly that family and weight counts.
UiFontFace MatchFace(FcConfig* config, FcPattern* pattern, const FcChar8* family, int weight) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    UiFontFace face;
    if (match) {
        FcChar8* matchedFamily = nullptr;
        int matchedWeight = -1;
        const bool exact = !family ||
                           (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
                            FcStrCmpIgnoreCase(matchedFamily, family) == 0 &&
                            FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight) == FcResultMatch &&
                            matchedWeight == weight);
        if (exact) face = FaceOf(match);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return face;
}

// The upright face of `family` at exactly `weight`, or none.
UiFontFace ExactFace(FcConfig* config, const FcChar8* family, int weight) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, family);
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    return MatchFace(config, pattern, family, weight);
}

// A pattern naming the generic family: the name parser would read "-serif" as a size.
FcPattern* SansSerifPattern() {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    return pattern;
}

// The system's sans-serif match at a weight, whatever it offers.
UiFontFace SansFace(FcConfig* config, int weight) {
    FcPattern* pattern = SansSerifPattern();
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    return MatchFace(config, pattern, nullptr, weight);
}

bool Installed(const FcFontSet* installed, const FcChar8* family) {
    for (int i = 0; i < installed->nfont; ++i) {
        FcChar8* name = nullptr;
        for (int n = 0; FcPatternGetString(installed->fonts[i], FC_FAMILY, n, &name) == FcResultMatch; ++n)
            if (FcStrCmpIgnoreCase(name, family) == 0) return true;
    }
    return false;
}

// The regular and real semibold faces of the first installed family that the
// configuration lists for sans-serif and that has both; none otherwise.
std::vector<UiFontFace> SansFamilyWithSemibold(FcConfig* config) {
    FcPattern* all = FcPatternCreate();
    FcObjectSet* familyOnly = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* installed = FcFontList(config, all, familyOnly);
    FcObjectSetDestroy(familyOnly);
    FcPatternDestroy(all);
    if (!installed) return {};

    // The substituted pattern lists the sans-serif families in the order the system prefers them.
    FcPattern* sans = SansSerifPattern();
    FcConfigSubstitute(config, sans, FcMatchPattern);
    std::vector<UiFontFace> faces;
    std::string tried;
    FcChar8* family = nullptr;
    for (int i = 0; faces.empty() && FcPatternGetString(sans, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        const std::string key = "\n" + std::string(reinterpret_cast<const char*>(family)) + "\n";
        if (tried.find(key) != std::string::npos || !Installed(installed, family)) continue;
        tried += key;
        const UiFontFace regular = ExactFace(config, family, FC_WEIGHT_REGULAR);
        const UiFontFace semibold = ExactFace(config, family, FC_WEIGHT_SEMIBOLD);
        if (!regular.file.empty() && !semibold.file.empty()) faces = {regular, semibold};
    }
    FcPatternDestroy(sans);
    FcFontSetDestroy(installed);
    return faces;
}

}  // namespace

std::vector<UiFontFace> platform::GetUiFontCandidates() {
    // A private configuration, released at the end, so nothing stays behind.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return {};
    std::vector<UiFontFace> candidates = SansFamilyWithSemibold(config);
    if (candidates.empty()) {
        const UiFontFace regular = SansFace(config, FC_WEIGHT_REGULAR);
        const UiFontFace semibold = SansFace(config, FC_WEIGHT_SEMIBOLD);
        if (!regular.file.empty()) candidates.push_back(regular);
        if (!semibold.file.empty()) candidates.push_back(semibold);
    }
    FcConfigDestroy(config);
    return candidates;
}
