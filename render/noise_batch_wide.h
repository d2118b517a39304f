// Inside the render folder only: the wide-lane kernels quinticNoiseBatchOn chooses from.
// Each gives, point for point, the bits of gradientNoiseQuintic. Call one only on a
// processor that waveLanesPathSupported says has its instructions.
#pragma once

#include "render/noise.h"
#include "render/wave_lanes_wide.h"

#if defined(TW_WAVE_WIDE_LANES)

namespace tw::wave_detail {

// Up to kNoiseBatch points in one row of 16 lanes (AVX-512 F, VL, DQ and BW).
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) void quinticNoiseAvx512(const NoiseTables& t,
                                                                                       const float* x,
                                                                                       const float* y, int count,
                                                                                       float* out);
// The same in two rows of eight AVX2 lanes.
__attribute__((target("avx2"))) void quinticNoiseAvx2(const NoiseTables& t, const float* x, const float* y,
                                                      int count, float* out);

}  // namespace tw::wave_detail

#endif
