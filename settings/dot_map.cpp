#include "settings/dot_map.h"

#include <cstdio>
#include <vector>

#include "params/render_params.h"
#include "platform/big_endian.h"
#include "platform/platform.h"

namespace tw {

std::string DotMapPath() { return platform::JoinPath(platform::TempFolder(), "Tarnwell memdot map 2"); }

std::string MemoryDotPath(int index) {
    char name[64];
    std::snprintf(name, sizeof name, "%s A memory dot %d%s", "Tarnwell", index, ".q8r");
    return platform::JoinPath(platform::TempFolder(), name);
}

bool SaveDotMap(const DotKeepFlags& keep) {
    std::vector<uint8_t> bytes;
    BigEndianWriter w(bytes);
    w.putI32(kCurrentVersion);
    for (int32_t flag : keep) w.putI32(flag);
    return platform::WriteFileAtomically(DotMapPath(), bytes.data(), bytes.size());
}

bool LoadDotMap(DotKeepFlags& keep) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(DotMapPath(), bytes)) return false;
    BigEndianReader in(bytes);
    int32_t version;
    in.getI32(version);  // read past; every map so far has the same layout
    for (int32_t& flag : keep) in.getI32(flag);
    return true;
}

}  // namespace tw
