// The level sampler against the weighted 5 x 5 sum written out in integers: every format
// that has its own fast filter must land on the same value, inside tiles, across tile
// borders and where the window hangs over the picture's edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>

#include "image/image_access.h"
#include "image/image_buffer.h"
#include "image/resample_kernel.h"
#include "image/top_row_table.h"
#include "tests/image/image_test_util.h"

namespace tw {
namespace {

// The 8-bit sum at a level: bytes times the x2048 weights of both axes, scaled by 2^-22,
// with indices beyond the level brought back as the buffer's wrap flag says.
PixelRgba IntegerSum(const ImageBuffer& b, int level, float u, float v) {
    const ResampleKernel& k = TheResampleKernel();
    const int width = b.levels[level].width, height = b.levels[level].height;
    const bool wrapX = b.wrap == kWrapBoth || b.wrap == kWrapHorizontal, wrapY = b.wrap == kWrapBoth;
    auto border = [](int i, int size, bool wrap) {
        return wrap ? ((i % size) + size) % size : std::clamp(i, 0, size - 1);
    };
    const float x = u * float(width), y = v * float(height);
    const int h = int(std::floor(x)), m = int(std::floor(y));
    const int px = std::min(int((x - std::floor(x)) * kKernelPhases), kKernelPhases - 1);
    const int py = std::min(int((y - std::floor(y)) * kKernelPhases), kKernelPhases - 1);
    double sum[4] = {0, 0, 0, 0};
    for (int j = 0; j < kKernelTaps; ++j) {
        const int yy = border(m - 2 + j, height, wrapY);
        for (int i = 0; i < kKernelTaps; ++i) {
            const int xx = border(h - 2 + i, width, wrapX);
            const double w = double(k.columns2048[px][i]) * 2048 * double(k.columns2048[py][j]) * 2048;
            const PixelRgba p = readPixel(b, level, xx, yy);
            const double bytes[4] = {std::round(p.r * 255), std::round(p.g * 255), std::round(p.b * 255),
                                     std::round(p.a * 255)};
            for (int c = 0; c < 4; ++c) sum[c] += w * bytes[c];
        }
    }
    const double scale = 1.0 / (4194304.0 * 255.0);
    return {float(sum[0] * scale), float(sum[1] * scale), float(sum[2] * scale), float(sum[3] * scale)};
}
PixelRgba IntegerSum(const ImageBuffer& b, float u, float v) { return IntegerSum(b, 0, u, v); }

TEST(LevelSampler, EightBitMatchesTheIntegerSumEverywhere) {
    // 530 pixels across: one tile border inside the picture, and an odd size.
    test::BufferPtr b = test::Pattern(530, 67, kRgba8);
    ASSERT_TRUE(b);
    b->edge_mode = kEdgeClamp;
    int checked = 0;
    for (int i = 0; i <= 400; ++i) {
        for (int j = 0; j < 23; ++j) {
            // Positions sweep all phases, the tile border near x = 512 and both picture edges.
            const float u = std::min(1.0f, float(i) / 400.0f + float(j) * 0.00013f);
            const float v = std::min(0.999f, float(j) / 22.0f + float(i % 7) * 0.0011f);
            const PixelRgba got = pointSample(*b, 0.0f, u, v), want = IntegerSum(*b, u, v);
            // Channels land in their own places: a swap moves a value by far more than this.
            ASSERT_NEAR(got.r, want.r, 2e-6f) << u << ", " << v;
            ASSERT_NEAR(got.g, want.g, 2e-6f) << u << ", " << v;
            ASSERT_NEAR(got.b, want.b, 2e-6f) << u << ", " << v;
            ASSERT_NEAR(got.a, want.a, 2e-6f) << u << ", " << v;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 401 * 23);
}

// Coarse levels are a few pixels across, so most of their windows hang over an edge, often
// over both; tall pictures put a level's rows in several tiles. Every level of such
// pictures, under each wrap flag, must still read exactly the pixels the flag names.
TEST(LevelSampler, EightBitMatchesTheIntegerSumOnEveryLevelAndWrapFlag) {
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{530, 67}, Size{37, 1100}}) {
        for (const int32_t wrap : {kWrapNone, kWrapBoth, kWrapHorizontal}) {
            test::BufferPtr b = test::Pattern(size.width, size.height, kRgba8);
            ASSERT_TRUE(b);
            b->edge_mode = kEdgeClamp;
            b->wrap = wrap;
            buildMipChain(*b);
            ASSERT_GT(b->top_level, 4);
            for (int level = 0; level <= b->top_level; ++level) {
                // Positions over the whole level, both edges included, and all phases.
                for (int i = 0; i <= 60; ++i) {
                    for (int j = 0; j <= 60; ++j) {
                        const float u = std::min(1.0f, float(i) / 60.0f + float(j % 5) * 0.0007f);
                        const float v = std::min(0.999f, float(j) / 60.0f + float(i % 3) * 0.0009f);
                        const PixelRgba got = pointSample(*b, float(level), u, v);
                        const PixelRgba want = IntegerSum(*b, level, u, v);
                        ASSERT_NEAR(got.r, want.r, 2e-6f) << "wrap " << wrap << " level " << level << " at " << u << ", " << v;
                        ASSERT_NEAR(got.g, want.g, 2e-6f) << "wrap " << wrap << " level " << level << " at " << u << ", " << v;
                        ASSERT_NEAR(got.b, want.b, 2e-6f) << "wrap " << wrap << " level " << level << " at " << u << ", " << v;
                        ASSERT_NEAR(got.a, want.a, 2e-6f) << "wrap " << wrap << " level " << level << " at " << u << ", " << v;
                    }
                }
            }
        }
    }
}

// Processors with AVX2 filter 8-bit rows two at a time; the result must be the very bits
// of the form every other processor runs, between levels too, so renders do not depend on
// the machine. (On a processor without AVX2 both sides are the same code.)
TEST(LevelSampler, WideRowPassGivesTheSameBitsAsTheNarrowOne) {
    test::BufferPtr b = test::Pattern(530, 300, kRgba8);
    ASSERT_TRUE(b);
    b->edge_mode = kEdgeClamp;
    b->wrap = kWrapHorizontal;
    buildMipChain(*b);
    int compared = 0;
    for (int i = 0; i <= 97; ++i)
        for (int j = 0; j <= 89; ++j) {
            const float u = float(i) / 97.0f, v = std::min(0.999f, float(j) / 89.0f);
            // Whole levels and blends of two, fine to coarse.
            const float lod = float((i + j) % (4 * b->top_level + 1)) * 0.25f;
            const PixelRgba wide = pointSample(*b, lod, u, v);
            const PixelRgba narrow = image_detail::PointSampleNarrow(*b, lod, u, v);
            ASSERT_EQ(0, std::memcmp(&wide, &narrow, sizeof wide)) << "lod " << lod << " at " << u << ", " << v;
            ++compared;
        }
    EXPECT_EQ(compared, 98 * 90);
}

// A picture of the pattern at any size, with or without the apron, and its mip chain.
test::BufferPtr PatternWithChain(int width, int height, bool apron, int32_t wrap) {
    test::BufferPtr b = test::Make(width, height, kRgba8, apron);
    if (!b) return b;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) writePixel(*b, 0, x, y, test::PatternColour(x, y));
    b->wrap = wrap;
    buildMipChain(*b);
    return b;
}

