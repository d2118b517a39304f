// Reflection and perspective of both styles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "render/geometry.h"
#include "render/water_state.h"
#include "render_test_util.h"

namespace tw {
namespace {

using testing::plainParams;
using testing::StateFixture;

PixelRecord atPlane(WaterState& s, double x, double y) {
    PixelRecord r{};
    r.kind = kKindDry;
    r.sourceU = r.sourceV = -1;
    planeGeometry(s, r, x, y);
    return r;
}

TEST(SimpleGeometry, WaterlineItselfIsDryAndShowsThePixel) {
    auto p = plainParams();
    p.offset = 30;
    StateFixture f;
    f.setup(p);
    const PixelRecord r = atPlane(f.state, 0.1, f.state.waterlineY);
    EXPECT_EQ(r.kind, kKindDry);
    EXPECT_EQ(r.weight, 1.0f);
    const Plane2 own = planeToImage(f.state, 0.1, f.state.waterlineY);
    EXPECT_FLOAT_EQ(r.sourceU, static_cast<float>(own.x));
    EXPECT_FLOAT_EQ(r.sourceV, static_cast<float>(own.y));
    EXPECT_EQ(atPlane(f.state, 0.1, f.state.waterlineY + 1e-4).kind, kKindSimpleWater);
}

TEST(SimpleGeometry, CalmWaterMirrorsAboutTheHorizonWithNoOffset) {
    auto p = plainParams();
    p.offset = 0;
    p.waviness = 0;
    p.size = 0;
    StateFixture f;
    f.setup(p);
    for (double depth : {0.01, 0.05, 0.2}) {
        const PixelRecord r = atPlane(f.state, -0.2, f.state.horizonY + depth);
        const Plane2 mirror = planeToImage(f.state, -0.2, f.state.horizonY - depth);
        EXPECT_EQ(r.kind, kKindSimpleWater);
        EXPECT_NEAR(r.sourceU, mirror.x, 1e-6);
        EXPECT_NEAR(r.sourceV, mirror.y, 1e-6);
    }
}

TEST(SimpleGeometry, ReflectionNeverRisesAboveTheWaterline) {
    auto p = plainParams();
    p.waviness = 100;
    p.height = 100;
    p.pick_y = 0.8f;
    StateFixture f;
    f.setup(p);
    for (double y = f.state.waterlineY + 0.001; y < f.state.span / 2; y += 0.013)
        for (double x = -0.5; x <= 0.5; x += 0.05) {
            const PixelRecord r = atPlane(f.state, x, y);
            const Plane2 src = imageToPlane(f.state, r.sourceU, r.sourceV);
            ASSERT_LE(src.y, f.state.waterlineY + 1e-5);
            ASSERT_GE(r.weight, 0.0f);
            ASSERT_LE(r.weight, 1.0f);
        }
}

TEST(SimpleGeometry, RipplesDisturbOnlyAroundTheirCentre) {
    auto p = plainParams();
    p.waviness = 0;
    p.size = 5;
    p.pick_x = 0.5f;
    p.pick_y = 0.8f;
    auto flat = p;
    flat.height = 0;
    StateFixture a, b;
    a.setup(p, 400, 300);
    b.setup(flat, 400, 300);
    const Plane2 centre = imageToPlane(a.state, 0.5, 0.8);
    const PixelRecord near1 = atPlane(a.state, centre.x + 0.01, centre.y);
    const PixelRecord near0 = atPlane(b.state, centre.x + 0.01, centre.y);
    EXPECT_GT(std::hypot(near1.sourceU - near0.sourceU, near1.sourceV - near0.sourceV), 1e-5);
    const PixelRecord far1 = atPlane(a.state, centre.x + 0.45, centre.y);
    const PixelRecord far0 = atPlane(b.state, centre.x + 0.45, centre.y);
    EXPECT_EQ(far1.sourceU, far0.sourceU);
    EXPECT_EQ(far1.sourceV, far0.sourceV);
}

TEST(ComplexGeometry, SkyAndDistantWaterShowTheirOwnPixel) {
    auto p = plainParams(kStyleComplex);
    p.offset = 40;
    StateFixture f;
    f.setup(p);
    // Above the horizon, and between horizon and waterline (beyond the waterline distance).
    for (double y : {f.state.horizonY - 0.1, 0.5 * (f.state.horizonY + f.state.waterlineY)}) {
        const PixelRecord r = atPlane(f.state, 0.2, y);
        EXPECT_EQ(r.kind, kKindComplexDry) << y;
        const Plane2 own = planeToImage(f.state, 0.2, y);
        EXPECT_NEAR(r.sourceU, own.x, 1e-6);
        EXPECT_NEAR(r.sourceV, own.y, 1e-6);
    }
}

TEST(ComplexGeometry, WaterReflectsFromAboveTheWaterline) {
    auto p = plainParams(kStyleComplex);
    StateFixture f;
    f.setup(p);
    int wet = 0;
    for (double y = f.state.waterlineY + 0.02; y < f.state.span / 2; y += 0.02) {
        const PixelRecord r = atPlane(f.state, 0.05, y);
        if (r.kind != kKindComplexWater) continue;
        ++wet;
        const double n2 = r.hitNormal[0] * r.hitNormal[0] + r.hitNormal[1] * r.hitNormal[1] + r.hitNormal[2] * r.hitNormal[2];
        EXPECT_NEAR(n2, 1, 1e-9);
        EXPECT_LT(r.viewDirection[1], 0);
        EXPECT_EQ(r.hasFootprint, 1);
        EXPECT_LE(r.footprint[0] * r.footprint[0] + r.footprint[1] * r.footprint[1], 0.2026f);
        EXPECT_LE(r.footprint[2] * r.footprint[2] + r.footprint[3] * r.footprint[3], 0.2026f);
        EXPECT_GE(r.roughness[0], 0.04);
        EXPECT_GE(r.blurRadius, 0.0f);
        const Plane2 src = imageToPlane(f.state, r.sourceU, r.sourceV);
        EXPECT_LT(src.y, f.state.waterlineY + 0.05) << "reflection should come from above the water";
    }
    EXPECT_GT(wet, 5);
}

TEST(ComplexGeometry, NearerWaterReflectsHigherUp) {
    auto p = plainParams(kStyleComplex);
    p.waviness = 0;
    p.height = 0;
    StateFixture f;
    f.setup(p);
    double previous = 1e9;
    for (double y = f.state.horizonY + 0.02; y < f.state.span / 2; y += 0.03) {
        const PixelRecord r = atPlane(f.state, 0, y);
        ASSERT_EQ(r.kind, kKindComplexWater);
        const Plane2 src = imageToPlane(f.state, r.sourceU, r.sourceV);
        EXPECT_LT(src.y, previous);  // upside down: lower pixels show higher sources
        previous = src.y;
    }
}

// Waves far taller than the search slab: the deep end can still be above the surface.
TEST(ComplexGeometry, RayThatNeverReachesTheSurfaceIsDry) {
    auto p = plainParams(kStyleComplex);
    StateFixture f;
    f.setup(p);
    f.state.waveAmplitude = 1e4f;
    int dry = 0;
    for (double y = f.state.horizonY + 0.01; y < f.state.span / 2; y += 0.01)
        for (double x = -0.5; x <= 0.5; x += 0.1) {
            const PixelRecord r = atPlane(f.state, x, y);
            ASSERT_TRUE(r.kind == kKindComplexWater || r.kind == kKindComplexDry);
            ASSERT_TRUE(std::isfinite(r.sourceU) && std::isfinite(r.sourceV));
            if (r.kind == kKindComplexDry) {
                ++dry;
                const Plane2 own = planeToImage(f.state, x, y);
                ASSERT_NEAR(r.sourceU, own.x, 1e-6);
            } else {
                ASSERT_NE(r.hitPoint[0], -9.0);
            }
        }
    EXPECT_GT(dry, 0);
}

TEST(GeometryPass, PreviewStepAndPanMoveThePlanePoint) {
    auto p = plainParams();
    p.zoom = 4;
    p.pan_x = 40;
    p.pan_y = 20;
    StateFixture zoomed, full;
    zoomed.setup(p, 400, 300);
    auto q = p;
    q.zoom = 1;
    q.pan_x = q.pan_y = 0;
    full.setup(q, 400, 300);
    PixelRecord a{}, b{};
    pixelGeometry(zoomed.state, a, 10, 5, 0);
    pixelGeometry(full.state, b, 80, 40, 0);
    EXPECT_DOUBLE_EQ(a.planeX, b.planeX);
    EXPECT_DOUBLE_EQ(a.planeY, b.planeY);
}

TEST(GeometryGroups, TracingTogetherGivesTheRecordsAndCacheOfOneAtATime) {
    // Positions above and below the horizon, with keys that repeat out of order, so the
    // footprint cache is both reused and rebuilt between members of one group.
    for (int style : {kStyleSimple, kStyleComplex}) {
        auto p = plainParams(style);
        p.horizon = 40;
        StateFixture one, group;
        one.setup(p, 300, 200);
        group.setup(p, 300, 200);
        struct Position {
            float column, row;
            int32_t key;
        };
        std::vector<Position> positions;
        for (int i = 0; i < 37; ++i) {
            const float column = static_cast<float>((i * 53) % 300) + 0.25f * (i % 4);
            const float row = static_cast<float>((i * 29) % 200);
            positions.push_back({column, row, pixelKey(i % 5, i % 3)});
        }
        std::vector<PixelRecord> plain(positions.size()), together(positions.size());
        std::vector<FootprintCacheState> plainCache, groupCache;
        for (size_t i = 0; i < positions.size(); ++i) {
            pixelGeometry(one.state, plain[i], positions[i].column, positions[i].row, positions[i].key);
            plainCache.push_back(footprintCacheOf(one.state));
        }
        // Groups of every size up to a whole lane set and beyond.
        size_t i = 0;
        for (int size = 1; i < positions.size(); size = size % 11 + 1) {
            std::vector<GeometryTask> tasks(static_cast<size_t>(size));
            int n = 0;
            for (; n < size && i < positions.size(); ++n, ++i) {
                beginGeometry(group.state, tasks[static_cast<size_t>(n)], together[i], positions[i].column,
                              positions[i].row, positions[i].key);
                groupCache.push_back(footprintCacheOf(group.state));
            }
            finishGeometry(group.state, tasks.data(), n);
        }
        int wet = 0;
        for (size_t k = 0; k < positions.size(); ++k) {
            EXPECT_EQ(0, std::memcmp(&plain[k], &together[k], sizeof(PixelRecord))) << "style " << style << " at " << k;
            EXPECT_TRUE(sameFootprintCache(plainCache[k], groupCache[k])) << k;
            wet += plain[k].kind == kKindComplexWater;
        }
        if (style == kStyleComplex) {
            EXPECT_GT(wet, 10);
        }
    }
}

}  // namespace
}  // namespace tw
