// The resampling kernel of the level sampler: 128 phases of a five-tap, two-lobe Lanczos
// filter averaged over 20 sub-positions spread across 19/21 of a pixel, which softens it
// just enough to hide the grid of the source. Built once, at compile time.
#pragma once

#include <cstdint>

namespace tw {

constexpr int kKernelPhases = 128;
constexpr int kKernelTaps = 5;

struct ResampleKernel {
    // Tap k of phase i. The fifth tap takes what the other four leave, so every float row
    // sums to 1 and every integer row to exactly 2048 or 32768.
    float weights[kKernelPhases][kKernelTaps];
    int32_t weights2048[kKernelPhases][kKernelTaps];    // for 8-bit pixels
    int32_t weights32768[kKernelPhases][kKernelTaps];   // for 16-bit pixels

    // The same three, ready for the level sampler: as floats (the integer rows divided by
    // their scale, which is exact) and in the order of the columns h-2 .. h+2 they weight,
    // that is tap 4 first. Read in the table's own order the sample would move backwards
    // inside each pixel.
    float columns_float[kKernelPhases][kKernelTaps];
    float columns2048[kKernelPhases][kKernelTaps];
    float columns32768[kKernelPhases][kKernelTaps];
};

// The one table, shared by every buffer.
const ResampleKernel& TheResampleKernel();

// The raw (unnormalised) weight of tap k at phase fraction `phase`, for tests.
double RawKernelWeight(double phase, int tap);

}  // namespace tw
