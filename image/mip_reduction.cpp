// The mip chain: each level is a 6 x 6 weighted reduction of the level below it. A job
// fills one rectangle of one level and reads only the level below, so the jobs of a level
// can run on any number of threads; levels are built in order.
//
// Weights (rows dy, columns dx, in target pixels from the target pixel's corner, sampling
// at -0.75, -0.25, 0.25, 0.75, 1.25 and 1.75):
//     0   1   4   4   1   0
//     1  16  64  64  16   1
//     4  64 256 256  64   4      sum 1640
//     4  64 256 256  64   4
//     1  16  64  64  16   1
//     0   1   4   4   1   0
//
// The integer job (the one every buffer uses) applies these weights straight to the
// source pixels 2j-2 .. 2j+3 when the level below is exactly twice as wide; after a
// rounded-up level the window starts at the source pixel nearest to the target's centre
// instead, so the picture never drifts by more than half a source pixel. Reads beyond
// the level below are clamped to its edge, or wrapped around for an axis that wraps —
// except the last outer row (dy = 1.75) when it lies wholly below the level below: that
// row has no picture behind it, so it is dropped and the sum is normalised by 1/1630 (the
// weight sum without that row of 10) rather than counting the edge row three times over.
//
// The float job samples the level below bilinearly at the 36 positions instead, turned
// into 0..1 fractions with the target level's size, and works on normalised pixels.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/image_access.h"
#include "image/image_buffer.h"