struct PictureCase {
    int width, height;
    bool apron;
};
// Levels narrower than the window (1, 2, 3, 4 pixels), one-tile levels whose windows hang
// over their border, levels of several tiles with and without the apron shifting the tile
// borders, and tall and wide pictures whose coarse levels are one row or column of tiles.
constexpr PictureCase kPictures[] = {{1, 1, false},  {2, 2, false},  {3, 3, true},    {4, 7, false},
                                     {5, 5, true},   {6, 2, false},  {530, 67, false}, {511, 40, true},
                                     {37, 1100, true}, {1030, 9, false}};
constexpr int32_t kWrapFlags[] = {kWrapNone, kWrapBoth, kWrapHorizontal, kWrapNoMips};

// The AVX2 8-bit sampler places its windows its own way (inside a tile, over the border of
// a one-tile level, across tiles) and filters two levels in one pass; each of those must
// give the plain sampler's bits, for every edge mode, with positions far outside the
// picture, whole and fractional levels, and levels of detail that are out of range.
TEST(LevelSampler, WideSamplerGivesThePlainBitsOnEveryPathAndEdgeMode) {
    const int32_t edgeModes[] = {kEdgeNoSample, kEdgeFoldBlur, kEdgeClamp,    kEdgeWrapU,
                                 kEdgeWrapBoth, kEdgeWrapBothToo, kEdgeMirrorRows};
    int compared = 0, nonZero = 0;
    for (const PictureCase& pc : kPictures) {
        for (const int32_t wrap : kWrapFlags) {
            test::BufferPtr b = PatternWithChain(pc.width, pc.height, pc.apron, wrap);
            ASSERT_TRUE(b);
            for (int i = 0; i <= 70; ++i) {
                for (int j = 0; j <= 50; ++j) {
                    // -0.3 .. 1.3 in both axes, stepping through every kernel phase.
                    const float u = -0.3f + float(i) * (1.6f / 70.0f) + float(j % 7) * 0.00031f;
                    const float v = -0.3f + float(j) * (1.6f / 50.0f) + float(i % 5) * 0.00047f;
                    const float lod = float((i * 7 + j * 3) % (4 * b->top_level + 7)) * 0.25f - 0.5f;
                    b->edge_mode = edgeModes[(i + j) % 7];
                    const PixelRgba wide = pointSample(*b, lod, u, v);
                    const PixelRgba narrow = image_detail::PointSampleNarrow(*b, lod, u, v);
                    ASSERT_EQ(0, std::memcmp(&wide, &narrow, sizeof wide))
                        << pc.width << " x " << pc.height << (pc.apron ? " with apron" : "") << ", wrap " << wrap
                        << ", edge mode " << b->edge_mode << ", lod " << lod << " at " << u << ", " << v << ": "
                        << wide.r << " " << wide.g << " " << wide.b << " " << wide.a << " against " << narrow.r
                        << " " << narrow.g << " " << narrow.b << " " << narrow.a;
                    ++compared;
                    nonZero += wide.a > 0.0f;
                }
            }
        }
    }
    EXPECT_EQ(compared, int(std::size(kPictures) * std::size(kWrapFlags)) * 71 * 51);
    EXPECT_GT(nonZero, compared / 2);  // most positions sample something
}

