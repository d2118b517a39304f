// The footprint sampler: the area lookup of the output pass. This is the hottest code of a
// render: the output pass calls footprintSample for every pixel and sub-sample, up to 50
// taps each, and every tap is two 5 x 5 level lookups. On processors with AVX2, 8-bit
// pictures take the tap loop of sampler_rgba8_wide.cpp, and with AVX-512 its second build,
// sampler_rgba8_avx512.cpp.
#include "image/footprint_sampler.h"

#include "image/image_access.h"
#include "image/level_sampler.h"

namespace tw {

PixelRgba footprintSample(const ImageBuffer& b, float u, float v, const Footprint& fp,
                          float blur, float softness, const SamplingState& state) {
#if defined(TW_SAMPLER_WIDE_ROWS)
    if (image_detail::kAvx512Taps && b.format == kRgba8)
        return image_detail::FootprintSampleRgba8Avx512(b, u, v, fp, blur, softness, state);
    if (image_detail::kWideRows && b.format == kRgba8)
        return image_detail::FootprintSampleRgba8Wide(b, u, v, fp, blur, softness, state);
#endif
    return image_detail::FootprintSampleWith(b, u, v, fp, blur, softness, state,
                                             image_detail::SampleBy<pointSample>{});
}

namespace image_detail {
PixelRgba FootprintSampleNarrow(const ImageBuffer& b, float u, float v, const Footprint& fp, float blur,
                                float softness, const SamplingState& state) {
    return FootprintSampleWith(b, u, v, fp, blur, softness, state, SampleBy<PointSampleNarrow>{});
}

int FootprintSampleEveryPath(const ImageBuffer& b, float u, float v, const Footprint& fp, float blur, float softness,
                             const SamplingState& state, PixelRgba* out) {
    int n = 0;
    out[n++] = FootprintSampleNarrow(b, u, v, fp, blur, softness, state);
#if defined(TW_SAMPLER_WIDE_ROWS)
    if (b.format == kRgba8) {
        if (kWideRows) out[n++] = FootprintSampleRgba8Wide(b, u, v, fp, blur, softness, state);
        if (kAvx512Taps) out[n++] = FootprintSampleRgba8Avx512(b, u, v, fp, blur, softness, state);
    }
#endif
    return n;
}
}  // namespace image_detail

}  // namespace tw