namespace tw {
namespace {

using image_detail::BorderX;
using image_detail::BorderY;
using image_detail::FloatToHalf;
using image_detail::HalfToFloat;
using image_detail::PixelAddress;

typedef float f32x4 __attribute__((vector_size(16)));
typedef int32_t i32x4 __attribute__((vector_size(16)));
typedef double f64x4 __attribute__((vector_size(32)));

constexpr int kSpan = 6;
constexpr float kReduceWeights[kSpan][kSpan] = {
    {0, 1, 4, 4, 1, 0},       {1, 16, 64, 64, 16, 1}, {4, 64, 256, 256, 64, 4},
    {4, 64, 256, 256, 64, 4}, {1, 16, 64, 64, 16, 1}, {0, 1, 4, 4, 1, 0},
};
constexpr float kOffsets[kSpan] = {-0.75f, -0.25f, 0.25f, 0.75f, 1.25f, 1.75f};
constexpr float kFullSum = 1640.0f;
constexpr float kSumWithoutLastRow = 1630.0f;

// First of the six source pixels for target pixel `t`: floor of the target centre's
// position in source pixels, (t + 0.5) * source / target - 0.5, which is 2t for a level
// exactly twice as large.
inline int32_t WindowStart(int32_t t, int32_t source, int32_t target) {
    const int64_t numerator = int64_t(2 * int64_t(t) + 1) * source - target;
    return int32_t(numerator / (2 * int64_t(target))) - 2;
}

// ---- Pixel lanes per format ------------------------------------------------------------------

struct Rgba8Px {
    using Acc = f32x4;  // sums stay below 2^24: exact in float
    static Acc Load(const uint8_t* p) {
        uint32_t w;
        std::memcpy(&w, p, 4);
        const int32_t s = int32_t(w);
        return __builtin_convertvector((i32x4{s, s, s, s} >> i32x4{24, 16, 8, 0}) & 255, f32x4);
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        const Acc q = sum / divisor + 0.5f;
        uint32_t w = 0;
        for (int c = 0; c < 4; ++c)
            w = (w << 8) | uint32_t(std::clamp(std::floor(q[c]), 0.0f, 255.0f));
        std::memcpy(p, &w, 4);
    }
};

struct Grey8Px {
    using Acc = f32x4;
    static Acc Load(const uint8_t* p) { return Acc{float(p[0]), 0, 0, 0}; }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        p[0] = uint8_t(std::clamp(std::floor(sum[0] / divisor + 0.5f), 0.0f, 255.0f));
    }
};

struct Rgba16Px {
    using Acc = f64x4;  // sums reach 2^26: kept in double
    static Acc Load(const uint8_t* p) {
        uint16_t v[4];
        std::memcpy(v, p, 8);
        return Acc{double(v[0]), double(v[1]), double(v[2]), double(v[3])};
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        uint16_t v[4];
        for (int c = 0; c < 4; ++c)
            v[c] = uint16_t(std::clamp(std::floor(sum[c] / divisor + 0.5), 0.0, 32768.0));
        std::memcpy(p, v, 8);
    }
};

struct Grey16Px {
    using Acc = f64x4;
    static Acc Load(const uint8_t* p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return Acc{double(v), 0, 0, 0};
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        const uint16_t v = uint16_t(std::clamp(std::floor(sum[0] / divisor + 0.5), 0.0, 32768.0));
        std::memcpy(p, &v, 2);
    }
};

// Float-valued formats sum in double and divide (not multiply by a reciprocal), so a flat
// area stays exactly flat; colour is kept up to 65535, alpha to 0..1.
inline float ClampColour(double v) { return float(std::clamp(v, 0.0, 65535.0)); }
inline float ClampAlpha(double v) { return float(std::clamp(v, 0.0, 1.0)); }

struct RgbaFloatPx {
    using Acc = f64x4;
    static Acc Load(const uint8_t* p) {
        float v[4];
        std::memcpy(v, p, 16);
        return Acc{v[0], v[1], v[2], v[3]};
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        const Acc q = sum / double(divisor);
        const float v[4] = {ClampColour(q[0]), ClampColour(q[1]), ClampColour(q[2]),
                            ClampAlpha(q[3])};
        std::memcpy(p, v, 16);
    }
};

struct GreyFloatPx {
    using Acc = f64x4;
    static Acc Load(const uint8_t* p) {
        float v;
        std::memcpy(&v, p, 4);
        return Acc{v, 0, 0, 0};
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        const float v = ClampColour(sum[0] / double(divisor));
        std::memcpy(p, &v, 4);
    }
};

struct RgbHalfPx {
    using Acc = f64x4;
    static Acc Load(const uint8_t* p) {
        uint16_t v[3];
        std::memcpy(v, p, 6);
        return Acc{HalfToFloat(v[0]), HalfToFloat(v[1]), HalfToFloat(v[2]), 0};
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        uint16_t v[3];
        for (int c = 0; c < 3; ++c) v[c] = FloatToHalf(ClampColour(sum[c] / double(divisor)));
        std::memcpy(p, v, 6);
    }
};

struct GreyHalfPx {
    using Acc = f64x4;
    static Acc Load(const uint8_t* p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return Acc{HalfToFloat(v), 0, 0, 0};
    }
    static void Store(uint8_t* p, Acc sum, float divisor) {
        const uint16_t v = FloatToHalf(ClampColour(sum[0] / double(divisor)));
        std::memcpy(p, &v, 2);
    }
};

// ---- The integer job --------------------------------------------------------------------------

template <typename Px>
void ReduceInteger(ImageBuffer& b, const MipJob& job) {
    using Acc = typename Px::Acc;
    const int32_t level = job.level, below = job.level - 1;
    const ImageLevel& src = b.levels[below];
    const ImageLevel& dst = b.levels[level];
    const size_t bpp = size_t(b.bytes_per_pixel);
    alignas(16) uint8_t block[kSpan * kSpan * 16];

    for (int32_t i = job.top; i < job.bottom; ++i) {
        const int32_t y0 = WindowStart(i, src.height, dst.height);
        const bool drop_last_row = y0 + kSpan - 1 >= src.height && !image_detail::WrapsY(b);
        const int rows = drop_last_row ? kSpan - 1 : kSpan;
        const float divisor = drop_last_row ? kSumWithoutLastRow : kFullSum;
        uint8_t* out = nullptr;
        int32_t out_tile_end = -1;  // the row of output pixels is contiguous within a tile

        for (int32_t j = job.left; j < job.right; ++j) {
            if (j >= out_tile_end) {
                out = PixelAddress(b, level, j, i);
                out_tile_end = ((j + b.apron) / kTileSize + 1) * kTileSize - b.apron;
            }
            const int32_t x0 = WindowStart(j, src.width, dst.width);
            size_t stride = 0;
            const uint8_t* p = image_detail::DirectWindow(b, below, x0, y0, kSpan, stride);
            if (!p) {
                image_detail::GatherWindow(b, below, x0, y0, kSpan, block);
                p = block;
                stride = kSpan * bpp;
            }
            Acc sum = {0, 0, 0, 0};
            for (int r = 0; r < rows; ++r, p += stride)
                for (int k = 0; k < kSpan; ++k)
                    sum += Px::Load(p + size_t(k) * bpp) * kReduceWeights[r][k];
            Px::Store(out, sum, divisor);
            out += bpp;
        }
    }
}

// The same sums, separably. The weight table is the outer product of
// a = (1, 16, 64, 64, 16, 1) with itself, divided by 16, less 1/16 at each corner, so
// 16 x sum = sum over rows of a[r] x H[r] - the four corners, where H[r] is the row's
// horizontal sum with weights a. Every row's H is computed once and kept in a small ring
// while the three target rows that read it pass, and each source pixel is loaded once per
// row instead of nine times. The sums are exact (float below 2^24 for 8-bit pixels,
// double otherwise), so the result is bit for bit that of the direct form.
constexpr float kAxisWeights[kSpan] = {1, 16, 64, 64, 16, 1};

template <typename Px>
class SeparableReducer {
public:
    using Acc = typename Px::Acc;

