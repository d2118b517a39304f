// Inside the render folder only: the wide-lane kernels waveHeightLanesOn chooses from.
// Each takes up to kWaveLanes points as waveHeightLanes does and gives, lane for lane, the
// bits of the plain one-point-at-a-time loop. Call one only on a processor that
// waveLanesPathSupported says has its instructions.
#pragma once

#include "render/noise.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define TW_WAVE_WIDE_LANES 1

namespace tw::wave_detail {

// Eight points in the 512-bit lanes of AVX-512 (F, VL, DQ and BW).
__attribute__((target("avx512f,avx512vl,avx512dq,avx512bw"))) void waveLanesAvx512(const WaterState& s,
                                                                                    const WaveLanes& lanes,
                                                                                    int octaves,
                                                                                    double (&out)[kWaveLanes]);
// Eight points in pairs of 256-bit AVX2 lanes.
__attribute__((target("avx2"))) void waveLanesAvx2(const WaterState& s, const WaveLanes& lanes, int octaves,
                                                   double (&out)[kWaveLanes]);

}  // namespace tw::wave_detail

#endif
