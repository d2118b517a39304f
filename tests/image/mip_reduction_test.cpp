// The mip reduction: values, registration after rounded-up levels, and jobs that may run
// in any order on any number of threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "image/image_access.h"
#include "image/image_buffer.h"
#include "tests/image/image_test_util.h"

namespace tw {
namespace {

using test::BufferPtr;
using test::Make;

TEST(MipReduction, CheckerboardHalvesToMidGrey) {
    // Every 6 x 6 window holds exactly half the weight on each colour.
    struct Case {
        int32_t format;
        float expected;
    };
    const Case cases[] = {{kRgba8, 128 / 255.0f},
                          {kGrey8, 128 / 255.0f},
                          {kRgba16, 0.5f},
                          {kRgbaFloat, 0.5f},
                          {kGreyHalf, 0.5f}};
    for (const Case& c : cases) {
        BufferPtr b = Make(64, 32, c.format);
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 64; ++x) {
                const float g = (x + y) % 2 ? 1.0f : 0.0f;
                writePixel(*b, 0, x, y, {g, g, g, 1});
            }
        ASSERT_TRUE(buildMipChain(*b));
        EXPECT_EQ(b->mip_state, kMipStateBuilt);
        // Inside: at the edges clamped reads repeat the edge pixels and break the pattern.
        for (int32_t y = 2; y < 14; ++y)
            for (int32_t x = 2; x < 30; ++x) {
                const PixelRgba p = readPixel(*b, 1, x, y);
                ASSERT_NEAR(p.g, c.expected, 1e-6f) << c.format << " " << x << "," << y;
                ASSERT_EQ(p.a, 1.0f);
            }
    }
}

// A ramp u -> value must keep its place in every level, also after levels whose sizes
// were rounded up: each level may shift it by at most half a pixel of the level below.
TEST(MipReduction, OddSizesDoNotDrift) {
    for (int32_t job : {kMipJobInteger, kMipJobFloat}) {
        for (auto [w, h] : {std::pair{130, 67}, std::pair{63, 65}, std::pair{1030, 9}}) {
            BufferPtr b = Make(w, h, kRgbaFloat);
            b->mip_job = job;
            for (int32_t y = 0; y < h; ++y)
                for (int32_t x = 0; x < w; ++x) {
                    const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
                    writePixel(*b, 0, x, y, {u, v, 0, 1});
                }
            ASSERT_TRUE(buildMipChain(*b));
            float slack_x = 1e-5f, slack_y = 1e-5f;
            for (int32_t k = 1; k <= b->top_level; ++k) {
                const ImageLevel& l = b->levels[k];
                slack_x += 0.5f / b->levels[k - 1].width;
                slack_y += 0.5f / b->levels[k - 1].height;
                // Away from the edges, where clamped reads bend the ramp.
                for (int32_t x = 2; x < l.width - 2; ++x) {
                    const float expected = (x + 0.5f) / l.width;
                    EXPECT_NEAR(readPixel(*b, k, x, l.height / 2).r, expected, slack_x)
                        << w << "x" << h << " job " << job << " level " << k << " x " << x;
                }
                for (int32_t y = 2; y < l.height - 2; ++y) {
                    const float expected = (y + 0.5f) / l.height;
                    EXPECT_NEAR(readPixel(*b, k, l.width / 2, y).g, expected, slack_y)
                        << w << "x" << h << " job " << job << " level " << k << " y " << y;
                }
            }
        }
    }
}

// The separable job must give exactly what the direct 6 x 6 sums give (the form used
// when scratch memory runs out), at tile seams, rounded-up levels and wrapped borders.
TEST(MipReduction, SeparableEqualsDirectSums) {
    for (int32_t format : test::kAllFormats) {
        for (int32_t wrap : {kWrapNone, kWrapBoth, kWrapHorizontal}) {
            for (auto [w, h] :
                 {std::pair{1030, 600}, std::pair{63, 65}, std::pair{5, 5}, std::pair{2, 9}}) {
                if (w * h > 100000 && (format != kRgba8 || wrap != kWrapNone))
                    continue;  // keep it quick
                BufferPtr fast = test::Pattern(w, h, format);
                BufferPtr direct = test::Pattern(w, h, format);
                fast->wrap = direct->wrap = wrap;
                ASSERT_TRUE(buildMipChain(*fast));
                for (int32_t k = 1; k <= direct->top_level; ++k)
                    image_detail::ReduceDirectly(*direct, WholeLevelJob(*direct, k));
                for (int32_t k = 1; k <= direct->top_level; ++k)
                    ASSERT_TRUE(test::SameLevel(*fast, *direct, k))
                        << format << " wrap " << wrap << " " << w << "x" << h << " level " << k;
            }
        }
    }
}

TEST(MipReduction, IntegerAndFloatJobsAgreeInside) {
    BufferPtr a = test::Pattern(128, 96, kRgba8);
    BufferPtr b = test::Pattern(128, 96, kRgba8);
    b->mip_job = kMipJobFloat;
    ASSERT_TRUE(buildMipChain(*a));
    ASSERT_TRUE(buildMipChain(*b));
    for (int32_t y = 2; y < 46; ++y)
        for (int32_t x = 2; x < 62; ++x) {
            const PixelRgba p = readPixel(*a, 1, x, y), q = readPixel(*b, 1, x, y);
            ASSERT_NEAR(p.r, q.r, 1.01f / 255) << x << "," << y;
            ASSERT_NEAR(p.a, q.a, 1.01f / 255) << x << "," << y;
        }
}

// Jobs cut into small rectangles and run in a shuffled order give the same bytes as one
// job per level: no job reads what another writes.
TEST(MipReduction, JobsInAnyOrderGiveTheSameChain) {
    for (int32_t format : {kRgba8, kRgba16, kRgbaFloat, kGrey8}) {
        for (int32_t wrap : {kWrapNone, kWrapBoth, kWrapHorizontal}) {
            BufferPtr whole = test::Pattern(200, 75, format);
            BufferPtr pieces = test::Pattern(200, 75, format);
            whole->wrap = pieces->wrap = wrap;
            ASSERT_TRUE(buildMipChain(*whole));

            struct Cutter {
                std::mt19937 random{12345};
                int jobs = 0;
            } cutter;
            auto run_level = [](void* context, ImageBuffer& b, int32_t kind, const MipJob& all) {
                Cutter& c = *static_cast<Cutter*>(context);
                std::vector<MipJob> jobs;
                for (int32_t e = 0; e < MipJobCount(b, all.level, 7); ++e)
                    jobs.push_back(MipJobAt(b, all.level, 7, e));
                std::shuffle(jobs.begin(), jobs.end(), c.random);
                for (const MipJob& j : jobs)
                    if (!RunMipJob(kind, b, j)) return false;
                c.jobs += int(jobs.size());
                return true;
            };
            ASSERT_TRUE(buildMipChain(*pieces, run_level, &cutter));
            EXPECT_GT(cutter.jobs, pieces->top_level);
            EXPECT_EQ(pieces->mip_state, kMipStateBuilt);
            for (int32_t k = 1; k <= whole->top_level; ++k)
                EXPECT_TRUE(test::SameLevel(*whole, *pieces, k))
                    << format << " wrap " << wrap << " level " << k;
        }
    }
}

// Real worker threads, each taking every fourth band of a level, build the same chain as
// one thread.
TEST(MipReduction, ThreadsBuildTheSameChain) {
    BufferPtr one = test::Pattern(700, 530, kRgba8);
    BufferPtr many = test::Pattern(700, 530, kRgba8);
    ASSERT_TRUE(buildMipChain(*one));
    auto run_level = [](void*, ImageBuffer& b, int32_t kind, const MipJob& all) {
        std::thread workers[4];
        for (int w = 0; w < 4; ++w)
            workers[w] = std::thread([&b, kind, all, w] {
                for (int32_t top = all.top + 8 * w; top < all.bottom; top += 32)
                    RunMipJob(kind, b,
                              {all.level, top, all.left, std::min(top + 8, all.bottom), all.right});
            });
        for (std::thread& t : workers) t.join();
        return true;
    };
    ASSERT_TRUE(buildMipChain(*many, run_level, nullptr));
    for (int32_t k = 1; k <= one->top_level; ++k) EXPECT_TRUE(test::SameLevel(*one, *many, k)) << k;
}

TEST(MipReduction, JobKindsAndBadRectangles) {
    BufferPtr b = test::Pattern(40, 40, kRgba8);
    EXPECT_FALSE(RunMipJob(2, *b, WholeLevelJob(*b, 1)));  // a water tile is not ours
    EXPECT_TRUE(RunMipJob(kMipJobInteger, *b, {1, -50, -50, 1000, 1000}));  // clamped
    EXPECT_TRUE(RunMipJob(kMipJobFloat, *b, {99, 0, 0, 4, 4}));             // no such level
    EXPECT_TRUE(RunMipJob(kMipJobInteger, *b, {0, 0, 0, 4, 4}));  // level 0 is the picture
    EXPECT_NEAR(readPixel(*b, 0, 1, 1).r, test::PatternColour(1, 1).r, 1e-6f);  // level 0 untouched

    // The job rectangles of a level cover it exactly once.
    for (int32_t side : {1, 7, 64}) {
        for (int32_t level = 1; level <= b->top_level; ++level) {
            std::vector<int> hits(size_t(b->levels[level].width * b->levels[level].height), 0);
            for (int32_t e = 0; e < MipJobCount(*b, level, side); ++e) {
                const MipJob j = MipJobAt(*b, level, side, e);
                for (int32_t y = j.top; y < j.bottom; ++y)
                    for (int32_t x = j.left; x < j.right; ++x)
                        ++hits[size_t(y * b->levels[level].width + x)];
            }
            EXPECT_TRUE(std::all_of(hits.begin(), hits.end(), [](int h) { return h == 1; }))
                << "side " << side << " level " << level;
        }
    }
    EXPECT_EQ(MipJobCount(*b, 0, 64), 0);
    EXPECT_EQ(MipJobCount(*b, 1, 0), 0);

    // A runner that gives up stops the chain, which is then not marked built.
    auto refuse = [](void*, ImageBuffer&, int32_t, const MipJob&) { return false; };
    EXPECT_FALSE(buildMipChain(*b, refuse, nullptr));
    EXPECT_NE(b->mip_state, kMipStateBuilt);

    BufferPtr one = Make(1, 1, kGrey16);
    EXPECT_TRUE(buildMipChain(*one));
    EXPECT_EQ(one->mip_state, kMipStateBuilt);
}

// Wrapping pictures average across the seam: a picture whose first column is bright and
// last column dark shows both in the edge pixels of level 1 only when it wraps.
TEST(MipReduction, WrapReadsAcrossTheSeam) {
    for (int32_t wrap : {kWrapNone, kWrapHorizontal}) {
        BufferPtr b = Make(32, 8, kRgbaFloat);
        b->wrap = wrap;
        for (int32_t y = 0; y < 8; ++y)
            for (int32_t x = 0; x < 32; ++x)
                writePixel(*b, 0, x, y, {x >= 30 ? 1.0f : 0.0f, 0, 0, 1});
        ASSERT_TRUE(buildMipChain(*b));
        const float left_edge = readPixel(*b, 1, 0, 2).r;
        if (wrap == kWrapNone)
            EXPECT_EQ(left_edge, 0.0f);
        else
            EXPECT_GT(left_edge, 0.05f);
    }
}

}  // namespace
}  // namespace tw
