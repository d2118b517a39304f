// The level sampler: one mip level at (u, v) through the separable 5 x 5 filter, for every
// pixel format. Renders call it for every tap of every footprint, twice when two levels
// mix, so nothing here allocates: a window inside one tile is read in place, and only
// windows that cross a tile or level border are first gathered into a block on the stack.
#include "image/level_sampler.h"

#include <cstring>

#include "image/image_access.h"

namespace tw::image_detail {
namespace {

// ---- Loading one pixel as four lanes -------------------------------------------------------
// The 8-bit word is loaded in memory order (alpha first on a little-endian machine) and put
// in red, green, blue, alpha order once, after filtering.

typedef uint8_t u8x4 __attribute__((vector_size(4)));
typedef uint16_t u16x4 __attribute__((vector_size(8)));

#if defined(__SSE2__)
// Compilers turn the portable widening below into scalar code; on x86 say it directly.
inline f32x4 LoadRgba8(const uint8_t* p) {
    int32_t word;
    std::memcpy(&word, p, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero);
    return f32x4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(bytes, zero)));
}
inline f32x4 LoadRgba16(const uint8_t* p) {
    const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return f32x4(_mm_cvtepi32_ps(_mm_unpacklo_epi16(words, _mm_setzero_si128())));
}
#else
inline f32x4 LoadRgba8(const uint8_t* p) {
    u8x4 v;
    std::memcpy(&v, p, 4);
    return __builtin_convertvector(v, f32x4);
}
inline f32x4 LoadRgba16(const uint8_t* p) {
    u16x4 v;
    std::memcpy(&v, p, 8);
    return __builtin_convertvector(v, f32x4);
}
#endif
inline f32x4 LoadRgbaFloat(const uint8_t* p) {
    f32x4 v;
    std::memcpy(&v, p, 16);
    return v;
}
inline f32x4 LoadRgbHalf(const uint8_t* p) {
    uint16_t v[3];
    std::memcpy(v, p, 6);
    return f32x4{HalfToFloat(v[0]), HalfToFloat(v[1]), HalfToFloat(v[2]), 1.0f};
}
inline f32x4 LoadGrey8(const uint8_t* p) { return f32x4{float(p[0]), 0, 0, 0}; }
inline f32x4 LoadGrey16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return f32x4{float(v), 0, 0, 0};
}
inline f32x4 LoadGreyFloat(const uint8_t* p) {
    float v;
    std::memcpy(&v, p, 4);
    return f32x4{v, 0, 0, 0};
}
inline f32x4 LoadGreyHalf(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return f32x4{HalfToFloat(v), 0, 0, 0};
}

// ---- The 5 x 5 filter ----------------------------------------------------------------------

// One separable pass over the window, written as the centre plus weighted differences from
// it: a flat area comes back bit for bit whatever the rounding of the weights. 8- and
// 16-bit pixels take the x2048 and x32768 integer weights divided by their scale (exact in
// float), so the sum is the integer sum scaled by 2^-22 or 2^-30, held in float.
template <f32x4 (*Load)(const uint8_t*), int kBpp>
f32x4 Filter(const uint8_t* p, size_t stride, const Weights& w) {
    f32x4 rows[kTaps];
    for (int r = 0; r < kTaps; ++r, p += stride) {
        const f32x4 centre = Load(p + 2 * kBpp);
        f32x4 sum = (Load(p) - centre) * w.x[0];
        sum += (Load(p + kBpp) - centre) * w.x[1];
        sum += (Load(p + 3 * kBpp) - centre) * w.x[3];
        sum += (Load(p + 4 * kBpp) - centre) * w.x[4];
        rows[r] = centre + sum;
    }
    f32x4 sum = (rows[0] - rows[2]) * w.y[0];
    sum += (rows[1] - rows[2]) * w.y[1];
    sum += (rows[3] - rows[2]) * w.y[3];
    sum += (rows[4] - rows[2]) * w.y[4];
    return rows[2] + sum;
}

