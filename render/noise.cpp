// Seeded noise tables, gradient noise and the wave surface built on them. The kernels that
// take eight points at once in wide lanes are in wave_lanes_wide.cpp; this file chooses them.
#include "render/noise.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "render/water_state.h"
#include "render/noise_batch_wide.h"
#include "render/wave_lanes_wide.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace tw {
namespace {

// Ken Perlin's permutation from his improved-noise reference, the usual choice because its
// statistics are well studied.
constexpr int32_t kPerlinPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103,
    30,  69,  142, 8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,
    197, 62,  94,  252, 219, 203, 117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174,
    20,  125, 136, 171, 168, 68,  175, 74,  165, 71,  134, 139, 48,  27,  166, 77,  146, 158, 231,
    83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,  55,  46,  245, 40,  244, 102, 143,
    54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,  18,  169, 200, 196,
    135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250, 124,
    123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,
    182, 189, 28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101,
    155, 167, 43,  172, 9,   129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185,
    112, 104, 218, 246, 97,  228, 251, 34,  242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,
    51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,  181, 199, 106, 157, 184, 84,  204, 176,
    115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114, 67,  29,  24,  72,  243,
    141, 128, 195, 78,  66,  215, 61,  156, 180};

constexpr float kGradX[16] = {1, -1, 1, -1, 1, -1, 1, -1, 0, 0, 0, 0, 1, -1, 0, 0};
constexpr float kGradY[16] = {1, 1, -1, -1, 0, 0, 0, 0, 1, -1, 1, -1, 1, 1, 1, -1};

// The fixed program table behind mixTable. Ripple centres and the slope sample points are
// read from it, so it must never change: it is generated at compile time by a fixed integer
// hash of the index (a tested checksum pins it).
struct ProgramTable {
    int32_t v[kMixTableSize];
};
constexpr ProgramTable makeProgramTable() {
    ProgramTable t{};
    for (uint32_t i = 0; i < kMixTableSize; ++i) {
        uint32_t h = i * 0x9E3779B9u + 0x7F4A7C15u;
        h ^= h >> 16;
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
        t.v[i] = static_cast<int32_t>(h % kMixTableSize);
    }
    return t;
}
constexpr ProgramTable kProgram = makeProgramTable();

// floor() without a library call (the baseline x86-64 target has no rounding instruction)
// and without a branch on the sign, which is unpredictable across wave domains. Values
// beyond the exact integer range of the conversion go through the library.
inline double fastFloor(double v) {
    if (!(std::fabs(v) < 4.0e18)) [[unlikely]] return std::floor(v);
    const double t = static_cast<double>(static_cast<int64_t>(v));
    return t - static_cast<double>(t > v);
}
inline float fastFloor(float v) {
    if (!(std::fabs(v) < 4.0e18f)) [[unlikely]] return std::floor(v);
    const float t = static_cast<float>(static_cast<int64_t>(v));
    return t - static_cast<float>(t > v);
}

// Lattice cell index of a coordinate, wrapped to a byte. Coordinates too large for an
// integer (or not finite) all land in cell 0 rather than overflowing the conversion.
inline int latticeIndex(float floored) {
    if (!(std::fabs(floored) < 1e18f)) return 0;
    return static_cast<int>(static_cast<int64_t>(floored) & 255);
}

template <typename Fade>
[[gnu::always_inline]] inline float gradientNoise(const NoiseTables& t, float x, float y, Fade fade) {
    const float flx = fastFloor(x), fly = fastFloor(y);
    const int X = latticeIndex(flx), Y = latticeIndex(fly);
    float fx = x - flx, fy = y - fly;
    if (!std::isfinite(fx)) fx = 0;
    if (!std::isfinite(fy)) fy = 0;
    const uint32_t columns = t.cellColumns[X];
    const int left = t.cornerPair[(columns & 0xffff) + Y], right = t.cornerPair[(columns >> 16) + Y];
    const int h00 = left & 15, h01 = left >> 4, h10 = right & 15, h11 = right >> 4;
    const float g00 = t.gradX[h00] * fx + t.gradY[h00] * fy;
    const float g10 = t.gradX[h10] * (fx - 1) + t.gradY[h10] * fy;
    const float g01 = t.gradX[h01] * fx + t.gradY[h01] * (fy - 1);
    const float g11 = t.gradX[h11] * (fx - 1) + t.gradY[h11] * (fy - 1);
    const float sx = fade(fx), sy = fade(fy);
    const float a = g00 + (g10 - g00) * sx;
    const float b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}

