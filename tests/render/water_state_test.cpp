// Per-job set-up: derived constants, and survival of hostile parameter records.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "render/geometry.h"
#include "render/water_state.h"
#include "render_test_util.h"

namespace tw {
namespace {

using testing::plainParams;
using testing::StateFixture;

TEST(SetupWaterState, HorizonAndWaterlineFractions) {
    auto p = plainParams();
    p.horizon = 100;
    p.offset = 0;
    StateFixture f;
    f.setup(p);
    EXPECT_FLOAT_EQ(f.state.horizonFraction, 0.99f);
    EXPECT_FLOAT_EQ(f.state.waterlineY, f.state.horizonY);
    EXPECT_LT(f.state.horizonY, f.state.span / 2);  // never at the very bottom
    p.horizon = 50;
    p.offset = 100;
    p.spin = 30;
    f.setup(p);
    EXPECT_FLOAT_EQ(f.state.waterlineFraction, 1.0f);
    // The sampler's mirror line runs along the waterline, in source coordinates.
    const float* m = f.state.sampling.mirror_line;
    EXPECT_NEAR(imageToPlane(f.state, m[2], m[3]).y, f.state.waterlineY, 1e-6);
    EXPECT_NEAR(imageToPlane(f.state, m[4], m[5]).y, f.state.waterlineY, 1e-6);
    EXPECT_NEAR(m[0], m[4] - m[2], 1e-6);
}

TEST(SetupWaterState, SpanCoversThePlaneHeightOfThePicture) {
    auto p = plainParams();
    StateFixture f;
    p.spin = 0;
    f.setup(p, 200, 150);
    EXPECT_NEAR(f.state.span, 0.75, 1e-6);
    p.spin = 90;
    f.setup(p, 200, 150);
    EXPECT_NEAR(f.state.span, 1.0, 1e-6);
    p.spin = -45;
    f.setup(p, 200, 150);
    EXPECT_NEAR(f.state.span, (0.5 + 0.375) * std::sqrt(2.0), 1e-5);
}

TEST(SetupWaterState, PlaneMappingRoundTripsWithSpin) {
    auto p = plainParams();
    StateFixture f;
    for (float spin : {-90.0f, -33.0f, 0.0f, 12.5f, 90.0f}) {
        p.spin = spin;
        f.setup(p, 320, 90);
        for (double u : {0.0, 0.3, 1.0})
            for (double v : {0.0, 0.55, 1.0}) {
                const Plane2 q = imageToPlane(f.state, u, v);
                const Plane2 back = planeToImage(f.state, q.x, q.y);
                EXPECT_NEAR(back.x, u, 1e-9);
                EXPECT_NEAR(back.y, v, 1e-9);
            }
    }
}

TEST(SetupWaterState, SizeZeroMeansNoFlatRipples) {
    auto p = plainParams();
    p.size = 0;
    StateFixture f;
    f.setup(p);
    EXPECT_EQ(f.state.rippleSpread, 0.0f);
    EXPECT_EQ(f.state.rippleSpreadInv, 0.0f);
    // The ripple height then changes nothing in the Simple style.
    auto q = p;
    q.height = 100;
    StateFixture g;
    g.setup(q);
    PixelRecord a{}, b{};
    for (int r = 80; r < 150; r += 7) {
        pixelGeometry(f.state, a, 100, static_cast<float>(r), 0);
        pixelGeometry(g.state, b, 100, static_cast<float>(r), 0);
        EXPECT_EQ(a.sourceU, b.sourceU);
        EXPECT_EQ(a.sourceV, b.sourceV);
    }
}

TEST(SetupWaterState, LightAtTheRimIsLiftedJustAboveTheWater) {
    auto p = plainParams();
    p.light_dir[0] = 1;
    p.light_dir[1] = 0;
    p.light_dir[2] = 0;
    StateFixture f;
    f.setup(p);
    const double* l = f.state.lightDirection;
    EXPECT_NEAR(l[1], 0.01 / std::sqrt(1 + 1e-4), 1e-6);
    EXPECT_NEAR(l[0] * l[0] + l[1] * l[1] + l[2] * l[2], 1, 1e-6);
    // Straight overhead stays straight up.
    p.light_dir[0] = 0;
    p.light_dir[2] = 1;
    f.setup(p);
    EXPECT_DOUBLE_EQ(f.state.lightDirection[1], 1);
}

TEST(SetupWaterState, MarkerAboveTheHorizonDisablesComplexRipples) {
    auto p = plainParams(kStyleComplex);
    p.horizon = 50;
    p.pick_y = 0.2f;
    StateFixture f;
    f.setup(p);
    EXPECT_EQ(f.state.rippleRadius, 0.0);
    EXPECT_EQ(f.state.rippleRadiusInv, 1.0);
    p.pick_y = 0.8f;
    f.setup(p);
    EXPECT_GT(f.state.rippleRadius, 0.0);
    EXPECT_NEAR(f.state.rippleRadiusInv * f.state.rippleRadius, 1.0, 1e-12);
}

TEST(SetupWaterState, WorkersNeverExceedTheJobRows) {
    auto p = plainParams();
    StateFixture f;
    f.setup(p, 200, 150, {10, 0, 11, 64});
    EXPECT_EQ(f.state.workerCount, 1);
    f.setup(p, 200, 150, {0, 0, 64, 64});
    EXPECT_GE(f.state.workerCount, 1);
    EXPECT_LE(f.state.workerCount, 64);
}

TEST(SetupWaterState, SlopeVariancesGrowWithWaviness) {
    auto p = plainParams(kStyleComplex);
    StateFixture calm, rough;
    p.waviness = 10;
    calm.setup(p);
    p.waviness = 90;
    rough.setup(p);
    for (int k = 0; k < 5; ++k) {
        EXPECT_GT(calm.state.slopeVarianceX[k], 0);
        EXPECT_GT(rough.state.slopeVarianceX[k], calm.state.slopeVarianceX[k]);
        EXPECT_GT(rough.state.slopeVarianceZ[k], calm.state.slopeVarianceZ[k]);
    }
    EXPECT_EQ(rough.state.octaveWeight[4], 1.0);
    EXPECT_EQ(rough.state.footprintKey, kNoFootprintKey);
}

constexpr float SliderValues::*kDerived[kSliderCount] = {
    &SliderValues::horizon,    &SliderValues::offset,     &SliderValues::spin,  &SliderValues::perspective,
    &SliderValues::altitude,   &SliderValues::waviness,   &SliderValues::complexity,
    &SliderValues::brilliance, &SliderValues::blur,       &SliderValues::size,  &SliderValues::height,
    &SliderValues::undulation};

// Old files and scripts can carry anything; set-up must clamp and the passes must survive.
TEST(SetupWaterState, HostileRecordsAreSanitisedWithoutTouchingTheRecord) {
    const float hostile[] = {NAN, INFINITY, -INFINITY, -1.0f, 1e9f, -1e9f, 101.0f};
    for (int style : {kStyleSimple, kStyleComplex}) {
        for (int i = 0; i < kSliderCount; ++i) {
            for (float value : hostile) {
                auto p = plainParams(style);
                p.*kSliders[i].field = value;
                const auto before = p;
                StateFixture f;
                f.setup(p, 90, 70, {0, 0, 8, 8});
                EXPECT_EQ(std::memcmp(&before, &p, sizeof p), 0);
                const float got = f.state.slider.*kDerived[i];
                if (std::isfinite(value)) {
                    EXPECT_GE(got, kSliders[i].min);
                    EXPECT_LE(got, kSliders[i].max);
                } else {
                    EXPECT_EQ(got, kSliders[i].plain[0]) << kSliders[i].label;
                }
                for (int k = 0; k < 5; ++k) {
                    ASSERT_TRUE(std::isfinite(f.state.shapeScale[k]));
                    ASSERT_TRUE(std::isfinite(f.state.slopeVarianceX[k]));
                }
                PixelRecord rec{};
                for (int r = 0; r < 70; r += 9) {
                    pixelGeometry(f.state, rec, 45, static_cast<float>(r), pixelKey(45, r));
                    ASSERT_TRUE(rec.sourceU == -1 || std::isfinite(rec.sourceU)) << kSliders[i].label << " " << value;
                    ASSERT_TRUE(std::isfinite(rec.weight));
                    ASSERT_TRUE(std::isfinite(rec.blurRadius));
                }
            }
        }
    }
}

TEST(SetupWaterState, HostileIntegersAndFractions) {
    for (int32_t v : {INT32_MIN, -1, 0, INT32_MAX}) {
        auto p = plainParams(kStyleComplex);
        p.seed = v;
        p.zoom = v;
        p.pan_x = v;
        p.pan_y = v;
        p.render_mode = v;
        p.style = v;
        p.pick_x = NAN;
        p.pick_y = -INFINITY;
        p.light_dir[1] = NAN;
        StateFixture f;
        f.setup(p, v > 0 ? 40 : v, 30);
        EXPECT_GE(f.state.previewStep, 1);
        EXPECT_GE(f.state.seed, 0);
        EXPECT_LE(f.state.seed, 2047);
        EXPECT_TRUE(std::isfinite(f.state.lightDirection[0]));
        EXPECT_GE(f.state.pickX, 0.0f);
        EXPECT_LE(f.state.pickY, 1.0f);
        EXPECT_GE(f.state.imageWidth, 1.0f);
    }
}

// Every render mode and style against the pass mode and the footprint lookups' state;
// render modes other than the preview's, even broken ones, render as the final pass.
TEST(SetupWaterState, PassModeAndSamplingFollowRenderModeAndStyle) {
    struct Row {
        int32_t renderMode, style;
        PassMode pass;
        int32_t maxTaps;
        uint8_t isotropic, jitter;
    };
    const Row rows[] = {
        {kRenderFinal, kStyleSimple, PassMode::kFinal, 50, 1, 0},
        {kRenderFinal, kStyleComplex, PassMode::kFinal, 50, 0, 0},
        {kRenderPreview, kStyleSimple, PassMode::kSimplePreview, 10, 1, 0},
        {kRenderPreview, kStyleComplex, PassMode::kComplexPreview, 10, 0, 1},
        {INT32_MIN, kStyleComplex, PassMode::kFinal, 50, 0, 0},
        {kRenderPreview, -7, PassMode::kSimplePreview, 10, 1, 0},
    };
    for (const Row& row : rows) {
        auto p = plainParams(row.style);
        p.render_mode = row.renderMode;
        StateFixture f;
        f.setup(p);
        const SamplingState& st = f.state.sampling;
        EXPECT_EQ(f.state.passMode, row.pass) << row.renderMode << " " << row.style;
        EXPECT_EQ(st.max_taps, row.maxTaps) << row.renderMode << " " << row.style;
        EXPECT_EQ(st.isotropic_lod, row.isotropic) << row.renderMode << " " << row.style;
        EXPECT_EQ(st.jitter_taps, row.jitter) << row.renderMode << " " << row.style;
        EXPECT_EQ(st.permutation, f.noise.perm);
    }
}

// The eye, the waterline distance and the Complex ripples' centre all stand on one eye
// height: the centre lies where the marker's ray from that eye meets the water.
TEST(SetupWaterState, EyeHeightIsWhereTheRaysStart) {
    auto p = plainParams(kStyleComplex);
    StateFixture f;
    for (float altitude : {0.0f, 40.0f, 100.0f}) {
        p.altitude = altitude;
        p.pick_x = 0.3f;
        p.pick_y = 0.9f;
        f.setup(p);
        EXPECT_NEAR(f.state.eyeHeight, 1.1 + 20 * altitude / 100, 1e-6);
        const Plane2 m = imageToPlane(f.state, p.pick_x, p.pick_y);
        const Vec3 d = viewDirection(f.state, m.x, m.y - f.state.horizonY);
        ASSERT_LT(d.y, 0);
        const double t = -f.state.eyeHeight / d.y;
        EXPECT_NEAR(f.state.rippleCentreWorld[0], d.x * t, 1e-9);
        EXPECT_NEAR(f.state.rippleCentreWorld[2], d.z * t, 1e-9);
    }
}

}  // namespace
}  // namespace tw
