// Creation, level sizes, tiles, single pixels, copying and the byte pictures.
#include "image/image_buffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "image/image_access.h"
#include "tests/image/image_test_util.h"

namespace tw {
namespace {

using test::BufferPtr;
using test::Make;

TEST(PixelFormats, TableAndRefusedCodes) {
    struct Row {
        int32_t code, channels, bytes_per_pixel;
        float full;
    };
    const Row rows[] = {{0, 1, 1, 255},   {1, 1, 2, 32768}, {2, 1, 2, 1}, {3, 4, 4, 255},
                        {4, 4, 8, 32768}, {5, 1, 4, 1},     {7, 3, 6, 1}, {9, 4, 16, 1}};
    for (const Row& r : rows) {
        const PixelFormatInfo info = DescribePixelFormat(r.code);
        EXPECT_EQ(info.channels, r.channels) << r.code;
        EXPECT_EQ(info.bytes_per_pixel, r.bytes_per_pixel) << r.code;
        EXPECT_EQ(info.full_scale, r.full) << r.code;
    }
    for (int32_t bad : {-1, 6, 8, 10, 255}) {
        EXPECT_EQ(DescribePixelFormat(bad).bytes_per_pixel, 0) << bad;
        EXPECT_EQ(createImageBuffer(4, 4, bad), nullptr) << bad;
    }
}

TEST(Creation, RefusesEmptyOrAbsurdSizes) {
    EXPECT_EQ(createImageBuffer(0, 5, kRgba8), nullptr);
    EXPECT_EQ(createImageBuffer(5, 0, kRgba8), nullptr);
    EXPECT_EQ(createImageBuffer(-3, 5, kRgba8), nullptr);
    EXPECT_EQ(createImageBuffer(5, -1, kGrey8), nullptr);
    EXPECT_EQ(createImageBuffer(INT32_MAX, 2, kGrey8), nullptr);  // beyond what tiles can address
    EXPECT_EQ(createImageBuffer(1 << 30, 1 << 30, kRgbaFloat), nullptr);
}

TEST(Creation, LevelSizesFollowTheRoundingRule) {
    struct Case {
        int32_t w, h;
        std::vector<std::pair<int32_t, int32_t>> levels;
    };
    const Case cases[] = {
        {1, 1, {{1, 1}}},
        {5, 5, {{5, 5}, {4, 4}, {2, 2}, {1, 1}}},
        {2, 1, {{2, 1}, {1, 1}}},
        {3, 3, {{3, 3}, {2, 2}, {1, 1}}},
        {63, 65, {{63, 65}, {32, 34}, {16, 18}, {8, 10}, {4, 6}, {2, 4}, {1, 2}, {1, 1}}},
        {130,
         67,
         {{130, 67}, {66, 34}, {34, 18}, {18, 10}, {10, 6}, {6, 4}, {4, 2}, {2, 1}, {1, 1}}},
        {8, 1, {{8, 1}, {4, 1}, {2, 1}, {1, 1}}},
    };
    for (const Case& c : cases) {
        BufferPtr b = Make(c.w, c.h, kGrey8);
        ASSERT_TRUE(b) << c.w << "x" << c.h;
        ASSERT_EQ(b->top_level + 1, int32_t(c.levels.size())) << c.w << "x" << c.h;
        for (size_t k = 0; k < c.levels.size(); ++k) {
            EXPECT_EQ(b->levels[k].width, c.levels[k].first) << c.w << "x" << c.h << " " << k;
            EXPECT_EQ(b->levels[k].height, c.levels[k].second) << c.w << "x" << c.h << " " << k;
        }
        EXPECT_EQ(b->top_level_minus3, std::max(b->top_level - 3, 0));
    }
    // A huge side stops at level 19.
    EXPECT_EQ(MipTopLevel(1 << 30, 1), 19);
}

TEST(Creation, TilesCoverEveryLevelWithoutOverlap) {
    for (bool apron : {false, true}) {
        BufferPtr b = Make(1030, 600, kRgba16, apron);
        ASSERT_TRUE(b);
        const int32_t a = apron ? 1 : 0;
        for (int32_t k = 0; k <= b->top_level; ++k) {
            const ImageLevel& l = b->levels[k];
            int64_t area = 0;
            for (int32_t t = 0; t < l.tile_columns * l.tile_rows; ++t) {
                const ImageTile& tile = b->tiles[l.first_tile + t];
                EXPECT_LE(tile.width, kTileSize);
                EXPECT_LE(tile.height, kTileSize);
                EXPECT_NE(tile.pixels, nullptr);
                area += int64_t(tile.width) * tile.height;
            }
            EXPECT_EQ(area, int64_t(l.width + 2 * a) * (l.height + 2 * a)) << k;
        }
        EXPECT_EQ(b->levels[0].tile_columns, 3);
        EXPECT_EQ(b->levels[0].tile_rows, 2);
        EXPECT_FLOAT_EQ(b->levels[1].scale_x, 0.5f / (516.0f / 1030.0f));  // level 1 was rounded up
    }
}

// The apron only adds storage around each level: pixels, samples and the chain are the
// same as without it.
TEST(Creation, ApronChangesNothingVisible) {
    BufferPtr plain = test::Pattern(600, 70, kRgba8);
    BufferPtr apron = Make(600, 70, kRgba8, true);
    for (int32_t y = 0; y < 70; ++y)
        for (int32_t x = 0; x < 600; ++x) writePixel(*apron, 0, x, y, test::PatternColour(x, y));
    ASSERT_TRUE(buildMipChain(*plain));
    ASSERT_TRUE(buildMipChain(*apron));
    for (int32_t k = 0; k <= plain->top_level; ++k)
        EXPECT_TRUE(test::SameLevel(*plain, *apron, k)) << k;
    for (float u : {0.0f, 0.4261f, 0.8533f, 0.999f}) {
        const PixelRgba a = pointSample(*plain, 0.7f, u, 0.31f),
                        b = pointSample(*apron, 0.7f, u, 0.31f);
        EXPECT_EQ(a.r, b.r);
        EXPECT_EQ(a.a, b.a);
    }
}

TEST(Creation, AllocationFailureFreesEverything) {
    // Hooks that fail after a given number of blocks and count what is still held.
    struct Pool {
        int budget;
        int live = 0;
    };
    ImageMemory memory{[](void* ctx, size_t bytes) -> void* {
                           Pool* pool = static_cast<Pool*>(ctx);
                           if (pool->budget-- <= 0) return nullptr;
                           ++pool->live;
                           return std::malloc(bytes);
                       },
                       [](void* ctx, void* block) {
                           --static_cast<Pool*>(ctx)->live;
                           std::free(block);
                       },
                       nullptr};
    for (int budget : {0, 1, 5, 9}) {
        Pool pool{budget};
        memory.context = &pool;
        ImageBuffer b;
        resetImageBuffer(b, &memory);
        EXPECT_FALSE(initImageBuffer(b, 1030, 1030, kRgba8)) << budget;
        EXPECT_TRUE(b.empty());
        EXPECT_EQ(pool.live, 0) << budget;
    }
    Pool plenty{1 << 20};
    memory.context = &plenty;
    ImageBuffer b;
    resetImageBuffer(b, &memory);
    ASSERT_TRUE(initImageBuffer(b, 700, 20, kGrey16));
    EXPECT_GT(plenty.live, 2);
    destroyImageBuffer(&b);  // not the owner: the record itself stays
    EXPECT_TRUE(b.empty());
    EXPECT_EQ(plenty.live, 0);
}

TEST(Pixels, RoundTripInEveryFormat) {
    const PixelRgba colour{0.25f, 0.5f, 0.75f, 0.375f};
    for (int32_t format : test::kAllFormats) {
        BufferPtr b = Make(3, 2, format);
        ASSERT_TRUE(b);
        writePixel(*b, 0, 2, 1, colour);
        const PixelRgba back = readPixel(*b, 0, 2, 1);
        const PixelFormatInfo info = DescribePixelFormat(format);
        const float tol = format == kGrey8 || format == kRgba8 ? 0.51f / 255 : 1e-4f;
        if (info.channels == 1) {
            EXPECT_NEAR(back.r, 0.5f, tol) << format;  // grey keeps the green channel
            EXPECT_EQ(back.r, back.b);
            EXPECT_EQ(back.a, 1.0f);
        } else {
            EXPECT_NEAR(back.r, 0.25f, tol) << format;
            EXPECT_NEAR(back.g, 0.5f, tol) << format;
            EXPECT_NEAR(back.b, 0.75f, tol) << format;
            EXPECT_NEAR(back.a, info.channels == 4 ? 0.375f : 1.0f, tol) << format;
        }
        // The neighbour is untouched and writes outside the level are ignored.
        EXPECT_EQ(readPixel(*b, 0, 1, 1).g, 0.0f);
        writePixel(*b, 0, 3, 1, colour);
        writePixel(*b, 0, -1, 0, colour);
        EXPECT_EQ(readPixel(*b, 0, 0, 0).g, 0.0f);
    }
}

TEST(Pixels, StoredLayoutAndClamping) {
    BufferPtr b = Make(2, 2, kRgba8);
    writePixel(*b, 0, 1, 0, {1.0f, 0.0f, 128.0f / 255, 2.0f});
    uint32_t word;
    std::memcpy(&word, image_detail::PixelAddress(*b, 0, 1, 0), 4);
    EXPECT_EQ(word, 0xff0080ffu);  // red in the top byte, alpha in the low byte

    BufferPtr s = Make(1, 1, kRgba16);
    writePixel(*s, 0, 0, 0, {1.0f, -1.0f, NAN, 0.5f});
    uint16_t v[4];
    std::memcpy(v, image_detail::PixelAddress(*s, 0, 0, 0), 8);
    EXPECT_EQ(v[0], 32768);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[3], 16384);