// The smallest levels against the integer sum itself: every window of a 1 x 1 to 5 x 5
// level hangs over its border, most of them on both sides.
TEST(LevelSampler, TinyLevelsMatchTheIntegerSumUnderEveryWrapFlag) {
    for (int size = 1; size <= 5; ++size) {
        for (const int32_t wrap : {kWrapNone, kWrapBoth, kWrapHorizontal}) {
            test::BufferPtr b = PatternWithChain(size, size + 1, size % 2 == 1, wrap);
            ASSERT_TRUE(b);
            b->edge_mode = kEdgeClamp;
            for (int i = 0; i <= 40; ++i)
                for (int j = 0; j <= 40; ++j) {
                    const float u = float(i) / 40.0f, v = std::min(0.999f, float(j) / 40.0f);
                    const PixelRgba got = pointSample(*b, 0.0f, u, v), want = IntegerSum(*b, u, v);
                    ASSERT_NEAR(got.r, want.r, 2e-6f) << size << " wrap " << wrap << " at " << u << ", " << v;
                    ASSERT_NEAR(got.g, want.g, 2e-6f) << size << " wrap " << wrap << " at " << u << ", " << v;
                    ASSERT_NEAR(got.b, want.b, 2e-6f) << size << " wrap " << wrap << " at " << u << ", " << v;
                    ASSERT_NEAR(got.a, want.a, 2e-6f) << size << " wrap " << wrap << " at " << u << ", " << v;
                }
        }
    }
}

