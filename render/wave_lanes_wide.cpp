// The wide-lane kernels behind waveHeightLanes: eight points of the wave height field in
// 512-bit or in 256-bit lanes. Each lane performs the plain loop's operations in the plain
// order and precision, so every lane gives the very bits of one point at a time; the
// path-against-path tests hold them to it.
#include "render/wave_lanes_wide.h"

#if defined(TW_WAVE_WIDE_LANES)

#include <immintrin.h>

#include <cstddef>

#include "render/water_state.h"

namespace tw::wave_detail {
namespace {

// The lanes copied into aligned rows. Lanes at and beyond the count repeat lane 0, so the
// wide kernels never read a weight pointer the caller left unset.
struct LaneRows {
    alignas(64) double x[kWaveLanes], y[kWaveLanes], z[kWaveLanes];
    alignas(64) double weight[5][kWaveLanes];
};
inline int fillLaneRows(const WaveLanes& lanes, int octaves, LaneRows& rows) {
    const int count = lanes.count < kWaveLanes ? lanes.count : kWaveLanes;
    for (int i = 0; i < kWaveLanes; ++i) {
        const int from = i < count ? i : 0;
        rows.x[i] = lanes.x[from];
        rows.y[i] = lanes.y[from];
        rows.z[i] = lanes.z[from];
        for (int k = 0; k < octaves; ++k) rows.weight[k][i] = lanes.weight[from][k];
    }
    return count;
}

#define TW_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))
// GCC 12's 512-bit intrinsics start some results from a deliberately undefined register,
// which its uninitialised-use analysis reports once they are inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The wide kernels read each cell's corner hashes 4 bytes at a time from a 2-byte entry, so
// the last entry's read reaches two bytes past the table, which must still be inside the
// tables object.
static_assert(offsetof(NoiseTables, cellCorners) + sizeof(NoiseTables::cellCorners) + 2 <= sizeof(NoiseTables));

// floor, exact for every value (no range limit, unlike the rounding trick), with a -0
// result turned into +0 as fastFloor leaves it: the noise fractions keep their zero signs.
[[gnu::always_inline]] inline TW_AVX512 __m512 floor16(__m512 v) {
    return _mm512_add_ps(_mm512_roundscale_ps(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), _mm512_setzero_ps());
}
// The same in double, where a -0 floor (of -0 only) is left alone: every use subtracts it
// and then 0.5, and (-0 - -0) - 0.5 is (-0 - 0) - 0.5 = -0.5.
[[gnu::always_inline]] inline TW_AVX512 __m512d floor8(__m512d v) {
    return _mm512_roundscale_pd(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
}

// Cubic gradient noise of 16 points, lane by lane the operations of gradientNoise.
[[gnu::always_inline]] inline TW_AVX512 __m512 cubicNoise16(const NoiseTables& t, __m512 x, __m512 y) {
    const __m512 flx = floor16(x), fly = floor16(y);
    // An infinite or NaN coordinate leaves a non-finite fraction, which counts as 0.
    constexpr int kNotFinite = 0x01 | 0x08 | 0x10 | 0x80;  // quiet NaN, +inf, -inf, signalling NaN
    __m512 fx = _mm512_sub_ps(x, flx), fy = _mm512_sub_ps(y, fly);
    fx = _mm512_maskz_mov_ps(static_cast<__mmask16>(~_mm512_fpclass_ps_mask(fx, kNotFinite)), fx);
    fy = _mm512_maskz_mov_ps(static_cast<__mmask16>(~_mm512_fpclass_ps_mask(fy, kNotFinite)), fy);
    // Cells wrap every 256. A floor beyond the 32-bit range converts to 0x80000000, cell 0,
    // which is also what the 64-bit conversion gives: such floats are multiples of 256.
    const __m512i byte = _mm512_set1_epi32(255);
    const __m512i X = _mm512_and_si512(_mm512_cvttps_epi32(flx), byte);
    const __m512i Y = _mm512_and_si512(_mm512_cvttps_epi32(fly), byte);
    // One 4-byte read per point starting at its cell's entry; the upper two bytes belong to
    // the next entry (or, past the last one, to cellColumns) and are never looked at: the
    // permutes use the low four bits of each index only.
    const __m512i corners = _mm512_i32gather_epi32(_mm512_or_si512(_mm512_slli_epi32(X, 8), Y), t.cellCorners, 2);
    const __m512 gradX = _mm512_loadu_ps(t.gradX), gradY = _mm512_loadu_ps(t.gradY);
    const __m512i left = corners, h01 = _mm512_srli_epi32(corners, 4);
    const __m512i right = _mm512_srli_epi32(corners, 8), h11 = _mm512_srli_epi32(corners, 12);
    const __m512 fx1 = fx - 1.0f, fy1 = fy - 1.0f;
    const __m512 g00 = _mm512_permutexvar_ps(left, gradX) * fx + _mm512_permutexvar_ps(left, gradY) * fy;
    const __m512 g10 = _mm512_permutexvar_ps(right, gradX) * fx1 + _mm512_permutexvar_ps(right, gradY) * fy;
    const __m512 g01 = _mm512_permutexvar_ps(h01, gradX) * fx + _mm512_permutexvar_ps(h01, gradY) * fy1;
    const __m512 g11 = _mm512_permutexvar_ps(h11, gradX) * fx1 + _mm512_permutexvar_ps(h11, gradY) * fy1;
    const __m512 sx = (3.0f - 2.0f * fx) * fx * fx, sy = (3.0f - 2.0f * fy) * fy * fy;
    const __m512 a = g00 + (g10 - g00) * sx;
    const __m512 b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}

[[gnu::always_inline]] inline TW_AVX512 __m512 join16(__m256 low, __m256 high) {
    return _mm512_insertf32x8(_mm512_castps256_ps512(low), high, 1);
}

// The crest's fraction of one axis, u - floor(u) - 0.5, narrowed to float.
[[gnu::always_inline]] inline TW_AVX512 __m256 crestFraction8(__m512d p) {
    constexpr double kInvTwoPi = 1.0 / 6.283185307179586;
    const __m512d u = p * kInvTwoPi + 0.5;
    return _mm512_cvtpd_ps(u - floor8(u) - 0.5);
}

[[gnu::always_inline]] inline TW_AVX512 __m512 parabolaWave16(__m512 t) {
    return 8.0f * t - 16.0f * t * _mm512_abs_ps(t);
}

[[gnu::always_inline]] inline TW_AVX512 __m512d rippleHeight8(const WaterState& s, __m512d x, __m512d z) {
    __m512d sum = _mm512_setzero_pd();
    if (!(s.rippleRadius > 0)) return sum;
    const double* centre = s.rippleCentreWorld;
    const double cyclesPerRadius = s.rippleCycles;
    const double mean = s.rippleProfileMean, height = s.rippleHeight;
    for (int i = 0; i < 9; ++i) {
        const __m512d dz = (z - (static_cast<double>(s.worldRippleZ[i]) + centre[2])) * s.rippleRadiusInv;
        const __m512d dx = (x - (centre[0] + static_cast<double>(s.worldRippleX[i]))) * s.rippleRadiusInv;
        const __m512d d2 = dx * dx + dz * dz;
        const __mmask8 inside = _mm512_cmp_pd_mask(d2, _mm512_set1_pd(1.0), _CMP_LT_OQ);
        if (!inside) continue;  // most rays miss every ripple
        const __m512d r = _mm512_cvtps_pd(_mm256_sqrt_ps(_mm512_cvtpd_ps(d2)));
        const __m512d phi = r * cyclesPerRadius;
        const __m512d t = phi - floor8(phi) - 0.5;
        const __m512d profile = 8.0 * t - 16.0 * t * _mm512_abs_pd(t) + 2.5;
        const __m512d fade = (1.0 - r) * 0.7;
        const __m512d term = (0.05 * profile * profile * profile + mean) * (fade * fade * 0.8) * height;
        sum = _mm512_mask_add_pd(sum, inside, sum, term);
    }
    return sum;
}

// Each lane's octave weights turned into one row per octave: a short load per lane, then a
// transpose in registers. Gathers would do it in fewer instructions but compete with the
// noise's own gathers, and they are slow on some processors. Octaves at and beyond
// `octaves` are not read; their rows are left 0.
[[gnu::always_inline]] inline TW_AVX512 void octaveWeightRows(const WaveLanes& lanes, int octaves, __m512d (&row)[5]) {
    const int count = lanes.count < kWaveLanes ? lanes.count : kWaveLanes;
    const __mmask8 present = octaves <= 0 ? 0 : static_cast<__mmask8>((1u << octaves) - 1);
    __m512d lane[kWaveLanes];
    for (int i = 0; i < kWaveLanes; ++i) lane[i] = _mm512_maskz_loadu_pd(present, lanes.weight[i < count ? i : 0]);
    // Pairs of lanes interleaved: even[j] holds octaves 0, 2, 4, 6 of lanes 2j and 2j + 1.
    __m512d even[4], odd[4];
    for (int j = 0; j < 4; ++j) {
        even[j] = _mm512_unpacklo_pd(lane[2 * j], lane[2 * j + 1]);
        odd[j] = _mm512_unpackhi_pd(lane[2 * j], lane[2 * j + 1]);
    }
    // Then quads: octaves k and k + 4 of four lanes, from two interleaved pairs.
    const __m512i firstOfFour = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
    const __m512i secondOfFour = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
    const __m512d k04low = _mm512_permutex2var_pd(even[0], firstOfFour, even[1]);
    const __m512d k04high = _mm512_permutex2var_pd(even[2], firstOfFour, even[3]);
    const __m512d k15low = _mm512_permutex2var_pd(odd[0], firstOfFour, odd[1]);
    const __m512d k15high = _mm512_permutex2var_pd(odd[2], firstOfFour, odd[3]);
    const __m512d k26low = _mm512_permutex2var_pd(even[0], secondOfFour, even[1]);
    const __m512d k26high = _mm512_permutex2var_pd(even[2], secondOfFour, even[3]);
    const __m512d k37low = _mm512_permutex2var_pd(odd[0], secondOfFour, odd[1]);
    const __m512d k37high = _mm512_permutex2var_pd(odd[2], secondOfFour, odd[3]);
    // Lower halves give octaves 0..3, upper halves octave 4.
    row[0] = _mm512_shuffle_f64x2(k04low, k04high, 0x44);
    row[1] = _mm512_shuffle_f64x2(k15low, k15high, 0x44);
    row[2] = _mm512_shuffle_f64x2(k26low, k26high, 0x44);
    row[3] = _mm512_shuffle_f64x2(k37low, k37high, 0x44);
    row[4] = _mm512_shuffle_f64x2(k04low, k04high, 0xee);
}

}  // namespace

// Eight points in the lanes of zmm registers. Each octave's noise runs on 16 float lanes
// (the P domains of the eight points, then their Q domains); the crests run on the same 16
// lanes in float and on two rows of eight in double, as crest() mixes the two.
TW_AVX512 void waveLanesAvx512(const WaterState& s, const WaveLanes& lanes, int octaves, double (&out)[kWaveLanes]) {
    if (octaves > 5) octaves = 5;
    if (lanes.count <= 0) return;
    // Unused lanes repeat lane 0; the masked loads do not touch the caller's unused slots.
    const __mmask8 used = lanes.count >= kWaveLanes ? 0xff : static_cast<__mmask8>((1u << lanes.count) - 1);
    const __m512d x = _mm512_mask_loadu_pd(_mm512_set1_pd(lanes.x[0]), used, lanes.x);
    const __m512d y = _mm512_mask_loadu_pd(_mm512_set1_pd(lanes.y[0]), used, lanes.y);
    const __m512d z = _mm512_mask_loadu_pd(_mm512_set1_pd(lanes.z[0]), used, lanes.z);
    __m512d weightRow[5];
    octaveWeightRows(lanes, octaves, weightRow);
    const NoiseTables& t = *s.noise;
    __m512d px = 0.75 * x, pz = z, qx = 0.73 * x, qz = z;
    const double shift = s.waveDomainShift;
    double g = 0.16, a = s.waveAmplitude;
    // First every octave's warped domain points, then every octave's crests: the noise
    // chains (two dependent table reads each) of all octaves are then in flight together.
    __m512d warped[5][4];
    for (int k = 0; k < octaves; ++k) {
        __m512d pxk = (px + shift) * g, qxk = (qx - shift) * g;
        __m512d pzk = (pz + shift) * g, qzk = (qz - shift) * g;
        const __m512d npx = 1.6 * px - 1.2 * pz, npz = 1.6 * pz + 1.2 * px;
        const __m512d nqx = 1.35 * qz - 1.45 * qx, nqz = -1.35 * qx - 1.45 * qz;
        px = npx;
        pz = npz;
        qx = nqx;
        qz = nqz;
        g *= 1.9;

        const __m512 n = cubicNoise16(t, join16(_mm512_cvtpd_ps(pxk), _mm512_cvtpd_ps(qxk)),
                                      join16(_mm512_cvtpd_ps(pzk), _mm512_cvtpd_ps(qzk)));
        const __m512d np = _mm512_cvtps_pd(_mm512_castps512_ps256(n));
        const __m512d nq = _mm512_cvtps_pd(_mm512_extractf32x8_ps(n, 1));
        warped[k][0] = pxk + np;
        warped[k][1] = pzk + np;
        warped[k][2] = qxk + nq;
        warped[k][3] = qzk + nq;
    }
    __m512d sum = _mm512_setzero_pd();
    for (int k = 0; k < octaves; ++k) {
        const __m512 wu = parabolaWave16(join16(crestFraction8(warped[k][0]), crestFraction8(warped[k][2])));
        const __m512 wv = parabolaWave16(join16(crestFraction8(warped[k][1]), crestFraction8(warped[k][3])));
        const __m512 sharp = _mm512_set1_ps(static_cast<float>(s.sharpness[k]));
        const __m512 gu = _mm512_sqrt_ps(wu * wu + sharp), gv = _mm512_sqrt_ps(wv * wv + sharp);
        const __m512d dp = 1.0 - _mm512_cvtps_pd(_mm512_castps512_ps256(gu)) * _mm512_cvtps_pd(_mm512_castps512_ps256(gv));
        const __m512d dq = 1.0 - _mm512_cvtps_pd(_mm512_extractf32x8_ps(gu, 1)) * _mm512_cvtps_pd(_mm512_extractf32x8_ps(gv, 1));

        const __m512d u = dp * dp * s.shapeScale[k] + s.shapeOffset[k];
        const __m512d v = dq * dq * s.shapeScale[k] + s.shapeOffset[k];
        const __m512d w = weightRow[k];
        // An octave of weight 0 adds nothing, not even a NaN from an unbounded domain.
        const __mmask8 weighted = _mm512_cmp_pd_mask(w, _mm512_setzero_pd(), _CMP_NEQ_UQ);
        sum = _mm512_mask_add_pd(sum, weighted, sum, (u + v) * a * w);
        a *= s.octaveGain;
    }
    const __m512d ripple = _mm512_cvtps_pd(_mm512_cvtpd_ps(rippleHeight8(s, x, z)));
    const __m512d result = y - (ripple + sum);
    // The caller reads its lanes back at once, and a load cannot take its value straight
    // from a masked store: it waits until the store has left for the cache. A full group is
    // stored whole; a short one goes through a plain store here, lane by lane into `out`.
    if (used == 0xff) {
        _mm512_storeu_pd(out, result);
    } else {
        alignas(64) double lanesOut[kWaveLanes];
        _mm512_storeu_pd(lanesOut, result);  // unaligned form: no fault where a stack is not realigned
        for (int i = 0; i < lanes.count; ++i) out[i] = lanesOut[i];
    }
}

namespace {

#pragma GCC diagnostic pop
#undef TW_AVX512

#define TW_AVX2 __attribute__((target("avx2")))

// A row of eight doubles in two ymm registers, with the arithmetic the kernel needs; each
// operation is the plain one applied to both halves.
struct Row {
    __m256d low, high;
};
#define TW_ROW_OP(op, intrinsic)                                                                              \
    [[gnu::always_inline]] inline TW_AVX2 Row operator op(Row a, Row b) {                                     \
        return {intrinsic(a.low, b.low), intrinsic(a.high, b.high)};                                          \
    }                                                                                                         \
    [[gnu::always_inline]] inline TW_AVX2 Row operator op(Row a, double b) {                                  \
        const __m256d v = _mm256_set1_pd(b);                                                                  \
        return {intrinsic(a.low, v), intrinsic(a.high, v)};                                                   \
    }                                                                                                         \
    [[gnu::always_inline]] inline TW_AVX2 Row operator op(double a, Row b) {                                  \
        const __m256d v = _mm256_set1_pd(a);                                                                  \
        return {intrinsic(v, b.low), intrinsic(v, b.high)};                                                   \
    }
TW_ROW_OP(+, _mm256_add_pd)
TW_ROW_OP(-, _mm256_sub_pd)
TW_ROW_OP(*, _mm256_mul_pd)
#undef TW_ROW_OP

[[gnu::always_inline]] inline TW_AVX2 Row loadRow(const double* p) { return {_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)}; }
[[gnu::always_inline]] inline TW_AVX2 Row splatRow(double v) { return {_mm256_set1_pd(v), _mm256_set1_pd(v)}; }
[[gnu::always_inline]] inline TW_AVX2 __m256 narrow8(Row v) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(v.low)), _mm256_cvtpd_ps(v.high), 1);
}
[[gnu::always_inline]] inline TW_AVX2 Row widen8(__m256 v) {
    return {_mm256_cvtps_pd(_mm256_castps256_ps128(v)), _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1))};
}
// Exact floor of a row; see floor8 on why a -0 floor may stay -0 here.
[[gnu::always_inline]] inline TW_AVX2 Row floorRow(Row v) { return {_mm256_floor_pd(v.low), _mm256_floor_pd(v.high)}; }
[[gnu::always_inline]] inline TW_AVX2 Row absRow(Row v) {
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffffLL));
    return {_mm256_and_pd(v.low, magnitude), _mm256_and_pd(v.high, magnitude)};
}
// Lanes where `mask` is set take `yes`, the others `no`.
[[gnu::always_inline]] inline TW_AVX2 Row selectRow(Row mask, Row yes, Row no) {
    return {_mm256_blendv_pd(no.low, yes.low, mask.low), _mm256_blendv_pd(no.high, yes.high, mask.high)};
}

