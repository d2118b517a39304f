// Seeded noise behind the whole water surface: the permutation, gradient and mixed tables,
// the two gradient-noise variants, the Simple style's displacement field and the Complex
// style's crested wave octaves, ripples, height field and surface normal.
//
// Everything here is a pure function of the tables, the derived WaterState and the
// position, so any thread evaluating the same point gets the same bits.
#pragma once

#include <cstdint>

namespace tw {

struct WaterState;

constexpr int kMixTableSize = 2048;

struct NoiseTables {
    int32_t seed = 0;                    // the seed the tables were built from, 0..2047
    int32_t perm[512];                   // permutation rotated by seed mod 256, then repeated
    float gradX[16], gradY[16];          // gradient of each 4-bit hash
    int32_t mixTable[kMixTableSize];     // seed-mixed bytes of the fixed program table
    float unitTable[kMixTableSize];      // mixTable / 255, the 0..1 table ripples and slope samples read

    // All four corner hashes of every cell in one entry, for the wide kernels, where one
    // table read per point costs far less than three: for the cell at (X, Y),
    // cellCorners[X << 8 | Y] = h(X, Y) | h(X, Y + 1) << 4 | h(X + 1, Y) << 8 | h(X + 1, Y + 1) << 12.
    // 128 KB, which is why a NoiseTables belongs on the heap or a main thread's stack.
    uint16_t cellCorners[256 * 256];

    // The same permutation folded for the noise lookups, so a cell's four corner hashes
    // take three reads instead of six chained ones:
    // cellColumns[X] = perm[X] | perm[X + 1] << 16, and
    // cornerPair[i] = (perm[perm[i]] & 15) | (perm[perm[i + 1]] & 15) << 4.
    uint32_t cellColumns[256];
    uint8_t cornerPair[511];
};

// Fills all tables for `seed`; seeds outside 0..2047 are reduced into that range.
void buildNoiseTables(NoiseTables& tables, int32_t seed);

// Two-dimensional gradient noise, 0 at every lattice point, roughly -1..1.
float gradientNoiseQuintic(const NoiseTables& t, float x, float y);
float gradientNoiseCubic(const NoiseTables& t, float x, float y);

struct Displacement {
    float dx, dz;
};
// The Simple style's fractal displacement; `octaves` is fractional (1.01..7.01 from the
// sliders) and is clamped to 1..8 so a wild value cannot stall the loop.
Displacement flatDisplacement(const NoiseTables& t, float x, float z, float octaves);

// One crest shape of period 2*pi in both axes; smaller `sharpness` gives sharper crests.
double bumpShape(double px, double pz, double sharpness);

struct PlanePoint {
    double x, z;
};
// Domain-warped, normalised crest shape of octave `octave`; `p` is warped in place.
double octaveBump(PlanePoint& p, double sharpness, int octave, const WaterState& s);

// The Complex style's ripple field around the marker's world point.
double rippleHeight(double x, double z, const WaterState& s);

// y minus the surface height at (x, z); `octaves` is 5 for shading and 4 for ray casting.
double waveHeight(double x, double y, double z, const WaterState& s, int octaves);
// The same value computed with 128-bit lanes only, which waveHeight falls back to on
// processors without 256-bit ones; exposed so tests cover both.
double waveHeightNarrow(double x, double y, double z, const WaterState& s, int octaves);

// Several independent points of the height field at once, each with its own octave
// weights (the Complex style's footprint filter gives every ray its own). Lane i of the
// result is bit for bit waveHeight(x[i], y[i], z[i]) evaluated with s.octaveWeight replaced
// by weight[i]; lanes at and beyond `count` are ignored.
constexpr int kWaveLanes = 8;
struct WaveLanes {
    int count = 0;
    double x[kWaveLanes], y[kWaveLanes], z[kWaveLanes];
    const double* weight[kWaveLanes];  // five octave weights per lane
};
void waveHeightLanes(const WaterState& s, const WaveLanes& lanes, int octaves, double (&out)[kWaveLanes]);

// The implementations waveHeightLanes chooses from (the widest this processor supports),
// exposed so tests can run each one the processor has against the others. Run only a path
// waveLanesPathSupported reports: the wide ones use instructions older processors lack.
enum class WaveLanesPath { kPlain, kAvx2, kAvx512 };
bool waveLanesPathSupported(WaveLanesPath path);
void waveHeightLanesOn(WaveLanesPath path, const WaterState& s, const WaveLanes& lanes, int octaves,
                       double (&out)[kWaveLanes]);

// Quintic gradient noise of up to kNoiseBatch points at once: out[i] is bit for bit
// gradientNoiseQuintic(t, x[i], y[i]) for i below `count`; out beyond it is left alone.
// The Simple style's displacement takes all its octaves' noise in one batch.
constexpr int kNoiseBatch = 16;
void quinticNoiseBatch(const NoiseTables& t, const float* x, const float* y, int count, float* out);
// The same on a chosen kernel (one waveLanesPathSupported reports), for the tests.
void quinticNoiseBatchOn(WaveLanesPath path, const NoiseTables& t, const float* x, const float* y, int count,
                         float* out);
// flatDisplacement with its noise taken on a chosen kernel, for the tests.
Displacement flatDisplacementOn(WaveLanesPath path, const NoiseTables& t, float x, float z, float octaves);
// The displacements of up to kWaveLanes positions at once, side by side in wide lanes:
// out[i] is bit for bit flatDisplacement(t, x[i], z[i], octaves) for i below `count`.
void flatDisplacementLanes(const NoiseTables& t, const float* x, const float* z, int count, float octaves,
                           Displacement* out);
void flatDisplacementLanesOn(WaveLanesPath path, const NoiseTables& t, const float* x, const float* z, int count,
                             float octaves, Displacement* out);

struct Vec3 {
    double x, y, z;
};
// Unit normal of the surface at (x, z); (0, 0, 0) when degenerate.
Vec3 surfaceNormal(double x, double y, double z, const WaterState& s);

// The normal by forward differences: from the 5-octave waveHeight values at (x, z),
// (x + kNormalStep, z) and (x, z - kNormalStep), all taken at the same y. surfaceNormal is
// this with the three heights evaluated one by one; ray tracing evaluates them in lanes.
constexpr double kNormalStep = 0.002;
Vec3 normalFromHeights(double y, double atPoint, double stepX, double stepBackZ);

}  // namespace tw
