// The AVX2 paths of the samplers, for 8-bit pictures: the level sampler's row pass two rows
// at a time, the point sampler that filters both mixed levels side by side, and the
// footprint sampler's tap loop built on it. Each is chosen at run time (kWideRows) and
// gives the plain code's bits exactly: every lane does the plain steps in the plain order
// and precision, and tests/image/level_sampler_test.cpp holds them to it path against path.
//
// sampler_rgba8_avx512.cpp compiles this file a second time with AVX-512 allowed
// (TW_SAMPLER_AVX512_TAPS): there the footprint sampler's tap loop filters two neighbouring
// taps side by side where it can (Rgba8Taps::Pair), and otherwise two rows of both levels in
// one 512-bit register. The parts that are not per tap are built in the AVX2 pass only.
//
// Taps above the picture on the small levels, half of a Complex render's taps, are read
// from the pass's table of such lookups (top_row_table.h) when the sampling state has one.
#include "image/level_sampler.h"

#if defined(TW_SAMPLER_WIDE_ROWS)

#include <cstring>

#include "image/footprint_sampler.h"
#include "image/image_access.h"
#include "image/point_sampler.h"
#include "image/top_row_table.h"

#if defined(TW_SAMPLER_AVX512_TAPS)
#define TW_WIDE_TARGET "avx2,avx512f,avx512bw,avx512dq,avx512vl"
#else
#define TW_WIDE_TARGET "avx2"
#endif

namespace tw::image_detail {

#if !defined(TW_SAMPLER_AVX512_TAPS)
namespace {

bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

// The 512-bit tap loop needs the byte and word instructions (BW) and the 128- and 256-bit
// forms of the new encodings (VL) besides the foundation; the library's check also asks
// whether the system saves the 512-bit registers.
bool ProcessorHasAvx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
}

}  // namespace

const bool kWideRows = ProcessorHasAvx2();
const bool kAvx512Taps = ProcessorHasAvx512();

// ---- The level sampler's row pass -----------------------------------------------------------

// The 8-bit filter of the level sampler with two rows at a time in 256-bit lanes. Each
// 128-bit half does exactly the integer work of the SSE2 form (FilterRgba8), so the rows,
// and with the shared column pass the result, are the same bits.
__attribute__((target(TW_WIDE_TARGET))) f32x4 FilterRgba8Wide(const uint8_t* const* rowPointers, const size_t* offsets,
                                                              const Weights& w) {
    int16_t k[kTaps];
    for (int i = 0; i < kTaps; ++i) k[i] = int16_t(w.x[i] * 2048.0f);
    auto pair = [](int16_t lo, int16_t hi) { return int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16); };
    const __m256i w01 = _mm256_set1_epi32(pair(k[0], k[1]));
    const __m256i w23 = _mm256_set1_epi32(pair(k[2], k[3]));
    const __m256i w4 = _mm256_set1_epi32(pair(k[4], 0));
    const __m256i zero = _mm256_setzero_si256();
    const bool sideBySide = offsets[4] == offsets[0] + 16;
    auto firstFour = [&](const uint8_t* p) {
        if (sideBySide) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offsets[0]));
        int32_t px[4];
        for (int c = 0; c < 4; ++c) std::memcpy(&px[c], p + offsets[c], 4);
        return _mm_set_epi32(px[3], px[2], px[1], px[0]);
    };
    auto fifth = [&](const uint8_t* p) {
        int32_t last;
        std::memcpy(&last, p + offsets[4], 4);
        return _mm_cvtsi32_si128(last);
    };
    // Rows 0 and 1, 2 and 3, then 4 alone in the low half.
    f32x4 rows[kTaps + 1];
    const __m256 scale = _mm256_set1_ps(1.0f / 2048);
    for (int r = 0; r < kTaps; r += 2) {
        const uint8_t* lo = rowPointers[r];
        const uint8_t* hi = r + 1 < kTaps ? rowPointers[r + 1] : lo;
        const __m256i first = _mm256_set_m128i(firstFour(hi), firstFour(lo));
        const __m256i last = _mm256_set_m128i(fifth(hi), fifth(lo));
        const __m256i p01 = _mm256_unpacklo_epi8(first, zero);
        const __m256i p23 = _mm256_unpackhi_epi8(first, zero);
        const __m256i p4 = _mm256_unpacklo_epi8(last, zero);
        const __m256i a = _mm256_unpacklo_epi16(p01, _mm256_srli_si256(p01, 8));
        const __m256i b = _mm256_unpacklo_epi16(p23, _mm256_srli_si256(p23, 8));
        const __m256i c = _mm256_unpacklo_epi16(p4, zero);
        const __m256i sum = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(a, w01), _mm256_madd_epi16(b, w23)),
                                             _mm256_madd_epi16(c, w4));
        const __m256 both = _mm256_mul_ps(_mm256_cvtepi32_ps(sum), scale);
        rows[r] = f32x4(_mm256_castps256_ps128(both));
        rows[r + 1] = f32x4(_mm256_extractf128_ps(both, 1));
    }
    return ColumnPass(rows, w);
}
#endif  // !TW_SAMPLER_AVX512_TAPS

namespace {

// ---- The AVX2 point sampler of 8-bit pictures -----------------------------------------------
// Renders read 8-bit pictures, and most of their taps mix two levels. This path places both
// windows with little address arithmetic, filters row r of the two levels side by side in one
// 256-bit register (the finer level in the low half) and runs both column passes as one.
// Every lane does the exact integer row sum of the plain filter, and the float column steps
// in the same order, so the result has the same bits; anything unusual goes the plain way.

typedef float f32x8 __attribute__((vector_size(32)));

// A level's 5 x 5 window: a pointer per row and, unless the five columns are neighbours
// (then each row pointer already points at the first of them), the byte offsets of the
// columns into every row, the first four in one vector for a gather.
struct Window {
    const uint8_t* rows[kTaps];
    __m128i offsets;
    int32_t offset4;
    bool sideBySide;
};

// Makes a window of neighbouring columns read through its row pointers alone.
inline void SettleColumns(Window& w) {
    // Clamped columns never step back and wrapped ones jump by the level's width, so five
    // columns 16 bytes apart are neighbours (the plain filter relies on the same).
    const int32_t first = _mm_cvtsi128_si32(w.offsets);
    w.sideBySide = w.offset4 == first + 16;
    if (w.sideBySide)
        for (int r = 0; r < kTaps; ++r) w.rows[r] += first;
}

// The general window code, kept out of line so that the flattened footprint loop below holds
// only the common paths. Windows it cannot place go to the level sampler, which gathers them.
__attribute__((noinline)) bool WindowRowsOutOfLine(const ImageBuffer& b, int32_t level, int32_t x, int32_t y,
                                                   const uint8_t** rows, size_t* offsets) {
    return WindowRows(b, level, x, y, kTaps, rows, offsets);
}

// Indices first .. first + 4 (the last repeated in lanes 5..7) brought back into 0..size-1,
// by clamping or by one turn around.
__attribute__((target(TW_WIDE_TARGET))) inline __m256i BringBack(int32_t first, int32_t size, bool wrap) {
    const __m256i i = _mm256_add_epi32(_mm256_set1_epi32(first), _mm256_setr_epi32(0, 1, 2, 3, 4, 4, 4, 4));
    const __m256i n = _mm256_set1_epi32(size), last = _mm256_set1_epi32(size - 1);
    if (!wrap) return _mm256_min_epi32(_mm256_max_epi32(i, _mm256_setzero_si256()), last);
    const __m256i below = _mm256_and_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), i), n);
    const __m256i above = _mm256_and_si256(_mm256_cmpgt_epi32(i, last), n);
    return _mm256_sub_epi32(_mm256_add_epi32(i, below), above);
}