[[gnu::always_inline]] inline TW_AVX2 __m256 upperHalfOf16(__m256i h) {
    return _mm256_castsi256_ps(_mm256_slli_epi32(h, 28));
}
// Entry h of a 16-entry float table held as two halves of eight. The permutes use the
// low three bits of h; `upper` carries bit 3 in the sign bit to choose the half.
[[gnu::always_inline]] inline TW_AVX2 __m256 tableOf16(__m256 low, __m256 high, __m256i h, __m256 upper) {
    return _mm256_blendv_ps(_mm256_permutevar8x32_ps(low, h), _mm256_permutevar8x32_ps(high, h), upper);
}

// Cubic gradient noise of 8 points, lane by lane the operations of gradientNoise; the same
// steps as cubicNoise16.
[[gnu::always_inline]] inline TW_AVX2 __m256 cubicNoise8(const NoiseTables& t, __m256 x, __m256 y) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 flx = _mm256_add_ps(_mm256_floor_ps(x), zero), fly = _mm256_add_ps(_mm256_floor_ps(y), zero);
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff));
    const __m256 infinity = _mm256_set1_ps(__builtin_inff());
    __m256 fx = _mm256_sub_ps(x, flx), fy = _mm256_sub_ps(y, fly);
    fx = _mm256_and_ps(fx, _mm256_cmp_ps(_mm256_and_ps(fx, absMask), infinity, _CMP_LT_OQ));
    fy = _mm256_and_ps(fy, _mm256_cmp_ps(_mm256_and_ps(fy, absMask), infinity, _CMP_LT_OQ));
    const __m256i byte = _mm256_set1_epi32(255);
    const __m256i X = _mm256_and_si256(_mm256_cvttps_epi32(flx), byte);
    const __m256i Y = _mm256_and_si256(_mm256_cvttps_epi32(fly), byte);
    // One read per point of its cell's four hashes, as in cubicNoise16; the permutes and
    // upperHalfOf16 look at the low four bits of each index only.
    const __m256i cell = _mm256_or_si256(_mm256_slli_epi32(X, 8), Y);
    const __m256i left = _mm256_i32gather_epi32(reinterpret_cast<const int*>(t.cellCorners), cell, 2);
    const __m256i h01 = _mm256_srli_epi32(left, 4);
    const __m256i right = _mm256_srli_epi32(left, 8), h11 = _mm256_srli_epi32(left, 12);
    const __m256 gxLow = _mm256_loadu_ps(t.gradX), gxHigh = _mm256_loadu_ps(t.gradX + 8);
    const __m256 gyLow = _mm256_loadu_ps(t.gradY), gyHigh = _mm256_loadu_ps(t.gradY + 8);
    const __m256 u00 = upperHalfOf16(left), u10 = upperHalfOf16(right);
    const __m256 u01 = upperHalfOf16(h01), u11 = upperHalfOf16(h11);
    const __m256 fx1 = fx - 1.0f, fy1 = fy - 1.0f;
    const __m256 g00 = tableOf16(gxLow, gxHigh, left, u00) * fx + tableOf16(gyLow, gyHigh, left, u00) * fy;
    const __m256 g10 = tableOf16(gxLow, gxHigh, right, u10) * fx1 + tableOf16(gyLow, gyHigh, right, u10) * fy;
    const __m256 g01 = tableOf16(gxLow, gxHigh, h01, u01) * fx + tableOf16(gyLow, gyHigh, h01, u01) * fy1;
    const __m256 g11 = tableOf16(gxLow, gxHigh, h11, u11) * fx1 + tableOf16(gyLow, gyHigh, h11, u11) * fy1;
    const __m256 sx = (3.0f - 2.0f * fx) * fx * fx, sy = (3.0f - 2.0f * fy) * fy * fy;
    const __m256 a = g00 + (g10 - g00) * sx;
    const __m256 b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}