    // False when the scratch memory cannot be had; the caller then reduces directly.
    bool Prepare(const ImageBuffer& b, const MipJob& job) {
        const ImageLevel& src = b.levels[job.level - 1];
        const ImageLevel& dst = b.levels[job.level];
        width_ = job.right - job.left;
        first_x_ = WindowStart(job.left, src.width, dst.width);
        const int32_t last_x = WindowStart(job.right - 1, src.width, dst.width) + kSpan - 1;
        span_ = last_x - first_x_ + 1;
        const size_t accs = size_t(span_) + 2 * kSpan * size_t(width_);
        memory_ = std::malloc(accs * sizeof(Acc) + size_t(width_) * sizeof(int32_t) + alignof(Acc));
        if (!memory_) return false;
        uintptr_t at = (reinterpret_cast<uintptr_t>(memory_) + alignof(Acc) - 1) &
                       ~(uintptr_t(alignof(Acc)) - 1);
        line_ = reinterpret_cast<Acc*>(at);
        rows_ = line_ + span_;                    // kSpan rows of H
        edges_ = rows_ + kSpan * size_t(width_);  // kSpan rows of first + last pixel
        offsets_ = reinterpret_cast<int32_t*>(edges_ + kSpan * size_t(width_));
        for (int32_t j = 0; j < width_; ++j)
            offsets_[j] = WindowStart(job.left + j, src.width, dst.width) - first_x_;
        for (int32_t& tag : tags_) tag = -1;
        return true;
    }
    ~SeparableReducer() { std::free(memory_); }

    void Run(ImageBuffer& b, const MipJob& job) {
        const ImageLevel& src = b.levels[job.level - 1];
        const ImageLevel& dst = b.levels[job.level];
        const size_t bpp = size_t(b.bytes_per_pixel);
        for (int32_t i = job.top; i < job.bottom; ++i) {
            const int32_t y0 = WindowStart(i, src.height, dst.height);
            const bool drop_last_row = y0 + kSpan - 1 >= src.height && !image_detail::WrapsY(b);
            const int rows = drop_last_row ? kSpan - 1 : kSpan;
            const float divisor = 16.0f * (drop_last_row ? kSumWithoutLastRow : kFullSum);
            int slot[kSpan];
            for (int r = 0; r < rows; ++r)
                slot[r] = RowSlot(b, BorderY(b, y0 + r, src.height), y0, rows);

            uint8_t* out = nullptr;
            int32_t out_tile_end = -1;
            for (int32_t j = 0; j < width_; ++j) {
                const int32_t x = job.left + j;
                if (x >= out_tile_end) {
                    out = PixelAddress(b, job.level, x, i);
                    out_tile_end = ((x + b.apron) / kTileSize + 1) * kTileSize - b.apron;
                }
                Acc sum = {0, 0, 0, 0};
                for (int r = 0; r < rows; ++r) sum += rows_[slot[r] * width_ + j] * kAxisWeights[r];
                sum -= edges_[slot[0] * width_ + j];
                if (!drop_last_row) sum -= edges_[slot[kSpan - 1] * width_ + j];
                Px::Store(out, sum, divisor);
                out += bpp;
            }
        }
    }

private:
    // The ring slot holding source row `sy`, computing it into a slot no row of the
    // current window needs when it is not there yet.
    int RowSlot(const ImageBuffer& b, int32_t sy, int32_t y0, int rows) {
        for (int s = 0; s < kSpan; ++s)
            if (tags_[s] == sy) return s;
        const int32_t height = b.levels[level_below_].height;
        for (int s = 0; s < kSpan; ++s) {
            bool needed = false;
            for (int r = 0; r < rows && !needed; ++r)
                needed = tags_[s] == BorderY(b, y0 + r, height);
            if (needed) continue;
            FillRow(b, sy, s);
            return s;
        }
        FillRow(b, sy, 0);  // unreachable: six slots always hold a free one
        return 0;
    }

