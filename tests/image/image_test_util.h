// Helpers shared by the image tests: owning pointers and test pictures that expose bugs.
#pragma once

#include <cmath>
#include <memory>

#include "image/image_buffer.h"

namespace tw::test {

struct Destroy {
    void operator()(ImageBuffer* b) const { destroyImageBuffer(b); }
};
using BufferPtr = std::unique_ptr<ImageBuffer, Destroy>;

inline BufferPtr Make(int32_t w, int32_t h, int32_t format, bool apron = false) {
    return BufferPtr(createImageBuffer(w, h, format, apron));
}

constexpr int32_t kAllFormats[] = {kGrey8,  kGrey16,    kGreyHalf, kRgba8,
                                   kRgba16, kGreyFloat, kRgbHalf,  kRgbaFloat};

// No symmetry, distinct channels, every value representable in 8 bits.
inline PixelRgba PatternColour(int32_t x, int32_t y) {
    return {float((x * 37 + y * 11) % 256) / 255, float((x * 5 + y * 73) % 256) / 255,
            float((x * x + 3 * y) % 256) / 255, float((200 + x + y) % 256) / 255};
}

inline BufferPtr Pattern(int32_t w, int32_t h, int32_t format) {
    BufferPtr b = Make(w, h, format);
    if (!b) return b;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) writePixel(*b, 0, x, y, PatternColour(x, y));
    return b;
}

inline BufferPtr Constant(int32_t w, int32_t h, int32_t format, PixelRgba c) {
    BufferPtr b = Make(w, h, format);
    if (!b) return b;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) writePixel(*b, 0, x, y, c);
    return b;
}

inline bool SameLevel(const ImageBuffer& a, const ImageBuffer& b, int32_t level) {
    const ImageLevel& l = a.levels[level];
    for (int32_t y = 0; y < l.height; ++y)
        for (int32_t x = 0; x < l.width; ++x) {
            const PixelRgba p = readPixel(a, level, x, y), q = readPixel(b, level, x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b || p.a != q.a) return false;
        }
    return true;
}

}  // namespace tw::test
