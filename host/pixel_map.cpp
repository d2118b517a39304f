// Reading a PSPixelMap into screen rows: see pixel_map.h.
#include "host/pixel_map.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "hostapi/host_constants.h"

namespace tw::host {
namespace {

// Beyond this a request is refused instead of allocated: no screen is that large.
constexpr int64_t kMaxScreenBytes = int64_t(1) << 30;

struct ModeFacts {
    int planes = 0;  // 0: not drawable
    int depth = 0;
};

ModeFacts FactsOf(int32_t mode) {
    switch (mode) {
        case plugInModeGrayScale: return {1, 8};
        case plugInModeRGBColor: return {3, 8};
        case plugInModeGray16: return {1, 16};
        case plugInModeRGB48: return {3, 16};
        case plugInModeGray32: return {1, 32};
        case plugInModeRGB96: return {3, 32};
        default: return {};
    }
}

uint8_t ToByte(const uint8_t* sample, int depth) {
    if (depth == 8) return *sample;
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, sample, 2);
        // The host's 16-bit range is 0..32768; round to the nearest byte.
        return uint8_t((std::min<uint32_t>(v, 32768u) * 255u + 16384u) / 32768u);
    }
    float f;
    std::memcpy(&f, sample, 4);
    if (!(f > 0.0f)) return 0;  // also NaN
    return f >= 1.0f ? 255 : uint8_t(f * 255.0f + 0.5f);
}

}  // namespace

OSErr CheckPixelMap(const PSPixelMap& map) {
    if (map.version < 1 || map.baseAddr == nullptr) return paramErr;
    return FactsOf(map.imageMode).planes == 0 ? filterBadMode : noErr;
}

OSErr PixelMapToScreenRows(const PSPixelMap& map, const VRect& rect, ScreenRows& rows) {
    rows = ScreenRows{};
    if (OSErr e = CheckPixelMap(map)) return e;
    const ModeFacts facts = FactsOf(map.imageMode);
    const int32_t top = std::max(rect.top, map.bounds.top);
    const int32_t left = std::max(rect.left, map.bounds.left);
    const int32_t bottom = std::min(rect.bottom, map.bounds.bottom);
    const int32_t right = std::min(rect.right, map.bounds.right);
    if (bottom <= top || right <= left) return noErr;

    const int64_t width = int64_t(right) - left, height = int64_t(bottom) - top;
    const int64_t stride = (width * 3 + 3) / 4 * 4;
    if (stride * height > kMaxScreenBytes) return memFullErr;
    try {
        rows.bytes.assign(size_t(stride * height), 0);
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
    rows.width = int32_t(width);
    rows.height = int32_t(height);
    rows.stride = int32_t(stride);

    const auto* base = static_cast<const uint8_t*>(map.baseAddr);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* line = base + (int64_t(top) - map.bounds.top + y) * int64_t(map.rowBytes) +
                              (int64_t(left) - map.bounds.left) * int64_t(map.colBytes);
        uint8_t* out = rows.bytes.data() + y * stride;
        for (int64_t x = 0; x < width; ++x, out += 3) {
            const uint8_t* pixel = line + x * int64_t(map.colBytes);
            if (facts.planes == 1) {
                out[0] = out[1] = out[2] = ToByte(pixel, facts.depth);
            } else {
                out[2] = ToByte(pixel, facts.depth);
                out[1] = ToByte(pixel + map.planeBytes, facts.depth);
                out[0] = ToByte(pixel + 2 * int64_t(map.planeBytes), facts.depth);
            }
        }
    }
    return noErr;
}

PSPixelMap DocumentPixelMap(const Document& document) {
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, document.height, document.width};
    map.imageMode = document.ImageMode();
    map.rowBytes = int32_t(document.RowBytes());
    map.colBytes = int32_t(document.PixelBytes());
    map.planeBytes = int32_t(document.SampleBytes());
    map.baseAddr = const_cast<uint8_t*>(document.pixels.data());
    return map;
}

}  // namespace tw::host
