#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui_font_candidates.h"
#include "tests/linux/scratch_dir.h"
#include "tests/support/font_collection.h"

namespace {

const std::filesystem::path kDejaVu = "/usr/share/fonts/truetype/dejavu";
const std::filesystem::path kOpenSans = "/usr/share/fonts/truetype/open-sans";

// The choice made under a private font configuration: only the fonts put in
// its folder, and the families it prefers for sans-serif and for monospace.
class UiFontChoice : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path().empty());
        std::filesystem::create_directories(fonts);
        if (const char* file = getenv("FONTCONFIG_FILE")) saved = file;
        setenv("FONTCONFIG_FILE", (scratch / "fonts.conf").c_str(), 1);
    }
    void TearDown() override {
        if (saved)
            setenv("FONTCONFIG_FILE", saved->c_str(), 1);
        else
            unsetenv("FONTCONFIG_FILE");
    }

    void Install(const std::vector<std::filesystem::path>& files) {
        for (const auto& file : files) std::filesystem::create_symlink(file, fonts / file.filename());
    }

    // The candidates as "file#index" words, files named from the font folder.
    std::string Choose(const std::vector<std::string>& sans, const std::string& monospace) {
        std::ofstream conf(scratch / "fonts.conf");
        conf << "<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>" << fonts.string() << "</dir>\n<cachedir>"
             << (scratch / "cache").string() << "</cachedir>\n<alias><family>sans-serif</family><prefer>";
        for (const auto& family : sans) conf << "<family>" << family << "</family>";
        conf << "</prefer></alias>\n<alias><family>monospace</family><prefer><family>" << monospace
             << "</family></prefer></alias>\n</fontconfig>\n";
        conf.close();
        std::string words;
        for (const platform::UiFontFace& face : platform::GetUiFontCandidates())
            words += (words.empty() ? "" : " ") + face.file.lexically_relative(fonts).string() + "#" +
                     std::to_string(face.index);
        return words;
    }

    ScratchDir scratch;
    const std::filesystem::path fonts = scratch / "fonts";
    std::optional<std::string> saved;
};

}  // namespace

TEST_F(UiFontChoice, OnlySansSerifFamiliesInTheSystemsOrderAndTheFirstRealSemiboldWins) {
    Install({kDejaVu / "DejaVuSans.ttf", kDejaVu / "DejaVuSans-Bold.ttf", kOpenSans / "OpenSans-Regular.ttf",
             kOpenSans / "OpenSans-Semibold.ttf"});
    // A monospace family with a real semibold does not displace the system's sans and its Bold.
    EXPECT_EQ(Choose({"DejaVu Sans"}, "Open Sans"), "DejaVuSans.ttf#0 DejaVuSans-Bold.ttf#0");
    // Listed for sans-serif, the same family is the first with a real semibold.
    EXPECT_EQ(Choose({"DejaVu Sans", "Open Sans"}, "DejaVu Sans"), "OpenSans-Regular.ttf#0 OpenSans-Semibold.ttf#0");
}

TEST_F(UiFontChoice, FacesOfACollectionKeepTheirNumber) {
    ASSERT_TRUE(WriteFontCollection(fonts / "OpenSans.ttc",
                                    {kOpenSans / "OpenSans-Semibold.ttf", kOpenSans / "OpenSans-Regular.ttf"}));
    EXPECT_EQ(Choose({"Open Sans"}, "Open Sans"), "OpenSans.ttc#1 OpenSans.ttc#0");
}
