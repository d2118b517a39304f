// Whole renders through the output pass: determinism, dry pixels, anti-aliasing choices,
// preview guides and survival of hostile parameters.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/image_buffer.h"
#include "render/geometry.h"
#include "render/output_pass.h"
#include "render/render_image.h"
#include "render_test_util.h"

namespace tw {
namespace {

using testing::Buffer;
using testing::makeSource;
using testing::plainParams;

std::vector<float> render(ImageBuffer& src, const RenderParams& p, int threads, int zoom = 1) {
    RenderImageRequest req;
    req.width = (src.width + zoom - 1) / zoom;
    req.height = (src.height + zoom - 1) / zoom;
    req.threads = threads;
    std::vector<float> out;
    EXPECT_TRUE(renderImage(src, p, req, out));
    return out;
}

TEST(RenderImage, SameResultForAnyThreadCount) {
    Buffer src = makeSource(130, 67);
    for (int style : {kStyleSimple, kStyleComplex})
        for (int mode : {kRenderFinal, kRenderPreview}) {
            auto p = plainParams(style);
            p.render_mode = mode;
            p.zoom = mode == kRenderPreview ? 2 : 1;
            const auto one = render(*src, p, 1, p.zoom);
            const auto two = render(*src, p, 2, p.zoom);
            const auto three = render(*src, p, 3, p.zoom);
            EXPECT_EQ(0, std::memcmp(one.data(), two.data(), one.size() * sizeof(float))) << style << mode;
            EXPECT_EQ(0, std::memcmp(one.data(), three.data(), one.size() * sizeof(float))) << style << mode;
        }
}

TEST(RenderImage, DryLandIsTheSourceUnshifted) {
    Buffer src = makeSource(96, 80);
    for (int style : {kStyleSimple, kStyleComplex}) {
        auto p = plainParams(style);
        p.horizon = 80;
        const auto out = render(*src, p, 1);
        // Rows well above the horizon, away from the picture's edges.
        for (int y = 3; y < 50; y += 4)
            for (int x = 3; x < 93; x += 5) {
                const float* px = &out[(y * 96 + x) * 4];
                EXPECT_NEAR(px[0], (x + 0.5f) / 96, 0.01f) << style << " " << x << "," << y;
                EXPECT_NEAR(px[1], (y + 0.5f) / 80, 0.01f) << style << " " << x << "," << y;
                EXPECT_NEAR(px[3], 1.0f, 1e-4f);
            }
    }
}

TEST(RenderImage, SimpleWaterShowsTheSceneUpsideDown) {
    Buffer src = makeSource(64, 128);
    auto p = plainParams();
    p.horizon = 50;
    p.waviness = 0;
    p.size = 0;
    p.brilliance = 100;
    p.color = {65535, 65535, 65535};
    const auto out = render(*src, p, 1);
    // Green grows downwards in the source, so below the waterline it must shrink.
    float previous = 2;
    for (int y = 70; y < 126; y += 8) {
        const float g = out[(y * 64 + 32) * 4 + 1];
        EXPECT_LT(g, previous) << y;
        previous = g;
    }
}

// Calm Complex water is a mirror: stripes in the scene stay sharp in the reflection, which
// they would not if the reflection footprint were wider than the unresolved waves allow.
TEST(RenderImage, CalmComplexWaterIsASharpMirror) {
    const int w = 96, h = 64;
    Buffer src(createImageBuffer(w, h, kRgbaFloat));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) writePixel(*src, 0, x, y, {0.5f, 0.5f, (x / 8) % 2 ? 0.8f : 0.1f, 1.0f});
    buildMipChain(*src);
    auto p = plainParams(kStyleComplex);
    p.waviness = 0;
    p.height = 0;
    p.brilliance = 100;
    p.light_dir[0] = 0;  // light low behind the viewer: no sun, sheen or glint in view
    p.light_dir[1] = 1;
    p.light_dir[2] = 0;
    p.glitter_color = {0, 0, 0};
    const auto out = render(*src, p, 1);
    const int y = 45;
    float lo = 1e9f, hi = 0;
    for (int x = 10; x < 86; ++x) {
        const float* q = &out[(y * w + x) * 4];
        ASSERT_GT(q[0], 0.01f);
        lo = std::min(lo, q[2] / q[0]);
        hi = std::max(hi, q[2] / q[0]);
    }
    EXPECT_LT(lo, 0.5f);
    EXPECT_GT(hi, 1.3f);
}

// Where each row of `out` crosses halfway between its least and most blue columns: the
// x positions of the picture's vertical edges, to a fraction of a pixel.
std::vector<double> blueEdges(const std::vector<float>& out, int w, int y) {
    std::vector<double> ratio(static_cast<size_t>(w)), edges;
    double lo = 1e9, hi = -1e9;
    for (int x = 0; x < w; ++x) {
        const float* q = &out[(size_t(y) * w + x) * 4];
        ratio[size_t(x)] = q[2] / std::max(q[0], 1e-6f);
        lo = std::min(lo, ratio[size_t(x)]);
        hi = std::max(hi, ratio[size_t(x)]);
    }
    const double mid = 0.5 * (lo + hi);
    for (size_t x = 1; x < ratio.size(); ++x) {
        const double a = ratio[x - 1] - mid, b = ratio[x] - mid;
        if ((a < 0) != (b < 0)) edges.push_back(double(x - 1) + a / (a - b) + 0.5);
    }
    return edges;
}

// Calm Complex water is a flat mirror even where the camera bends steep rays, near the
// sides at high Perspective: land and its reflection go through the same projection, so
// every vertical edge meets its reflection at the waterline, right out to both sides.
TEST(RenderImage, CalmMirrorMeetsItsObjectAtTheWaterlineAcrossTheWidth) {
    const int w = 200, h = 120;
    Buffer src(createImageBuffer(w, h, kRgbaFloat));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) writePixel(*src, 0, x, y, {0.5f, 0.5f, (x / 9) % 2 ? 0.8f : 0.1f, 1.0f});
    buildMipChain(*src);
    auto p = plainParams(kStyleComplex);
    p.perspective = 100;
    p.waviness = 0;
    p.height = 0;
    p.brilliance = 100;
    p.light_dir[0] = 0;  // no sun, sheen or glint in view
    p.light_dir[1] = 1;
    p.light_dir[2] = 0;
    p.glitter_color = {0, 0, 0};
    const auto out = render(*src, p, 1);
    // The horizon lies 0.495 of the way down (59.4 rows): rows 57 and 61 straddle it
    // evenly, so an edge and its mirror image lie at the same x.
    const std::vector<double> land = blueEdges(out, w, 57), water = blueEdges(out, w, 61);
    ASSERT_GE(land.size(), size_t(20));
    EXPECT_EQ(land.size(), water.size());
    for (double x : land) {
        double nearest = 1e9;
        for (double y : water) nearest = std::fabs(y - x) < std::fabs(nearest - x) ? y : nearest;
        EXPECT_NEAR(nearest, x, 0.25) << "the edge at x = " << x << " is reflected at " << nearest;
    }
    // The edges nearest the sides, where the projection bends most, are among them.
    EXPECT_LT(land.front(), 12);
    EXPECT_GT(land.back(), w - 12);
}

