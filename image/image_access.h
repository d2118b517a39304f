// Inside the image folder only: finding a pixel in the tiles, reading across level
// borders, and IEEE half floats. Shared by the buffer, sampler and reduction code.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "image/image_buffer.h"

namespace tw::image_detail {

// Address of pixel (x, y) of a level; the position must lie inside the level.
inline const uint8_t* PixelAddress(const ImageBuffer& b, int32_t level, int32_t x, int32_t y) {
    const ImageLevel& l = b.levels[level];
    const int32_t sx = x + b.apron, sy = y + b.apron;
    const ImageTile& t = b.tiles[l.first_tile + (sy / kTileSize) * l.tile_columns + sx / kTileSize];
    return t.pixels +
           (size_t(y - t.y) * size_t(t.width) + size_t(x - t.x)) * size_t(b.bytes_per_pixel);
}
inline uint8_t* PixelAddress(ImageBuffer& b, int32_t level, int32_t x, int32_t y) {
    return const_cast<uint8_t*>(PixelAddress(static_cast<const ImageBuffer&>(b), level, x, y));
}

// An index brought back into 0..size-1, by wrapping around or by clamping.
inline int32_t WrapIndex(int32_t i, int32_t size) {
    if (uint32_t(i) < uint32_t(size)) return i;  // most indices are inside: skip the division
    int32_t r = i % size;
    return r < 0 ? r + size : r;
}
inline int32_t ClampIndex(int32_t i, int32_t size) {
    return i < 0 ? 0 : (i >= size ? size - 1 : i);
}
inline bool WrapsX(const ImageBuffer& b) {
    return b.wrap == kWrapBoth || b.wrap == kWrapHorizontal;
}
inline bool WrapsY(const ImageBuffer& b) { return b.wrap == kWrapBoth; }
inline int32_t BorderX(const ImageBuffer& b, int32_t x, int32_t size) {
    return WrapsX(b) ? WrapIndex(x, size) : ClampIndex(x, size);
}
inline int32_t BorderY(const ImageBuffer& b, int32_t y, int32_t size) {
    return WrapsY(b) ? WrapIndex(y, size) : ClampIndex(y, size);
}

// Pointer to the first pixel and the row stride in bytes when the n x n window starting
// at (x, y) lies inside the level and inside one tile; null otherwise.
inline const uint8_t* DirectWindow(const ImageBuffer& b, int32_t level, int32_t x, int32_t y,
                                   int32_t n, size_t& stride) {
    const ImageLevel& l = b.levels[level];
    if (x < 0 || y < 0 || x + n > l.width || y + n > l.height) return nullptr;
    const int32_t sx = x + b.apron, sy = y + b.apron;
    if (sx / kTileSize != (sx + n - 1) / kTileSize || sy / kTileSize != (sy + n - 1) / kTileSize)
        return nullptr;
    const ImageTile& t = b.tiles[l.first_tile + (sy / kTileSize) * l.tile_columns + sx / kTileSize];
    stride = size_t(t.width) * size_t(b.bytes_per_pixel);
    return t.pixels + size_t(y - t.y) * stride + size_t(x - t.x) * size_t(b.bytes_per_pixel);
}

// Copies the n x n window at (x, y) into `out` (n * n pixels, packed), reading across the
// level's border by the buffer's wrap flag. Border indices are worked out once per row and
// column, and each pixel is copied with a fixed-size move rather than a library call.
template <size_t kBpp>
inline void GatherWindowOf(const ImageBuffer& b, int32_t level, int32_t x, int32_t y, int32_t n,
                           uint8_t* out) {
    const ImageLevel& l = b.levels[level];
    constexpr int32_t kMaxSpan = 16;
    int32_t columns[kMaxSpan];
    bool oneTileColumn = true;
    const int32_t firstTileColumn = (BorderX(b, x, l.width) + b.apron) / kTileSize;
    for (int32_t c = 0; c < n; ++c) {
        columns[c] = BorderX(b, x + c, l.width);
        oneTileColumn = oneTileColumn && (columns[c] + b.apron) / kTileSize == firstTileColumn;
    }
    for (int32_t r = 0; r < n; ++r) {
        const int32_t yy = BorderY(b, y + r, l.height);
        if (oneTileColumn) {
            // The usual case: the whole row of the window comes from one tile.
            const ImageTile& t =
                b.tiles[l.first_tile + ((yy + b.apron) / kTileSize) * l.tile_columns + firstTileColumn];
            const uint8_t* row = t.pixels + size_t(yy - t.y) * size_t(t.width) * kBpp;
            for (int32_t c = 0; c < n; ++c) {
                std::memcpy(out, row + size_t(columns[c] - t.x) * kBpp, kBpp);
                out += kBpp;
            }
        } else {
            for (int32_t c = 0; c < n; ++c) {
                std::memcpy(out, PixelAddress(b, level, columns[c], yy), kBpp);
                out += kBpp;
            }
        }
    }
}
// The n x n window at (x, y) as one pointer per row and one byte offset per column into
// those rows, read across the level's border by the buffer's wrap flag, so a filter can
// read it in place. False when the window's columns come from more than one tile column.
// Most windows either lie inside the level or belong to a level held in one row of tiles
// (every coarse level): those take one tile lookup and no per-row border arithmetic where
// the rows need none.
// Its loops are five indices long: left scalar, they beat the vector form, which without
// SSE4.1 spells out every minimum and maximum as several instructions.
__attribute__((optimize("no-tree-vectorize"))) inline bool WindowRows(const ImageBuffer& b, int32_t level,
                                                                       int32_t x, int32_t y, int32_t n,
                                                                       const uint8_t** rows, size_t* offsets) {
    const ImageLevel& l = b.levels[level];
    const size_t bpp = size_t(b.bytes_per_pixel);
    const bool rowsInside = y >= 0 && y + n <= l.height;
    if (rowsInside && x >= 0 && x + n <= l.width) {
        // Inside the level: evenly spaced rows and columns when the window is in one tile.
        const uint32_t sx = uint32_t(x + b.apron), sy = uint32_t(y + b.apron);
        const uint32_t tileColumn = sx / kTileSize, tileRow = sy / kTileSize;
        if (tileColumn == (sx + uint32_t(n) - 1) / kTileSize && tileRow == (sy + uint32_t(n) - 1) / kTileSize) {
            const ImageTile& t = b.tiles[size_t(l.first_tile) + size_t(tileRow) * size_t(l.tile_columns) + tileColumn];
            const size_t rowBytes = size_t(t.width) * bpp;
            const uint8_t* row = t.pixels + size_t(y - t.y) * rowBytes;
            const size_t first = size_t(x - t.x) * bpp;
            for (int32_t r = 0; r < n; ++r, row += rowBytes) rows[r] = row;
            for (int32_t c = 0; c < n; ++c) offsets[c] = first + size_t(c) * bpp;
            return true;
        }
    }
    int32_t columns[16];
    if (x >= 0 && x + n <= l.width) {
        for (int32_t c = 0; c < n; ++c) columns[c] = x + c;
    } else if (WrapsX(b)) {
        for (int32_t c = 0; c < n; ++c) columns[c] = WrapIndex(x + c, l.width);
    } else {
        for (int32_t c = 0; c < n; ++c) columns[c] = ClampIndex(x + c, l.width);
    }
    const int32_t tileColumn = (columns[0] + b.apron) / kTileSize;
    if (l.tile_columns > 1)
        for (int32_t c = 1; c < n; ++c)
            if ((columns[c] + b.apron) / kTileSize != tileColumn) return false;

    if (l.tile_rows == 1 || (rowsInside && (y + b.apron) / kTileSize == (y + n - 1 + b.apron) / kTileSize)) {
        // Every row of the window comes from the same tile.
        const int32_t first = rowsInside ? y : BorderY(b, y, l.height);
        const ImageTile& t = b.tiles[l.first_tile + ((first + b.apron) / kTileSize) * l.tile_columns + tileColumn];
        const size_t rowBytes = size_t(t.width) * bpp;
        if (rowsInside) {
            const uint8_t* row = t.pixels + size_t(y - t.y) * rowBytes;
            for (int32_t r = 0; r < n; ++r, row += rowBytes) rows[r] = row;
        } else if (WrapsY(b)) {
            for (int32_t r = 0; r < n; ++r) rows[r] = t.pixels + size_t(WrapIndex(y + r, l.height) - t.y) * rowBytes;
        } else {
            for (int32_t r = 0; r < n; ++r) rows[r] = t.pixels + size_t(ClampIndex(y + r, l.height) - t.y) * rowBytes;
        }
        for (int32_t c = 0; c < n; ++c) offsets[c] = size_t(columns[c] - t.x) * bpp;
        return true;
    }
    for (int32_t r = 0; r < n; ++r) {
        const int32_t yy = BorderY(b, y + r, l.height);
        const ImageTile& t = b.tiles[l.first_tile + ((yy + b.apron) / kTileSize) * l.tile_columns + tileColumn];
        rows[r] = t.pixels + size_t(yy - t.y) * size_t(t.width) * bpp;
        if (r == 0)
            for (int32_t c = 0; c < n; ++c) offsets[c] = size_t(columns[c] - t.x) * bpp;
    }
    return true;
}

// The same copy for any pixel size and span.
inline void GatherWindowAnySize(const ImageBuffer& b, int32_t level, int32_t x, int32_t y, int32_t n,
                                uint8_t* out) {
    const ImageLevel& l = b.levels[level];
    const size_t bpp = size_t(b.bytes_per_pixel);
    for (int32_t r = 0; r < n; ++r) {
        const int32_t yy = BorderY(b, y + r, l.height);
        for (int32_t c = 0; c < n; ++c) {
            std::memcpy(out, PixelAddress(b, level, BorderX(b, x + c, l.width), yy), bpp);
            out += bpp;
        }
    }
}
inline void GatherWindow(const ImageBuffer& b, int32_t level, int32_t x, int32_t y, int32_t n,
                         uint8_t* out) {
    if (n > 16) {  // wider than any caller asks for
        return GatherWindowAnySize(b, level, x, y, n, out);
    }
    switch (b.bytes_per_pixel) {
        case 1: return GatherWindowOf<1>(b, level, x, y, n, out);
        case 2: return GatherWindowOf<2>(b, level, x, y, n, out);
        case 4: return GatherWindowOf<4>(b, level, x, y, n, out);
        case 6: return GatherWindowOf<6>(b, level, x, y, n, out);
        case 8: return GatherWindowOf<8>(b, level, x, y, n, out);
        case 16: return GatherWindowOf<16>(b, level, x, y, n, out);
        default: return GatherWindowAnySize(b, level, x, y, n, out);
    }
}

// pointSample without the AVX2 row pass, the form every x86-64 processor runs; the
// samplers' tests hold the two to the same bits.
PixelRgba PointSampleNarrow(const ImageBuffer& b, float lod, float u, float v);
// footprintSample over PointSampleNarrow, the reference of the AVX2 footprint loop.
PixelRgba FootprintSampleNarrow(const ImageBuffer& b, float u, float v, const Footprint& fp, float blur,
                                float softness, const SamplingState& state);
// The same footprint by every tap loop this processor can run: the plain loop in out[0],
// then for 8-bit pictures the AVX2 loop and the AVX-512 one where the processor has them.
// Returns how many were filled in (at most kFootprintPaths); the tests hold them to one
// set of bits.
constexpr int kFootprintPaths = 3;
int FootprintSampleEveryPath(const ImageBuffer& b, float u, float v, const Footprint& fp, float blur, float softness,
                             const SamplingState& state, PixelRgba* out);

// The integer reduction of one whole job in its direct 6 x 6 form: what the job falls back
// to when its scratch rows cannot be allocated, and the reference the separable form must
// match. The rectangle must lie inside level `job.level`, which must be 1 or more.
void ReduceDirectly(ImageBuffer& b, const MipJob& job);

// IEEE 754 half precision, round to nearest even.
inline float HalfToFloat(uint16_t h) {
    const uint32_t sign = uint32_t(h & 0x8000u) << 16;
    const uint32_t exponent = (h >> 10) & 0x1fu;
    const uint32_t mantissa = h & 0x3ffu;
    uint32_t bits;
    if (exponent == 0) {
        if (mantissa == 0) {
            bits = sign;
        } else {  // subnormal: scale it exactly
            float value = std::ldexp(float(mantissa), -24);
            return sign ? -value : value;
        }
    } else if (exponent == 31) {
        bits = sign | 0x7f800000u | (mantissa << 13);
    } else {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    }
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

inline uint16_t FloatToHalf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    const uint16_t sign = uint16_t((bits >> 16) & 0x8000u);
    const uint32_t abs = bits & 0x7fffffffu;
    if (abs >= 0x7f800000u)  // infinity or NaN
        return uint16_t(sign | 0x7c00u | (abs > 0x7f800000u ? 0x200u : 0u));
    if (abs >= 0x477ff000u) return uint16_t(sign | 0x7c00u);  // rounds beyond 65504
    if (abs < 0x38800000u) {  // below the smallest normal half: subnormal or zero
        float a;
        std::memcpy(&a, &abs, 4);
        return uint16_t(sign | uint16_t(std::nearbyint(a * 16777216.0f)));
    }
    const uint32_t rounded = abs + 0xfffu + ((abs >> 13) & 1u);
    return uint16_t(sign | ((rounded - 0x38000000u) >> 13));
}

}  // namespace tw::image_detail
