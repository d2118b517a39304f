// Keyboard mnemonics for the dialog's labels, chosen rather than written into each label,
// so labels taken from the parameter table get letters that clash with no button.
#pragma once

#include <string>
#include <vector>

namespace tw::gimp {

// The mnemonic letters of GTK texts ("_OK" has 'o'), in lower case.
std::string MnemonicLetters(const std::vector<std::string>& texts);

// Each label with an underscore before one of its letters that is not in `taken` and not
// used by another label. Labels with the fewest free letters choose first, so as many as
// possible get one; within a label the first free letter wins. A label left with no free
// letter comes back as it was (underscores of a label are doubled, so
// GTK shows them). Letters are compared without case.
std::vector<std::string> WithMnemonics(const std::vector<std::string>& labels, const std::string& taken);

}  // namespace tw::gimp
