// Mnemonics chosen for the dialog's labels: no clashes with the buttons or each other, as
// many labels as possible served, and the labels' own text kept.
#include <gtest/gtest.h>

#include <set>

#include "gimp/mnemonics.h"

namespace tw::gimp {
namespace {

// The label without its mnemonic marker.
std::string Shown(const std::string& label) {
    std::string shown;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_' && i + 1 < label.size()) ++i;
        shown += label[i];
    }
    return shown;
}

TEST(MnemonicLetters, ReadsTheLetterAfterTheFirstSingleUnderscore) {
    EXPECT_EQ(MnemonicLetters({"_OK", "_Cancel", "Re_set", "No mnemonic", "a__b_C", "_1", "end_"}), "ocsc");
}

TEST(WithMnemonics, TheDialogsLabelsGetLettersNoButtonHas) {
    const std::string taken = MnemonicLetters({"_Reset", "_Cancel", "_OK", "_Load", "_Save", "_Dice", "_New Seed"});
    const std::vector<std::string> labels = {"Style:", "Glue:", "Color:", "Glitter:", "Seed:", "Center:", "Light:"};
    const std::vector<std::string> chosen = WithMnemonics(labels, taken);
    ASSERT_EQ(chosen.size(), labels.size());
    std::set<char> letters(taken.begin(), taken.end());
    int served = 0;
    for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(Shown(chosen[i]), labels[i]);
        const std::string letter = MnemonicLetters({chosen[i]});
        if (letter.empty()) continue;
        ++served;
        EXPECT_TRUE(letters.insert(letter[0]).second) << chosen[i] << " clashes";
    }
    // Every letter of "Color" belongs to a button; the six others all get one, which taking
    // the labels in order would not give (Center would find e, t and r gone).
    EXPECT_EQ(chosen[2], "Color:");
    EXPECT_EQ(served, 6);
    EXPECT_EQ(chosen[5], "Cen_ter:");
}

TEST(WithMnemonics, UnderscoresOfTheLabelStayVisibleAndCaseIsIgnored) {
    const std::vector<std::string> chosen = WithMnemonics({"a_b", "AB"}, "A");
    EXPECT_EQ(chosen[0], "a___b");  // "a", an underscore shown, and b underlined
    EXPECT_EQ(chosen[1], "AB");      // both its letters are taken
    EXPECT_TRUE(WithMnemonics({}, "").empty());
}

}  // namespace
}  // namespace tw::gimp
