#include <gtest/gtest.h>

#include "app/command_line.h"

using Action = CommandLine::Action;

TEST(CommandLineTest, ActionsAndGrabSeconds) {
    EXPECT_EQ(ParseCommandLine({}).action, Action::Run);
    EXPECT_EQ(ParseCommandLine({"--help"}).action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).action, Action::Version);
    const CommandLine whole = ParseCommandLine({"--grab"});
    EXPECT_EQ(whole.action, Action::Grab);
    EXPECT_EQ(whole.grabSeconds, 0.0);
    EXPECT_EQ(ParseCommandLine({"--grab", "5"}).grabSeconds, 5.0);
    EXPECT_EQ(ParseCommandLine({"--grab", "0.1"}).grabSeconds, 0.1);
    EXPECT_EQ(ParseCommandLine({"--grab", "10"}).grabSeconds, 10.0);
    EXPECT_EQ(VersionText().rfind("Wavelift 1.", 0), 0u) << VersionText();
}

TEST(CommandLineTest, AnythingElseIsAUsageErrorThatSaysWhat) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--grab", "0.09"}, {"--grab", "10.5"}, {"--grab", "-1"},
                                               {"--grab", "2s"}, {"--grab", "nan"}, {"--grab", "inf"},
                                               {"--grab", "1e1"}, {"--grab", "2", "3"}, {"--help", "x"},
                                               {"grab"}, {"--bogus"}, {""}}) {
        const CommandLine command = ParseCommandLine(args);
        EXPECT_EQ(command.action, Action::Usage) << args.back();
        EXPECT_FALSE(command.error.empty());
    }
    EXPECT_NE(ParseCommandLine({"--grab", "12"}).error.find("12"), std::string::npos);
}
