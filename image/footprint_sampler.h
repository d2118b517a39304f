// Inside the image folder only: the footprint sampler over any point sampler. It turns a
// pixel's footprint into a level of detail and, for a long footprint, a row of taps along
// its major axis; the plain sampler (footprint_sampler.cpp) and the AVX2 tap loop
// (sampler_rgba8_wide.cpp) inline it, each with its own point sampler.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "image/image_buffer.h"
#include "image/level_sampler.h"

namespace tw::image_detail {

struct Ellipse {
    float major, minor;     // semi-axes in level-0 pixels
    float axis_x, axis_y;   // unit direction of the major axis, in level-0 pixels
};

// The footprint is the image of a unit pixel under the Jacobian J = [dux duy; dvx dvy]
// (in level-0 pixels). Its semi-axes are the singular values of J, the square roots of
// the eigenvalues of J J^T = [C, -B/2; -B/2, A]. Taking them directly, rather than through
// the inverse quadratic form, keeps tiny and needle-thin footprints from blowing up.
inline Ellipse FootprintEllipse(float dux, float dvx, float duy, float dvy) {
    const double A = double(dvx) * dvx + double(dvy) * dvy;
    const double C = double(dux) * dux + double(duy) * duy;
    const double B = -2.0 * (double(dux) * dvx + double(duy) * dvy);
    const double root = std::sqrt((A - C) * (A - C) + B * B);
    const double big = 0.5 * (A + C + root), small = std::max(0.5 * (A + C - root), 0.0);
    Ellipse e;
    e.major = float(std::sqrt(big));
    e.minor = float(std::sqrt(small));
    // Eigenvector of the larger eigenvalue; of the two equivalent forms take the longer,
    // which is the better conditioned one.
    double ex = big - A, ey = -0.5 * B;
    const double fx = -0.5 * B, fy = big - C;
    if (fx * fx + fy * fy > ex * ex + ey * ey) {
        ex = fx;
        ey = fy;
    }
    const double length = std::sqrt(ex * ex + ey * ey);
    if (length > 0.0) {
        e.axis_x = float(ex / length);
        e.axis_y = float(ey / length);
    } else {  // a circle: any direction will do
        e.axis_x = 1.0f;
        e.axis_y = 0.0f;
    }
    return e;
}

// Which side of the waterline a position is on; taps with a positive side are dropped.
inline float MirrorSide(const float* line, float u, float v) {
    return (v - line[3]) * line[0] - (u - line[2]) * line[1];
}

// A fraction in -0.5..0.5 from the noise permutation, a pure function of the tap's
// position and number, so every thread and every run jitters alike.
inline float JitterFraction(const int32_t* perm, float u, float v, int tap) {
    const auto cell = [](float x, float scale) {
        const float s = std::clamp(x * scale, -1.0e9f, 1.0e9f);
        return int32_t(int64_t(std::floor(s)) & 255);
    };
    const int32_t a = perm[(cell(u, 30000.0f) + 37 * tap) & 255];
    const int32_t b = perm[(a + cell(v, 40000.0f) + 79 * tap) & 255];
    return (float(b & 255) + 0.5f) / 256.0f - 0.5f;
}

// The row of taps of one footprint, as FootprintSampleWith spreads them.
struct TapRow {
    float u, v, start, step_u, step_v;
    bool clip;                 // drop the taps beyond the waterline
    const float* line;         // the waterline
    const int32_t* jitter;     // the noise permutation when the taps are jittered, else null
};
// At most this many taps are placed at a time.
constexpr int kTapBatch = 8;

// Places taps first .. first + count - 1 (count at most kTapBatch) into tu and tv; returns
// a mask of the taps kept, bit k for tap first + k.
inline uint32_t PlaceTaps(const TapRow& row, int first, int count, float* tu, float* tv) {
    uint32_t kept = 0;
    for (int k = 0; k < count; ++k) {
        const int i = first + k;
        float t = row.start + float(i);
        float x = row.u + t * row.step_u, y = row.v + t * row.step_v;
        if (row.clip && MirrorSide(row.line, x, y) > 0.0f) continue;
        if (row.jitter) {
            t += JitterFraction(row.jitter, x, y, i);
            x = row.u + t * row.step_u;
            y = row.v + t * row.step_v;
        }
        tu[k] = x;
        tv[k] = y;
        kept |= 1u << k;
    }
    return kept;
}

// A point sampler given as a function, for FootprintSampleWith.
template <PixelRgba (*Sample)(const ImageBuffer&, float, float, float)>
struct SampleBy {
    PixelRgba operator()(const ImageBuffer& b, float lod, float u, float v) const { return Sample(b, lod, u, v); }
    uint32_t Place(const TapRow& row, int first, int count, float* tu, float* tv) const {
        return PlaceTaps(row, first, count, tu, tv);
    }
    // Two taps at once: this sampler takes them one by one.
    uint32_t Pairable() const { return 0; }
    bool Pair(const ImageBuffer&, float, float, float, float, float, PixelRgba&, PixelRgba&) const { return false; }
};

// The footprint sampler over a given point sampler, inlined into each of its callers.
// The sampler is an object, so that one may keep what it worked out for the previous tap.
template <class Sampler>
inline __attribute__((always_inline)) PixelRgba FootprintSampleWith(const ImageBuffer& b, float u, float v,
                                                                     const Footprint& fp, float blur, float softness,
                                                                     const SamplingState& state, Sampler&& Sample) {
    if (b.empty()) return {0, 0, 0, 0};
    const float W = float(b.width), H = float(b.height);
    const float dux = fp.dux * W, duy = fp.duy * W, dvx = fp.dvx * H, dvy = fp.dvy * H;
    const float top = float(b.top_level);

    // Level of detail from the footprint.
    float lod = 0.0f;
    bool anisotropic = false;
    Ellipse e{};
    if (state.isotropic_lod) {
        const float largest = std::max({std::fabs(dux), std::fabs(duy), std::fabs(dvx),
                                        std::fabs(dvy)});
        lod = largest > 1.0f ? std::log2(largest) : 0.0f;
    } else {
        e = FootprintEllipse(dux, dvx, duy, dvy);
        const float shrink = 1.0f - 0.5f * softness;
        e.major *= shrink;
        e.minor = std::max(e.minor * shrink, 0.5f);  // never finer than half a pixel
        lod = std::log2(e.minor);
        anisotropic = e.major / e.minor >= 1.25f;
    }
    // Blur moves the level towards the top of the chain.
    lod += blur * (top - lod);
    lod = lod > 0.0f ? std::min(lod, top) : 0.0f;  // NaN from a broken footprint: level 0
    if (!anisotropic || !(state.max_taps > 1)) return Sample(b, lod, u, v);

    // Taps spread evenly over the major axis, centred on the position.
    const float ratio = e.major / e.minor;
    int n;
    float spread = 1.0f;
    if (ratio < 1.5f) {
        n = 2;
        spread = (ratio - 1.25f) * 4.0f;  // grows the pair smoothly out of a single tap
    } else {
        n = std::min(int(std::lround(std::min(ratio, 1.0e6f))), state.max_taps);
    }
    const float spacing = 2.0f * e.major / float(n) * spread;
    const float step_u = spacing * e.axis_x / W, step_v = spacing * e.axis_y / H;
    const float start = -0.5f * float(n - 1);

    // Keep the taps on the near side of the waterline when the row of taps crosses it.
    const float* line = state.mirror_line;
    const float first = MirrorSide(line, u + start * step_u, v + start * step_v);
    const float last = MirrorSide(line, u - start * step_u, v - start * step_v);
    const bool clip = (first <= 0.0f) != (last <= 0.0f);

    const bool jitter = state.jitter_taps && state.permutation;
    const TapRow row{u, v, start, step_u, step_v, clip, line, jitter ? state.permutation : nullptr};
    // The sums of the squared colours and of alpha, in doubles, side by side: alpha is
    // multiplied by one, which leaves it as it is.
    typedef double f64x4 __attribute__((vector_size(32)));
    f64x4 sum = {0, 0, 0, 0};
    int used = 0;
    for (int first_tap = 0; first_tap < n; first_tap += kTapBatch) {
        // The positions of a batch of taps first, then their samples in order.
        const int count = std::min(kTapBatch, n - first_tap);
        alignas(32) float tus[kTapBatch], tvs[kTapBatch];
        const uint32_t kept = Sample.Place(row, first_tap, count, tus, tvs);
        const uint32_t pairable = kept & Sample.Pairable();
        const auto add = [&](const PixelRgba& c) {
            const f64x4 d = {double(c.r), double(c.g), double(c.b), double(c.a)};
            sum += d * f64x4{d[0], d[1], d[2], 1.0};
            ++used;
        };
        for (int k = 0; k < count; ++k) {
            if (!(kept >> k & 1u)) continue;
            // Two kept taps in a row that the sampler may take together (Pairable) are tried
            // as a pair; they are still added in order.
            PixelRgba c, next;
            if ((pairable >> k & 3u) == 3u &&
                Sample.Pair(b, lod, tus[k], tvs[k], tus[k + 1], tvs[k + 1], c, next)) {
                add(c);
                add(next);
                ++k;
                continue;
            }
            add(Sample(b, lod, tus[k], tvs[k]));
        }
    }
    if (used == 0) return Sample(b, lod, u, v);  // cannot happen: one end is kept
    const double inv = 1.0 / used;
    return {float(std::sqrt(sum[0] * inv)), float(std::sqrt(sum[1] * inv)), float(std::sqrt(sum[2] * inv)),
            float(sum[3] * inv)};
}

#if defined(TW_SAMPLER_WIDE_ROWS)
// footprintSample of a kRgba8 buffer with the AVX2 tap loop (sampler_rgba8_wide.cpp); the
// plain sampler's bits.
__attribute__((target("avx2"))) PixelRgba FootprintSampleRgba8Wide(const ImageBuffer& b, float u, float v,
                                                                   const Footprint& fp, float blur, float softness,
                                                                   const SamplingState& state);
// The same with AVX-512 (sampler_rgba8_avx512.cpp), where kAvx512Taps holds; the same bits.
__attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl"))) PixelRgba FootprintSampleRgba8Avx512(
    const ImageBuffer& b, float u, float v, const Footprint& fp, float blur, float softness,
    const SamplingState& state);
#endif

}  // namespace tw::image_detail
