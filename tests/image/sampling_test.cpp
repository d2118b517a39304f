// The kernel table, the level and point samplers, edge modes and the footprint sampler.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "image/image_buffer.h"
#include "image/resample_kernel.h"
#include "tests/image/image_test_util.h"

namespace tw {
namespace {

using test::BufferPtr;
using test::Make;

bool Same(const PixelRgba& a, const PixelRgba& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}
::testing::AssertionResult Near(const PixelRgba& a, const PixelRgba& b, float tol) {
    if (std::fabs(a.r - b.r) <= tol && std::fabs(a.g - b.g) <= tol && std::fabs(a.b - b.b) <= tol &&
        std::fabs(a.a - b.a) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << a.r << "," << a.g << "," << a.b << "," << a.a << ") vs (" << b.r << "," << b.g
           << "," << b.b << "," << b.a << ")";
}

TEST(Kernel, RowsAreNormalisedInEveryForm) {
    const ResampleKernel& k = TheResampleKernel();
    for (int i = 0; i < kKernelPhases; ++i) {
        int32_t s2048 = 0, s32768 = 0;
        double sf = 0, raw_total = 0;
        for (int t = 0; t < kKernelTaps; ++t) {
            s2048 += k.weights2048[i][t];
            s32768 += k.weights32768[i][t];
            sf += k.weights[i][t];
            raw_total += RawKernelWeight(i / 128.0, t);
        }
        EXPECT_EQ(s2048, 2048) << i;
        EXPECT_EQ(s32768, 32768) << i;
        EXPECT_NEAR(sf, 1.0, 1e-6) << i;
        for (int t = 0; t < kKernelTaps; ++t) {
            const double w = RawKernelWeight(i / 128.0, t) / raw_total;
            EXPECT_NEAR(k.weights[i][t], w, 1e-6) << i << " " << t;
            // The last tap takes the others' rounding, up to two units.
            EXPECT_NEAR(k.weights2048[i][t], w * 2048, t == 4 ? 2.0 : 0.5) << i << " " << t;
        }
    }
    // Two-lobe Lanczos over 19/21 of a pixel: the kernel peaks near the middle taps and
    // has small negative lobes.
    EXPECT_GT(k.weights[0][2], k.weights[0][1]);
    EXPECT_EQ(k.weights[0][0], 0.0f);  // every sub-position of the first tap lies at -2 or beyond
    EXPECT_LT(k.weights[0][4], 0.0f);
    // The compile-time sine agrees with the library's.
    const auto lanczos = [](double x) {
        const double p = 3.141592653;
        if (x == 0) return 1.0;
        if (std::fabs(x) >= 2) return 0.0;
        return std::sin(p * x) / (p * x) * std::sin(p * x / 2) / (p * x / 2);
    };
    for (double phase : {0.0, 0.3, 0.75})
        for (int tap = 0; tap < kKernelTaps; ++tap) {
            double expected = 0;
            for (int j = 0; j < 20; ++j) expected += lanczos(phase - 2 + tap - j / 21.0);
            EXPECT_NEAR(RawKernelWeight(phase, tap), expected, 1e-9) << phase << " " << tap;
        }
    // The kernel vanishes outside (-2, 2).
    EXPECT_EQ(RawKernelWeight(0.0, 0), 0.0);
}

// Every sampler must hand a flat picture back unchanged, in every format and level.
TEST(Samplers, ConstantPictureStaysExactlyConstant) {
    const PixelRgba c{51 / 255.0f, 102 / 255.0f, 153 / 255.0f, 204 / 255.0f};
    SamplingState state;
    state.max_taps = 50;
    for (int32_t format : test::kAllFormats) {
        for (int32_t job : {kMipJobInteger, kMipJobFloat}) {
            BufferPtr b = test::Constant(130, 67, format, c);
            ASSERT_TRUE(b);
            b->mip_job = job;
            ASSERT_TRUE(buildMipChain(*b));
            const PixelRgba stored = readPixel(*b, 0, 0, 0);
            for (int32_t k = 1; k <= b->top_level; ++k)
                for (int32_t y = 0; y < b->levels[k].height; ++y)
                    for (int32_t x = 0; x < b->levels[k].width; ++x)
                        ASSERT_TRUE(Same(readPixel(*b, k, x, y), stored))
                            << format << " job " << job << " level " << k << " " << x << "," << y;
            for (float lod : {0.0f, 0.3f, 1.0f, 2.7f, 7.9f, 40.0f})
                for (float u : {0.0f, 0.013f, 0.5f, 0.99f, 1.0f})
                    for (float v : {0.0f, 0.37f, 0.999f})
                        ASSERT_TRUE(Same(pointSample(*b, lod, u, v), stored))
                            << format << " lod " << lod << " " << u << "," << v;
            // Root mean square of equal taps gives the tap back, up to rounding.
            const Footprint along{0.1f, 0.002f, -0.001f, 0.01f};
            EXPECT_TRUE(
                Near(footprintSample(*b, 0.4f, 0.6f, along, 0.2f, 0.0f, state), stored, 1e-6f))
                << format;
        }
    }
}

// A horizontal ramp read at each pixel centre gives that pixel back (to 1/20 pixel), and
// the reading moves forward, never backwards, as the position moves across a pixel.
TEST(Samplers, RampIsReproducedWithoutShift) {
    for (int32_t format : {kRgbaFloat, kRgba16, kGreyFloat}) {
        const int32_t w = 64;
        BufferPtr b = Make(w, 8, format);
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < w; ++x) {
                const float g = float(x) / 64.0f;
                writePixel(*b, 0, x, y, {g, g, g, 1});
            }
        for (int32_t x = 3; x < w - 3; ++x) {
            const float u = (x + 0.5f) / w;
            EXPECT_NEAR(pointSample(*b, 0, u, 0.5f).g * 64.0f, float(x), 0.06f)
                << format << " " << x;
        }
        float previous = -1.0f;
        for (int i = 0; i <= 400; ++i) {
            const float u = (20.0f + i * 0.01f) / w;
            const float g = pointSample(*b, 0, u, 0.5f).g;
            EXPECT_GT(g, previous) << format << " step " << i;
            previous = g;
        }
    }
}

// Reads that cross a tile border must match reads of the same picture inside one tile,
// and reads across the level border must clamp or wrap as the flag says.
TEST(Samplers, TileAndLevelBordersReadTheRightPixels) {
    const int32_t W = 1030, H = 600, ox = 460, oy = 460, n = 100;
    BufferPtr big = test::Pattern(W, H, kRgba8);
    BufferPtr small = Make(n, n, kRgba8);
    for (int32_t y = 0; y < n; ++y)
        for (int32_t x = 0; x < n; ++x)
            writePixel(*small, 0, x, y, test::PatternColour(x + ox, y + oy));
    // Positions whose windows straddle the tile seams at 512 in both axes.
    for (float px : {510.3f, 511.6f, 512.2f, 513.9f}) {
        for (float py : {509.45f, 512.55f, 514.1f}) {
            const PixelRgba a = pointSample(*big, 0, px / W, py / H);
            const PixelRgba b = pointSample(*small, 0, (px - ox) / n, (py - oy) / n);
            EXPECT_TRUE(Near(a, b, 1e-6f)) << px << "," << py;
        }
    }

    // Level border: the same picture turned around by 50 pixels, read in its interior.
    for (int32_t wrap : {kWrapNone, kWrapBoth, kWrapHorizontal}) {
        BufferPtr pic = test::Pattern(n, n, kRgbaFloat);
        pic->wrap = wrap;
        BufferPtr moved = Make(n + 100, n + 100, kRgbaFloat);
        const bool wrap_x = wrap != kWrapNone, wrap_y = wrap == kWrapBoth;
        for (int32_t y = 0; y < n + 100; ++y)
            for (int32_t x = 0; x < n + 100; ++x) {
                int32_t sx = x - 50, sy = y - 50;
                sx = wrap_x ? (sx + n) % n : std::clamp(sx, 0, n - 1);
                sy = wrap_y ? (sy + n) % n : std::clamp(sy, 0, n - 1);
                writePixel(*moved, 0, x, y, readPixel(*pic, 0, sx, sy));
            }
        for (float px : {0.2f, 1.45f, 99.7f}) {
            for (float py : {0.6f, 50.45f, 98.9f}) {
                const PixelRgba a = pointSample(*pic, 0, px / n, py / n);
                const PixelRgba b =
                    pointSample(*moved, 0, (px + 50) / (n + 100), (py + 50) / (n + 100));
                EXPECT_TRUE(Near(a, b, 1e-5f)) << "wrap " << wrap << " at " << px << "," << py;
            }
        }
    }
}

TEST(Samplers, EdgeModes) {
    BufferPtr b = test::Pattern(40, 30, kRgba16);
    ASSERT_TRUE(buildMipChain(*b));
    auto at = [&](int32_t mode, float lod, float u, float v) {
        b->edge_mode = mode;
        return pointSample(*b, lod, u, v);
    };
    struct Pair {
        int32_t mode;
        float u, v, eu, ev;
    };
    const Pair pairs[] = {
        {kEdgeClamp, 1.5f, -0.25f, 1.0f, 0.0f},       {kEdgeClamp, -3.0f, 7.0f, 0.0f, 1.0f},
        {kEdgeWrapU, 1.25f, 1.5f, 0.25f, 1.0f},       {kEdgeWrapU, -0.25f, 0.5f, 0.75f, 0.5f},
        {kEdgeWrapBoth, 1.25f, -0.75f, 0.25f, 0.25f}, {kEdgeWrapBothToo, 3.5f, 2.25f, 0.5f, 0.25f},
        {kEdgeFoldBlur, 1.25f, 0.5f, 0.75f, 0.5f},    {kEdgeFoldBlur, -0.25f, 0.5f, 0.25f, 0.5f},
        {kEdgeFoldBlur, 2.25f, 1.5f, 0.25f, 1.0f},    {kEdgeFoldBlur, -1.63f, 0.3f, 0.37f, 0.3f},
        {kEdgeMirrorRows, 0.1f, 1.25f, 0.4f, 0.75f},  {kEdgeMirrorRows, 0.1f, 2.25f, 0.1f, 0.25f},
        {kEdgeMirrorRows, 1.3f, -0.75f, 0.2f, 0.75f},
    };
    for (const Pair& p : pairs)
        EXPECT_TRUE(Near(at(p.mode, 0.5f, p.u, p.v), at(kEdgeClamp, 0.5f, p.eu, p.ev), 1e-6f))
            << "mode " << p.mode << " at " << p.u << "," << p.v;

    // Inside the picture no mode changes anything; outside, mode 1 gives nothing.
    for (int32_t mode = 1; mode <= 7; ++mode)
        EXPECT_TRUE(Same(at(mode, 0.0f, 0.3f, 0.6f), at(kEdgeClamp, 0.0f, 0.3f, 0.6f))) << mode;
    EXPECT_TRUE(Same(at(kEdgeNoSample, 0.0f, 1.01f, 0.5f), PixelRgba{0, 0, 0, 0}));
    EXPECT_TRUE(Same(at(kEdgeNoSample, 0.0f, 0.5f, 1.0f), PixelRgba{0, 0, 0, 0}));

    // Above the top, mode 2 reads ever coarser levels: (1 - 2^(-3d)) of the chain.
    const float top = float(b->top_level);
    EXPECT_TRUE(Near(at(kEdgeFoldBlur, 0.5f, 0.3f, -0.5f),
                     at(kEdgeClamp, 0.5f + (1.0f - std::exp2(-1.5f)) * top, 0.3f, 0.0f), 1e-6f));
    EXPECT_TRUE(
        Same(at(kEdgeFoldBlur, 0.0f, 0.3f, -5.0f), at(kEdgeClamp, 0.875f * top, 0.3f, 0.0f)));

    // Positions that are not numbers give nothing rather than a crash.
    EXPECT_TRUE(Same(at(kEdgeWrapBoth, 0.0f, NAN, 0.5f), PixelRgba{0, 0, 0, 0}));
    EXPECT_TRUE(Same(at(kEdgeFoldBlur, 0.0f, 0.5f, -INFINITY), PixelRgba{0, 0, 0, 0}));
}

TEST(Samplers, TrilinearMixesNeighbouringLevels) {
    BufferPtr b = test::Pattern(64, 64, kRgbaFloat);
    ASSERT_TRUE(buildMipChain(*b));
    const PixelRgba l1 = pointSample(*b, 1.0f, 0.3f, 0.7f), l2 = pointSample(*b, 2.0f, 0.3f, 0.7f);
    const PixelRgba mid = pointSample(*b, 1.25f, 0.3f, 0.7f);
    EXPECT_NEAR(mid.r, l1.r + 0.25f * (l2.r - l1.r), 1e-6f);
    EXPECT_NEAR(mid.a, l1.a + 0.25f * (l2.a - l1.a), 1e-6f);
    EXPECT_FALSE(Same(l1, l2));
}

// ---- Footprint sampler --------------------------------------------------------------------

// Horizontal stripes, 8 rows black, 8 rows white: constant along x, changing along y.
BufferPtr Stripes(int32_t w, int32_t h) {
    BufferPtr b = Make(w, h, kRgbaFloat);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const float g = (y / 8) % 2 ? 1.0f : 0.0f;
            writePixel(*b, 0, x, y, {g, g, g, 1});
        }
    buildMipChain(*b);
    return b;
}

TEST(Footprint, IsotropicFootprintIsOneTrilinearLookup) {
    BufferPtr b = test::Pattern(256, 128, kRgba8);
    ASSERT_TRUE(buildMipChain(*b));
    SamplingState state;
    // A round footprint of radius 3 pixels: level log2(3).
    const Footprint round{3.0f / 256, 0, 0, 3.0f / 128};
    EXPECT_TRUE(Same(footprintSample(*b, 0.41f, 0.52f, round, 0, 0, state),
                     pointSample(*b, std::log2(3.0f), 0.41f, 0.52f)));
    // Ratio 1.2 is still isotropic; the level comes from the minor radius.
    const Footprint oval{2.4f / 256, 0, 0, 2.0f / 128};
    EXPECT_TRUE(Same(footprintSample(*b, 0.41f, 0.52f, oval, 0, 0, state),
                     pointSample(*b, 1.0f, 0.41f, 0.52f)));
    // Blur moves a quarter of the way to the top; softness shrinks the radius.
    const float g = std::log2(3.0f);
    EXPECT_TRUE(Same(footprintSample(*b, 0.41f, 0.52f, round, 0.25f, 0, state),
                     pointSample(*b, g + 0.25f * (b->top_level - g), 0.41f, 0.52f)));
    EXPECT_TRUE(Same(footprintSample(*b, 0.41f, 0.52f, round, 0, 1.0f, state),
                     pointSample(*b, std::log2(1.5f), 0.41f, 0.52f)));
    // The isotropic setting takes the largest derivative and ignores anisotropy.
    state.isotropic_lod = 1;
    const Footprint needle{8.0f / 256, 0, 0, 0.5f / 128};
    EXPECT_TRUE(Same(footprintSample(*b, 0.41f, 0.52f, needle, 0, 0, state),
                     pointSample(*b, 3.0f, 0.41f, 0.52f)));
}

TEST(Footprint, DegenerateFootprintsStaySharpAndFinite) {
    BufferPtr b = test::Pattern(256, 128, kRgbaFloat);
    ASSERT_TRUE(buildMipChain(*b));
    SamplingState state;
    // No footprint at all is a sharp point sample, not the top of the chain.
    EXPECT_TRUE(Same(footprintSample(*b, 0.3f, 0.6f, Footprint{0, 0, 0, 0}, 0, 0, state),
                     pointSample(*b, 0.0f, 0.3f, 0.6f)));
    // A far smaller than pixel footprint likewise.
    const Footprint tiny{1e-5f, 2e-6f, -3e-6f, 1e-5f};
    EXPECT_TRUE(Same(footprintSample(*b, 0.3f, 0.6f, tiny, 0, 0, state),
                     pointSample(*b, 0.0f, 0.3f, 0.6f)));
    // A line (both derivatives parallel) spreads taps along it at level 0.
    const Footprint line{4.0f / 256, 0, 4.0f / 256, 0};
    const PixelRgba l = footprintSample(*b, 0.3f, 0.6f, line, 0, 0, state);
    EXPECT_TRUE(std::isfinite(l.r) && std::isfinite(l.a));
    const Footprint broken{NAN, 0, INFINITY, 1};
    const PixelRgba x = footprintSample(*b, 0.3f, 0.6f, broken, 0, 0, state);
    EXPECT_TRUE(std::isfinite(x.r) && std::isfinite(x.a));
}

TEST(Footprint, TapsFollowTheMajorAxis) {
    BufferPtr b = Stripes(256, 256);
    SamplingState state;
    state.max_taps = 50;
    const float u = 0.5f, v = 12.0f / 256;  // the middle of a white stripe
    const PixelRgba sharp = pointSample(*b, 0.0f, u, v);
    ASSERT_GT(sharp.g, 0.9f);
    // Long along the stripes: every tap lands on white, the level stays sharp.
    const Footprint along{12.0f / 256, 0, 0, 1.0f / 256};
    EXPECT_TRUE(Near(footprintSample(*b, u, v, along, 0, 0, state), sharp, 1e-5f));
    // The same footprint turned by 45 degrees crosses black stripes.
    const float d = 12.0f / std::sqrt(2.0f) / 256, e = 1.0f / std::sqrt(2.0f) / 256;
    const Footprint diagonal{d, d, -e, e};
    EXPECT_LT(footprintSample(*b, u, v, diagonal, 0, 0, state).g, 0.9f);
    // Long across them: taps alternate between black and white.
    const Footprint across{1.0f / 256, 0, 0, 12.0f / 256};
    const PixelRgba mixed = footprintSample(*b, u, v, across, 0, 0, state);
    EXPECT_LT(mixed.g, 0.9f);
    EXPECT_GT(mixed.g, 0.3f);
    EXPECT_EQ(mixed.a, 1.0f);
    // With one tap allowed, it is a point sample at the minor axis' level.
    state.max_taps = 1;
    EXPECT_TRUE(Same(footprintSample(*b, u, v, across, 0, 0, state), sharp));
}

TEST(Footprint, MirrorLineKeepsTapsOnOneSide) {
    // Top half red, bottom half green; the waterline runs across the middle.
    BufferPtr b = Make(128, 128, kRgbaFloat);
    for (int32_t y = 0; y < 128; ++y)
        for (int32_t x = 0; x < 128; ++x)
            writePixel(*b, 0, x, y, y < 64 ? PixelRgba{1, 0, 0, 1} : PixelRgba{0, 1, 0, 1});
    ASSERT_TRUE(buildMipChain(*b));
    SamplingState state;
    state.max_taps = 50;
    const Footprint tall{0.5f / 128, 0, 0, 24.0f / 128};  // 48 pixels tall, 1 wide
    const float u = 0.5f, v = 58.0f / 128;
    EXPECT_GT(footprintSample(*b, u, v, tall, 0, 0, state).g, 0.1f);  // no line: reaches across
    const float line[6] = {1.0f, 0.0f, 0.0f, 0.5f, 1.0f, 0.5f};
    std::copy(line, line + 6, state.mirror_line);
    const PixelRgba clipped = footprintSample(*b, u, v, tall, 0, 0, state);
    EXPECT_LT(clipped.g, 0.05f);  // only the kernel of the last tap reaches the line
    EXPECT_GT(clipped.r, 0.95f);
    // Wholly on the far side nothing is cut.
    EXPECT_GT(footprintSample(*b, u, 100.0f / 128, tall, 0, 0, state).g, 0.9f);
}

TEST(Footprint, JitterIsAPureFunctionOfPosition) {
    BufferPtr b = Stripes(256, 256);
    std::vector<int32_t> perm(512);
    for (int i = 0; i < 256; ++i) perm[i] = perm[256 + i] = (i * 151 + 7) % 256;
    SamplingState state;
    state.max_taps = 50;
    state.permutation = perm.data();
    const Footprint across{1.0f / 256, 0, 0, 10.0f / 256};
    const PixelRgba plain = footprintSample(*b, 0.5f, 0.4f, across, 0, 0, state);
    state.jitter_taps = 1;
    const PixelRgba a = footprintSample(*b, 0.5f, 0.4f, across, 0, 0, state);
    const PixelRgba again = footprintSample(*b, 0.5f, 0.4f, across, 0, 0, state);
    EXPECT_TRUE(Same(a, again));
    EXPECT_FALSE(Same(a, plain));
    EXPECT_GE(a.g, 0.0f);
    EXPECT_LE(a.g, 1.0f + 1e-6f);
}

}  // namespace
}  // namespace tw
