#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app.h"

namespace {

int WeightOf(const std::filesystem::path& file) {
    FcPattern* pattern = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr, nullptr);
    if (!pattern) return -1;
    int weight = -1;
    FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
    FcPatternDestroy(pattern);
    return weight;
}

}  // namespace

// The set-up script installs a family with a real SemiBold face, so the title
// font must not fall back to a Bold face.
TEST(UiFontCandidates, RegularThenRealSemiboldOfOneFamily) {
    const auto candidates = GetUiFontCandidates();
    ASSERT_EQ(candidates.size(), 2u);
    for (const auto& file : candidates) EXPECT_TRUE(std::filesystem::is_regular_file(file)) << file;
    EXPECT_EQ(WeightOf(candidates[0]), FC_WEIGHT_REGULAR);
    EXPECT_EQ(WeightOf(candidates[1]), FC_WEIGHT_SEMIBOLD);
    EXPECT_EQ(candidates[0].parent_path(), candidates[1].parent_path());
}
