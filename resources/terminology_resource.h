// The scripting terminology resource (AETE 16000): what an editor reads to learn the names
// and types of the keys the filter records, built from the scripting key table
// (params/script_keys.h) and the glue-mode names.
#pragma once

#include <cstdint>
#include <vector>

namespace tw::resources {

// The resource in the Windows layout: a leading word 1, little-endian integers and codes,
// Pascal strings without alignment bytes.
std::vector<uint8_t> TerminologyBytes();

}  // namespace tw::resources