// The window of a level held in one tile that hangs over the level's border: the five
// column and row indices brought back into the level together, by the wrap flag. False
// when a wrapped index would need more than one turn around the level (levels narrower
// than the window): the general code takes those.
__attribute__((target(TW_WIDE_TARGET))) inline bool PlaceOverhangingWindow(const ImageBuffer& b, const ImageLevel& l,
                                                                           int32_t x, int32_t y, Window& w) {
    const bool wrapX = WrapsX(b), wrapY = WrapsY(b);
    if (wrapX && !(x >= -l.width && x + kTaps - 1 < 2 * l.width)) return false;
    if (wrapY && !(y >= -l.height && y + kTaps - 1 < 2 * l.height)) return false;
    const ImageTile& t = b.tiles[l.first_tile];
    const __m256i columns = _mm256_slli_epi32(_mm256_sub_epi32(BringBack(x, l.width, wrapX), _mm256_set1_epi32(t.x)), 2);
    const __m256i rows = _mm256_mullo_epi32(_mm256_sub_epi32(BringBack(y, l.height, wrapY), _mm256_set1_epi32(t.y)),
                                            _mm256_set1_epi32(t.width * 4));
    if constexpr (sizeof(void*) == 8) {
        // Row pointers 0..3 in one 256-bit store, the fifth on its own.
        const __m256i pointers = _mm256_add_epi64(_mm256_set1_epi64x(int64_t(reinterpret_cast<intptr_t>(t.pixels))),
                                                  _mm256_cvtepi32_epi64(_mm256_castsi256_si128(rows)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w.rows), pointers);
        w.rows[4] = t.pixels + _mm_cvtsi128_si32(_mm256_extracti128_si256(rows, 1));
    } else {
        alignas(32) int32_t rowBytes[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(rowBytes), rows);
        for (int r = 0; r < kTaps; ++r) w.rows[r] = t.pixels + rowBytes[r];
    }
    w.offsets = _mm256_castsi256_si128(columns);
    w.offset4 = _mm_cvtsi128_si32(_mm256_extracti128_si256(columns, 1));
    SettleColumns(w);
    return true;
}

// Row pointers of a one-tile level for rows y .. y + 4 clamped to the level, each pointing
// where `first` points in the tile's first row.
__attribute__((target(TW_WIDE_TARGET))) inline void PlaceClampedRows(const ImageTile& t, int32_t height, int32_t y,
                                                                     const uint8_t* first, Window& w) {
    const int32_t rowBytes = t.width * 4;
    if constexpr (sizeof(void*) == 8) {
        const __m128i rows = _mm_min_epi32(
            _mm_max_epi32(_mm_add_epi32(_mm_set1_epi32(y), _mm_setr_epi32(0, 1, 2, 3)), _mm_setzero_si128()),
            _mm_set1_epi32(height - 1));
        const __m128i bytes = _mm_mullo_epi32(_mm_sub_epi32(rows, _mm_set1_epi32(t.y)), _mm_set1_epi32(rowBytes));
        const __m256i pointers = _mm256_add_epi64(_mm256_set1_epi64x(int64_t(reinterpret_cast<intptr_t>(first))),
                                                  _mm256_cvtepi32_epi64(bytes));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(w.rows), pointers);
        w.rows[4] = first + size_t(ClampIndex(y + kTaps - 1, height) - t.y) * size_t(rowBytes);
    } else {
        for (int r = 0; r < kTaps; ++r)
            w.rows[r] = first + size_t(ClampIndex(y + r, height) - t.y) * size_t(rowBytes);
    }
}

// The window around the lookup's pixel. False when its columns come from two tile columns.
__attribute__((target(TW_WIDE_TARGET), always_inline)) inline bool PlaceWindow(const ImageBuffer& b, int32_t level,
                                                                               const Spot& s, Window& w) {
    static_assert((kTileSize & (kTileSize - 1)) == 0, "tile indices are taken by shifting");
    const ImageLevel& l = b.levels[level];
    const int32_t x = s.h - 2, y = s.m - 2;
    const bool oneTile = l.tile_columns == 1 && l.tile_rows == 1;
    if (x >= 0 && y >= 0 && x <= l.width - kTaps && y <= l.height - kTaps) {
        const uint32_t sx = uint32_t(x + b.apron), sy = uint32_t(y + b.apron);
        // One tile when the first and last index differ only in the bits below the tile size.
        if (oneTile || ((sx ^ (sx + kTaps - 1)) | (sy ^ (sy + kTaps - 1))) < uint32_t(kTileSize)) {
            const ImageTile& t =
                oneTile ? b.tiles[l.first_tile]
                        : b.tiles[size_t(l.first_tile) + size_t(sy / kTileSize) * size_t(l.tile_columns) + sx / kTileSize];
            const size_t rowBytes = size_t(t.width) * 4;
            const uint8_t* row = t.pixels + size_t(y - t.y) * rowBytes + size_t(x - t.x) * 4;
            for (int r = 0; r < kTaps; ++r, row += rowBytes) w.rows[r] = row;
            w.sideBySide = true;
            return true;
        }
    } else if (oneTile) {
        // Most windows that hang over a level's border do so on one side only.
        const ImageTile& t = b.tiles[l.first_tile];
        const bool columnsInside = x >= 0 && x <= l.width - kTaps, rowsInside = y >= 0 && y <= l.height - kTaps;
        if (columnsInside && !WrapsY(b)) {
            PlaceClampedRows(t, l.height, y, t.pixels + size_t(x - t.x) * 4, w);
            w.sideBySide = true;
            return true;
        }
        if (rowsInside && !WrapsX(b)) {
            const size_t rowBytes = size_t(t.width) * 4;
            const uint8_t* row = t.pixels + size_t(y - t.y) * rowBytes;
            for (int r = 0; r < kTaps; ++r, row += rowBytes) w.rows[r] = row;
            const __m128i columns = _mm_min_epi32(
                _mm_max_epi32(_mm_add_epi32(_mm_set1_epi32(x), _mm_setr_epi32(0, 1, 2, 3)), _mm_setzero_si128()),
                _mm_set1_epi32(l.width - 1));
            w.offsets = _mm_slli_epi32(_mm_sub_epi32(columns, _mm_set1_epi32(t.x)), 2);
            w.offset4 = (ClampIndex(x + kTaps - 1, l.width) - t.x) * 4;
            SettleColumns(w);
            return true;
        }
        if (PlaceOverhangingWindow(b, l, x, y, w)) return true;
    }
    size_t offsets[kTaps];
    if (!WindowRowsOutOfLine(b, level, x, y, w.rows, offsets)) return false;
    w.offsets = _mm_setr_epi32(int32_t(offsets[0]), int32_t(offsets[1]), int32_t(offsets[2]), int32_t(offsets[3]));
    w.offset4 = int32_t(offsets[4]);
    SettleColumns(w);
    return true;
}