#if defined(__SSE2__)
// The 8-bit filter with its row pass in integers. Each row of the float form above is
// exactly the integer sum of weight x byte divided by 2048 (every product and partial sum
// fits the float mantissa), so pairing bytes with 16-bit weights in multiply-add
// instructions gives the very same rows with a third of the work; the column pass is the
// float one. The window is given as a pointer per row and a byte offset per column, so
// windows over the picture's border are read in place like any other.
f32x4 FilterRgba8(const uint8_t* const* rowPointers, const size_t* offsets, const Weights& w) {
    int16_t k[kTaps];
    for (int i = 0; i < kTaps; ++i) k[i] = int16_t(w.x[i] * 2048.0f);  // exact: integers / 2048
    const __m128i w01 = _mm_set_epi16(k[1], k[0], k[1], k[0], k[1], k[0], k[1], k[0]);
    const __m128i w23 = _mm_set_epi16(k[3], k[2], k[3], k[2], k[3], k[2], k[3], k[2]);
    const __m128i w4 = _mm_set_epi16(0, k[4], 0, k[4], 0, k[4], 0, k[4]);
    const __m128i zero = _mm_setzero_si128();
    const f32x4 scale = {1.0f / 2048, 1.0f / 2048, 1.0f / 2048, 1.0f / 2048};
    f32x4 rows[kTaps];
    for (int r = 0; r < kTaps; ++r) {
        const uint8_t* p = rowPointers[r];
        __m128i first;
        if (offsets[4] == offsets[0] + 16) {  // the usual case: five pixels side by side
            first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offsets[0]));
        } else {
            int32_t px[4];
            for (int c = 0; c < 4; ++c) std::memcpy(&px[c], p + offsets[c], 4);
            first = _mm_set_epi32(px[3], px[2], px[1], px[0]);
        }
        int32_t last;
        std::memcpy(&last, p + offsets[4], 4);
        const __m128i p01 = _mm_unpacklo_epi8(first, zero);  // pixels 0 and 1 as 16-bit lanes
        const __m128i p23 = _mm_unpackhi_epi8(first, zero);
        const __m128i p4 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(last), zero);
        // Interleave the two pixels channel by channel: (c0, c1) pairs for the multiply-add.
        const __m128i a = _mm_unpacklo_epi16(p01, _mm_srli_si128(p01, 8));
        const __m128i b = _mm_unpacklo_epi16(p23, _mm_srli_si128(p23, 8));
        const __m128i c = _mm_unpacklo_epi16(p4, zero);
        const __m128i sum =
            _mm_add_epi32(_mm_add_epi32(_mm_madd_epi16(a, w01), _mm_madd_epi16(b, w23)), _mm_madd_epi16(c, w4));
        rows[r] = f32x4(_mm_cvtepi32_ps(sum)) * scale;
    }
    return ColumnPass(rows, w);
}
#endif

}  // namespace

template <bool kWide>
f32x4 SampleLevel(const ImageBuffer& b, int32_t level, float u, float v) {
    return SampleLevelAt<kWide>(b, level, Locate(b.levels[level], u, v));
}

template <bool kWide>
f32x4 SampleLevelAt(const ImageBuffer& b, int32_t level, const Spot& s) {
    const int32_t h = s.h, m = s.m;
    const int phase_x = s.phase_x, phase_y = s.phase_y;

    const ResampleKernel& K = *b.kernel;
#if defined(__SSE2__)
    if (b.format == kRgba8) {
        // Read in place through row pointers, inside the level or across its border.
        const uint8_t* rows[kTaps];
        size_t offsets[kTaps];
        if (WindowRows(b, level, h - 2, m - 2, kTaps, rows, offsets)) {
            const Weights w{K.columns2048[phase_x], K.columns2048[phase_y]};
#if defined(TW_SAMPLER_WIDE_ROWS)
            if constexpr (kWide) return Rgba8ToRgba(FilterRgba8Wide(rows, offsets, w));
#endif
            return Rgba8ToRgba(FilterRgba8(rows, offsets, w));
        }
    }
#endif

    size_t stride = 0;
    alignas(16) uint8_t block[kTaps * kTaps * 16];
    const uint8_t* p = DirectWindow(b, level, h - 2, m - 2, kTaps, stride);
    if (!p) {
        GatherWindow(b, level, h - 2, m - 2, kTaps, block);
        p = block;
        stride = size_t(kTaps) * size_t(b.bytes_per_pixel);
    }

    const Weights w8{K.columns2048[phase_x], K.columns2048[phase_y]};
    const Weights w16{K.columns32768[phase_x], K.columns32768[phase_y]};
    const Weights wf{K.columns_float[phase_x], K.columns_float[phase_y]};
    switch (b.format) {
        case kRgba8: return Rgba8ToRgba(Filter<LoadRgba8, 4>(p, stride, w8));
        case kGrey8: return Filter<LoadGrey8, 1>(p, stride, w8);
        case kRgba16: return Filter<LoadRgba16, 8>(p, stride, w16);
        case kGrey16: return Filter<LoadGrey16, 2>(p, stride, w16);
        case kRgbaFloat: return Filter<LoadRgbaFloat, 16>(p, stride, wf);
        case kGreyFloat: return Filter<LoadGreyFloat, 4>(p, stride, wf);
        case kRgbHalf: return Filter<LoadRgbHalf, 6>(p, stride, wf);
        case kGreyHalf: return Filter<LoadGreyHalf, 2>(p, stride, wf);
        default:
            return f32x4{0.5f, 0.5f, 0.5f, 0.5f} * b.full_scale;
    }
}

template f32x4 SampleLevel<false>(const ImageBuffer& b, int32_t level, float u, float v);
template f32x4 SampleLevel<true>(const ImageBuffer& b, int32_t level, float u, float v);
template f32x4 SampleLevelAt<false>(const ImageBuffer& b, int32_t level, const Spot& s);

}  // namespace tw::image_detail
