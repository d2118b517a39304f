// The point sampler: a lookup at one level of detail, after the buffer's edge mode, mixing
// the two levels around it. On processors with AVX2, 8-bit pictures take the wide path of
// sampler_rgba8_wide.cpp and other formats the level sampler's wide row pass.
#include "image/point_sampler.h"

#include "image/image_access.h"

namespace tw {
namespace image_detail {
namespace {

template <bool kWide>
PixelRgba PointSampleWith(const ImageBuffer& b, float lod, float u, float v) {
    // Positions that are not numbers cannot be placed anywhere; they give nothing.
    if (b.empty() || !std::isfinite(u) || !std::isfinite(v)) return {0, 0, 0, 0};
    if (!ApplyEdgeMode(b, u, v, lod)) return {0, 0, 0, 0};
    lod = lod > 0.0f ? std::min(lod, float(b.top_level)) : 0.0f;  // NaN reads level 0
    const int32_t level = int32_t(lod);
    const float f = lod - float(level);
    f32x4 c = SampleLevel<kWide>(b, level, u, v);
    if (f > 0.0f && level < b.top_level) {
        const f32x4 coarse = SampleLevel<kWide>(b, level + 1, u, v);
        c += (coarse - c) * f;
    }
    return ToRgba(b, c);
}

}  // namespace

PixelRgba PointSampleNarrow(const ImageBuffer& b, float lod, float u, float v) {
    return PointSampleWith<false>(b, lod, u, v);
}

}  // namespace image_detail

PixelRgba pointSample(const ImageBuffer& b, float lod, float u, float v) {
#if defined(TW_SAMPLER_WIDE_ROWS)
    if (image_detail::kWideRows) {
        if (b.format == kRgba8) return image_detail::PointSampleRgba8Wide(b, lod, u, v);
        return image_detail::PointSampleWith<true>(b, lod, u, v);
    }
#endif
    return image_detail::PointSampleWith<false>(b, lod, u, v);
}

}  // namespace tw
