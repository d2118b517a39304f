// Inside the image folder only: the pieces of the 5 x 5 level filter that every sampler
// path shares (the plain point sampler, and the AVX2 paths of sampler_rgba8_wide.cpp):
// where a lookup lands in a level, the column pass, the 8-bit channel order, and the
// level sampler itself.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "image/image_buffer.h"
#include "image/resample_kernel.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
// The AVX2 paths are built; whether they run is kWideRows, asked of the processor once.
#define TW_SAMPLER_WIDE_ROWS 1
#endif

namespace tw::image_detail {

typedef float f32x4 __attribute__((vector_size(16)));
typedef int32_t i32x4 __attribute__((vector_size(16)));

constexpr int kTaps = kKernelTaps;

// Weights of the five columns h-2 .. h+2 and of the five rows m-2 .. m+2.
struct Weights {
    const float* x;
    const float* y;
};

// The lanes of a filtered 8-bit pixel, loaded in memory order (alpha first on a
// little-endian machine), in red, green, blue, alpha order: done once, after filtering.
inline f32x4 Rgba8ToRgba(f32x4 c) {
    uint32_t probe = 0x01020304u;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 0x04 ? __builtin_shufflevector(c, c, 3, 2, 1, 0) : c;
}

// The column pass of the fast filters: the five filtered rows combined like the rows' pixels.
inline f32x4 ColumnPass(const f32x4* rows, const Weights& w) {
    f32x4 sum = (rows[0] - rows[2]) * w.y[0];
    sum += (rows[1] - rows[2]) * w.y[1];
    sum += (rows[3] - rows[2]) * w.y[3];
    sum += (rows[4] - rows[2]) * w.y[4];
    return rows[2] + sum;
}

// Where a lookup at (u, v) lands in a level: the pixel (h, m) under it and the kernel
// phases of its position inside that pixel. Every path of the sampler places its window
// with this one piece of arithmetic.
struct Spot {
    int32_t h, m;
    int phase_x, phase_y;
};
inline Spot Locate(const ImageLevel& l, float u, float v) {
    // Level pixel coordinates with pixel x's centre at x + 0.5.
    const float x = u * float(l.width), y = v * float(l.height);
    const float fx = std::floor(x), fy = std::floor(y);
    Spot s;
    s.h = int32_t(fx);
    s.m = int32_t(fy);
    s.phase_x = std::min(int((x - fx) * kKernelPhases), kKernelPhases - 1);
    s.phase_y = std::min(int((y - fy) * kKernelPhases), kKernelPhases - 1);
    return s;
}

// One level at (u, v) in 0..1, in the format's full-scale units (level_sampler.cpp). Grey
// formats answer in lane 0 only. kWide picks the AVX2 row pass for 8-bit pictures, which
// gives the same bits; ask for it only where kWideRows holds.
template <bool kWide>
f32x4 SampleLevel(const ImageBuffer& b, int32_t level, float u, float v);
extern template f32x4 SampleLevel<false>(const ImageBuffer& b, int32_t level, float u, float v);
extern template f32x4 SampleLevel<true>(const ImageBuffer& b, int32_t level, float u, float v);
// The same at a located spot.
template <bool kWide>
f32x4 SampleLevelAt(const ImageBuffer& b, int32_t level, const Spot& s);
extern template f32x4 SampleLevelAt<false>(const ImageBuffer& b, int32_t level, const Spot& s);

#if defined(TW_SAMPLER_WIDE_ROWS)
// The 8-bit row pass of the level sampler with two rows at a time in 256-bit lanes
// (sampler_rgba8_wide.cpp): the window given as a pointer per row and a byte offset per
// column, the result the plain SSE2 filter's bits.
__attribute__((target("avx2"))) f32x4 FilterRgba8Wide(const uint8_t* const* rowPointers, const size_t* offsets,
                                                      const Weights& w);

// Whether this processor has AVX2, asked once at start-up; the wide paths run only then.
extern const bool kWideRows;
// Whether it has the AVX-512 parts the footprint sampler's 512-bit tap loop needs.
extern const bool kAvx512Taps;
#endif

}  // namespace tw::image_detail
