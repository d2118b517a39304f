// Texts of the plain message dialogs and their placeholders: "^0".."^3" in a message are
// replaced by four strings the caller sets beforehand.
#pragma once

#include <array>
#include <string>

namespace tw {

constexpr const char* kRefusalText =
    "The filter cannot run because your paint program does not support enough of the "
    "Photoshop 3.0 plug-in standard.";

// Longest item text a message dialog reads, in characters.
constexpr size_t kMessageTextLimit = 1499;

// Replaces every "^0", "^1", "^2" and "^3" in `text` (cut to kMessageTextLimit characters)
// by the matching string; a marker whose string is empty stays as it is. Inserted strings
// are not searched again.
std::string FillPlaceholders(const std::string& text, const std::array<std::string, 4>& strings);

}  // namespace tw
