// Inside the render folder only: the wide-lane kernels quinticNoiseBatchOn and
// flatDisplacementLanesOn choose from.
// Each gives, point for point, the bits of gradientNoiseQuintic or flatDisplacement. Call one only on a
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

// The displacements of up to eight positions in 512-bit lanes, and in 256-bit ones; the
// octave count is already clamped.
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) void flatLanesAvx512(const NoiseTables& t,
                                                                                    const float* x, const float* z,
                                                                                    int count, float octaves,
                                                                                    Displacement* out);
__attribute__((target("avx2"))) void flatLanesAvx2(const NoiseTables& t, const float* x, const float* z, int count,
                                                   float octaves, Displacement* out);

}  // namespace tw::wave_detail

#endif