    BufferPtr f = Make(1, 1, kRgbaFloat);
    writePixel(*f, 0, 0, 0, {3.5f, 0, 0, 1});  // float formats keep over-bright values
    EXPECT_EQ(readPixel(*f, 0, 0, 0).r, 3.5f);
}

TEST(Pixels, HalfFloatsConvertExactlyWhereTheyCan) {
    using image_detail::FloatToHalf;
    using image_detail::HalfToFloat;
    for (float x :
         {0.0f, 1.0f, -2.0f, 0.5f, 65504.0f, 6.1035156e-05f, 5.9604645e-08f, 0.099975586f})
        EXPECT_EQ(HalfToFloat(FloatToHalf(x)), x) << x;
    EXPECT_EQ(FloatToHalf(1.0f), 0x3c00);
    EXPECT_EQ(FloatToHalf(1e6f), 0x7c00);                // overflow to infinity
    EXPECT_EQ(FloatToHalf(1.0f + 2.0f / 4096), 0x3c00);  // ties round to even
    EXPECT_EQ(FloatToHalf(1.0f + 6.0f / 4096), 0x3c02);
    EXPECT_EQ(FloatToHalf(1.0f + 3.0f / 4096), 0x3c01);
    for (uint32_t h = 0; h < 0x7c00; h += 7) EXPECT_EQ(FloatToHalf(HalfToFloat(uint16_t(h))), h);
}

TEST(WholeBuffers, CopyMipsNeedsMatchingBuffers) {
    BufferPtr a = test::Pattern(130, 67, kRgba8);
    BufferPtr b = Make(130, 67, kRgba8);
    ASSERT_TRUE(buildMipChain(*a));
    ASSERT_TRUE(copyMips(*a, *b));
    EXPECT_EQ(b->mip_state, kMipStateBuilt);
    for (int32_t k = 0; k <= a->top_level; ++k) EXPECT_TRUE(test::SameLevel(*a, *b, k)) << k;
    BufferPtr other_format = Make(130, 67, kRgba16);
    BufferPtr other_size = Make(131, 67, kRgba8);
    EXPECT_FALSE(copyMips(*a, *other_format));
    EXPECT_FALSE(copyMips(*a, *other_size));
}

TEST(WholeBuffers, ResampleShowsTheWholeSource) {
    // Left half red, right half blue; scaled down it must stay left red, right blue, and a
    // flat area must stay flat.
    BufferPtr src = Make(200, 100, kRgba8);
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 200; ++x)
            writePixel(*src, 0, x, y, x < 100 ? PixelRgba{1, 0, 0, 1} : PixelRgba{0, 0, 1, 1});
    ASSERT_TRUE(buildMipChain(*src));
    BufferPtr dst = Make(20, 10, kRgba8);
    ASSERT_TRUE(resampleImage(*src, *dst));
    EXPECT_EQ(dst->mip_state, kMipStateBuilt);
    const PixelRgba left = readPixel(*dst, 0, 2, 5), right = readPixel(*dst, 0, 17, 5);
    EXPECT_EQ(left.r, 1.0f);
    EXPECT_EQ(left.b, 0.0f);
    EXPECT_EQ(right.b, 1.0f);
    EXPECT_EQ(right.r, 0.0f);
    EXPECT_EQ(left.a, 1.0f);