    void FillRow(const ImageBuffer& b, int32_t sy, int s) {
        const ImageLevel& src = b.levels[level_below_];
        for (int32_t k = 0; k < span_; ++k)
            line_[k] =
                Px::Load(PixelAddress(b, level_below_, BorderX(b, first_x_ + k, src.width), sy));
        Acc* h = rows_ + size_t(s) * size_t(width_);
        Acc* e = edges_ + size_t(s) * size_t(width_);
        for (int32_t j = 0; j < width_; ++j) {
            const Acc* p = line_ + offsets_[j];
            Acc sum = p[0] + p[5];
            e[j] = sum;
            sum += (p[1] + p[4]) * kAxisWeights[1];
            sum += (p[2] + p[3]) * kAxisWeights[2];
            h[j] = sum;
        }
        tags_[s] = sy;
    }

public:
    int32_t level_below_ = 0;

private:
    void* memory_ = nullptr;
    Acc* line_ = nullptr;
    Acc* rows_ = nullptr;
    Acc* edges_ = nullptr;
    int32_t* offsets_ = nullptr;
    int32_t width_ = 0, span_ = 0, first_x_ = 0;
    int32_t tags_[kSpan];
};

template <typename Px>
void Reduce(ImageBuffer& b, const MipJob& job) {
    SeparableReducer<Px> reducer;
    reducer.level_below_ = job.level - 1;
    if (reducer.Prepare(b, job))
        reducer.Run(b, job);
    else
        ReduceInteger<Px>(b, job);
}

// ---- The float job ------------------------------------------------------------------------------

PixelRgba ReadAcross(const ImageBuffer& b, int32_t level, int32_t x, int32_t y) {
    const ImageLevel& l = b.levels[level];
    return readPixel(b, level, BorderX(b, x, l.width), BorderY(b, y, l.height));
}

inline PixelRgba Lerp(const PixelRgba& a, const PixelRgba& c, float t) {
    return {a.r + (c.r - a.r) * t, a.g + (c.g - a.g) * t, a.b + (c.b - a.b) * t,
            a.a + (c.a - a.a) * t};
}

PixelRgba Bilinear(const ImageBuffer& b, int32_t level, float u, float v) {
    const ImageLevel& l = b.levels[level];
    const float x = u * float(l.width) - 0.5f, y = v * float(l.height) - 0.5f;
    const float fx = std::floor(x), fy = std::floor(y);
    const int32_t x0 = int32_t(fx), y0 = int32_t(fy);
    const float tx = x - fx, ty = y - fy;
    // Below a level exactly twice as large every position falls on a pixel centre; the
    // neighbours would get weight 0, so they are not read at all.
    const auto row = [&](int32_t yy) {
        const PixelRgba left = ReadAcross(b, level, x0, yy);
        return tx == 0.0f ? left : Lerp(left, ReadAcross(b, level, x0 + 1, yy), tx);
    };
    const PixelRgba top = row(y0);
    return ty == 0.0f ? top : Lerp(top, row(y0 + 1), ty);
}

void ReduceFloat(ImageBuffer& b, const MipJob& job) {
    const ImageLevel& dst = b.levels[job.level];
    for (int32_t i = job.top; i < job.bottom; ++i) {
        for (int32_t j = job.left; j < job.right; ++j) {
            double r = 0, g = 0, bl = 0, a = 0;
            for (int dy = 0; dy < kSpan; ++dy) {
                const float v = (float(i) + kOffsets[dy]) * dst.inv_height;
                for (int dx = 0; dx < kSpan; ++dx) {
                    const float w = kReduceWeights[dy][dx];
                    if (w == 0.0f) continue;
                    const float u = (float(j) + kOffsets[dx]) * dst.inv_width;
                    const PixelRgba c = Bilinear(b, job.level - 1, u, v);
                    r += double(w) * c.r;
                    g += double(w) * c.g;
                    bl += double(w) * c.b;
                    a += double(w) * c.a;
                }
            }
            writePixel(b, job.level, j, i,
                       {ClampColour(r / kFullSum), ClampColour(g / kFullSum),
                        ClampColour(bl / kFullSum), ClampAlpha(a / kFullSum)});
        }
    }
}

}  // namespace