inline float parabolaWave(float t) { return 8.0f * t - 16.0f * t * std::fabs(t); }

}  // namespace

void buildNoiseTables(NoiseTables& t, int32_t seed) {
    seed &= kMixTableSize - 1;  // keeps every index below in range, whatever the caller gave
    t.seed = seed;
    for (int i = 0; i < 256; ++i) t.perm[i] = kPerlinPermutation[(i + seed) & 255];
    for (int i = 0; i < 256; ++i) t.perm[256 + i] = t.perm[i];
    for (int i = 0; i < 256; ++i)
        t.cellColumns[i] = static_cast<uint32_t>(t.perm[i]) | static_cast<uint32_t>(t.perm[i + 1]) << 16;
    for (int i = 0; i < 511; ++i)
        t.cornerPair[i] = static_cast<uint8_t>((t.perm[t.perm[i]] & 15) | (t.perm[t.perm[i + 1]] & 15) << 4);
    for (int x = 0; x < 256; ++x) {
        const uint8_t* left = t.cornerPair + t.perm[x];
        const uint8_t* right = t.cornerPair + t.perm[x + 1];
        uint16_t* row = t.cellCorners + (x << 8);
        for (int y = 0; y < 256; ++y) row[y] = static_cast<uint16_t>(left[y] | right[y] << 8);
    }
    for (int h = 0; h < 16; ++h) {
        t.gradX[h] = kGradX[h];
        t.gradY[h] = kGradY[h];
    }
    for (int k = 0; k < kMixTableSize; ++k) t.mixTable[k] = kProgram.v[k] & 255;
    for (int i = 0; i < kMixTableSize; ++i) {
        std::swap(t.mixTable[i], t.mixTable[kProgram.v[(seed + i) & (kMixTableSize - 1)]]);
        t.mixTable[i] = kProgram.v[i] & 255;
    }
    for (int k = 0; k < kMixTableSize; ++k)
        t.unitTable[k] = static_cast<float>(t.mixTable[k] * 0.003921568627451);
}

float gradientNoiseQuintic(const NoiseTables& t, float x, float y) {
    return gradientNoise(t, x, y, [](float s) { return ((6.0f * s - 15.0f) * s + 10.0f) * s * s * s; });
}

float gradientNoiseCubic(const NoiseTables& t, float x, float y) {
    return gradientNoise(t, x, y, [](float s) { return (3.0f - 2.0f * s) * s * s; });
}

namespace {

// The noise points of the displacement's octaves, in the order the sums take them: each
// whole octave's x then z point, then the fractional octave's two. The domain walk depends
// only on the position, so all the points are known before any noise is taken.
int displacementPoints(float x, float z, float octaves, float (&px)[kNoiseBatch], float (&pz)[kNoiseBatch],
                       float& fraction) {
    constexpr float c = 0.7771459f, s = 0.6293203f;
    float a = x, b = z;
    int n = 0;
    for (int i = 1; static_cast<float>(i) < octaves; ++i) {
        px[n] = c * a - s * b;
        pz[n++] = s * a + c * b;
        a += 25.0764f;
        b += 723.453f;
        px[n] = c * a - s * b;
        pz[n++] = s * a + c * b;
        b = (b + 65.81998f) * 1.7134f;
        a = (a + 44.8452f) * 1.7134f;
    }
    fraction = octaves - std::floor(octaves);
    if (fraction > 0) {
        px[n] = a;
        pz[n++] = b;
        px[n] = a + 13.0764f;
        pz[n++] = b + 623.453f;
    }
    return n;
}

Displacement sumDisplacement(const float (&noise)[kNoiseBatch], int count, float fraction) {
    float dx = 0, dz = 0;
    const int whole = fraction > 0 ? count - 2 : count;
    for (int k = 0; k < whole; k += 2) {
        dx += noise[k];
        dz += noise[k + 1];
    }
    if (fraction > 0) {
        dx += noise[whole] * fraction;
        dz += noise[whole + 1] * fraction;
    }
    return {dx, dz};
}

// The sliders give 1.01..7.01; anything else comes from a damaged record. Seven whole
// octaves and a fraction make the 16 points of one batch.
float displacementOctaves(float octaves) {
    if (!(octaves >= 1.0f)) octaves = 1.0f;
    if (octaves > 8.0f) octaves = 8.0f;
    return octaves;
}
static_assert(kNoiseBatch >= 2 * 7 + 2, "a batch holds every noise point of the displacement");

}  // namespace