// Where the camera maps a ray to its own plane point (everywhere at the plain Perspective of
// 48) land shows exactly its own pixel; at Perspective 100 it still does in the middle.
TEST(RenderImage, LandIsUnbentWhereTheCameraIsTheIdentity) {
    for (float perspective : {48.0f, 100.0f}) {
        auto p = plainParams(kStyleComplex);
        p.perspective = perspective;
        p.offset = 30;  // water beyond the waterline distance shows through as land does
        testing::StateFixture f;
        f.setup(p, 160, 120);
        int identity = 0, bent = 0, inward = 0;
        for (int row = -1; row < 120; row += 3)
            for (int column = -1; column < 160; column += 3) {
                PixelRecord r{};
                pixelGeometry(f.state, r, float(column), float(row), pixelKey(column, row));
                if (r.kind != kKindComplexDry) continue;
                const Vec3 d = viewDirection(f.state, r.planeX, r.planeY - f.state.horizonY);
                const Plane2 own = planeToImage(f.state, r.planeX, r.planeY);
                if (d.z >= 0.5) {
                    ++identity;
                    ASSERT_EQ(r.sourceU, float(own.x)) << column << "," << row;
                    ASSERT_EQ(r.sourceV, float(own.y)) << column << "," << row;
                } else {
                    ++bent;
                    // Bent towards the middle, never away from it.
                    const float from_middle = std::fabs(r.sourceU - 0.5f);
                    const float own_from_middle = std::fabs(float(own.x) - 0.5f);
                    ASSERT_LT(from_middle, own_from_middle + 1e-6f) << column << "," << row;
                    inward += from_middle < own_from_middle - 1e-3f;
                }
            }
        EXPECT_GT(identity, 100) << perspective;
        if (perspective == 48.0f) EXPECT_EQ(bent, 0);
        else EXPECT_GT(inward, 100);
    }
}

