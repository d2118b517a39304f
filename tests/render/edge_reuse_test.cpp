// The output pass reuses the sub-sample geometry that neighbouring supersampled pixels share
// along their common edges (left and right, above and below), and traces sub-sample rays in
// groups ahead of the footprint probes that may change the cache under them. Neither may
// change a single bit of any pixel: the pass is compared with pixels rendered one by one,
// one ray at a time, without any reuse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/image_buffer.h"
#include "render/geometry.h"
#include "render/output_pass.h"
#include "render_test_util.h"

namespace tw {
namespace {

// Hard stripes in both directions, so many neighbouring pixels are supersampled.
testing::Buffer stripes(int width, int height) {
    testing::Buffer b(createImageBuffer(width, height, kRgba8));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            writePixel(*b, 0, x, y, {(x / 3 + y / 4) % 2 ? 0.9f : 0.05f, (x + 0.5f) / width, (y % 9) / 9.0f, 1.0f});
    buildMipChain(*b);
    return b;
}

struct Job {
    NoiseTables noise;
    WaterState state;
    std::vector<PixelRecord> grid;
    Job(const RenderParams& p, ImageBuffer& src, TileRect job) {
        buildNoiseTables(noise, p.seed);
        setupWaterState(state, p, noise, PassImage{src.width, src.height}, &src, job);
        grid.assign(gridRecordCount(job.right - job.left, job.bottom - job.top), PixelRecord{});
        geometryPass(state, grid.data());
        luminancePass(state, grid.data());
    }
    PixelRecord& at(int c, int r) {
        const TileRect& j = state.job;
        return grid[(r - j.top + 1) * (j.right - j.left + 2) + (c - j.left + 1)];
    }
};

TEST(SharedEdgeReuse, OutputPassEqualsPixelByPixelRenderingBitForBit) {
    auto src = stripes(120, 90);
    int neighbourPairs = 0;
    for (int style : {kStyleSimple, kStyleComplex}) {
        for (int seed : {0, 1234}) {
            RenderParams p = testing::plainParams(style);
            p.seed = seed;
            p.horizon = 30;
            // A job that does not start at the picture's corner, so keys and positions are
            // not those of column 0.
            const TileRect job{21, 13, 77, 101};

            Job pass(p, *src, job);
            outputPass(pass.state, pass.grid.data());

            Job single(p, *src, job);
            const PassMode mode = single.state.passMode;
            for (int r = job.top; r < job.bottom; ++r)
                for (int c = job.left; c < job.right; ++c) {
                    const Rgba col = renderPixelOneRayAtATime(single.state, single.grid.data(), c, r);
                    const float want[4] = {std::isnan(col.r) ? 0 : col.r, std::isnan(col.g) ? 0 : col.g,
                                           std::isnan(col.b) ? 0 : col.b, std::isnan(col.a) ? 0 : col.a};
                    ASSERT_EQ(0, std::memcmp(want, pass.at(c, r).colour, sizeof want))
                        << "style " << style << " seed " << seed << " pixel " << c << ", " << r;
                }

            // The comparison only means something where supersampled pixels sit side by side.
            Job count(p, *src, job);
            for (int r = job.top; r < job.bottom; ++r) {
                bool previous = false;
                for (int c = job.left; c < job.right; ++c) {
                    const bool now = chooseSampleGrid(count.state, count.grid.data(), c, r, mode).count() > 1;
                    if (now && previous) ++neighbourPairs;
                    previous = now;
                }
            }
        }
    }
    EXPECT_GT(neighbourPairs, 200);
}

}  // namespace
}  // namespace tw