Displacement flatDisplacementOn(WaveLanesPath path, const NoiseTables& t, float x, float z, float octaves) {
    float px[kNoiseBatch], pz[kNoiseBatch], noise[kNoiseBatch], fraction;
    const int n = displacementPoints(x, z, displacementOctaves(octaves), px, pz, fraction);
    quinticNoiseBatchOn(path, t, px, pz, n, noise);
    return sumDisplacement(noise, n, fraction);
}

Displacement flatDisplacement(const NoiseTables& t, float x, float z, float octaves) {
    float px[kNoiseBatch], pz[kNoiseBatch], noise[kNoiseBatch], fraction;
    const int n = displacementPoints(x, z, displacementOctaves(octaves), px, pz, fraction);
    quinticNoiseBatch(t, px, pz, n, noise);
    return sumDisplacement(noise, n, fraction);
}

namespace {

// The crest shape and the warped octave, inlined into the wave sum because the Complex
// style evaluates them tens of times per sample.
inline double crest(double px, double pz, float sharpness) {
    constexpr double kInvTwoPi = 1.0 / 6.283185307179586;
    const double u = px * kInvTwoPi + 0.5, v = pz * kInvTwoPi + 0.5;
    const float tu = static_cast<float>(u - fastFloor(u) - 0.5);
    const float tv = static_cast<float>(v - fastFloor(v) - 0.5);
    const float wu = parabolaWave(tu), wv = parabolaWave(tv);
    const float gx = std::sqrt(wu * wu + sharpness), gz = std::sqrt(wv * wv + sharpness);
    const double d = 1.0 - static_cast<double>(gx) * gz;
    return d * d;
}

inline double warpedCrest(const NoiseTables& t, PlanePoint& p, float sharpness, double scale, double offset) {
    const double n = gradientNoise(t, static_cast<float>(p.x), static_cast<float>(p.z),
                                   [](float f) { return (3.0f - 2.0f * f) * f * f; });
    p.x += n;
    p.z += n;
    return crest(p.x, p.z, sharpness) * scale + offset;
}

}  // namespace

double bumpShape(double px, double pz, double sharpness) {
    return crest(px, pz, static_cast<float>(sharpness));
}

double octaveBump(PlanePoint& p, double sharpness, int octave, const WaterState& s) {
    return warpedCrest(*s.noise, p, static_cast<float>(sharpness), s.shapeScale[octave], s.shapeOffset[octave]);
}

double rippleHeight(double x, double z, const WaterState& s) {
    if (!(s.rippleRadius > 0)) return 0;
    double sum = 0;
    const double* centre = s.rippleCentreWorld;
    const double cyclesPerRadius = s.rippleCycles;
    for (int i = 0; i < 9; ++i) {
        const double dz = (z - (s.worldRippleZ[i] + centre[2])) * s.rippleRadiusInv;
        const double dx = (x - (centre[0] + s.worldRippleX[i])) * s.rippleRadiusInv;
        const double d2 = dx * dx + dz * dz;
        if (!(d2 < 1)) continue;
        const float r = std::sqrt(static_cast<float>(d2));
        const double phi = r * cyclesPerRadius;
        const double t = phi - fastFloor(phi) - 0.5;
        const double profile = 8 * t - 16 * t * std::fabs(t) + 2.5;
        const double fade = (1.0 - r) * 0.7;
        sum += (0.05 * profile * profile * profile + s.rippleProfileMean) * (fade * fade * 0.8) * s.rippleHeight;
    }
    return sum;
}