// Whether a window's rows 0, 1 and 2 are the same pixels, as they are for a lookup on a
// level's first row (v = 0, where the fold edge mode puts the taps above the picture),
// whose rows -2 and -1 are clamped to row 0.
inline bool FirstRowsShared(const Window& w) { return w.rows[0] == w.rows[2] && w.rows[1] == w.rows[2]; }

// Pixels 0..3 of row r as 16 bytes, and pixel 4 in four bytes of another 16: the low four
// here (kFifthAt 0), the top four from a window whose pixels are all neighbours, read as
// pixels 1..4 in one load (kFifthAt 12).
__attribute__((target(TW_WIDE_TARGET))) inline __m128i FirstFour(const Window& w, int r) {
    if (w.sideBySide) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(w.rows[r]));
    return _mm_i32gather_epi32(reinterpret_cast<const int*>(w.rows[r]), w.offsets, 1);
}
constexpr int FifthAt(const Window*) { return 0; }
__attribute__((target(TW_WIDE_TARGET))) inline __m128i Fifth(const Window& w, int r) {
    int32_t last;
    std::memcpy(&last, w.rows[r] + (w.sideBySide ? 16 : w.offset4), 4);
    return _mm_cvtsi32_si128(last);
}

// A window inside a level held in one tile, as its first pixel and the tile's row length:
// the rows are addressed from these two as they are read, with nothing stored.
struct StridedWindow {
    const uint8_t* first;
    intptr_t row_bytes;
};
__attribute__((target(TW_WIDE_TARGET))) inline __m128i FirstFour(const StridedWindow& w, int r) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(w.first + r * w.row_bytes));
}
constexpr int FifthAt(const StridedWindow*) { return 12; }
__attribute__((target(TW_WIDE_TARGET))) inline __m128i Fifth(const StridedWindow& w, int r) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(w.first + r * w.row_bytes + 4));
}
template <class AnyWindow>
constexpr int kFifthAt = FifthAt(static_cast<const AnyWindow*>(nullptr));

// The x2048 column weights of one phase as 16-bit pairs for the multiply-adds: (k0, k1),
// (k2, k3) and (k4, 0), each repeated over the four channels.
struct PairWeights {
    __m128i w01, w23, w4;
};

// The same pairs, already repeated over the four channels, for every phase of the shared
// kernel, worked out once.
struct PairTable {
    struct Phase {
        alignas(16) int32_t w01[4];
        int32_t w23[4], w4[4];
        float y[kTaps][4];  // the float weight of each row, repeated over the four channels
    } phase[kKernelPhases];
    const ResampleKernel* kernel;
};
PairTable MakePairTable(const ResampleKernel& K) {
    PairTable t;
    auto pair = [](float lo, float hi) {
        // The weights are integers over 2048, so these conversions are exact.
        return int32_t(uint32_t(uint16_t(int16_t(lo * 2048.0f))) | uint32_t(uint16_t(int16_t(hi * 2048.0f))) << 16);
    };
    for (int p = 0; p < kKernelPhases; ++p) {
        const float* w = K.columns2048[p];
        for (int c = 0; c < 4; ++c) {
            t.phase[p].w01[c] = pair(w[0], w[1]);
            t.phase[p].w23[c] = pair(w[2], w[3]);
            t.phase[p].w4[c] = pair(w[4], 0.0f);
            for (int r = 0; r < kTaps; ++r) t.phase[p].y[r][c] = w[r];
        }
    }
    t.kernel = &K;
    return t;
}
const PairTable kPairTable = MakePairTable(TheResampleKernel());

__attribute__((target(TW_WIDE_TARGET))) inline PairWeights PairWeightsOf(const ResampleKernel& K, int phase) {
    if (&K == kPairTable.kernel) {
        const PairTable::Phase& p = kPairTable.phase[phase];
        return {_mm_load_si128(reinterpret_cast<const __m128i*>(p.w01)),
                _mm_load_si128(reinterpret_cast<const __m128i*>(p.w23)),
                _mm_load_si128(reinterpret_cast<const __m128i*>(p.w4))};
    }
    const float* wx = K.columns2048[phase];
    const __m128i k = _mm_cvttps_epi32(_mm_mul_ps(_mm_loadu_ps(wx), _mm_set1_ps(2048.0f)));
    const __m128i k16 = _mm_packs_epi32(k, k);  // k0 k1 k2 k3, twice
    PairWeights p;
    p.w01 = _mm_shuffle_epi32(k16, 0x00);
    p.w23 = _mm_shuffle_epi32(k16, 0x55);
    p.w4 = _mm_set1_epi32(int32_t(uint16_t(int16_t(wx[4] * 2048.0f))));
    return p;
}

// One row pass for each 128-bit half: `first` holds pixels 0..3 of a row, `last` pixel 4 at
// byte kLow of the low half and byte kHigh of the high one.
// The byte shuffles zero-extend and pair the pixels channel by channel at once: (p0, p1)
// and (p2, p3) of each channel, and (p4, 0), ready for the multiply-adds. The sums are
// exact integers, the same whatever the order of the additions.
template <int kLow, int kHigh>
__attribute__((target(TW_WIDE_TARGET))) inline __m256 RowPass(__m256i first, __m256i last, __m256i w01, __m256i w23,
                                                              __m256i w4) {
    const __m256i pairs01 = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                             0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i pairs23 = _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1,  //
                                             8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    const __m256i single4 =
        _mm256_setr_epi8(kLow, -1, -1, -1, kLow + 1, -1, -1, -1, kLow + 2, -1, -1, -1, kLow + 3, -1, -1, -1,  //
                         kHigh, -1, -1, -1, kHigh + 1, -1, -1, -1, kHigh + 2, -1, -1, -1, kHigh + 3, -1, -1, -1);
    const __m256i a = _mm256_madd_epi16(_mm256_shuffle_epi8(first, pairs01), w01);
    const __m256i b = _mm256_madd_epi16(_mm256_shuffle_epi8(first, pairs23), w23);
    const __m256i c = _mm256_madd_epi16(_mm256_shuffle_epi8(last, single4), w4);
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_add_epi32(a, b), c)),
                         _mm256_set1_ps(1.0f / 2048));
}

