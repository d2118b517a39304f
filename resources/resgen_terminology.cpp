// The generator's terminology: the AETE bytes built from the scripting key table.
#include <cstdint>
#include <vector>

#include "resources/terminology_resource.h"

std::vector<uint8_t> TerminologyResource() { return tw::resources::TerminologyBytes(); }