namespace {

typedef double f64x2 __attribute__((vector_size(16)));
typedef float f32x4 __attribute__((vector_size(16)));
typedef int32_t i32x4 __attribute__((vector_size(16)));
typedef int64_t i64x2 __attribute__((vector_size(16)));

// floor of both lanes in SSE2 arithmetic: adding and removing 1.5 * 2^52 rounds to the
// nearest integer, and one is taken off where that rounded up. Exact below 2^51; larger
// or non-finite lanes go through the scalar floor, which gives the same values.
inline f64x2 floorPair(f64x2 v) {
    constexpr double kLimit = 2251799813685248.0;  // 2^51
    if (!(std::fabs(v[0]) < kLimit && std::fabs(v[1]) < kLimit)) [[unlikely]]
        return f64x2{fastFloor(v[0]), fastFloor(v[1])};
    constexpr f64x2 kMagic = {6755399441055744.0, 6755399441055744.0};  // 1.5 * 2^52
    const f64x2 r = (v + kMagic) - kMagic;
    constexpr f64x2 kOne = {1.0, 1.0};
    return r - (f64x2)((r > v) & (i64x2)kOne);  // the mask keeps 1.0 where r rounded up
}

// The crest shapes of the P and Q domains of one octave at once: the same operations as
// crest(), lane by lane, so the results are bit for bit those of the scalar form.
inline f64x2 crestPair(f64x2 px, f64x2 pz, float sharpness) {
    constexpr double kInvTwoPi = 1.0 / 6.283185307179586;
    const f64x2 u = px * kInvTwoPi + 0.5, v = pz * kInvTwoPi + 0.5;
    const f64x2 du = u - floorPair(u) - 0.5, dv = v - floorPair(v) - 0.5;
    // Lanes: P's u, Q's u, P's v, Q's v.
    const f32x4 t = {static_cast<float>(du[0]), static_cast<float>(du[1]), static_cast<float>(dv[0]),
                     static_cast<float>(dv[1])};
    const f32x4 absT = (f32x4)((i32x4)t & 0x7fffffff);  // fabs: the sign bit cleared
    const f32x4 w = 8.0f * t - 16.0f * t * absT;
    const f32x4 squared = w * w + sharpness;
    f32x4 g;
#if defined(__SSE2__)
    g = __builtin_ia32_sqrtps(squared);
#else
    for (int i = 0; i < 4; ++i) g[i] = std::sqrt(squared[i]);
#endif
    const f64x2 gx = {g[0], g[1]}, gz = {g[2], g[3]};
    const f64x2 d = 1.0 - gx * gz;
    return d * d;
}

// The hash reads and blends of one cell, given the cell, the fractions and their fades.
[[gnu::always_inline]] inline float cornerBlend(const NoiseTables& t, int X, int Y, float fx, float fy, float sx,
                                                float sy) {
    const uint32_t columns = t.cellColumns[X];
    const int left = t.cornerPair[(columns & 0xffff) + Y], right = t.cornerPair[(columns >> 16) + Y];
    const int h00 = left & 15, h01 = left >> 4, h10 = right & 15, h11 = right >> 4;
    const float g00 = t.gradX[h00] * fx + t.gradY[h00] * fy;
    const float g10 = t.gradX[h10] * (fx - 1) + t.gradY[h10] * fy;
    const float g01 = t.gradX[h01] * fx + t.gradY[h01] * (fy - 1);
    const float g11 = t.gradX[h11] * (fx - 1) + t.gradY[h11] * (fy - 1);
    const float a = g00 + (g10 - g00) * sx;
    const float b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}

// Cubic gradient noise at the P and Q points of an octave at once. The floors, fractions
// and fades of all four coordinates share SSE2 lanes; the hash reads and the blends are the
// scalar form's, so both values are bit for bit those of gradientNoise.
[[gnu::always_inline]] inline void cubicNoisePair(const NoiseTables& t, f64x2 x, f64x2 z, float& np, float& nq) {
    auto cubic = [](float f) { return (3.0f - 2.0f * f) * f * f; };
    // Lanes: P's x, Q's x, P's z, Q's z.
    const f32x4 v = {static_cast<float>(x[0]), static_cast<float>(x[1]), static_cast<float>(z[0]),
                     static_cast<float>(z[1])};
    const f32x4 absV = (f32x4)((i32x4)v & 0x7fffffff);
    constexpr float kLimit = 4194304.0f;  // 2^22: below it the rounding trick is exact
    if (!(absV[0] < kLimit && absV[1] < kLimit && absV[2] < kLimit && absV[3] < kLimit)) [[unlikely]] {
        np = gradientNoise(t, v[0], v[2], cubic);
        nq = gradientNoise(t, v[1], v[3], cubic);
        return;
    }
    constexpr f32x4 kMagic = {12582912.0f, 12582912.0f, 12582912.0f, 12582912.0f};  // 1.5 * 2^23
    constexpr f32x4 kOne = {1.0f, 1.0f, 1.0f, 1.0f};
    const f32x4 r = (v + kMagic) - kMagic;
    const f32x4 fl = r - (f32x4)((r > v) & (i32x4)kOne);
    const f32x4 f = v - fl;
    const i32x4 cell = __builtin_convertvector(fl, i32x4) & 255;
    const f32x4 fade = (3.0f - 2.0f * f) * f * f;
    np = cornerBlend(t, cell[0], cell[2], f[0], f[2], fade[0], fade[2]);
    nq = cornerBlend(t, cell[1], cell[3], f[1], f[3], fade[1], fade[3]);
}

}  // namespace

