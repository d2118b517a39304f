// Finding a name from what a user typed, and the close names to offer when it names
// nothing: blend modes and parameter labels are looked up the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Lower case without spaces and underscores. A hyphen between two letters or digits only
// joins words ("hard-light", "pick-x"); elsewhere it is part of the name ("procedural -").
std::string NormaliseName(std::string_view text);

// How far a typed name (normalised) is from a known one (normalised): the number of
// letters to add, drop or change, with a typed beginning of the name ("proc" for
// "procedural +") counting as one slip. Small numbers mean close.
size_t NameDistance(std::string_view typed, std::string_view name);

// Whether a name at `distance` is close enough to offer for a typed name of this length:
// about one slip per three letters typed, and at least two.
bool CloseEnough(size_t distance, size_t typed_length);

// "; did you mean "a", "b"?" for a message, or nothing when `names` is empty.
std::string DidYouMean(const std::vector<std::string>& names);

}  // namespace tw