    // A target that asks for no mip chain gets none.
    BufferPtr flat = Make(16, 8, kRgbaFloat);
    flat->wrap = kWrapNoMips;
    ASSERT_TRUE(resampleImage(*src, *flat));
    EXPECT_NE(flat->mip_state, kMipStateBuilt);
}

TEST(WholeBuffers, ImportAndBitmapLayout) {
    // 5 x 2 pixels, blue-green-red-x in memory, rows top to bottom.
    std::vector<uint8_t> bgra(5 * 2 * 4);
    for (int i = 0; i < 10; ++i) {
        bgra[i * 4 + 0] = uint8_t(i);        // blue
        bgra[i * 4 + 1] = uint8_t(100 + i);  // green
        bgra[i * 4 + 2] = uint8_t(200 + i);  // red
        bgra[i * 4 + 3] = 7;                 // ignored
    }
    BufferPtr b = Make(5, 2, kRgba8);
    ASSERT_TRUE(importBGRA(bgra.data(), *b));
    EXPECT_EQ(b->mip_state, kMipStateBuilt);
    const PixelRgba p = readPixel(*b, 0, 3, 1);
    EXPECT_FLOAT_EQ(p.r, 208 / 255.0f);
    EXPECT_FLOAT_EQ(p.g, 108 / 255.0f);
    EXPECT_FLOAT_EQ(p.b, 8 / 255.0f);
    EXPECT_EQ(p.a, 1.0f);

    Bitmap bmp;
    ASSERT_TRUE(makeBitmap(*b, bmp));
    EXPECT_EQ(bmp.stride, 16);  // 15 bytes of pixels padded to 16
    ASSERT_EQ(bmp.bytes.size(), 32u);
    EXPECT_EQ(bmp.bytes[16 + 3 * 3 + 0], 8);  // second row top-down, blue first
    EXPECT_EQ(bmp.bytes[16 + 3 * 3 + 1], 108);
    EXPECT_EQ(bmp.bytes[16 + 3 * 3 + 2], 208);
    EXPECT_EQ(bmp.bytes[15], 0);  // padding

    BufferPtr grey = Make(4, 4, kGrey8);
    EXPECT_FALSE(importBGRA(bgra.data(), *grey));
    Bitmap scaled;
    ASSERT_TRUE(makeScaledBitmap(*b, 7, 3, scaled));
    EXPECT_EQ(scaled.stride, 24);
    EXPECT_EQ(scaled.height, 3);
}

}  // namespace
}  // namespace tw