[[gnu::always_inline]] inline TW_AVX2 __m256 crestFractionRow(Row p) {
    constexpr double kInvTwoPi = 1.0 / 6.283185307179586;
    const Row u = p * kInvTwoPi + 0.5;
    return narrow8(u - floorRow(u) - 0.5);
}

[[gnu::always_inline]] inline TW_AVX2 __m256 parabolaWave8(__m256 t) {
    const __m256 absT = _mm256_and_ps(t, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
    return 8.0f * t - 16.0f * t * absT;
}

// The crest of one domain's eight points, warped by their noise n.
[[gnu::always_inline]] inline TW_AVX2 Row crestRow(Row px, Row pz, __m256 n, __m256 sharp) {
    const Row warp = widen8(n);
    const __m256 wu = parabolaWave8(crestFractionRow(px + warp)), wv = parabolaWave8(crestFractionRow(pz + warp));
    const Row d = 1.0 - widen8(_mm256_sqrt_ps(wu * wu + sharp)) * widen8(_mm256_sqrt_ps(wv * wv + sharp));
    return d * d;
}

[[gnu::always_inline]] inline TW_AVX2 Row rippleHeightRow(const WaterState& s, Row x, Row z) {
    Row sum = splatRow(0.0);
    if (!(s.rippleRadius > 0)) return sum;
    const double* centre = s.rippleCentreWorld;
    const double cyclesPerRadius = s.rippleCycles;
    const double mean = s.rippleProfileMean, height = s.rippleHeight;
    const __m256d one = _mm256_set1_pd(1.0);
    for (int i = 0; i < 9; ++i) {
        const Row dz = (z - (static_cast<double>(s.worldRippleZ[i]) + centre[2])) * s.rippleRadiusInv;
        const Row dx = (x - (centre[0] + static_cast<double>(s.worldRippleX[i]))) * s.rippleRadiusInv;
        const Row d2 = dx * dx + dz * dz;
        // False for NaN, as in the scalar test.
        const Row inside = {_mm256_cmp_pd(d2.low, one, _CMP_LT_OQ), _mm256_cmp_pd(d2.high, one, _CMP_LT_OQ)};
        if (_mm256_movemask_pd(_mm256_or_pd(inside.low, inside.high)) == 0) continue;  // most rays miss every ripple
        const Row r = widen8(_mm256_sqrt_ps(narrow8(d2)));
        const Row phi = r * cyclesPerRadius;
        const Row t = phi - floorRow(phi) - 0.5;
        const Row profile = 8.0 * t - 16.0 * t * absRow(t) + 2.5;
        const Row fade = (1.0 - r) * 0.7;
        const Row term = (0.05 * profile * profile * profile + mean) * (fade * fade * 0.8) * height;
        sum = selectRow(inside, sum + term, sum);
    }
    return sum;
}

}  // namespace