namespace {

#if defined(TW_WAVE_WIDE_LANES)
typedef double f64x4 __attribute__((vector_size(32)));
typedef float f32x8 __attribute__((vector_size(32)));
typedef int32_t i32x8 __attribute__((vector_size(32)));
typedef int64_t i64x4 __attribute__((vector_size(32)));

// Two octaves (P and Q of each) in one set of 256-bit lanes, on processors that have them.
// The operations are those of cubicNoisePair and crestPair lane for lane, so the shapes are
// bit for bit the same. Lanes: octave k's P and Q, then octave k + 1's P and Q. False when a
// coordinate is too large for the rounding trick; the caller then takes the narrow path.
__attribute__((target("avx2"))) bool crestQuad(const NoiseTables& t, f64x2 x0, f64x2 z0, f64x2 x1, f64x2 z1,
                                               float sharp0, float sharp1, f64x2& shape0, f64x2& shape1) {
    const f64x4 x = {x0[0], x0[1], x1[0], x1[1]}, z = {z0[0], z0[1], z1[0], z1[1]};
    const f32x4 xf = __builtin_convertvector(x, f32x4), zf = __builtin_convertvector(z, f32x4);
    const f32x8 v = {xf[0], xf[1], xf[2], xf[3], zf[0], zf[1], zf[2], zf[3]};
    const f32x8 absV = (f32x8)((i32x8)v & 0x7fffffff);
    const f32x8 kLimit = {4194304.0f, 4194304.0f, 4194304.0f, 4194304.0f, 4194304.0f, 4194304.0f, 4194304.0f, 4194304.0f};
    const i32x8 inRange = absV < kLimit;
    for (int i = 0; i < 8; ++i)
        if (!inRange[i]) return false;
    // Noise: floors, fractions and fades in the lanes, then each cell's reads and blends.
    const f32x8 kMagic = {12582912.0f, 12582912.0f, 12582912.0f, 12582912.0f,
                          12582912.0f, 12582912.0f, 12582912.0f, 12582912.0f};
    const f32x8 kOne = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    const f32x8 r = (v + kMagic) - kMagic;
    const f32x8 fl = r - (f32x8)((r > v) & (i32x8)kOne);
    const f32x8 f = v - fl;
    const i32x8 cell = __builtin_convertvector(fl, i32x8) & 255;
    const f32x8 fade = (3.0f - 2.0f * f) * f * f;
    f64x4 n;
    for (int i = 0; i < 4; ++i) n[i] = cornerBlend(t, cell[i], cell[i + 4], f[i], f[i + 4], fade[i], fade[i + 4]);
    // Warp, then the crests.
    const f64x4 wx = x + n, wz = z + n;
    constexpr double kInvTwoPi = 1.0 / 6.283185307179586;
    const f64x4 u = wx * kInvTwoPi + 0.5, w = wz * kInvTwoPi + 0.5;
    const f64x4 kLimitD = {2251799813685248.0, 2251799813685248.0, 2251799813685248.0, 2251799813685248.0};
    const i64x4 uIn = (f64x4)((i64x4)u & 0x7fffffffffffffffLL) < kLimitD;
    const i64x4 wIn = (f64x4)((i64x4)w & 0x7fffffffffffffffLL) < kLimitD;
    for (int i = 0; i < 4; ++i)
        if (!uIn[i] || !wIn[i]) return false;
    const f64x4 kMagicD = {6755399441055744.0, 6755399441055744.0, 6755399441055744.0, 6755399441055744.0};
    const f64x4 kOneD = {1.0, 1.0, 1.0, 1.0};
    const f64x4 ru = (u + kMagicD) - kMagicD, rw = (w + kMagicD) - kMagicD;
    const f64x4 du = u - (ru - (f64x4)((ru > u) & (i64x4)kOneD)) - 0.5;
    const f64x4 dw = w - (rw - (f64x4)((rw > w) & (i64x4)kOneD)) - 0.5;
    const f32x4 tu = __builtin_convertvector(du, f32x4), tw = __builtin_convertvector(dw, f32x4);
    const f32x8 tt = {tu[0], tu[1], tu[2], tu[3], tw[0], tw[1], tw[2], tw[3]};
    const f32x8 absT = (f32x8)((i32x8)tt & 0x7fffffff);
    const f32x8 wave = 8.0f * tt - 16.0f * tt * absT;
    const f32x8 sharp = {sharp0, sharp0, sharp1, sharp1, sharp0, sharp0, sharp1, sharp1};
    const f32x8 g = __builtin_ia32_sqrtps256(wave * wave + sharp);
    const f64x4 gx = __builtin_convertvector((f32x4{g[0], g[1], g[2], g[3]}), f64x4);
    const f64x4 gz = __builtin_convertvector((f32x4{g[4], g[5], g[6], g[7]}), f64x4);
    const f64x4 d = 1.0 - gx * gz;
    const f64x4 shape = d * d;
    shape0 = f64x2{shape[0], shape[1]};
    shape1 = f64x2{shape[2], shape[3]};
    return true;
}
#endif

// Domain points of every octave: they depend only on (x, z), so the octaves' noise and
// crest chains are independent and overlap in the processor.
inline void octaveDomains(double x, double z, const WaterState& s, int octaves, f64x2 (&wx)[5], f64x2 (&wz)[5]) {
    double px = 0.75 * x, pz = z, qx = 0.73 * x, qz = z;
    const double shift = s.waveDomainShift;
    double g = 0.16;
    for (int k = 0; k < octaves; ++k) {
        wx[k] = f64x2{(px + shift) * g, (qx - shift) * g};
        wz[k] = f64x2{(pz + shift) * g, (qz - shift) * g};
        const double npx = 1.6 * px - 1.2 * pz, npz = 1.6 * pz + 1.2 * px;
        const double nqx = 1.35 * qz - 1.45 * qx, nqz = -1.35 * qx - 1.45 * qz;
        px = npx;
        pz = npz;
        qx = nqx;
        qz = nqz;
        g *= 1.9;
    }
}

// Warps both domain points of octave k by their noise and shapes both crests together.
inline f64x2 octaveShapes(const NoiseTables& t, f64x2 wx, f64x2 wz, double sharpness) {
    float np, nq;
    cubicNoisePair(t, wx, wz, np, nq);
    const f64x2 n = {np, nq};
    return crestPair(wx + n, wz + n, static_cast<float>(sharpness));
}

double sumOctaves(double x, double y, double z, const WaterState& s, const double* weight, int octaves,
                  const f64x2 (&shape)[5]) {
    double a = s.waveAmplitude, sum = 0;
    for (int k = 0; k < octaves; ++k) {
        // An octave of weight 0 (set-up measures the octaves one at a time) adds nothing.
        if (weight[k] != 0) {
            const double u = shape[k][0] * s.shapeScale[k] + s.shapeOffset[k];
            const double v = shape[k][1] * s.shapeScale[k] + s.shapeOffset[k];
            sum += (u + v) * a * weight[k];
        }
        a *= s.octaveGain;
    }
    return y - (static_cast<float>(rippleHeight(x, z, s)) + sum);
}

}  // namespace

