// The generator without a scripting key table in the tree: the module is built without
// its terminology resource, and hosts simply offer no scripting for it.
#include <cstdint>
#include <vector>

std::vector<uint8_t> TerminologyResource() { return {}; }
