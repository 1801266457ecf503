// Interface text faces chosen through fontconfig: the regular and semibold
// faces of the first sans-serif family that has a real semibold, else the
// system's sans-serif regular face and whatever it offers for semibold (often Bold).
#include <fontconfig/fontconfig.h>

#include <string>

#include "app/app.h"

namespace {

std::filesystem::path FileOf(FcPattern* font) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) return {};
    return std::filesystem::path(reinterpret_cast<const char*>(file));
}

// The file fontconfig matches for `pattern` (consumed). With a family given,
// only a face of exactly that family and weight counts.
std::filesystem::path MatchFile(FcConfig* config, FcPattern* pattern, const FcChar8* family, int weight) {
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::filesystem::path path;
    if (match) {
        FcChar8* matchedFamily = nullptr;
        int matchedWeight = -1;
        const bool exact = !family ||
                           (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
                            FcStrCmpIgnoreCase(matchedFamily, family) == 0 &&
                            FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight) == FcResultMatch &&
                            matchedWeight == weight);
        if (exact) path = FileOf(match);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

// The upright face of `family` at exactly `weight`, or empty.
std::filesystem::path ExactFace(FcConfig* config, const FcChar8* family, int weight) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, family);
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    return MatchFile(config, pattern, family, weight);
}

// The system's sans-serif match at a weight, whatever it offers.
std::filesystem::path SansFace(FcConfig* config, int weight) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight);
    return MatchFile(config, pattern, nullptr, weight);
}

}  // namespace

std::vector<std::filesystem::path> GetUiFontCandidates() {
    // A private configuration, released at the end, so nothing stays behind.
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return {};
    std::vector<std::filesystem::path> candidates;

    // Families in the order the system prefers them for sans-serif.
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* sorted = FcFontSort(config, pattern, FcFalse, nullptr, &result);
    if (sorted) {
        std::string tried;
        for (int i = 0; i < sorted->nfont && candidates.empty(); ++i) {
            FcChar8* family = nullptr;
            if (FcPatternGetString(sorted->fonts[i], FC_FAMILY, 0, &family) != FcResultMatch) continue;
            const std::string name = reinterpret_cast<const char*>(family);
            if (tried.find("\n" + name + "\n") != std::string::npos) continue;
            tried += "\n" + name + "\n";
            std::filesystem::path regular = ExactFace(config, family, FC_WEIGHT_REGULAR);
            std::filesystem::path semibold = ExactFace(config, family, FC_WEIGHT_SEMIBOLD);
            if (!regular.empty() && !semibold.empty()) candidates = {regular, semibold};
        }
        FcFontSetDestroy(sorted);
    }
    FcPatternDestroy(pattern);

    if (candidates.empty()) {
        std::filesystem::path regular = SansFace(config, FC_WEIGHT_REGULAR);
        std::filesystem::path semibold = SansFace(config, FC_WEIGHT_SEMIBOLD);
        if (!regular.empty()) candidates.push_back(regular);
        if (!semibold.empty()) candidates.push_back(semibold);
    }
    FcConfigDestroy(config);
    return candidates;
}