// The footprint loop of 8-bit pictures runs in AVX2 code of its own: with jitter, the
// mirror line, many taps and taps beyond the picture it must give the plain loop's bits.
TEST(LevelSampler, WideFootprintLoopGivesThePlainBits) {
    int32_t permutation[512];
    for (int i = 0; i < 512; ++i) permutation[i] = (i * 151 + 17) & 255;
    int compared = 0, anisotropic = 0;
    for (const PictureCase& pc : kPictures) {
        test::BufferPtr b = PatternWithChain(pc.width, pc.height, pc.apron, kWrapHorizontal);
        ASSERT_TRUE(b);
        b->edge_mode = kEdgeFoldBlur;
        const float px = 1.0f / float(pc.width), py = 1.0f / float(pc.height);
        for (int k = 0; k < 400; ++k) {
            SamplingState state;
            state.max_taps = 1 + k % 50;
            state.jitter_taps = uint8_t(k % 3 != 0);
            state.permutation = permutation;
            if (k % 4 == 1) {  // a tilted waterline through the middle
                const float line[6] = {0.9f, 0.2f, 0.05f, 0.5f, 0.95f, 0.7f};
                std::memcpy(state.mirror_line, line, sizeof line);
            }
            state.isotropic_lod = uint8_t(k % 17 == 0);
            // Footprints from under a pixel to tens of pixels long, turned every way.
            const float angle = float(k) * 0.37f, length = 0.3f + float(k % 23) * 1.7f, width = 0.4f + float(k % 5) * 0.6f;
            const Footprint fp{length * std::cos(angle) * px, length * std::sin(angle) * py,
                               -width * std::sin(angle) * px, width * std::cos(angle) * py};
            const float u = -0.2f + float(k % 29) * 0.05f, v = -0.25f + float(k % 31) * 0.047f;
            const float blur = float(k % 6) * 0.15f, softness = float(k % 4) * 0.3f;
            PixelRgba paths[image_detail::kFootprintPaths];
            const int n = image_detail::FootprintSampleEveryPath(*b, u, v, fp, blur, softness, state, paths);
            for (int i = 1; i < n; ++i)
                ASSERT_EQ(0, std::memcmp(&paths[i], &paths[0], sizeof paths[0]))
                    << pc.width << " x " << pc.height << ", footprint " << k << ", path " << i << ": " << paths[i].r
                    << " against " << paths[0].r;
            const PixelRgba used = footprintSample(*b, u, v, fp, blur, softness, state);
            ASSERT_EQ(0, std::memcmp(&used, &paths[0], sizeof used)) << "footprint " << k;
            ++compared;
            anisotropic += length > 1.25f * width;
        }
    }
    EXPECT_EQ(compared, int(std::size(kPictures)) * 400);
    EXPECT_GT(anisotropic, compared / 2);
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// One footprint from every loop this processor runs (the plain one, AVX2, AVX-512) and from
// footprintSample, compared bit for bit; false (with a message) on a difference.
::testing::AssertionResult SameFootprint(const ImageBuffer& b, float u, float v, const Footprint& fp, float blur,
                                         float softness, const SamplingState& state) {
    PixelRgba paths[image_detail::kFootprintPaths + 1];
    const int n = image_detail::FootprintSampleEveryPath(b, u, v, fp, blur, softness, state, paths);
    paths[n] = footprintSample(b, u, v, fp, blur, softness, state);
    for (int i = 1; i <= n; ++i) {
        const PixelRgba& wide = paths[i];
        const PixelRgba& narrow = paths[0];
        if (std::memcmp(&wide, &narrow, sizeof wide) == 0) continue;
        return ::testing::AssertionFailure()
               << b.width << " x " << b.height << (b.apron ? " with apron" : "") << ", wrap " << b.wrap
               << ", edge mode " << b.edge_mode << ", blur " << blur << " at " << u << ", " << v << ", path " << i
               << ": " << wide.r << " " << wide.g << " " << wide.b << " " << wide.a << " against " << narrow.r << " "
               << narrow.g << " " << narrow.b << " " << narrow.a;
    }
    return ::testing::AssertionSuccess();
}

// The AVX-512 loop filters two neighbouring taps at once when both lie inside the picture
// with all four windows inside one-tile levels, and takes them one by one otherwise. Random
// footprints near every border and corner mix the two ways within one footprint (a pair
// whose second tap hangs over a border, wraps, or lands above the picture on a raised
// level), on pictures of one tile per level and of several, under every wrap flag and edge
// mode. Each must give the plain loop's bits on every path the processor has.
TEST(LevelSampler, RandomFootprintsNearTheBordersGiveThePlainBits) {
    const int32_t edgeModes[] = {kEdgeNoSample, kEdgeFoldBlur,    kEdgeClamp,     kEdgeWrapU,
                                 kEdgeWrapBoth, kEdgeWrapBothToo, kEdgeMirrorRows};
    const PictureCase pictures[] = {
        {480, 320, false}, {300, 200, true}, {1030, 600, false}, {64, 40, true}, {9, 700, false}};
    std::mt19937 random(20261209);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    int32_t permutation[512];
    for (int i = 0; i < 512; ++i) permutation[i] = (i * 211 + 3) & 255;
    int compared = 0;
    for (const PictureCase& pc : pictures) {
        for (const int32_t wrap : kWrapFlags) {
            test::BufferPtr b = PatternWithChain(pc.width, pc.height, pc.apron, wrap);
            ASSERT_TRUE(b);
            const float px = 1.0f / float(pc.width), py = 1.0f / float(pc.height);
            for (int k = 0; k < 300; ++k) {
                b->edge_mode = edgeModes[k % std::size(edgeModes)];
                SamplingState state;
                state.max_taps = 2 + int(random() % 49);
                state.jitter_taps = uint8_t(random() % 2);
                state.permutation = permutation;
                // Anywhere, or within a few pixels of a border or corner, inside or out.
                const int where = int(random() % 4);
                float u = uniform(-0.1f, 1.1f), v = uniform(-0.1f, 1.1f);
                if (where == 1 || where == 3) u = (random() % 2 ? 1.0f : 0.0f) + uniform(-6.0f, 6.0f) * px;
                if (where == 2 || where == 3) v = (random() % 2 ? 1.0f : 0.0f) + uniform(-6.0f, 6.0f) * py;
                // Minor radii from under a pixel (level 0 alone) to several (two levels
                // mixed), two to forty times as long, at any angle.
                const float minor = uniform(0.3f, 6.0f), major = minor * uniform(1.3f, 40.0f);
                const float angle = uniform(0.0f, 6.2832f);
                const Footprint fp{major * std::cos(angle) * px, major * std::sin(angle) * py,
                                   -minor * std::sin(angle) * px, minor * std::cos(angle) * py};
                const float blur = random() % 3 == 0 ? uniform(0.0f, 1.0f) : 0.0f;
                ASSERT_TRUE(SameFootprint(*b, u, v, fp, blur, uniform(0.0f, 1.0f), state)) << "case " << k;
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, int(std::size(pictures) * std::size(kWrapFlags)) * 300);
}

// The 8-bit footprint loop works out the level pair and where each level's pixels lie once
// per footprint, and reads windows inside a one-tile level straight from those; taps whose
// level differs from the footprint's (above the picture) or whose windows hang over a
// border go the general way. Every mix of the two, on every kind of picture, wrap flag and
// edge mode, must give the plain loop's bits.
TEST(LevelSampler, FootprintTapsGiveThePlainBitsOnEveryWrapFlagAndEdgeMode) {
    const int32_t edgeModes[] = {kEdgeNoSample, kEdgeFoldBlur, kEdgeClamp,    kEdgeWrapU,
                                 kEdgeWrapBoth, kEdgeWrapBothToo, kEdgeMirrorRows};
    int32_t permutation[512];
    for (int i = 0; i < 512; ++i) permutation[i] = (i * 89 + 5) & 255;
    int compared = 0, coloured = 0;
    for (const PictureCase& pc : kPictures) {
        for (const int32_t wrap : kWrapFlags) {
            test::BufferPtr b = PatternWithChain(pc.width, pc.height, pc.apron, wrap);
            ASSERT_TRUE(b);
            const float px = 1.0f / float(pc.width), py = 1.0f / float(pc.height);
            for (const int32_t mode : edgeModes) {
                b->edge_mode = mode;
                for (int k = 0; k < 48; ++k) {
                    SamplingState state;
                    state.max_taps = 4 + k % 40;
                    state.jitter_taps = uint8_t(k % 2);
                    state.permutation = permutation;
                    // Taps a pixel or two apart along a row, a column or a diagonal, on a
                    // footprint whose minor radius picks level 0, a whole level or a blend.
                    const float minor = (k % 4 == 0) ? 0.6f : 1.0f + float(k % 7) * 0.9f;
                    const float major = minor * (3.0f + float(k % 5) * 4.0f);
                    const float angle = float(k % 8) * 0.7854f;
                    const Footprint fp{major * std::cos(angle) * px, major * std::sin(angle) * py,
                                       -minor * std::sin(angle) * px, minor * std::cos(angle) * py};
                    // Positions in the middle, along every border, and above and below the
                    // picture, where the fold mode raises the level tap by tap.
                    const float u = float(k % 11) * 0.1f + 0.013f * float(k % 3), v = -0.3f + float(k % 13) * 0.12f;
                    const float blur = (k % 6 == 5) ? 1.0f : float(k % 3) * 0.2f;
                    ASSERT_TRUE(SameFootprint(*b, u, v, fp, blur, 0.0f, state));
                    ++compared;
                    coloured += footprintSample(*b, u, v, fp, blur, 0.0f, state).a > 0.0f;
                }
            }
        }
    }
    EXPECT_EQ(compared, int(std::size(kPictures) * std::size(kWrapFlags)) * 7 * 48);
    EXPECT_GT(coloured, compared / 2);
}

// Above the picture the fold edge mode puts every tap on the top row of a level raised tap
// by tap; the 8-bit loop filters those windows with one row pass for the three rows that
// read the first row, or, given the pass's table of such lookups, reads the small levels'
// values from it. Footprints reaching from inside the picture far above it, upright and
// slanted, on levels of one tile and of several, with and without the apron, on levels one
// or two rows high, and on pictures whose every level or none is in the table, must still
// give the plain loop's bits either way.
TEST(LevelSampler, TapsAboveThePictureGiveThePlainBits) {
    const PictureCase pictures[] = {{1200, 700, false}, {1030, 600, true}, {530, 67, false}, {300, 2, true},
                                    {700, 1, false},    {64, 64, true},    {129, 40, false}, {1, 1, true}};
    int compared = 0;
    for (const PictureCase& pc : pictures) {
        for (const int32_t wrap : {kWrapNone, kWrapHorizontal, kWrapBoth}) {
            test::BufferPtr b = PatternWithChain(pc.width, pc.height, pc.apron, wrap);
            ASSERT_TRUE(b);
            b->edge_mode = kEdgeFoldBlur;
            TopRowTable table;
            ASSERT_TRUE(buildTopRowTable(*b, table));
            // Every level at most the table's width, and only those.
            EXPECT_LE(b->levels[table.first_level].width, kTopRowTableWidth);
            if (table.first_level > 0) {
                EXPECT_GT(b->levels[table.first_level - 1].width, kTopRowTableWidth);
            }
            const float px = 1.0f / float(pc.width), py = 1.0f / float(pc.height);
            for (int k = 0; k < 160; ++k) {
                SamplingState state;
                state.max_taps = 8 + k % 43;
                state.jitter_taps = uint8_t(k % 3 == 0);
                int32_t permutation[512];
                for (int i = 0; i < 512; ++i) permutation[i] = (i * 73 + k) & 255;
                state.permutation = permutation;
                // Mostly upright footprints, tens to hundreds of rows long, so the taps climb
                // through the top edge and on through raised levels.
                const float angle = 1.5708f + float(k % 9 - 4) * 0.15f;
                const float major = 20.0f + float(k % 17) * 25.0f, minor = 0.7f + float(k % 5) * 1.3f;
                const Footprint fp{major * std::cos(angle) * px, major * std::sin(angle) * py,
                                   -minor * std::sin(angle) * px, minor * std::cos(angle) * py};
                const float u = 0.003f + float(k % 37) * 0.0271f, v = -0.35f + float(k % 23) * 0.02f;
                ASSERT_TRUE(SameFootprint(*b, u, v, fp, float(k % 4) * 0.1f, 0.0f, state));
                state.top_rows = &table;
                ASSERT_TRUE(SameFootprint(*b, u, v, fp, float(k % 4) * 0.1f, 0.0f, state)) << "with the table";
                // Far above, where the taps reach the coarsest levels.
                ASSERT_TRUE(SameFootprint(*b, u * 1.7f - 0.3f, v - 0.8f, fp, 0.0f, 0.0f, state)) << "far above";
                ++compared;
            }
        }
    }
    EXPECT_EQ(compared, int(std::size(pictures)) * 3 * 160);
}

// The table of lookups above the picture is worked out only for 8-bit pictures, and read
// only for the buffer it was made from: a pass handing another buffer's table over (a
// snapshot, a resized copy) gets that buffer's own values, not the table's.
TEST(LevelSampler, TopRowTableServesOnlyItsOwnBuffer) {
    test::BufferPtr made = PatternWithChain(300, 200, false, kWrapNone);
    test::BufferPtr other = PatternWithChain(300, 200, false, kWrapNone);
    ASSERT_TRUE(made && other);
    // Another picture of the same size: the first row differs.
    for (int x = 0; x < 300; ++x) writePixel(*other, 0, x, 0, {0.9f, 0.1f, 0.4f, 1.0f});
    buildMipChain(*other);
    TopRowTable table;
    ASSERT_TRUE(buildTopRowTable(*made, table));
    EXPECT_EQ(table.buffer, made.get());
    other->edge_mode = made->edge_mode = kEdgeFoldBlur;
    SamplingState state;
    state.max_taps = 40;
    state.top_rows = &table;
    const Footprint fp{0.002f, 0.3f, -0.004f, 0.0005f};  // upright, 60 rows long
    for (int k = 0; k < 50; ++k) {
        const float u = 0.01f + float(k) * 0.0197f, v = -0.2f - float(k) * 0.01f;
        ASSERT_TRUE(SameFootprint(*other, u, v, fp, 0.0f, 0.0f, state)) << k;
    }

    test::BufferPtr floats = test::Make(40, 30, kRgbaFloat);
    ASSERT_TRUE(floats);
    TopRowTable none;
    EXPECT_FALSE(buildTopRowTable(*floats, none));
    EXPECT_EQ(none.buffer, nullptr);
    EXPECT_TRUE(none.values.empty());
}

// A buffer bound to a kernel other than the shared one takes its weights from that kernel,
// not from the tables worked out for the shared one.
TEST(LevelSampler, FootprintTapsReadTheBuffersOwnKernel) {
    ResampleKernel own = TheResampleKernel();
    // A different, still exact, set of weights: each phase's taps in reverse order.
    for (int p = 0; p < kKernelPhases; ++p) std::reverse(own.columns2048[p], own.columns2048[p] + kKernelTaps);
    SamplingState state;
    state.max_taps = 30;
    for (const PictureCase& pc : kPictures) {
        test::BufferPtr b = PatternWithChain(pc.width, pc.height, pc.apron, kWrapNone);
        ASSERT_TRUE(b);
        b->edge_mode = kEdgeClamp;
        const float px = 1.0f / float(pc.width), py = 1.0f / float(pc.height);
        const Footprint fp{9.0f * px, 3.0f * py, -0.9f * px, 1.6f * py};
        for (int k = 0; k < 40; ++k) {
            const float u = float(k % 10) * 0.11f, v = float(k / 10) * 0.24f + 0.05f;
            b->kernel = &TheResampleKernel();
            const PixelRgba shared = footprintSample(*b, u, v, fp, 0.1f, 0.0f, state);
            b->kernel = &own;
            ASSERT_TRUE(SameFootprint(*b, u, v, fp, 0.1f, 0.0f, state));
            const PixelRgba mine = footprintSample(*b, u, v, fp, 0.1f, 0.0f, state);
            // The reversed kernel weighs the window differently wherever it is not flat.
            if (pc.width > 8 && pc.height > 8) {
                EXPECT_NE(0, std::memcmp(&shared, &mine, sizeof mine)) << u << ", " << v;
            }
        }
        b->kernel = &TheResampleKernel();
    }
}

}  // namespace
}  // namespace tw

namespace tw {
namespace {

// The footprint sampler written out for a footprint along the rows (major radius `major`,
// minor radius `minor`, in level-0 pixels, no blur or softness): taps spaced evenly along u,
// jittered and cut at the waterline tap by tap, each a plain point sample.
PixelRgba FootprintAlongRows(const ImageBuffer& b, float u, float v, float major, float minor,
                             const SamplingState& state) {
    const float lod0 = std::log2(std::max(minor, 0.5f));
    const float lod = lod0 > 0.0f ? std::min(lod0, float(b.top_level)) : 0.0f;
    const float ratio = major / std::max(minor, 0.5f);
    const int n = ratio < 1.5f ? 2 : std::min(int(std::lround(ratio)), state.max_taps);
    const float spread = ratio < 1.5f ? (ratio - 1.25f) * 4.0f : 1.0f;
    const float step = 2.0f * major / float(n) * spread / float(b.width);
    const float start = -0.5f * float(n - 1);
    const float* line = state.mirror_line;
    auto side = [&](float x, float y) { return (y - line[3]) * line[0] - (x - line[2]) * line[1]; };
    const bool clip = (side(u + start * step, v) <= 0.0f) != (side(u - start * step, v) <= 0.0f);
    auto cell = [](float x, float scale) {
        return int32_t(int64_t(std::floor(std::clamp(x * scale, -1.0e9f, 1.0e9f))) & 255);
    };
    double sum[4] = {0, 0, 0, 0};
    int used = 0;
    for (int i = 0; i < n; ++i) {
        float t = start + float(i);
        float x = u + t * step;
        if (clip && side(x, v) > 0.0f) continue;
        if (state.jitter_taps) {
            const int32_t a = state.permutation[(cell(x, 30000.0f) + 37 * i) & 255];
            const int32_t c = state.permutation[(a + cell(v, 40000.0f) + 79 * i) & 255];
            t += (float(c & 255) + 0.5f) / 256.0f - 0.5f;
            x = u + t * step;
        }
        const PixelRgba p = image_detail::PointSampleNarrow(b, lod, x, v + t * 0.0f);
        sum[0] += double(p.r) * p.r;
        sum[1] += double(p.g) * p.g;
        sum[2] += double(p.b) * p.b;
        sum[3] += p.a;
        ++used;
    }
    const double inv = 1.0 / used;
    return {float(std::sqrt(sum[0] * inv)), float(std::sqrt(sum[1] * inv)), float(std::sqrt(sum[2] * inv)),
            float(sum[3] * inv)};
}

// Taps are placed a batch at a time, then sampled in order: every count of taps, across and
// on the batch boundaries, with and without jitter and with the waterline cutting the row
// anywhere, must give what the taps give one by one.
TEST(LevelSampler, FootprintTapsInBatchesGiveTheTapByTapResult) {
    int32_t permutation[512];
    for (int i = 0; i < 512; ++i) permutation[i] = (i * 167 + 41) & 255;
    // Sizes and radii that are short binary fractions, so that the footprint's ellipse and
    // its radii come out exact and the written-out form can start from the radii themselves.
    test::BufferPtr b = PatternWithChain(256, 128, false, kWrapNone);
    ASSERT_TRUE(b);
    b->edge_mode = kEdgeClamp;
    int compared = 0, cut = 0;
    for (int taps = 2; taps <= 34; ++taps) {
        for (int k = 0; k < 12; ++k) {
            SamplingState state;
            state.max_taps = taps;
            state.jitter_taps = uint8_t(k % 2);
            state.permutation = permutation;
            const float u = 0.3f + float(k) * 0.037f, v = 0.2f + float(k) * 0.051f;
            if (k % 3 != 0) {  // an upright waterline somewhere along the row of taps
                const float x = u + (float(k % 5) - 2.0f) * 0.02f;
                const float line[6] = {0.0f, 1.0f, x, 0.0f, x, 1.0f};
                std::memcpy(state.mirror_line, line, sizeof line);
            }
            // Minor radii from under one pixel to a few; the major one long enough for
            // every tap count asked for.
            const float minor = 0.75f + float(k % 4) * 0.75f, major = minor * float(taps) * 1.25f;
            const Footprint fp{major / 256.0f, 0.0f, 0.0f, minor / 128.0f};
            const PixelRgba got = footprintSample(*b, u, v, fp, 0.0f, 0.0f, state);
            const PixelRgba want = FootprintAlongRows(*b, u, v, major, minor, state);
            ASSERT_EQ(0, std::memcmp(&got, &want, sizeof got))
                << taps << " taps, case " << k << ": " << got.r << " " << got.a << " against " << want.r << " " << want.a;
            const PixelRgba plain = image_detail::FootprintSampleNarrow(*b, u, v, fp, 0.0f, 0.0f, state);
            ASSERT_EQ(0, std::memcmp(&plain, &want, sizeof plain)) << taps << " taps, case " << k;
            ++compared;
            cut += k % 3 != 0;
        }
    }
    EXPECT_EQ(compared, 33 * 12);
    EXPECT_GT(cut, compared / 2);
}

// Jitter hashes the tap positions; positions that are not numbers or lie far outside the
// picture must hash alike on both loops (the edge modes then decide what they read).
TEST(LevelSampler, FootprintTapsHashFarAndBrokenPositionsAlike) {
    int32_t permutation[512];
    for (int i = 0; i < 512; ++i) permutation[i] = (i * 13 + 200) & 255;
    test::BufferPtr b = PatternWithChain(64, 48, true, kWrapBoth);
    ASSERT_TRUE(b);
    const float huge = 3.0e38f, inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    const float positions[][2] = {{0.5f, 0.5f}, {1.0e6f, -2.0e6f}, {-7.0e4f, 3.0e4f}, {huge, 0.5f},
                                  {0.5f, -huge}, {inf, 0.5f},      {0.5f, nan},       {nan, nan}};
    const Footprint footprints[] = {{0.3f, 0.1f, -0.01f, 0.02f}, {inf, 0.0f, 0.0f, 0.01f}, {nan, 0.2f, 0.0f, 0.01f},
                                    {1.0e30f, 1.0e30f, 0.0f, 0.01f}};
    for (const int32_t mode : {kEdgeWrapBoth, kEdgeFoldBlur, kEdgeClamp, kEdgeMirrorRows}) {
        b->edge_mode = mode;
        for (const auto& p : positions)
            for (const Footprint& fp : footprints) {
                SamplingState state;
                state.max_taps = 23;
                state.jitter_taps = 1;
                state.permutation = permutation;
                ASSERT_TRUE(SameFootprint(*b, p[0], p[1], fp, 0.0f, 0.0f, state));
            }
    }
}

}  // namespace
}  // namespace tw
