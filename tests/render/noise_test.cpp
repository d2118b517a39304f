// Noise tables and the wave surface.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "render/noise.h"
#include "render/water_state.h"
#include "render_test_util.h"

namespace tw {
namespace {

TEST(NoiseTables, PermutationIsRotatedBySeedAndRepeated) {
    NoiseTables a, b;
    buildNoiseTables(a, 0);
    buildNoiseTables(b, 5);
    std::set<int> seen(a.perm, a.perm + 256);
    EXPECT_EQ(seen.size(), 256u);
    EXPECT_EQ(*seen.begin(), 0);
    EXPECT_EQ(*seen.rbegin(), 255);
    EXPECT_EQ(a.perm[0], 151);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(a.perm[i + 256], a.perm[i]);
        EXPECT_EQ(b.perm[i], a.perm[(i + 5) % 256]);
    }
}

TEST(NoiseTables, SeedsAPermutationApartShareOnlyThePermutation) {
    NoiseTables a, b;
    buildNoiseTables(a, 0);
    buildNoiseTables(b, 256);
    EXPECT_TRUE(std::equal(a.perm, a.perm + 512, b.perm));
    EXPECT_FALSE(std::equal(a.mixTable, a.mixTable + kMixTableSize, b.mixTable));
    // Ripple centres and the wave domain shift follow from the rest of the seed.
    auto pa = testing::plainParams(kStyleComplex), pb = pa;
    pa.seed = 0;
    pb.seed = 256;
    testing::StateFixture fa, fb;
    fa.setup(pa);
    fb.setup(pb);
    bool rippleDiffers = false;
    for (int k = 0; k < 9; ++k) rippleDiffers |= fa.state.rippleX[k] != fb.state.rippleX[k];
    EXPECT_TRUE(rippleDiffers);
    EXPECT_NE(waveHeight(1.3, 0, 7.1, fa.state, 5), waveHeight(1.3, 0, 7.1, fb.state, 5));
}

// The program table decides where ripples sit in every stored setting; it must not drift.
TEST(NoiseTables, ProgramTableStaysFixed) {
    NoiseTables t;
    buildNoiseTables(t, 1841);
    long sum = 0;
    for (int k = 0; k < kMixTableSize; ++k) sum += static_cast<long>(t.mixTable[k]) * (k + 1);
    EXPECT_EQ(sum, 261348605L);
}

TEST(GradientNoise, ZeroAtLatticePointsAndBounded) {
    NoiseTables t;
    buildNoiseTables(t, 77);
    for (int x = -5; x <= 300; x += 7)
        for (int y = -3; y <= 9; ++y) {
            EXPECT_EQ(gradientNoiseQuintic(t, static_cast<float>(x), static_cast<float>(y)), 0.0f);
            EXPECT_EQ(gradientNoiseCubic(t, static_cast<float>(x), static_cast<float>(y)), 0.0f);
        }
    float lo = 0, hi = 0;
    for (int i = 0; i < 20000; ++i) {
        const float x = i * 0.0137f - 40, y = i * 0.0291f - 90;
        const float q = gradientNoiseQuintic(t, x, y), c = gradientNoiseCubic(t, x, y);
        lo = std::min({lo, q, c});
        hi = std::max({hi, q, c});
    }
    EXPECT_GE(lo, -1.0f);
    EXPECT_LE(hi, 1.0f);
    EXPECT_LT(lo, -0.3f);  // not degenerate
    EXPECT_GT(hi, 0.3f);
}

TEST(GradientNoise, ContinuousAcrossCellBorders) {
    NoiseTables t;
    buildNoiseTables(t, 3);
    for (float x = -3.0f; x < 3.0f; x += 1.0f) {
        const float a = gradientNoiseQuintic(t, x - 1e-4f, 0.37f), b = gradientNoiseQuintic(t, x + 1e-4f, 0.37f);
        EXPECT_NEAR(a, b, 1e-3f);
        const float c = gradientNoiseCubic(t, 0.61f, x - 1e-4f), d = gradientNoiseCubic(t, 0.61f, x + 1e-4f);
        EXPECT_NEAR(c, d, 1e-3f);
    }
}

TEST(GradientNoise, HugeOrNonFiniteCoordinatesGiveFiniteValues) {
    NoiseTables t;
    buildNoiseTables(t, 9);
    for (float v : {1e30f, -1e30f, INFINITY, -INFINITY, NAN, 3e9f}) {
        EXPECT_TRUE(std::isfinite(gradientNoiseQuintic(t, v, 0.5f)));
        EXPECT_TRUE(std::isfinite(gradientNoiseCubic(t, 0.5f, v)));
    }
}

TEST(FlatDisplacement, FractionalOctaveAndHostileCounts) {
    NoiseTables t;
    buildNoiseTables(t, 12);
    // Complexity 0 gives one full octave plus a 0.01 fraction of the next.
    const Displacement one = flatDisplacement(t, 3.3f, 1.7f, 2.0f);
    const Displacement low = flatDisplacement(t, 3.3f, 1.7f, 1.01f);
    EXPECT_NE(one.dx, 0.0f);
    EXPECT_NEAR(low.dx, one.dx, 0.011f);
    EXPECT_NEAR(low.dz, one.dz, 0.011f);
    // A wild octave count is bounded instead of looping for ever.
    for (float n : {1e9f, INFINITY, NAN, -5.0f}) {
        const Displacement d = flatDisplacement(t, 3.3f, 1.7f, n);
        EXPECT_TRUE(std::isfinite(d.dx) && std::isfinite(d.dz)) << n;
    }
}

TEST(BumpShape, PeriodicWithSharperCrestsForSmallSharpness) {
    constexpr double kTwoPi = 6.283185307179586;
    for (double s : {0.0, 0.01, 0.3}) {
        EXPECT_NEAR(bumpShape(0.4, 1.1, s), bumpShape(0.4 + kTwoPi, 1.1 - kTwoPi, s), 1e-6);
    }
    // Shapes normalised by set-up have zero mean and a peak-to-peak height of 0.25.
    testing::StateFixture f;
    f.setup(testing::plainParams(kStyleComplex));
    for (int k = 0; k < 5; ++k) {
        double hi = -1e9, lo = 1e9, sum = 0;
        for (int i = 0; i < 40; ++i)
            for (int j = 0; j < 40; ++j) {
                const double v = bumpShape(i * kTwoPi / 40, j * kTwoPi / 40, f.state.sharpness[k]) * f.state.shapeScale[k] +
                                 f.state.shapeOffset[k];
                hi = std::max(hi, v);
                lo = std::min(lo, v);
                sum += v;
            }
        EXPECT_NEAR(hi - lo, 0.25, 1e-9);
        EXPECT_NEAR(sum / 1600, 0, 1e-9);
    }
}

TEST(RippleHeight, OnlyStrictlyInsideTheRadius) {
    testing::StateFixture f;
    f.setup(testing::plainParams(kStyleComplex));
    WaterState& s = f.state;
    s.rippleRadius = 2;
    s.rippleRadiusInv = 0.5;
    s.rippleHeight = 0.2f;
    s.rippleCentreWorld[0] = 10;
    s.rippleCentreWorld[2] = 20;
    for (int k = 0; k < 9; ++k) s.worldRippleX[k] = s.worldRippleZ[k] = 0;
    EXPECT_EQ(rippleHeight(12, 20, s), 0.0);      // exactly one radius away
    EXPECT_EQ(rippleHeight(10, 22.5, s), 0.0);    // beyond
    EXPECT_NE(rippleHeight(10.7, 20.3, s), 0.0);  // inside
    s.rippleRadius = 0;
    EXPECT_EQ(rippleHeight(10.7, 20.3, s), 0.0);  // no ripples at all
}

TEST(SurfaceNormal, UnitLengthAndUpOnFlatWater) {
    auto p = testing::plainParams(kStyleComplex);
    testing::StateFixture f;
    f.setup(p);
    for (int k = 0; k < 5; ++k) f.state.octaveWeight[k] = 1;
    for (double x = -3; x < 3; x += 0.77) {
        const Vec3 n = surfaceNormal(x, 0, 9.5 + x, f.state);
        EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0, 1e-9);
        EXPECT_GT(n.y, 0);
    }
    p.waviness = 0;
    p.height = 0;
    f.setup(p);
    const Vec3 flat = surfaceNormal(1.5, 0, 4.25, f.state);
    EXPECT_NEAR(flat.y, 1.0, 1e-12);
}

}  // namespace
}  // namespace tw
