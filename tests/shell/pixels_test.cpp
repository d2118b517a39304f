// Composition and storage of single pixels: highlight spill, grey and deep samples, the
// selection mask, the preview checkerboard, and that a pixel without water leaves the host's
// picture exactly as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "params/render_params.h"
#include "shell/host_pixels.h"

namespace tw {
namespace {

// A one-tile host buffer of w x h pixels shared as input and output.
struct TileBuffers {
    std::vector<uint8_t> in, out;
    std::vector<uint8_t> mask;
    HostPixelFormat fmt;

    TileBuffers(int w, int h, int planes, HostDepth depth, int32_t mode = kRenderFinal) {
        const int bytes = depth == HostDepth::k8 ? 1 : depth == HostDepth::k16 ? 2 : 4;
        in.assign(size_t(w) * h * planes * bytes, 0);
        out.assign(in.size(), 0);
        fmt.render_mode = mode;
        fmt.planes = fmt.stride = planes;
        fmt.hi_plane = planes - 1;
        fmt.grey = planes < 3;
        fmt.depth = depth;
        fmt.scale = fmt.alpha_scale = depth == HostDepth::k8 ? 255.f : depth == HostDepth::k16 ? 32768.f : 1.f;
        fmt.float_output = depth == HostDepth::kFloat && mode == kRenderFinal;
        fmt.in_data = in.data();
        fmt.out_data = out.data();
        fmt.in_row_bytes = fmt.out_row_bytes = w * planes * bytes;
        fmt.in_rect = fmt.out_rect = fmt.job = {0, 0, h, w};
    }
    void UseMask(uint8_t value) {
        mask.assign(size_t(fmt.job.width()) * fmt.job.height(), value);
        fmt.mask = mask.data();
        fmt.mask_row_bytes = fmt.job.width();
        fmt.mask_rect = fmt.job;
    }
};

TEST(Spill, ExcessMovesIntoTheCoolChannels) {
    float c[4] = {2.0f, 0.5f, 0.5f, 1};
    SpillHighlights(c);
    EXPECT_FLOAT_EQ(c[1], 0.5f + 0.1171875f);
    EXPECT_FLOAT_EQ(c[2], 0.5f + 0.1171875f);
    EXPECT_FLOAT_EQ(c[0], 2.0f);  // clamping happens when stored

    // Two hot channels feed the third the whole excess.
    float d[4] = {1.5f, 1.5f, 0.2f, 1};
    SpillHighlights(d);
    EXPECT_FLOAT_EQ(d[2], 0.2f + 1.0f * 60 / 256);

    // Overflow of the first cool channel is passed on to the second.
    float e[4] = {0.95f, 0.2f, 9.0f, 1};
    SpillHighlights(e);
    const float h = 8.0f * 60 / 256 / 2;
    const float green = 0.2f + h + (0.95f + h - 1);
    EXPECT_FLOAT_EQ(e[1], green);
    EXPECT_FLOAT_EQ(e[0], 0.95f + h + (green - 1));

    float none[4] = {0.3f, 0.4f, 0.5f, 1}, all[4] = {2, 3, 4, 1};
    SpillHighlights(none);
    SpillHighlights(all);
    EXPECT_FLOAT_EQ(none[0], 0.3f);
    EXPECT_FLOAT_EQ(all[0], 2);
    EXPECT_FLOAT_EQ(all[2], 4);
}

TEST(WritePixel, EightBitSpillExampleStoresTruncatedValues) {
    TileBuffers t(1, 1, 3, HostDepth::k8);
    const float water[4] = {2.0f, 0.5f, 0.5f, 1};
    WritePixel(t.fmt, 0, 0, water);
    EXPECT_EQ(t.out[0], 255);
    EXPECT_EQ(t.out[1], uint8_t((0.5f + 0.1171875f) * 255));
    EXPECT_EQ(t.out[2], uint8_t((0.5f + 0.1171875f) * 255));
}

TEST(WritePixel, TransparentWaterLeavesEveryHostValueUnchanged) {
    const float clear[4] = {0.7f, 0.1f, 0.3f, 0};
    {
        TileBuffers t(256, 1, 3, HostDepth::k8);
        for (int x = 0; x < 256; ++x)
            for (int c = 0; c < 3; ++c) t.in[x * 3 + c] = uint8_t((x + c * 85) & 255);
        for (int x = 0; x < 256; ++x) WritePixel(t.fmt, x, 0, clear);
        EXPECT_EQ(t.in, t.out);
    }
    {
        TileBuffers t(512, 1, 1, HostDepth::k16);
        for (int x = 0; x < 512; ++x) {
            const uint16_t v = uint16_t(x * 64 + (x == 511 ? 64 : 0));  // reaches 32768
            std::memcpy(&t.in[x * 2], &v, 2);
        }
        for (int x = 0; x < 512; ++x) WritePixel(t.fmt, x, 0, clear);
        EXPECT_EQ(t.in, t.out);
    }
    {
        // Float images keep their values, above 1 included.
        TileBuffers t(3, 1, 3, HostDepth::kFloat);
        const float values[9] = {0.25f, 3.5f, 0, 1, 0.5f, 0.125f, 7, 0, 0.75f};
        std::memcpy(t.in.data(), values, sizeof values);
        for (int x = 0; x < 3; ++x) WritePixel(t.fmt, x, 0, clear);
        EXPECT_EQ(t.in, t.out);
    }
}

TEST(WritePixel, EditableTransparencyKeepsTheLayerUnderThinWater) {
    TileBuffers t(2, 1, 4, HostDepth::k8);
    t.fmt.editable_transparency = true;
    t.fmt.alpha_plane = 3;
    const uint8_t host[8] = {200, 100, 50, 255, 10, 20, 30, 0};
    std::memcpy(t.in.data(), host, 8);
    const float clear[4] = {0, 0, 0, 0};
    WritePixel(t.fmt, 0, 0, clear);
    EXPECT_EQ(0, std::memcmp(t.out.data(), host, 4));
    // Half-transparent white over a fully transparent pixel: the water alone shows.
    const float half[4] = {1, 1, 1, 0.5f};
    WritePixel(t.fmt, 1, 0, half);
    EXPECT_EQ(t.out[4], 255);
    EXPECT_EQ(t.out[7], uint8_t(0.5f * 1.007f * 255));
}

TEST(WritePixel, GreySixteenBitStoresOneSampleOfTheLuminance) {
    TileBuffers t(1, 1, 1, HostDepth::k16);
    const float water[4] = {0.5f, 0.25f, 1.0f, 1};
    WritePixel(t.fmt, 0, 0, water);
    uint16_t stored;
    std::memcpy(&stored, t.out.data(), 2);
    const float grey = 0.3f * 0.5f + 0.59f * 0.25f + 0.11f * 1.0f;
    EXPECT_EQ(stored, uint16_t(grey * 32768));
}

TEST(WritePixel, SelectionMaskMovesPartWayTowardsTheWater) {
    TileBuffers t(1, 1, 3, HostDepth::k8);
    t.in[0] = 0;
    t.in[1] = 100;
    t.in[2] = 255;
    t.UseMask(128);
    const float water[4] = {1.0f, 0.0f, 0.0f, 1};
    WritePixel(t.fmt, 0, 0, water);
    const float m = 128 / 255.0f;
    EXPECT_EQ(t.out[0], uint8_t(0 + m * (1.0f - 0) * 255));
    EXPECT_EQ(t.out[1], uint8_t((100 / 255.0f + m * (0 - 100 / 255.0f)) * 255));
    EXPECT_EQ(t.out[2], uint8_t((1.0f + m * (0 - 1.0f)) * 255));
    // Outside the mask rectangle the selection is whole.
    TileBuffers u(2, 1, 3, HostDepth::k8);
    u.UseMask(0);
    u.fmt.mask_rect = {0, 0, 1, 1};
    WritePixel(u.fmt, 0, 0, water);
    WritePixel(u.fmt, 1, 0, water);
    EXPECT_EQ(u.out[0], 0);
    EXPECT_EQ(u.out[3], 255);
}

TEST(WritePixel, PreviewShowsTheCheckerboardThroughClearWater) {
    const int w = 24, h = 16;
    std::vector<uint8_t> preview(size_t(w) * h * 3, 7);
    HostPixelFormat fmt;
    fmt.render_mode = kRenderPreview;
    fmt.job = {0, 0, h, w};
    fmt.preview = preview.data();
    fmt.preview_width = w;
    fmt.preview_height = h;
    fmt.preview_planes = 3;
    const float clear[4] = {0.2f, 0.9f, 0.4f, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) WritePixel(fmt, x, y, clear);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool light = ((x / 8) ^ (y / 8)) % 2 == 0;
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(preview[size_t(c) * w * h + y * w + x], light ? 255 : uint8_t(0.8f * 255))
                    << x << "," << y;
        }
    // Opaque water covers it; positions beyond the buffer are clamped into it.
    const float red[4] = {1, 0, 0, 1};
    WritePixel(fmt, w + 5, h + 5, red);
    EXPECT_EQ(preview[size_t(h - 1) * w + (w - 1)], 255);
    EXPECT_EQ(preview[size_t(w) * h + (h - 1) * w + (w - 1)], 0);
}

TEST(ReadHostPixel, ReadsOnlyInsideTheJobAndTheInput) {
    TileBuffers t(2, 2, 4, HostDepth::k8);
    t.fmt.editable_transparency = true;
    t.fmt.alpha_plane = 3;
    for (int i = 0; i < 16; ++i) t.in[i] = uint8_t(i * 10);
    float rgba[4] = {-1, -1, -1, -1};
    ReadHostPixel(t.fmt, 1, 1, rgba);
    EXPECT_FLOAT_EQ(rgba[0], 120 / 255.0f);
    EXPECT_FLOAT_EQ(rgba[3], 150 / 255.0f);
    float untouched[4] = {-1, -1, -1, -1};
    ReadHostPixel(t.fmt, 2, 0, untouched);
    EXPECT_EQ(untouched[0], -1);
    t.fmt.in_data = nullptr;
    ReadHostPixel(t.fmt, 0, 0, untouched);
    EXPECT_EQ(untouched[0], 0);
    EXPECT_EQ(untouched[3], 0);
}

TEST(ReadHostPixel, WithoutHostPaddingTheEdgeRepeatsBeyondTheInput) {
    // A host that cannot pad was asked for the 2 x 2 inside the picture of a 3 x 3 job.
    TileBuffers t(2, 2, 3, HostDepth::k8);
    for (int i = 0; i < 12; ++i) t.in[i] = uint8_t(i * 20);
    t.fmt.job = {0, 0, 3, 3};
    t.fmt.replicate_edges = true;
    struct Case {
        int x, y, from_x, from_y;
    };
    for (const Case c : {Case{2, 0, 1, 0}, Case{0, 2, 0, 1}, Case{2, 2, 1, 1}, Case{1, 0, 1, 0}}) {
        float rgba[4] = {-1, -1, -1, -1};
        ReadHostPixel(t.fmt, c.x, c.y, rgba);
        EXPECT_FLOAT_EQ(rgba[1], t.in[size_t((c.from_y * 2 + c.from_x) * 3 + 1)] / 255.0f) << c.x << "," << c.y;
        EXPECT_FLOAT_EQ(rgba[3], 1.0f);
    }
    float outside_job[4] = {-1, -1, -1, -1};
    ReadHostPixel(t.fmt, 3, 0, outside_job);
    EXPECT_EQ(outside_job[0], -1);

    // The selection's edge repeats too: an unselected edge keeps the pixel beyond it.
    TileBuffers u(2, 1, 3, HostDepth::k8);
    u.UseMask(0);
    u.fmt.mask_rect = {0, 0, 1, 1};
    u.fmt.replicate_edges = true;
    const uint8_t host[6] = {10, 20, 30, 40, 50, 60};
    std::memcpy(u.in.data(), host, sizeof host);
    const float water[4] = {1, 1, 1, 1};
    WritePixel(u.fmt, 1, 0, water);
    EXPECT_EQ(u.out[3], 40);
    EXPECT_EQ(u.out[5], 60);
}

TEST(StoreHostPixel, WritesNothingOutsideOutputOrJob) {
    TileBuffers t(2, 1, 3, HostDepth::k8);
    t.fmt.out_rect = {0, 0, 1, 1};
    const float white[4] = {1, 1, 1, 1};
    StoreHostPixel(t.fmt, 1, 0, white);
    StoreHostPixel(t.fmt, 0, 5, white);
    EXPECT_EQ(t.out, std::vector<uint8_t>(6, 0));
    // Values outside 0..1 are held at the sample's limits instead of wrapping.
    const float wild[4] = {-3, 2, 300, 1};
    StoreHostPixel(t.fmt, 0, 0, wild);
    EXPECT_EQ(t.out[0], 0);
    EXPECT_EQ(t.out[1], 255);
    EXPECT_EQ(t.out[2], 255);
}

}  // namespace
}  // namespace tw