// The column pass of ColumnPass, on eight lanes with each half's own weights.
__attribute__((target(TW_WIDE_TARGET))) inline f32x8 ColumnPass8(const f32x8* rows, const f32x8* wy) {
    f32x8 sum = (rows[0] - rows[2]) * wy[0];
    sum += (rows[1] - rows[2]) * wy[1];
    sum += (rows[3] - rows[2]) * wy[3];
    sum += (rows[4] - rows[2]) * wy[4];
    return rows[2] + sum;
}

__attribute__((target(TW_WIDE_TARGET))) inline __m256i Halves(__m128i lo, __m128i hi) {
    return _mm256_set_m128i(hi, lo);
}

#if defined(TW_SAMPLER_AVX512_TAPS)
// RowPass on two 256-bit registers' worth at once, in a 512-bit one: the byte shuffles work
// within each 128-bit quarter, so the same masks and weights, repeated in both halves, do
// each quarter's row exactly as RowPass does it.
template <int kLow, int kHigh>
__attribute__((target(TW_WIDE_TARGET))) inline __m512 RowPass2(__m512i first, __m512i last, __m512i w01, __m512i w23,
                                                               __m512i w4) {
    const __m256i pairs01 = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,  //
                                             0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
    const __m256i pairs23 = _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1,  //
                                             8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
    const __m256i single4 =
        _mm256_setr_epi8(kLow, -1, -1, -1, kLow + 1, -1, -1, -1, kLow + 2, -1, -1, -1, kLow + 3, -1, -1, -1,  //
                         kHigh, -1, -1, -1, kHigh + 1, -1, -1, -1, kHigh + 2, -1, -1, -1, kHigh + 3, -1, -1, -1);
    const __m512i a = _mm512_madd_epi16(_mm512_shuffle_epi8(first, _mm512_broadcast_i64x4(pairs01)), w01);
    const __m512i b = _mm512_madd_epi16(_mm512_shuffle_epi8(first, _mm512_broadcast_i64x4(pairs23)), w23);
    const __m512i c = _mm512_madd_epi16(_mm512_shuffle_epi8(last, _mm512_broadcast_i64x4(single4)), w4);
    return _mm512_mul_ps(_mm512_cvtepi32_ps(_mm512_add_epi32(_mm512_add_epi32(a, b), c)), _mm512_set1_ps(1.0f / 2048));
}

// Four 128-bit parts in one 512-bit register, a in the lowest.
__attribute__((target(TW_WIDE_TARGET))) inline __m512i Quarters(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(Halves(a, b)), Halves(c, d), 1);
}
// The same from four addresses, 16 bytes each.
__attribute__((target(TW_WIDE_TARGET))) inline __m512i LoadQuarters(const void* a, const void* b, const void* c,
                                                                    const void* d) {
    return Quarters(_mm_loadu_si128(static_cast<const __m128i*>(a)), _mm_loadu_si128(static_cast<const __m128i*>(b)),
                    _mm_loadu_si128(static_cast<const __m128i*>(c)), _mm_loadu_si128(static_cast<const __m128i*>(d)));
}
#endif

// Two levels at once: the filtered fine window in lanes 0..3, the coarse one in 4..7.
// With kTopRow the windows' rows 0, 1 and 2 are one row (FirstRowsShared): its row pass is
// done once and copied.
template <bool kTopRow = false, class FineWindow, class CoarseWindow>
__attribute__((target(TW_WIDE_TARGET))) inline f32x8 FilterTwoLevels(const FineWindow& fine, const Spot& sf,
                                                                     const CoarseWindow& coarse, const Spot& sc,
                                                                     const ResampleKernel& K) {
    const PairWeights pf = PairWeightsOf(K, sf.phase_x);
    const PairWeights pc = PairWeightsOf(K, sc.phase_x);
    const __m256i w01 = Halves(pf.w01, pc.w01), w23 = Halves(pf.w23, pc.w23), w4 = Halves(pf.w4, pc.w4);
    f32x8 rows[kTaps], wy[kTaps];
#if defined(TW_SAMPLER_AVX512_TAPS)
    // Rows 0 and 1 of both levels in one register, then 2 and 3 (fine, coarse, fine, coarse
    // from the lowest quarter up), then row 4 as below.
    constexpr int kFine = kFifthAt<FineWindow>, kCoarse = kFifthAt<CoarseWindow>;
    for (int r = kTopRow ? 2 : 0; r + 1 < kTaps; r += 2) {
        const __m512 two = RowPass2<kFine, kCoarse>(
            Quarters(FirstFour(fine, r), FirstFour(coarse, r), FirstFour(fine, r + 1), FirstFour(coarse, r + 1)),
            Quarters(Fifth(fine, r), Fifth(coarse, r), Fifth(fine, r + 1), Fifth(coarse, r + 1)),
            _mm512_broadcast_i64x4(w01), _mm512_broadcast_i64x4(w23), _mm512_broadcast_i64x4(w4));
        rows[r] = f32x8(_mm512_castps512_ps256(two));
        rows[r + 1] = f32x8(_mm512_extractf32x8_ps(two, 1));
    }
    static_assert(kTaps == 5, "rows in pairs, and the last alone");
    rows[4] = f32x8(RowPass<kFine, kCoarse>(Halves(FirstFour(fine, 4), FirstFour(coarse, 4)),
                                            Halves(Fifth(fine, 4), Fifth(coarse, 4)), w01, w23, w4));
#else
    for (int r = kTopRow ? 2 : 0; r < kTaps; ++r)
        rows[r] = f32x8(RowPass<kFifthAt<FineWindow>, kFifthAt<CoarseWindow>>(
            Halves(FirstFour(fine, r), FirstFour(coarse, r)), Halves(Fifth(fine, r), Fifth(coarse, r)), w01, w23, w4));
#endif
    if (kTopRow) rows[0] = rows[1] = rows[2];
    if (&K == kPairTable.kernel) {
        // The row weights of both phases as they stand in the table: two loads a row.
        const PairTable::Phase& tf = kPairTable.phase[sf.phase_y];
        const PairTable::Phase& tc = kPairTable.phase[sc.phase_y];
        for (int r = 0; r < kTaps; ++r)
            wy[r] = f32x8(_mm256_insertf128_ps(_mm256_castps128_ps256(_mm_load_ps(tf.y[r])), _mm_load_ps(tc.y[r]), 1));
    } else {
        const float* yf = K.columns2048[sf.phase_y];
        const float* yc = K.columns2048[sc.phase_y];
        for (int r = 0; r < kTaps; ++r) wy[r] = f32x8{yf[r], yf[r], yf[r], yf[r], yc[r], yc[r], yc[r], yc[r]};
    }
    return ColumnPass8(rows, wy);
}

