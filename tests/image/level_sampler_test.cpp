// The level sampler against the weighted 5 x 5 sum written out in integers: every format
// that has its own fast filter must land on the same value, inside tiles, across tile
// borders and where the window hangs over the picture's edge.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/image_access.h"
#include "image/image_buffer.h"
#include "image/resample_kernel.h"
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

}  // namespace
}  // namespace tw
