// The wide-lane kernels behind quinticNoiseBatch and flatDisplacementLanes: up to 16 points
// of quintic gradient noise, or the displacements of up to 8 positions, at once, in 512-bit
// or 256-bit lanes. Each lane performs gradientNoise's operations in its
// order and precision, so every lane gives the very bits of one point at a time; the
// path-against-path tests hold them to it.
#include "render/noise_batch_wide.h"

#if defined(TW_WAVE_WIDE_LANES)

#include <immintrin.h>

#include <cstddef>

namespace tw::wave_detail {
namespace {

// The kernels read each cell's corner hashes 4 bytes at a time from a 2-byte entry, so the
// last entry's read reaches two bytes past the table, which must still be inside the
// tables object.
static_assert(offsetof(NoiseTables, cellCorners) + sizeof(NoiseTables::cellCorners) + 2 <= sizeof(NoiseTables));

#define TW_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The fade 6s^5 - 15s^4 + 10s^3 in the plain form's order: ((6s - 15)s + 10) s s s.
[[gnu::always_inline]] inline TW_AVX512 __m512 quinticFade16(__m512 s) {
    return (((6.0f * s - 15.0f) * s + 10.0f) * s) * s * s;
}

// Sixteen points, lane by lane the operations of gradientNoise.
[[gnu::always_inline]] inline TW_AVX512 __m512 quinticNoise16(const NoiseTables& t, __m512 x, __m512 y) {
    // floor, exact for every value, with a -0 result turned into +0 as fastFloor leaves it.
    const __m512 zero = _mm512_setzero_ps();
    const __m512 flx = _mm512_add_ps(_mm512_roundscale_ps(x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), zero);
    const __m512 fly = _mm512_add_ps(_mm512_roundscale_ps(y, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC), zero);
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
    // One 4-byte read per point of its cell's four hashes; the upper two bytes belong to
    // the next entry and are never looked at: the permutes use the low four bits only.
    const __m512i corners = _mm512_i32gather_epi32(_mm512_or_si512(_mm512_slli_epi32(X, 8), Y), t.cellCorners, 2);
    const __m512 gradX = _mm512_loadu_ps(t.gradX), gradY = _mm512_loadu_ps(t.gradY);
    const __m512i h00 = corners, h01 = _mm512_srli_epi32(corners, 4);
    const __m512i h10 = _mm512_srli_epi32(corners, 8), h11 = _mm512_srli_epi32(corners, 12);
    const __m512 fx1 = fx - 1.0f, fy1 = fy - 1.0f;
    const __m512 g00 = _mm512_permutexvar_ps(h00, gradX) * fx + _mm512_permutexvar_ps(h00, gradY) * fy;
    const __m512 g10 = _mm512_permutexvar_ps(h10, gradX) * fx1 + _mm512_permutexvar_ps(h10, gradY) * fy;
    const __m512 g01 = _mm512_permutexvar_ps(h01, gradX) * fx + _mm512_permutexvar_ps(h01, gradY) * fy1;
    const __m512 g11 = _mm512_permutexvar_ps(h11, gradX) * fx1 + _mm512_permutexvar_ps(h11, gradY) * fy1;
    const __m512 sx = quinticFade16(fx), sy = quinticFade16(fy);
    const __m512 a = g00 + (g10 - g00) * sx;
    const __m512 b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}

[[gnu::always_inline]] inline TW_AVX512 __m512 join16(__m256 low, __m256 high) {
    return _mm512_insertf32x8(_mm512_castps256_ps512(low), high, 1);
}

}  // namespace

TW_AVX512 void quinticNoiseAvx512(const NoiseTables& t, const float* xs, const float* ys, int count, float* out) {
    if (count <= 0) return;
    const __mmask16 used = count >= kNoiseBatch ? __mmask16(0xffff) : static_cast<__mmask16>((1u << count) - 1);
    // Unused lanes compute the noise at (0, 0) and are never stored.
    const __m512 x = _mm512_maskz_loadu_ps(used, xs), y = _mm512_maskz_loadu_ps(used, ys);
    _mm512_mask_storeu_ps(out, used, quinticNoise16(t, x, y));
}

// Up to eight positions side by side: each octave's x points in the low eight lanes and its
// z points in the high eight, the domain walk done in 256-bit lanes, lane by lane the
// steps of flatDisplacement.
TW_AVX512 void flatLanesAvx512(const NoiseTables& t, const float* xs, const float* zs, int count, float octaves,
                               Displacement* out) {
    if (count <= 0) return;
    const __mmask8 used = count >= 8 ? __mmask8(0xff) : static_cast<__mmask8>((1u << count) - 1);
    __m256 a = _mm256_maskz_loadu_ps(used, xs), b = _mm256_maskz_loadu_ps(used, zs);
    const __m256 c = _mm256_set1_ps(0.7771459f), s = _mm256_set1_ps(0.6293203f);
    __m256 dx = _mm256_setzero_ps(), dz = _mm256_setzero_ps();
    for (int i = 1; static_cast<float>(i) < octaves; ++i) {
        const __m256 px = c * a - s * b, pz = s * a + c * b;
        a = a + 25.0764f;
        b = b + 723.453f;
        const __m256 qx = c * a - s * b, qz = s * a + c * b;
        const __m512 n = quinticNoise16(t, join16(px, qx), join16(pz, qz));
        dx = dx + _mm512_castps512_ps256(n);
        dz = dz + _mm512_extractf32x8_ps(n, 1);
        b = (b + 65.81998f) * 1.7134f;
        a = (a + 44.8452f) * 1.7134f;
    }
    const float f = octaves - __builtin_floorf(octaves);
    if (f > 0) {
        const __m512 n = quinticNoise16(t, join16(a, a + 13.0764f), join16(b, b + 623.453f));
        dx = dx + _mm512_castps512_ps256(n) * f;
        dz = dz + _mm512_extractf32x8_ps(n, 1) * f;
    }
    alignas(32) float x[8], z[8];
    _mm256_store_ps(x, dx);
    _mm256_store_ps(z, dz);
    for (int i = 0; i < count && i < 8; ++i) out[i] = {x[i], z[i]};
}

#pragma GCC diagnostic pop
#undef TW_AVX512

namespace {

#define TW_AVX2 __attribute__((target("avx2")))

[[gnu::always_inline]] inline TW_AVX2 __m256 quinticFade8(__m256 s) {
    return (((6.0f * s - 15.0f) * s + 10.0f) * s) * s * s;
}

// Entry h of a 16-entry float table held as two halves of eight. The permutes use the
// low three bits of h; bit 3, shifted into the sign bit, chooses the half.
[[gnu::always_inline]] inline TW_AVX2 __m256 tableOf16(__m256 low, __m256 high, __m256i h) {
    const __m256 upper = _mm256_castsi256_ps(_mm256_slli_epi32(h, 28));
    return _mm256_blendv_ps(_mm256_permutevar8x32_ps(low, h), _mm256_permutevar8x32_ps(high, h), upper);
}

// Eight points, lane by lane the operations of gradientNoise.
[[gnu::always_inline]] inline TW_AVX2 __m256 quinticNoise8(const NoiseTables& t, __m256 x, __m256 y) {
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
    const __m256i cell = _mm256_or_si256(_mm256_slli_epi32(X, 8), Y);
    const __m256i h00 = _mm256_i32gather_epi32(reinterpret_cast<const int*>(t.cellCorners), cell, 2);
    const __m256i h01 = _mm256_srli_epi32(h00, 4);
    const __m256i h10 = _mm256_srli_epi32(h00, 8), h11 = _mm256_srli_epi32(h00, 12);
    const __m256 gxLow = _mm256_loadu_ps(t.gradX), gxHigh = _mm256_loadu_ps(t.gradX + 8);
    const __m256 gyLow = _mm256_loadu_ps(t.gradY), gyHigh = _mm256_loadu_ps(t.gradY + 8);
    const __m256 fx1 = fx - 1.0f, fy1 = fy - 1.0f;
    const __m256 g00 = tableOf16(gxLow, gxHigh, h00) * fx + tableOf16(gyLow, gyHigh, h00) * fy;
    const __m256 g10 = tableOf16(gxLow, gxHigh, h10) * fx1 + tableOf16(gyLow, gyHigh, h10) * fy;
    const __m256 g01 = tableOf16(gxLow, gxHigh, h01) * fx + tableOf16(gyLow, gyHigh, h01) * fy1;
    const __m256 g11 = tableOf16(gxLow, gxHigh, h11) * fx1 + tableOf16(gyLow, gyHigh, h11) * fy1;
    const __m256 sx = quinticFade8(fx), sy = quinticFade8(fy);
    const __m256 a = g00 + (g10 - g00) * sx;
    const __m256 b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}

}  // namespace

TW_AVX2 void quinticNoiseAvx2(const NoiseTables& t, const float* xs, const float* ys, int count, float* out) {
    for (int first = 0; first < count && first < kNoiseBatch; first += 8) {
        const int n = count - first < 8 ? count - first : 8;
        if (n == 8) {
            _mm256_storeu_ps(out + first, quinticNoise8(t, _mm256_loadu_ps(xs + first), _mm256_loadu_ps(ys + first)));
            continue;
        }
        // A short row: the missing lanes compute the noise at (0, 0) and are dropped.
        alignas(32) float x[8] = {}, y[8] = {}, noise[8];
        for (int i = 0; i < n; ++i) {
            x[i] = xs[first + i];
            y[i] = ys[first + i];
        }
        _mm256_store_ps(noise, quinticNoise8(t, _mm256_load_ps(x), _mm256_load_ps(y)));
        for (int i = 0; i < n; ++i) out[first + i] = noise[i];
    }
}

// Up to eight positions side by side, as flatLanesAvx512 with the x and z points of an
// octave in two rows of eight.
TW_AVX2 void flatLanesAvx2(const NoiseTables& t, const float* xs, const float* zs, int count, float octaves,
                           Displacement* out) {
    if (count <= 0) return;
    alignas(32) float x[8] = {}, z[8] = {};
    for (int i = 0; i < count && i < 8; ++i) {
        x[i] = xs[i];
        z[i] = zs[i];
    }
    __m256 a = _mm256_load_ps(x), b = _mm256_load_ps(z);
    const __m256 c = _mm256_set1_ps(0.7771459f), s = _mm256_set1_ps(0.6293203f);
    __m256 dx = _mm256_setzero_ps(), dz = _mm256_setzero_ps();
    for (int i = 1; static_cast<float>(i) < octaves; ++i) {
        dx = dx + quinticNoise8(t, c * a - s * b, s * a + c * b);
        a = a + 25.0764f;
        b = b + 723.453f;
        dz = dz + quinticNoise8(t, c * a - s * b, s * a + c * b);
        b = (b + 65.81998f) * 1.7134f;
        a = (a + 44.8452f) * 1.7134f;
    }
    const float f = octaves - __builtin_floorf(octaves);
    if (f > 0) {
        dx = dx + quinticNoise8(t, a, b) * f;
        dz = dz + quinticNoise8(t, a + 13.0764f, b + 623.453f) * f;
    }
    _mm256_store_ps(x, dx);
    _mm256_store_ps(z, dz);
    for (int i = 0; i < count && i < 8; ++i) out[i] = {x[i], z[i]};
}

#undef TW_AVX2

}  // namespace tw::wave_detail

#endif