// One level: rows 0 and 1, 2 and 3, then 4 in both halves (with kTopRow, as above, rows 0
// and 1 copied from row 2).
template <bool kTopRow = false, class AnyWindow>
__attribute__((target(TW_WIDE_TARGET))) inline f32x4 FilterOneLevel(const AnyWindow& w, const Spot& s,
                                                                    const ResampleKernel& K) {
    const PairWeights p = PairWeightsOf(K, s.phase_x);
    const __m256i w01 = Halves(p.w01, p.w01), w23 = Halves(p.w23, p.w23), w4 = Halves(p.w4, p.w4);
    f32x4 rows[kTaps + 1];
    if (kTopRow) rows[0] = rows[1] = f32x4{};  // set from row 2 below
    for (int r = kTopRow ? 2 : 0; r < kTaps; r += 2) {
        const int next = r + 1 < kTaps ? r + 1 : r;
        const __m256 both = RowPass<kFifthAt<AnyWindow>, kFifthAt<AnyWindow>>(
            Halves(FirstFour(w, r), FirstFour(w, next)), Halves(Fifth(w, r), Fifth(w, next)), w01, w23, w4);
        rows[r] = f32x4(_mm256_castps256_ps128(both));
        rows[r + 1] = f32x4(_mm256_extractf128_ps(both, 1));
    }
    if (kTopRow) rows[0] = rows[1] = rows[2];
    return ColumnPass(rows, Weights{K.columns2048[s.phase_x], K.columns2048[s.phase_y]});
}

// Locate for two levels at once, lane by lane the same float steps: x and y of the finer
// level in lanes 0 and 1, of the coarser one in lanes 2 and 3, from the positions in uv's
// lanes 0 and 1 and in 2 and 3.
__attribute__((target(TW_WIDE_TARGET))) inline void LocateInTwoLevels(const ImageLevel& fine, const ImageLevel& coarse,
                                                                      __m128 uv, Spot& sf, Spot& sc) {
    static_assert(offsetof(ImageLevel, height) == offsetof(ImageLevel, width) + 4, "width and height side by side");
    const __m128i sizes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&fine.width)),
                                             _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&coarse.width)));
    const __m128 xy = _mm_mul_ps(uv, _mm_cvtepi32_ps(sizes));
    const __m128 whole = _mm_round_ps(xy, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    const __m128i pixel = _mm_cvttps_epi32(whole);
    const __m128i phase =
        _mm_min_epi32(_mm_cvttps_epi32(_mm_mul_ps(_mm_sub_ps(xy, whole), _mm_set1_ps(float(kKernelPhases)))),
                      _mm_set1_epi32(kKernelPhases - 1));
    sf.h = _mm_cvtsi128_si32(pixel);
    sf.m = _mm_extract_epi32(pixel, 1);
    sc.h = _mm_extract_epi32(pixel, 2);
    sc.m = _mm_extract_epi32(pixel, 3);
    sf.phase_x = _mm_cvtsi128_si32(phase);
    sf.phase_y = _mm_extract_epi32(phase, 1);
    sc.phase_x = _mm_extract_epi32(phase, 2);
    sc.phase_y = _mm_extract_epi32(phase, 3);
}
__attribute__((target(TW_WIDE_TARGET))) inline void LocateInTwoLevels(const ImageLevel& fine, const ImageLevel& coarse,
                                                                      float u, float v, Spot& sf, Spot& sc) {
    LocateInTwoLevels(fine, coarse, _mm_setr_ps(u, v, u, v), sf, sc);
}
// Two taps on one level, the first in sf's place.
__attribute__((target(TW_WIDE_TARGET))) inline void LocateInTwoLevels(const ImageLevel& l, float u0, float v0, float u1,
                                                                      float v1, Spot& s0, Spot& s1) {
    LocateInTwoLevels(l, l, _mm_setr_ps(u0, v0, u1, v1), s0, s1);
}

// The level pair of a level of detail: the steps of PointSampleWith after the edge mode.
struct LevelPair {
    int32_t level;
    float f;   // weight of the coarser level
    bool mix;  // two levels
};
inline LevelPair LevelPairOf(const ImageBuffer& b, float lod) {
    lod = lod > 0.0f ? std::min(lod, float(b.top_level)) : 0.0f;
    LevelPair p;
    p.level = int32_t(lod);
    p.f = lod - float(p.level);
    p.mix = p.f > 0.0f && p.level < b.top_level;
    return p;
}

// The point sampler's work once the edge mode has placed (u, v) and the level pair is known.
// With kMayShareRows, windows whose first three rows are one row have that row filtered
// once (the filters give the same bits either way).
template <bool kMayShareRows = false>
__attribute__((target(TW_WIDE_TARGET), always_inline)) inline PixelRgba SampleLevelPair(const ImageBuffer& b,
                                                                                        const LevelPair& p, float u,
                                                                                        float v, Window& fine,
                                                                                        Window& coarse) {
    const int32_t level = p.level;
    const ResampleKernel& K = *b.kernel;
    Spot sf{}, sc{};  // sc is read only when two levels mix
    if (p.mix)
        LocateInTwoLevels(b.levels[level], b.levels[level + 1], u, v, sf, sc);
    else
        sf = Locate(b.levels[level], u, v);
    if (PlaceWindow(b, level, sf, fine)) {
        if (!p.mix) {
            if (kMayShareRows && FirstRowsShared(fine))
                return ToRgba(b, Rgba8ToRgba(FilterOneLevel<true>(fine, sf, K)));
            return ToRgba(b, Rgba8ToRgba(FilterOneLevel(fine, sf, K)));
        }
        if (PlaceWindow(b, level + 1, sc, coarse)) {
            const f32x8 both = kMayShareRows && FirstRowsShared(fine) && FirstRowsShared(coarse)
                                   ? FilterTwoLevels<true>(fine, sf, coarse, sc, K)
                                   : FilterTwoLevels(fine, sf, coarse, sc, K);
            f32x4 c = __builtin_shufflevector(both, both, 0, 1, 2, 3);
            const f32x4 far = __builtin_shufflevector(both, both, 4, 5, 6, 7);
            c += (far - c) * p.f;
            return ToRgba(b, Rgba8ToRgba(c));
        }
    }
    // A window across two tile columns: the level sampler gathers it.
    f32x4 c = SampleLevel<true>(b, level, u, v);
    if (p.mix) {
        const f32x4 far = SampleLevel<true>(b, level + 1, u, v);
        c += (far - c) * p.f;
    }
    return ToRgba(b, c);
}

