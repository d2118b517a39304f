#include "gimp/mnemonics.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <numeric>

namespace tw::gimp {
namespace {

char Lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }
bool IsLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// The distinct letters of `label` not in `taken`.
std::string FreeLetters(const std::string& label, const std::string& taken) {
    std::string free;
    for (char c : label)
        if (IsLetter(c) && taken.find(Lower(c)) == std::string::npos && free.find(Lower(c)) == std::string::npos)
            free += Lower(c);
    return free;
}

}  // namespace

std::string MnemonicLetters(const std::vector<std::string>& texts) {
    std::string letters;
    for (const std::string& text : texts)
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] != '_') continue;
            if (text[i + 1] == '_') {  // "__" is an underscore shown, not a mnemonic
                ++i;
                continue;
            }
            if (IsLetter(text[i + 1])) letters += Lower(text[i + 1]);
            break;
        }
    return letters;
}

std::vector<std::string> WithMnemonics(const std::vector<std::string>& labels, const std::string& taken) {
    std::string used;
    for (char c : taken) used += Lower(c);
    std::vector<size_t> order(labels.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return FreeLetters(labels[a], used).size() < FreeLetters(labels[b], used).size();
    });
    std::vector<std::string> result(labels.size());
    for (size_t index : order) {
        // An underscore of the label itself is doubled, so GTK shows it.
        bool chosen = false;
        for (char c : labels[index]) {
            if (c == '_') result[index] += '_';
            if (!chosen && IsLetter(c) && used.find(Lower(c)) == std::string::npos) {
                used += Lower(c);
                result[index] += '_';
                chosen = true;
            }
            result[index] += c;
        }
    }
    return result;
}

}  // namespace tw::gimp