namespace image_detail {

void ReduceDirectly(ImageBuffer& b, const MipJob& job) {
    switch (b.format) {
        case kRgba8: ReduceInteger<Rgba8Px>(b, job); break;
        case kGrey8: ReduceInteger<Grey8Px>(b, job); break;
        case kRgba16: ReduceInteger<Rgba16Px>(b, job); break;
        case kGrey16: ReduceInteger<Grey16Px>(b, job); break;
        case kRgbaFloat: ReduceInteger<RgbaFloatPx>(b, job); break;
        case kGreyFloat: ReduceInteger<GreyFloatPx>(b, job); break;
        case kRgbHalf: ReduceInteger<RgbHalfPx>(b, job); break;
        case kGreyHalf: ReduceInteger<GreyHalfPx>(b, job); break;
        default: break;
    }
}

}  // namespace image_detail

MipJob WholeLevelJob(const ImageBuffer& buffer, int32_t level) {
    if (buffer.empty() || level < 0 || level > buffer.top_level) return {level, 0, 0, 0, 0};
    return {level, 0, 0, buffer.levels[level].height, buffer.levels[level].width};
}

int32_t MipJobCount(const ImageBuffer& buffer, int32_t level, int32_t side) {
    if (buffer.empty() || level < 1 || level > buffer.top_level || side < 1) return 0;
    const ImageLevel& l = buffer.levels[level];
    return ((l.width + side - 1) / side) * ((l.height + side - 1) / side);
}

MipJob MipJobAt(const ImageBuffer& buffer, int32_t level, int32_t side, int32_t index) {
    if (index < 0 || index >= MipJobCount(buffer, level, side)) return {level, 0, 0, 0, 0};
    const ImageLevel& l = buffer.levels[level];
    const int32_t across = (l.width + side - 1) / side;
    const int32_t top = (index / across) * side, left = (index % across) * side;
    return {level, top, left, std::min(top + side, l.height), std::min(left + side, l.width)};
}

bool RunMipJob(int32_t kind, ImageBuffer& b, const MipJob& requested) {
    if (kind != kMipJobInteger && kind != kMipJobFloat) return false;
    // A job of ours that cannot run is still ours: it is handled by doing nothing.
    if (b.empty() || requested.level < 1 || requested.level > b.top_level) return true;
    MipJob job = requested;
    const ImageLevel& l = b.levels[job.level];
    job.top = std::max(job.top, 0);
    job.left = std::max(job.left, 0);
    job.bottom = std::min(job.bottom, l.height);
    job.right = std::min(job.right, l.width);
    if (job.bottom <= job.top || job.right <= job.left) return true;

    if (kind == kMipJobFloat) {
        ReduceFloat(b, job);
        return true;
    }
    switch (b.format) {
        case kRgba8: Reduce<Rgba8Px>(b, job); break;
        case kGrey8: Reduce<Grey8Px>(b, job); break;
        case kRgba16: Reduce<Rgba16Px>(b, job); break;
        case kGrey16: Reduce<Grey16Px>(b, job); break;
        case kRgbaFloat: Reduce<RgbaFloatPx>(b, job); break;
        case kGreyFloat: Reduce<GreyFloatPx>(b, job); break;
        case kRgbHalf: Reduce<RgbHalfPx>(b, job); break;
        case kGreyHalf: Reduce<GreyHalfPx>(b, job); break;
        default: break;
    }
    return true;
}

bool buildMipChain(ImageBuffer& buffer, MipLevelRunner run_level, void* context) {
    if (buffer.empty()) return false;
    const int32_t kind = buffer.mip_job == kMipJobFloat ? kMipJobFloat : kMipJobInteger;
    buffer.mip_state = 0;
    for (int32_t level = 1; level <= buffer.top_level; ++level) {
        const MipJob job = WholeLevelJob(buffer, level);
        const bool ok =
            run_level ? run_level(context, buffer, kind, job) : RunMipJob(kind, buffer, job);
        if (!ok) return false;
    }
    buffer.mip_state = kMipStateBuilt;
    return true;
}

}  // namespace tw