// What a run of lookups on one level needs to place windows inside it without reading the
// level's record again: for a level held in one tile, where its pixel (0, 0) is, the tile's
// row length, and how many window positions fit across and down.
struct LevelView {
    const uint8_t* origin = nullptr;  // null: a level of several tiles, placed the general way
    intptr_t row_bytes = 0;
    uint32_t span_x = 0, span_y = 0;  // a window at (x, y) lies inside when x < span_x, y < span_y
};
inline LevelView ViewOf(const ImageBuffer& b, int32_t level) {
    LevelView view;
    const ImageLevel& l = b.levels[level];
    if (l.tile_columns != 1 || l.tile_rows != 1) return view;
    const ImageTile& t = b.tiles[l.first_tile];
    view.row_bytes = intptr_t(t.width) * 4;
    // The tile starts at level pixel (t.x, t.y), at or before (0, 0), so this stays inside it.
    view.origin = t.pixels + intptr_t(-t.y) * view.row_bytes + intptr_t(-t.x) * 4;
    view.span_x = uint32_t(std::max(l.width - (kTaps - 1), 0));
    view.span_y = uint32_t(std::max(l.height - (kTaps - 1), 0));
    return view;
}
// The window around a lookup's pixel when it lies inside a one-tile level; false otherwise.
inline bool InsideWindow(const LevelView& view, const Spot& s, StridedWindow& w) {
    const int32_t x = s.h - 2, y = s.m - 2;
    if (!view.origin || uint32_t(x) >= view.span_x || uint32_t(y) >= view.span_y) return false;
    w.first = view.origin + intptr_t(y) * view.row_bytes + intptr_t(x) * 4;
    w.row_bytes = view.row_bytes;
    return true;
}

// ---- The footprint sampler's tap loop ------------------------------------------------------

// The taps of one 8-bit footprint: PointSampleRgba8Wide, step by step, except that the
// level pair is worked out again only when a tap's level of detail differs from the last
// one's (all taps share the footprint's, unless the edge mode raises it above the
// picture), and each level's window is placed again only when a tap lands on another
// pixel. The footprint's buffer is non-empty, checked before the first tap.
struct Rgba8Taps {
    // The level pair and level views of the footprint's level of detail, from its first tap.
    bool ready = false;
    float footprint_lod;
    LevelPair pair;
    LevelView fine_view, coarse_view;
    Window fine, coarse;
    uint32_t pairable = 0;  // the last batch's taps inside the picture (bit k for its tap k)
    const TopRowTable* top_rows = nullptr;  // the sampling state's table of lookups above the picture

    // JitterFraction's cell of eight positions. The clamp keeps a NaN, whose conversion, like
    // the scalar one, lands on a multiple of 256.
    __attribute__((target(TW_WIDE_TARGET))) static __m256i Cell(__m256 p, float scale) {
        const __m256 s = _mm256_mul_ps(p, _mm256_set1_ps(scale));
        const __m256 lo = _mm256_set1_ps(-1.0e9f), hi = _mm256_set1_ps(1.0e9f);
        __m256 c = _mm256_blendv_ps(s, lo, _mm256_cmp_ps(s, lo, _CMP_LT_OQ));
        c = _mm256_blendv_ps(c, hi, _mm256_cmp_ps(hi, s, _CMP_LT_OQ));
        return _mm256_cvttps_epi32(_mm256_round_ps(c, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
    }

    // PlaceTaps for eight taps at once, lane by lane the same float steps and table reads.
    __attribute__((target(TW_WIDE_TARGET))) uint32_t Place(const TapRow& row, int first, int count, float* tu,
                                                           float* tv) {
        const __m256i tap = _mm256_add_epi32(_mm256_set1_epi32(first), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        __m256 t = _mm256_add_ps(_mm256_set1_ps(row.start), _mm256_cvtepi32_ps(tap));
        const __m256 u = _mm256_set1_ps(row.u), v = _mm256_set1_ps(row.v);
        const __m256 step_u = _mm256_set1_ps(row.step_u), step_v = _mm256_set1_ps(row.step_v);
        __m256 x = _mm256_add_ps(u, _mm256_mul_ps(t, step_u));
        __m256 y = _mm256_add_ps(v, _mm256_mul_ps(t, step_v));
        uint32_t kept = (1u << count) - 1u;
        if (row.clip) {
            const float* l = row.line;
            const __m256 side = _mm256_sub_ps(_mm256_mul_ps(_mm256_sub_ps(y, _mm256_set1_ps(l[3])), _mm256_set1_ps(l[0])),
                                              _mm256_mul_ps(_mm256_sub_ps(x, _mm256_set1_ps(l[2])), _mm256_set1_ps(l[1])));
            kept &= ~uint32_t(_mm256_movemask_ps(_mm256_cmp_ps(side, _mm256_setzero_ps(), _CMP_GT_OQ)));
        }
        if (row.jitter) {
            const __m256i byte = _mm256_set1_epi32(255);
            const __m256i ia = _mm256_and_si256(
                _mm256_add_epi32(Cell(x, 30000.0f), _mm256_mullo_epi32(tap, _mm256_set1_epi32(37))), byte);
            const __m256i a = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row.jitter), ia, 4);
            const __m256i ib = _mm256_and_si256(
                _mm256_add_epi32(_mm256_add_epi32(a, Cell(y, 40000.0f)), _mm256_mullo_epi32(tap, _mm256_set1_epi32(79))),
                byte);
            const __m256i bb = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row.jitter), ib, 4);
            const __m256 fraction = _mm256_sub_ps(
                _mm256_div_ps(_mm256_add_ps(_mm256_cvtepi32_ps(_mm256_and_si256(bb, byte)), _mm256_set1_ps(0.5f)),
                              _mm256_set1_ps(256.0f)),
                _mm256_set1_ps(0.5f));
            t = _mm256_add_ps(t, fraction);
            x = _mm256_add_ps(u, _mm256_mul_ps(t, step_u));
            y = _mm256_add_ps(v, _mm256_mul_ps(t, step_v));
        }
        _mm256_store_ps(tu, x);
        _mm256_store_ps(tv, y);
#if defined(TW_SAMPLER_AVX512_TAPS)
        // Taps above the picture come in long runs; marking the taps inside here spares
        // Pair its tests on the others.
        const __m256 one = _mm256_set1_ps(1.0f);
        pairable = _mm256_cmp_ps_mask(x, _mm256_setzero_ps(), _CMP_GE_OQ) & _mm256_cmp_ps_mask(x, one, _CMP_LE_OQ) &
                   _mm256_cmp_ps_mask(y, _mm256_setzero_ps(), _CMP_GE_OQ) & _mm256_cmp_ps_mask(y, one, _CMP_LT_OQ);
#endif
        return kept;
    }
    // The taps of the last batch worth trying in pairs.
    uint32_t Pairable() const { return pairable; }

    // The level pair and views, from the footprint's level of detail, which every tap is given.
    void Prepare(const ImageBuffer& b, float lod) {
        footprint_lod = lod;
        pair = LevelPairOf(b, lod);
        fine_view = ViewOf(b, pair.level);
        if (pair.mix) coarse_view = ViewOf(b, pair.level + 1);
        ready = true;
    }

