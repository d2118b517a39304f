// The memory-dot map: which of the 25 memory dots are to be shown as filled at the next
// start. A 104-byte big-endian file in the temporary folder: the word 45, then the 25 keep
// flags, dot 0 first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tw {

constexpr int kMemoryDotCount = 25;
constexpr size_t kDotMapSize = 4 + 4 * kMemoryDotCount;

using DotKeepFlags = int32_t[kMemoryDotCount];

std::string DotMapPath();
// The settings file of dot `index` (0..24, and 25 for the batch command's scratch copy).
std::string MemoryDotPath(int index);

// False when the map cannot be written; the old map then stays as it was.
bool SaveDotMap(const DotKeepFlags& keep);
// False when there is no readable map; the flags are then left as they are. A short map
// sets the flags it holds and leaves the rest.
bool LoadDotMap(DotKeepFlags& keep);

}  // namespace tw
