#include "params/name_matching.h"

#include <algorithm>
#include <cctype>

namespace tw {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            size_t substitute = diagonal + (a[i - 1] == b[j - 1] ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, substitute});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string NormaliseName(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (std::isspace(static_cast<unsigned char>(c)) || c == '_') continue;
        if (c == '-' && i > 0 && i + 1 < text.size() && IsWordChar(text[i - 1]) && IsWordChar(text[i + 1]))
            continue;
        out.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    }
    return out;
}

size_t NameDistance(std::string_view typed, std::string_view name) {
    const size_t distance = EditDistance(typed, name);
    const bool prefix = typed.size() >= 3 && name.compare(0, typed.size(), typed) == 0;
    return prefix ? std::min<size_t>(distance, 1) : distance;
}

bool CloseEnough(size_t distance, size_t typed_length) {
    return distance <= std::max<size_t>(2, (typed_length + 2) / 3);
}

std::string DidYouMean(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) text += (i == 0 ? "; did you mean \"" : ", \"") + names[i] + "\"";
    return names.empty() ? text : text + "?";
}

}  // namespace tw