#if defined(TW_SAMPLER_AVX512_TAPS)
    // Two taps side by side when both take the common way: inside the picture, where the
    // edge mode leaves them be, with their windows inside levels held in one tile. On one
    // level the two taps' windows are filtered as FilterTwoLevels filters two levels'. On two
    // mixed levels (with the shared kernel's tables) each 128-bit quarter of the 512-bit
    // registers does one level of one tap exactly as FilterTwoLevels does it, and each tap
    // is mixed and scaled as Sample does it. False leaves both taps to the one-by-one way,
    // untouched.
    __attribute__((target(TW_WIDE_TARGET))) bool Pair(const ImageBuffer& b, float lod, float u0, float v0, float u1,
                                                      float v1, PixelRgba& c0, PixelRgba& c1) {
        if (!ready) Prepare(b, lod);
        if (!(lod == footprint_lod) || !fine_view.origin) return false;
        const __m256 u = _mm256_setr_ps(u0, v0, u0, v0, u1, v1, u1, v1);
        // ApplyEdgeMode's first test on both taps, x in lanes 0, 2, 4, 6 and y in the others:
        // x in 0..1 and y in 0..1 with 1 left out. A NaN fails it, as it does there.
        const __m256 one = _mm256_set1_ps(1.0f);
        const __mmask8 inside = _mm256_cmp_ps_mask(u, _mm256_setzero_ps(), _CMP_GE_OQ) &
                                _mm256_cmp_ps_mask(u, one, _CMP_LE_OQ) &
                                (_mm256_cmp_ps_mask(u, one, _CMP_LT_OQ) | __mmask8(0x55));
        if (inside != 0xff) return false;
        if (!pair.mix) {
            // One level: the two taps' windows take the places of the two levels'.
            Spot s0, s1;
            LocateInTwoLevels(b.levels[pair.level], u0, v0, u1, v1, s0, s1);
            StridedWindow w0, w1;
            if (!InsideWindow(fine_view, s0, w0) || !InsideWindow(fine_view, s1, w1)) return false;
            const f32x8 both = FilterTwoLevels(w0, s0, w1, s1, *b.kernel);
            c0 = ToRgba(b, Rgba8ToRgba(__builtin_shufflevector(both, both, 0, 1, 2, 3)));
            c1 = ToRgba(b, Rgba8ToRgba(__builtin_shufflevector(both, both, 4, 5, 6, 7)));
            return true;
        }
        if (!coarse_view.origin || b.kernel != kPairTable.kernel) return false;
        // LocateInTwoLevels for both taps: the same steps lane by lane.
        const ImageLevel& lf = b.levels[pair.level];
        const ImageLevel& lc = b.levels[pair.level + 1];
        const __m128i sizes = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&lf.width)),
                                                 _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&lc.width)));
        const __m256 xy = _mm256_mul_ps(u, _mm256_cvtepi32_ps(_mm256_broadcastsi128_si256(sizes)));
        const __m256 whole = _mm256_round_ps(xy, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m256i pixel = _mm256_cvttps_epi32(whole);
        const __m256i phase = _mm256_min_epi32(
            _mm256_cvttps_epi32(_mm256_mul_ps(_mm256_sub_ps(xy, whole), _mm256_set1_ps(float(kKernelPhases)))),
            _mm256_set1_epi32(kKernelPhases - 1));
        // InsideWindow for the four windows at once.
        const __m256i corner = _mm256_sub_epi32(pixel, _mm256_set1_epi32(2));
        const __m256i spans =
            _mm256_setr_epi32(int32_t(fine_view.span_x), int32_t(fine_view.span_y), int32_t(coarse_view.span_x),
                              int32_t(coarse_view.span_y), int32_t(fine_view.span_x), int32_t(fine_view.span_y),
                              int32_t(coarse_view.span_x), int32_t(coarse_view.span_y));
        if (_mm256_cmplt_epu32_mask(corner, spans) != 0xff) return false;
        alignas(32) int32_t at[8], ph[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(at), corner);
        _mm256_store_si256(reinterpret_cast<__m256i*>(ph), phase);
        const intptr_t fineRow = fine_view.row_bytes, coarseRow = coarse_view.row_bytes;
        const uint8_t* const f0 = fine_view.origin + intptr_t(at[1]) * fineRow + intptr_t(at[0]) * 4;
        const uint8_t* const q0 = coarse_view.origin + intptr_t(at[3]) * coarseRow + intptr_t(at[2]) * 4;
        const uint8_t* const f1 = fine_view.origin + intptr_t(at[5]) * fineRow + intptr_t(at[4]) * 4;
        const uint8_t* const q1 = coarse_view.origin + intptr_t(at[7]) * coarseRow + intptr_t(at[6]) * 4;
        const PairTable::Phase& xf0 = kPairTable.phase[ph[0]];
        const PairTable::Phase& xq0 = kPairTable.phase[ph[2]];
        const PairTable::Phase& xf1 = kPairTable.phase[ph[4]];
        const PairTable::Phase& xq1 = kPairTable.phase[ph[6]];
        const __m512i w01 = LoadQuarters(xf0.w01, xq0.w01, xf1.w01, xq1.w01);
        const __m512i w23 = LoadQuarters(xf0.w23, xq0.w23, xf1.w23, xq1.w23);
        const __m512i w4 = LoadQuarters(xf0.w4, xq0.w4, xf1.w4, xq1.w4);
        // The row passes, pixel 4 of each row read as pixels 1..4 as StridedWindow does.
        typedef float f32x16 __attribute__((vector_size(64)));
        f32x16 rows[kTaps];
        for (int r = 0; r < kTaps; ++r) {
            const intptr_t fr = r * fineRow, cr = r * coarseRow;
            rows[r] = f32x16(RowPass2<12, 12>(LoadQuarters(f0 + fr, q0 + cr, f1 + fr, q1 + cr),
                                              LoadQuarters(f0 + fr + 4, q0 + cr + 4, f1 + fr + 4, q1 + cr + 4), w01,
                                              w23, w4));
        }
        // ColumnPass8's steps, with each quarter's row weights.
        const PairTable::Phase& yf0 = kPairTable.phase[ph[1]];
        const PairTable::Phase& yq0 = kPairTable.phase[ph[3]];
        const PairTable::Phase& yf1 = kPairTable.phase[ph[5]];
        const PairTable::Phase& yq1 = kPairTable.phase[ph[7]];
        f32x16 wy[kTaps];
        for (int r = 0; r < kTaps; ++r)
            wy[r] = f32x16(_mm512_castsi512_ps(LoadQuarters(yf0.y[r], yq0.y[r], yf1.y[r], yq1.y[r])));
        f32x16 sum = (rows[0] - rows[2]) * wy[0];
        sum += (rows[1] - rows[2]) * wy[1];
        sum += (rows[3] - rows[2]) * wy[3];
        sum += (rows[4] - rows[2]) * wy[4];
        const f32x16 both = rows[2] + sum;
        // Each tap's two levels mixed as Sample mixes them.
        f32x4 near0 = __builtin_shufflevector(both, both, 0, 1, 2, 3);
        const f32x4 far0 = __builtin_shufflevector(both, both, 4, 5, 6, 7);
        f32x4 near1 = __builtin_shufflevector(both, both, 8, 9, 10, 11);
        const f32x4 far1 = __builtin_shufflevector(both, both, 12, 13, 14, 15);
        near0 += (far0 - near0) * pair.f;
        near1 += (far1 - near1) * pair.f;
        c0 = ToRgba(b, Rgba8ToRgba(near0));
        c1 = ToRgba(b, Rgba8ToRgba(near1));
        return true;
    }
