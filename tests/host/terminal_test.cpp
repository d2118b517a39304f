// The command line's small pieces: the progress bar's text and number parsing.
#include <gtest/gtest.h>

#include "host/commands.h"
#include "host/terminal.h"

namespace tw::host {
namespace {

TEST(ProgressLine, FillsInProportionAndClampsOutOfRangeValues) {
    std::string empty = ProgressLine("rendering", 0);
    std::string half = ProgressLine("rendering", 50);
    std::string full = ProgressLine("rendering", 100);
    EXPECT_EQ(empty.find('#'), std::string::npos);
    EXPECT_NE(empty.find("  0%"), std::string::npos);
    EXPECT_EQ(std::count(half.begin(), half.end(), '#'), 15);
    EXPECT_NE(half.find(" 50%"), std::string::npos);
    EXPECT_EQ(std::count(full.begin(), full.end(), '#'), 30);
    EXPECT_EQ(ProgressLine("r", 250), ProgressLine("r", 100));
    EXPECT_EQ(ProgressLine("r", -5), ProgressLine("r", 0));
    // Every line is as long as every other, so redrawing over it leaves no debris.
    EXPECT_EQ(empty.size(), full.size());
}

TEST(ParseInteger, AcceptsWholeNumbersInRangeOnly) {
    long value = 0;
    std::string error;
    EXPECT_TRUE(ParseInteger("42", 1, 100, "--quality", value, error));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(ParseInteger("1", 1, 100, "--quality", value, error));
    EXPECT_TRUE(ParseInteger("100", 1, 100, "--quality", value, error));
    for (const char* bad : {"0", "101", "", "4.5", "12abc", "-3", "99999999999999999999"}) {
        EXPECT_FALSE(ParseInteger(bad, 1, 100, "--quality", value, error)) << bad;
        EXPECT_NE(error.find("--quality"), std::string::npos);
    }
}

}  // namespace
}  // namespace tw::host