// Eight points on processors with 256-bit lanes but not 512-bit ones: the noise of each
// domain in one ymm of floats, the doubles in pairs of ymm.
TW_AVX2 void waveLanesAvx2(const WaterState& s, const WaveLanes& lanes, int octaves, double (&out)[kWaveLanes]) {
    if (octaves > 5) octaves = 5;
    if (lanes.count <= 0) return;
    LaneRows rows;
    const int count = fillLaneRows(lanes, octaves, rows);
    const NoiseTables& t = *s.noise;
    const Row x = loadRow(rows.x), z = loadRow(rows.z);
    Row px = 0.75 * x, pz = z, qx = 0.73 * x, qz = z;
    const double shift = s.waveDomainShift;
    double g = 0.16, a = s.waveAmplitude;
    // The noise of every octave first, then the crests, as in the 512-bit kernel.
    Row domain[5][4];
    __m256 noise[5][2];
    for (int k = 0; k < octaves; ++k) {
        domain[k][0] = (px + shift) * g;
        domain[k][1] = (pz + shift) * g;
        domain[k][2] = (qx - shift) * g;
        domain[k][3] = (qz - shift) * g;
        const Row npx = 1.6 * px - 1.2 * pz, npz = 1.6 * pz + 1.2 * px;
        const Row nqx = 1.35 * qz - 1.45 * qx, nqz = -1.35 * qx - 1.45 * qz;
        px = npx;
        pz = npz;
        qx = nqx;
        qz = nqz;
        g *= 1.9;
        noise[k][0] = cubicNoise8(t, narrow8(domain[k][0]), narrow8(domain[k][1]));
        noise[k][1] = cubicNoise8(t, narrow8(domain[k][2]), narrow8(domain[k][3]));
    }
    Row sum = splatRow(0.0);
    const __m256d zero = _mm256_setzero_pd();
    for (int k = 0; k < octaves; ++k) {
        const __m256 sharp = _mm256_set1_ps(static_cast<float>(s.sharpness[k]));
        const Row shapeP = crestRow(domain[k][0], domain[k][1], noise[k][0], sharp);
        const Row shapeQ = crestRow(domain[k][2], domain[k][3], noise[k][1], sharp);
        const Row u = shapeP * s.shapeScale[k] + s.shapeOffset[k];
        const Row v = shapeQ * s.shapeScale[k] + s.shapeOffset[k];
        const Row w = loadRow(rows.weight[k]);
        // An octave of weight 0 adds nothing, not even a NaN from an unbounded domain.
        const Row weighted = {_mm256_cmp_pd(w.low, zero, _CMP_NEQ_UQ), _mm256_cmp_pd(w.high, zero, _CMP_NEQ_UQ)};
        sum = selectRow(weighted, sum + (u + v) * a * w, sum);
        a *= s.octaveGain;
    }
    const Row ripple = widen8(narrow8(rippleHeightRow(s, x, z)));
    const Row result = loadRow(rows.y) - (ripple + sum);
    alignas(32) double lanesOut[kWaveLanes];
    _mm256_store_pd(lanesOut, result.low);
    _mm256_store_pd(lanesOut + 4, result.high);
    for (int i = 0; i < count; ++i) out[i] = lanesOut[i];
}

#undef TW_AVX2

}  // namespace tw::wave_detail

#endif