double waveHeightNarrow(double x, double y, double z, const WaterState& s, int octaves) {
    if (octaves > 5) octaves = 5;
    f64x2 wx[5], wz[5], shape[5];
    octaveDomains(x, z, s, octaves, wx, wz);
    for (int k = 0; k < octaves; ++k) shape[k] = octaveShapes(*s.noise, wx[k], wz[k], s.sharpness[k]);
    return sumOctaves(x, y, z, s, s.octaveWeight, octaves, shape);
}

double waveHeight(double x, double y, double z, const WaterState& s, int octaves) {
#if defined(TW_WAVE_WIDE_LANES)
    if (__builtin_cpu_supports("avx2")) {
        if (octaves > 5) octaves = 5;
        f64x2 wx[5], wz[5], shape[5];
        octaveDomains(x, z, s, octaves, wx, wz);
        int k = 0;
        for (; k + 1 < octaves; k += 2)
            if (!crestQuad(*s.noise, wx[k], wz[k], wx[k + 1], wz[k + 1], static_cast<float>(s.sharpness[k]),
                           static_cast<float>(s.sharpness[k + 1]), shape[k], shape[k + 1])) {
                shape[k] = octaveShapes(*s.noise, wx[k], wz[k], s.sharpness[k]);
                shape[k + 1] = octaveShapes(*s.noise, wx[k + 1], wz[k + 1], s.sharpness[k + 1]);
            }
        for (; k < octaves; ++k) shape[k] = octaveShapes(*s.noise, wx[k], wz[k], s.sharpness[k]);
        return sumOctaves(x, y, z, s, s.octaveWeight, octaves, shape);
    }
#endif
    return waveHeightNarrow(x, y, z, s, octaves);
}

