// Inside the image folder only: what every point lookup does around the level sampler,
// shared by the plain point sampler and the AVX2 paths of sampler_rgba8_wide.cpp: placing
// (u, v) by the buffer's edge mode, and turning filtered lanes into a PixelRgba.
#pragma once

#include <algorithm>
#include <cmath>

#include "image/image_buffer.h"
#include "image/level_sampler.h"

namespace tw::image_detail {

inline float Frac(float x) { return x - std::floor(x); }

// Brings (u, v) into the picture by the buffer's edge mode; may raise the level of
// detail. False when the position yields no sample.
// Inlined into each sampler so that its floors take the caller's instruction set.
inline __attribute__((always_inline)) bool ApplyEdgeMode(const ImageBuffer& b, float& u, float& v, float& lod) {
    if (u >= 0.0f && u <= 1.0f && v >= 0.0f && v < 1.0f) return true;
    switch (b.edge_mode) {
        case kEdgeNoSample:
            return false;
        case kEdgeFoldBlur: {
            if (v < 0.0f) {
                // Above the top the picture dissolves into ever coarser levels.
                const float d = std::min(-v, 1.0f);
                lod += (1.0f - std::exp2(-3.0f * d)) * float(b.top_level);
            }
            v = std::clamp(v, 0.0f, 1.0f);
            u = 2.0f * Frac(u * 0.5f);
            if (u > 1.0f) u = 2.0f - u;
            u = std::clamp(u, 0.0f, 1.0f);
            return true;
        }
        case kEdgeWrapU:
            u = Frac(u);
            v = std::clamp(v, 0.0f, 1.0f);
            return true;
        case kEdgeWrapBoth:
        case kEdgeWrapBothToo:
            u = Frac(u);
            v = Frac(v);
            return true;
        case kEdgeMirrorRows: {
            const float n = std::floor(v);
            v -= n;
            if (std::fmod(n, 2.0f) != 0.0f) {
                v = 1.0f - v;
                u = 0.5f - u;
            }
            u = Frac(u);
            return true;
        }
        case kEdgeClamp:
        default:
            u = std::clamp(u, 0.0f, 1.0f);
            v = std::clamp(v, 0.0f, 1.0f);
            return true;
    }
}

inline bool IsGrey(const ImageBuffer& b) { return b.channels == 1; }

inline PixelRgba ToRgba(const ImageBuffer& b, f32x4 c) {
    const float s = b.inv_full_scale;
    if (IsGrey(b)) return {c[0] * s, c[0] * s, c[0] * s, 1.0f};
    return {c[0] * s, c[1] * s, c[2] * s, c[3] * s};
}

#if defined(TW_SAMPLER_WIDE_ROWS)
// pointSample of a kRgba8 buffer, both levels filtered side by side in AVX2 lanes
// (sampler_rgba8_wide.cpp); the plain point sampler's bits.
__attribute__((target("avx2"))) PixelRgba PointSampleRgba8Wide(const ImageBuffer& b, float lod, float u, float v);
#endif

}  // namespace tw::image_detail