#else
    bool Pair(const ImageBuffer&, float, float, float, float, float, PixelRgba&, PixelRgba&) const { return false; }
#endif

    __attribute__((target(TW_WIDE_TARGET))) PixelRgba operator()(const ImageBuffer& b, float lod, float u, float v) {
        if (!std::isfinite(u) || !std::isfinite(v)) return {0, 0, 0, 0};
        if (!ready) Prepare(b, lod);
        if (!ApplyEdgeMode(b, u, v, lod)) return {0, 0, 0, 0};
        // Taps above the picture, where the edge mode raised the level, go the general way;
        // they all lie on a level's first row.
        if (!(lod == footprint_lod)) {
            PixelRgba c;
            if (top_rows && FromTopRows(b, lod, u, v, c)) return c;
            return SampleLevelPair<true>(b, LevelPairOf(b, lod), u, v, fine, coarse);
        }
        return Sample(b, u, v);
    }

    // A tap above the picture read from the table of first rows, when its levels are there:
    // each level's value as the filter gives it, mixed and scaled as SampleLevelPair does.
    __attribute__((target(TW_WIDE_TARGET))) bool FromTopRows(const ImageBuffer& b, float lod, float u, float v,
                                                             PixelRgba& out) const {
        if (top_rows->buffer != &b || !(v == 0.0f)) return false;
        const LevelPair p = LevelPairOf(b, lod);
        if (p.level < top_rows->first_level) return false;
        const auto value = [&](int32_t level) {
            // u is inside 0..1 here, so the pixel is 0 .. width, all in the table.
            const Spot s = Locate(b.levels[level], u, 0.0f);
            const size_t entry = size_t(top_rows->start[level]) + size_t(s.h) * kKernelPhases + size_t(s.phase_x);
            f32x4 c;
            std::memcpy(&c, top_rows->values.data() + 4 * entry, sizeof c);
            return c;
        };
        f32x4 c = value(p.level);
        if (p.mix) {
            const f32x4 far = value(p.level + 1);
            c += (far - c) * p.f;
        }
        out = ToRgba(b, c);
        return true;
    }

    // SampleLevelPair, with windows inside one-tile levels addressed straight from the views.
    __attribute__((target(TW_WIDE_TARGET))) PixelRgba Sample(const ImageBuffer& b, float u, float v) {
        const int32_t level = pair.level;
        const ResampleKernel& K = *b.kernel;
        Spot sf{}, sc{};
        StridedWindow direct_fine, direct_coarse;
        if (!pair.mix) {
            sf = Locate(b.levels[level], u, v);
            if (InsideWindow(fine_view, sf, direct_fine))
                return ToRgba(b, Rgba8ToRgba(FilterOneLevel(direct_fine, sf, K)));
            if (PlaceWindow(b, level, sf, fine)) return ToRgba(b, Rgba8ToRgba(FilterOneLevel(fine, sf, K)));
            return ToRgba(b, SampleLevel<true>(b, level, u, v));
        }
        LocateInTwoLevels(b.levels[level], b.levels[level + 1], u, v, sf, sc);
        const bool fineInside = InsideWindow(fine_view, sf, direct_fine);
        const bool coarseInside = InsideWindow(coarse_view, sc, direct_coarse);
        if ((fineInside || PlaceWindow(b, level, sf, fine)) && (coarseInside || PlaceWindow(b, level + 1, sc, coarse))) {
            const f32x8 both = fineInside ? (coarseInside ? FilterTwoLevels(direct_fine, sf, direct_coarse, sc, K)
                                                          : FilterTwoLevels(direct_fine, sf, coarse, sc, K))
                                          : (coarseInside ? FilterTwoLevels(fine, sf, direct_coarse, sc, K)
                                                          : FilterTwoLevels(fine, sf, coarse, sc, K));
            f32x4 c = __builtin_shufflevector(both, both, 0, 1, 2, 3);
            const f32x4 far = __builtin_shufflevector(both, both, 4, 5, 6, 7);
            c += (far - c) * pair.f;
            return ToRgba(b, Rgba8ToRgba(c));
        }
        // A window across two tile columns: the level sampler gathers it.
        f32x4 c = SampleLevel<true>(b, level, u, v);
        const f32x4 far = SampleLevel<true>(b, level + 1, u, v);
        c += (far - c) * pair.f;
        return ToRgba(b, c);
    }
};

}  // namespace

#if !defined(TW_SAMPLER_AVX512_TAPS)
__attribute__((target("avx2"))) PixelRgba PointSampleRgba8Wide(const ImageBuffer& b, float lod, float u, float v) {
    // The steps of PointSampleWith, in the same order.
    if (b.empty() || !std::isfinite(u) || !std::isfinite(v)) return {0, 0, 0, 0};
    if (!ApplyEdgeMode(b, u, v, lod)) return {0, 0, 0, 0};
    Window fine, coarse;
    return SampleLevelPair(b, LevelPairOf(b, lod), u, v, fine, coarse);
}

// The whole footprint of an 8-bit picture in AVX2 code: its taps' position arithmetic and
// jitter take single-instruction floors, and, flattened, the point sampler's common paths
// sit inside the loop over the taps.
__attribute__((target("avx2"), flatten)) PixelRgba FootprintSampleRgba8Wide(const ImageBuffer& b, float u, float v,
                                                                            const Footprint& fp, float blur,
                                                                            float softness, const SamplingState& state) {
    Rgba8Taps taps;
    taps.top_rows = state.top_rows;
    return FootprintSampleWith(b, u, v, fp, blur, softness, state, taps);
}
#else
// The same loop in AVX-512 code.
__attribute__((target(TW_WIDE_TARGET), flatten)) PixelRgba FootprintSampleRgba8Avx512(const ImageBuffer& b, float u,
                                                                                      float v, const Footprint& fp,
                                                                                      float blur, float softness,
                                                                                      const SamplingState& state) {
    Rgba8Taps taps;
    taps.top_rows = state.top_rows;
    return FootprintSampleWith(b, u, v, fp, blur, softness, state, taps);
}
#endif

}  // namespace tw::image_detail

#endif