// Builds the record grid of one job as the scheduler would.
struct JobFixture {
    NoiseTables noise;
    WaterState state;
    std::vector<PixelRecord> grid;
    void run(const RenderParams& p, ImageBuffer* src, TileRect job) {
        buildNoiseTables(noise, p.seed);
        setupWaterState(state, p, noise, PassImage{src->width, src->height}, src, job);
        grid.assign(gridRecordCount(job.right - job.left, job.bottom - job.top), PixelRecord{});
        geometryPass(state, grid.data());
        luminancePass(state, grid.data());
    }
    PixelRecord& at(int c, int r) {
        const TileRect& j = state.job;
        return grid[(r - j.top + 1) * (j.right - j.left + 2) + (c - j.left + 1)];
    }
};

TEST(OutputPass, WaterlinePixelsAreSupersampledOnlyInTheFullPass) {
    Buffer src = makeSource(64, 64);
    for (int style : {kStyleSimple, kStyleComplex}) {
        auto p = plainParams(style);
        p.offset = 20;
        JobFixture f;
        f.run(p, src.get(), {0, 0, 64, 64});
        int found = 0;
        for (int r = 1; r < 64; ++r) {
            const bool edge = (f.at(20, r).kind & 7) != (f.at(20, r - 1).kind & 7);
            if (!edge) continue;
            ++found;
            EXPECT_GT(chooseSampleGrid(f.state, f.grid.data(), 20, r, PassMode::kFinal).count(), 1) << style;
            for (PassMode preview : {PassMode::kSimplePreview, PassMode::kComplexPreview})
                EXPECT_EQ(chooseSampleGrid(f.state, f.grid.data(), 20, r, preview).count(), 1);
        }
        EXPECT_GE(found, 1) << style;
        // Deep in the sky nothing changes: one area sample.
        EXPECT_EQ(chooseSampleGrid(f.state, f.grid.data(), 30, 3, PassMode::kFinal).count(), 1);
    }
}

// Per-pixel code reads the pass's derived state and writes only the Complex style's
// footprint cache: after a job's passes, the state with its cache put back as it was is
// the state set-up made.
TEST(OutputPass, PixelsLeaveTheDerivedStateAsSetUpMadeIt) {
    Buffer src = makeSource(64, 48);
    for (int style : {kStyleSimple, kStyleComplex})
        for (int mode : {kRenderFinal, kRenderPreview}) {
            auto p = plainParams(style);
            p.offset = 20;
            p.render_mode = mode;
            JobFixture f;
            f.run(p, src.get(), {0, 0, 64, 48});
            const WaterState before = f.state;
            outputPass(f.state, f.grid.data());
            WaterState after = f.state;
            setFootprintCache(after, footprintCacheOf(before));
            EXPECT_EQ(std::memcmp(&before, &after, sizeof after), 0) << style << " " << mode;
        }
}

