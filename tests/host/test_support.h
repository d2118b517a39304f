// Helpers shared by the host tests: patterned pictures and a scratch folder.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "host/picture.h"
#include "platform/platform.h"

namespace tw::host::testing {

// A picture whose every sample differs from its neighbours, so swapped channels, shifted
// rows or lost bytes show. 16-bit samples cover the whole range, float samples include
// values outside 0..1 (the format must keep them).
inline Picture PatternPicture(int32_t w, int32_t h, int channels, int bits) {
    Picture p;
    p.Allocate(w, h, channels, bits);
    size_t count = size_t(w) * size_t(h) * size_t(channels);
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = uint32_t(i * 2654435761u >> 7);
        if (bits == 8) {
            p.data[i] = uint8_t(v);
        } else if (bits == 16) {
            uint16_t s = i == 0 ? 0 : i == 1 ? 65535 : uint16_t(v);
            std::memcpy(p.data.data() + 2 * i, &s, 2);
        } else {
            float s = float(int32_t(v % 4001) - 1000) / 1000.0f;  // -1.0 .. 3.0
            std::memcpy(p.data.data() + 4 * i, &s, 4);
        }
    }
    return p;
}

// A folder of its own for each test process, under the system's temporary folder, removed
// with everything in it when the process ends.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        path = platform::JoinPath(platform::TempFolder(), "tarnwell-host-test-" + std::to_string(getpid()));
        platform::CreateFolder(path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

inline std::string ScratchPath(const std::string& name) {
    static const ScratchFolder folder;
    return platform::JoinPath(folder.path, name);
}

}  // namespace tw::host::testing
