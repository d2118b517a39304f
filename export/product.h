// The product's name as the exporters write it into documents, keywords and pages.
#pragma once

namespace tw {

inline constexpr char kProductName[] = "Tarnwell";

}  // namespace tw