namespace {

// One point at a time: the form every processor can run, and the reference the wide-lane
// kernels (wave_lanes_wide.cpp) are tested against.
void waveLanesPlain(const WaterState& s, const WaveLanes& lanes, int octaves, double (&out)[kWaveLanes]) {
    if (octaves > 5) octaves = 5;
    for (int i = 0; i < lanes.count && i < kWaveLanes; ++i) {
        f64x2 wx[5], wz[5], shape[5];
        octaveDomains(lanes.x[i], lanes.z[i], s, octaves, wx, wz);
        for (int k = 0; k < octaves; ++k) shape[k] = octaveShapes(*s.noise, wx[k], wz[k], s.sharpness[k]);
        out[i] = sumOctaves(lanes.x[i], lanes.y[i], lanes.z[i], s, lanes.weight[i], octaves, shape);
    }
}

}  // namespace

bool waveLanesPathSupported(WaveLanesPath path) {
    switch (path) {
        case WaveLanesPath::kPlain:
            return true;
        case WaveLanesPath::kAvx2:
#if defined(TW_WAVE_WIDE_LANES)
            return __builtin_cpu_supports("avx2");
#else
            return false;
#endif
        case WaveLanesPath::kAvx512:
#if defined(TW_WAVE_WIDE_LANES)
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
                   __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw");
#else
            return false;
#endif
    }
    return false;
}

void waveHeightLanesOn(WaveLanesPath path, const WaterState& s, const WaveLanes& lanes, int octaves,
                       double (&out)[kWaveLanes]) {
#if defined(TW_WAVE_WIDE_LANES)
    if (path == WaveLanesPath::kAvx512) return wave_detail::waveLanesAvx512(s, lanes, octaves, out);
    if (path == WaveLanesPath::kAvx2) return wave_detail::waveLanesAvx2(s, lanes, octaves, out);
#endif
    waveLanesPlain(s, lanes, octaves, out);
}

