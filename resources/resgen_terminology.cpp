// The generator's terminology: the AETE bytes built from the scripting key table.
#include <cstdint>
#include <vector>

#include "shell/terminology.h"

std::vector<uint8_t> TerminologyResource() { return tw::TerminologyBytes(); }