// The Complex preview jitters its taps because set-up says so, not because a pixel asks.
TEST(OutputPass, ComplexPreviewTapsAreJitteredFromTheFirstPixel) {
    Buffer src = makeSource(64, 48);
    auto p = plainParams(kStyleComplex);
    p.offset = 20;
    p.render_mode = kRenderPreview;
    JobFixture jittered, steady;
    jittered.run(p, src.get(), {0, 0, 64, 48});
    steady.run(p, src.get(), {0, 0, 64, 48});
    steady.state.sampling.jitter_taps = 0;
    int differ = 0;
    for (int r = 0; r < 48; ++r)
        for (int c = 0; c < 64; ++c) {
            const Rgba a = renderPixel(jittered.state, jittered.grid.data(), c, r);
            const Rgba b = renderPixel(steady.state, steady.grid.data(), c, r);
            differ += a.r != b.r || a.g != b.g || a.b != b.b;
        }
    EXPECT_GT(differ, 0);
    EXPECT_EQ(steady.state.sampling.jitter_taps, 0);
}

TEST(OutputPass, PreviewDrawsGuidesAndFinalDoesNot) {
    Buffer src = makeSource(200, 160);
    auto p = plainParams();
    p.pick_x = 0.5f;
    p.pick_y = 0.75f;
    p.render_mode = kRenderPreview;
    const auto preview = render(*src, p, 1);
    p.render_mode = kRenderFinal;
    const auto final = render(*src, p, 1);
    // The marker's centre is white in the preview.
    const int mx = 100, my = 120;
    const float* c = &preview[(my * 200 + mx) * 4];
    EXPECT_GT(c[0], 0.7f);
    EXPECT_GT(c[1], 0.7f);
    EXPECT_GT(c[2], 0.7f);
    const float* f = &final[(my * 200 + mx) * 4];
    EXPECT_LT(std::min({f[0], f[1], f[2]}), 0.7f);
    // Somewhere along the horizon row the magenta dash shows: red and blue above green.
    int magenta = 0;
    const int hy = static_cast<int>(160 * 0.495);
    for (int y = hy - 1; y <= hy + 1; ++y)
        for (int x = 0; x < 200; ++x) {
            const float* q = &preview[(y * 200 + x) * 4];
            magenta += q[0] > q[1] + 0.3f && q[2] > q[1] + 0.3f;
        }
    EXPECT_GT(magenta, 10);
}

TEST(OutputPass, HostileParametersGiveFiniteColours) {
    Buffer src = makeSource(24, 18);
    const float hostile[] = {NAN, INFINITY, -1.0f, 1e9f};
    for (int style : {kStyleSimple, kStyleComplex})
        for (int i = 0; i < kSliderCount; ++i)
            for (float v : hostile) {
                auto p = plainParams(style);
                p.*kSliders[i].field = v;
                p.seed = INT32_MIN;
                const auto out = render(*src, p, 1);
                for (float x : out) ASSERT_TRUE(std::isfinite(x)) << kSliders[i].label << "=" << v;
            }
}

TEST(RenderImage, RefusesEmptyRequests) {
    Buffer src = makeSource(8, 8);
    RenderImageRequest req;
    std::vector<float> out;
    EXPECT_FALSE(renderImage(*src, plainParams(), req, out));
    req.width = 1;
    req.height = 1;
    EXPECT_TRUE(renderImage(*src, plainParams(), req, out));
    EXPECT_EQ(out.size(), 4u);
}

}  // namespace
}  // namespace tw