void waveHeightLanes(const WaterState& s, const WaveLanes& lanes, int octaves, double (&out)[kWaveLanes]) {
    // The processor is asked once; the answer cannot change while the process runs.
    static const WaveLanesPath widest = waveLanesPathSupported(WaveLanesPath::kAvx512) ? WaveLanesPath::kAvx512
                                        : waveLanesPathSupported(WaveLanesPath::kAvx2)   ? WaveLanesPath::kAvx2
                                                                                         : WaveLanesPath::kPlain;
    waveHeightLanesOn(widest, s, lanes, octaves, out);
}

void quinticNoiseBatchOn(WaveLanesPath path, const NoiseTables& t, const float* x, const float* y, int count,
                         float* out) {
    if (count > kNoiseBatch) count = kNoiseBatch;
#if defined(TW_WAVE_WIDE_LANES)
    if (path == WaveLanesPath::kAvx512) return wave_detail::quinticNoiseAvx512(t, x, y, count, out);
    if (path == WaveLanesPath::kAvx2) return wave_detail::quinticNoiseAvx2(t, x, y, count, out);
#endif
    for (int i = 0; i < count; ++i) out[i] = gradientNoiseQuintic(t, x[i], y[i]);
}

void flatDisplacementLanesOn(WaveLanesPath path, const NoiseTables& t, const float* x, const float* z, int count,
                             float octaves, Displacement* out) {
    if (count > kWaveLanes) count = kWaveLanes;
    static_assert(kWaveLanes == 8, "the wide kernels take eight positions");
    octaves = displacementOctaves(octaves);
#if defined(TW_WAVE_WIDE_LANES)
    if (path == WaveLanesPath::kAvx512) return wave_detail::flatLanesAvx512(t, x, z, count, octaves, out);
    if (path == WaveLanesPath::kAvx2) return wave_detail::flatLanesAvx2(t, x, z, count, octaves, out);
#endif
    for (int i = 0; i < count; ++i) out[i] = flatDisplacementOn(WaveLanesPath::kPlain, t, x[i], z[i], octaves);
}

void flatDisplacementLanes(const NoiseTables& t, const float* x, const float* z, int count, float octaves,
                           Displacement* out) {
    static const WaveLanesPath widest = waveLanesPathSupported(WaveLanesPath::kAvx512) ? WaveLanesPath::kAvx512
                                        : waveLanesPathSupported(WaveLanesPath::kAvx2)   ? WaveLanesPath::kAvx2
                                                                                         : WaveLanesPath::kPlain;
    flatDisplacementLanesOn(widest, t, x, z, count, octaves, out);
}

void quinticNoiseBatch(const NoiseTables& t, const float* x, const float* y, int count, float* out) {
    static const WaveLanesPath widest = waveLanesPathSupported(WaveLanesPath::kAvx512) ? WaveLanesPath::kAvx512
                                        : waveLanesPathSupported(WaveLanesPath::kAvx2)   ? WaveLanesPath::kAvx2
                                                                                         : WaveLanesPath::kPlain;
    quinticNoiseBatchOn(widest, t, x, y, count, out);
}

Vec3 normalFromHeights(double y, double atPoint, double stepX, double stepBackZ) {
    // x is stepped forwards, z backwards; the surface height is y minus waveHeight.
    const double h = y - atPoint;
    const double nx = -((y - stepX) - h);
    const double nz = (y - stepBackZ) - h;
    const double len = std::sqrt(nx * nx + kNormalStep * kNormalStep + nz * nz);
    if (!(len > 0) || !std::isfinite(len)) return {0, 0, 0};
    return {nx / len, kNormalStep / len, nz / len};
}

Vec3 surfaceNormal(double x, double y, double z, const WaterState& s) {
    return normalFromHeights(y, waveHeight(x, y, z, s, 5), waveHeight(x + kNormalStep, y, z, s, 5),
                             waveHeight(x, y, z - kNormalStep, s, 5));
}

}  // namespace tw
