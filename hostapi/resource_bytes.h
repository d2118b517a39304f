// The byte order of the Windows resources a host reads from a plug-in module (the property
// list and the scripting terminology): integers and four-character codes as little-endian
// words, so codes appear byte-reversed in the file; Pascal strings without alignment bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tw {

struct ResourceBytes {
    std::vector<uint8_t>& out;

    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void bytes(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        out.insert(out.end(), b, b + n);
    }
    // A length byte and the text; a longer text is cut rather than overflowing the length.
    void pascal(const char* s) {
        const size_t n = std::strlen(s) < 255 ? std::strlen(s) : 255;
        u8(uint8_t(n));
        bytes(s, n);
    }
};

}  // namespace tw
