#pragma once
#include <filesystem>
#include <vector>

namespace platform {

// One face of a font file; a collection (.ttc) numbers its faces from 0.
struct UiFontFace {
    std::filesystem::path file;
    int index = 0;
    bool operator==(const UiFontFace&) const = default;
};

// Candidate text faces for the interface fonts: regular first, semibold second.
std::vector<UiFontFace> GetUiFontCandidates();

}  // namespace platform
