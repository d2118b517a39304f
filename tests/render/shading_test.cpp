// Water shading of both styles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/shading.h"
#include "render_test_util.h"

namespace tw {
namespace {

using testing::plainParams;
using testing::StateFixture;

// A Complex water record on flat water, seen at `viewY` (negative: looking down).
PixelRecord complexRecord(double viewX, double viewY, double viewZ) {
    PixelRecord r{};
    r.kind = kKindComplexWater;
    const double len = std::sqrt(viewX * viewX + viewY * viewY + viewZ * viewZ);
    const double v[3] = {viewX / len, viewY / len, viewZ / len};
    for (int i = 0; i < 3; ++i) {
        r.viewDirection[i] = v[i];
        r.reversedView[i] = -v[i];
        r.hitNormal[i] = i == 1 ? 1 : 0;
        r.hitPoint[i] = 0;
    }
    r.roughness[0] = r.roughness[1] = 0.04;
    return r;
}

// A state whose Complex shading is the Fresnel blend alone: no tints, no glitter.
WaterState plainFresnelState(float brilliance) {
    auto p = plainParams(kStyleComplex);
    p.brilliance = brilliance;
    StateFixture f;
    f.setup(p);
    WaterState s = f.state;
    for (int i = 0; i < 3; ++i) s.skyTint[i] = s.glitterColour[i] = s.waterColourThird[i] = 0;
    s.noise = nullptr;
    return s;
}

double contrast(double c, double beta) { return (c - c * c) * beta + c * c; }

TEST(FastPower, CloseToTheTruePowerAndNeverNegative) {
    for (double e : {0.5, 1.0, 2.0, 4.0})
        for (double b = 0.05; b <= 1.0; b += 0.05) {
            const double got = fastPower(b, e), want = std::pow(b, e);
            EXPECT_NEAR(got, want, 0.12 * want + 0.01) << b << "^" << e;
        }
    for (double b : {0.0, -0.5, 1e-300, 1e-12}) {
        const double got = fastPower(b, 4);
        EXPECT_GE(got, 0.0);
        EXPECT_LT(got, 1e-6);
    }
}

TEST(Tone, BranchesMeetAt1413) {
    const double below = glitterTone(std::nextafter(1.413, 0.0)), at = glitterTone(1.413);
    EXPECT_NEAR(below, 0.7566, 5e-4);
    EXPECT_NEAR(at, 0.7566, 5e-4);
    EXPECT_EQ(glitterTone(0), 0);
    EXPECT_LT(glitterTone(100), 1.0 + 1e-12);
}

TEST(ErfcApprox, MatchesTheLibraryFunction) {
    for (double t = -3; t <= 3; t += 0.25) EXPECT_NEAR(erfcApprox(t), std::erfc(t), 0.01) << t;
}

TEST(ShadeWater, SimpleTintsTowardsTheWaterColour) {
    StateFixture f;
    f.setup(plainParams());
    PixelRecord r{};
    r.kind = kKindSimpleWater;
    r.weight = 0;
    float c[4] = {1, 0.5f, 0, 0.7f};
    EXPECT_EQ(shadeWater(c, f.state, r, kShadeNormal), kKindSimpleWater);
    EXPECT_FLOAT_EQ(c[0], f.state.waterColour[0]);
    EXPECT_FLOAT_EQ(c[2], f.state.waterColour[2]);
    EXPECT_FLOAT_EQ(c[3], 0.7f);  // alpha untouched
    r.weight = 1;
    float d[4] = {1, 0.5f, 0, 0.7f};
    shadeWater(d, f.state, r, kShadeNormal);
    EXPECT_FLOAT_EQ(d[1], 0.5f);
    EXPECT_EQ(r.luminance, -99.0f);
}

TEST(ShadeWater, DryPixelsPassUnchanged) {
    StateFixture f;
    f.setup(plainParams(kStyleComplex));
    for (int kind : {kKindDry, kKindComplexDry, kKindComplexTracing}) {
        PixelRecord r{};
        r.kind = kind;
        float c[4] = {0.1f, 0.2f, 0.3f, 0.4f};
        EXPECT_EQ(shadeWater(c, f.state, r, kShadeWhite), kind);
        EXPECT_EQ(c[0], 0.1f);
        EXPECT_EQ(c[3], 0.4f);
        EXPECT_EQ(r.luminance, -99.0f);
    }
}

TEST(ShadeWater, BrillianceSetsTheFresnelExponent) {
    const double view[3] = {0, -0.6, 0.8};  // c = 0.6
    for (auto [brilliance, exponent, beta] : {std::tuple{100.0f, 0.5, 1.0}, std::tuple{0.0f, 4.0, 0.3}}) {
        WaterState s = plainFresnelState(brilliance);
        PixelRecord r = complexRecord(view[0], view[1], view[2]);
        float c[4] = {0, 0, 0, 1};
        shadeWater(c, s, r, kShadeWhite);
        const double want = contrast(std::pow(0.4, exponent), beta);
        EXPECT_NEAR(r.luminance, want, 0.1 * want) << brilliance;
    }
}

TEST(ShadeWater, LookingStraightDownShowsTheWaterColourThird) {
    auto p = plainParams(kStyleComplex);
    p.brilliance = 100;  // contrast curve becomes the identity
    StateFixture f;
    f.setup(p);
    WaterState s = f.state;
    for (int i = 0; i < 3; ++i) s.glitterColour[i] = 0;
    s.lightDirection[0] = 1;  // sun far from the mirror direction
    s.lightDirection[1] = 0;
    s.lightDirection[2] = 0;
    prepareShadingLight(s);
    PixelRecord r = complexRecord(0, -1, 0);
    float c[4] = {0.9f, 0.9f, 0.9f, 1};
    shadeWater(c, s, r, kShadeNormal);
    const double tint = (0 - s.waveAmplitude) * 0.18 * 0.001;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c[i], s.waterColourThird[i] + s.skyTint[i] * tint, 1e-5);
}

TEST(ShadeWater, SunInTheMirrorDirectionAddsAHighlight) {
    StateFixture f;
    f.setup(plainParams(kStyleComplex));
    WaterState s = f.state;
    PixelRecord lit = complexRecord(0, -0.3, 0.95), dark = lit;
    // Light along the mirrored view direction.
    s.lightDirection[0] = lit.viewDirection[0];
    s.lightDirection[1] = -lit.viewDirection[1];
    s.lightDirection[2] = lit.viewDirection[2];
    prepareShadingLight(s);
    float a[4] = {0.2f, 0.2f, 0.2f, 1}, b[4] = {0.2f, 0.2f, 0.2f, 1};
    shadeWater(a, s, lit, kShadeNormal);
    s.lightDirection[0] = 1;
    s.lightDirection[1] = 0.01;
    s.lightDirection[2] = 0;
    prepareShadingLight(s);
    shadeWater(b, s, dark, kShadeNormal);
    EXPECT_GT(a[0], b[0] + 0.5f);
}

TEST(ShadeWater, DegenerateInputsNeverGiveNaN) {
    StateFixture f;
    f.setup(plainParams(kStyleComplex));
    PixelRecord r = complexRecord(0, -1, 0);
    for (double& n : r.hitNormal) n = 0;  // a degenerate normal
    float c[4] = {0.5f, 0.5f, 0.5f, 1};
    shadeWater(c, f.state, r, kShadeWhite);
    for (float v : c) EXPECT_FALSE(std::isnan(v));
    EXPECT_FALSE(std::isnan(r.luminance));
    PixelRecord up = complexRecord(0, -1e-9, 1);  // grazing
    float d[4] = {0.5f, 0.5f, 0.5f, 1};
    shadeWater(d, f.state, up, kShadeNormal);
    for (float v : d) EXPECT_TRUE(std::isfinite(v));
}

// Two neighbouring supersampled pixels shade a shared sub-sample with different colours; the
// second takes the highlight the first stored. Either way the result must be shadeWater's bits.
TEST(ShadeWater, KeptHighlightGivesShadeWatersBits) {
    StateFixture f;
    f.setup(plainParams(kStyleComplex));
    WaterState s = f.state;
    const double views[][3] = {{0, -0.3, 0.95}, {0.4, -0.2, 0.9}, {-0.7, -0.6, 0.3}, {0, -1e-9, 1}};
    const double normals[][3] = {{0, 1, 0}, {0.2, 0.97, -0.1}, {-0.3, 0.9, 0.3}};
    const float colours[][4] = {{0.2f, 0.5f, 0.9f, 1}, {1, 0.1f, 0, 0.5f}};
    int lit = 0;
    for (const auto& view : views) {
        for (const auto& normal : normals) {
            PixelRecord r = complexRecord(view[0], view[1], view[2]);
            const double len = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
            for (int i = 0; i < 3; ++i) r.hitNormal[i] = normal[i] / len;
            r.roughness[0] = 0.05;
            r.roughness[1] = 0.09;
            // The sun along the mirrored view, so the glitter and the sun's image are not 0.
            s.lightDirection[0] = r.viewDirection[0];
            s.lightDirection[1] = std::fabs(r.viewDirection[1]) + 0.05;
            s.lightDirection[2] = r.viewDirection[2];
            prepareShadingLight(s);
            Highlight kept{0, false};
            for (const auto& colour : colours) {
                for (int mode : {kShadeNormal, kShadeWhite}) {
                    float want[4], got[4];
                    std::copy(colour, colour + 4, want);
                    std::copy(colour, colour + 4, got);
                    PixelRecord a = r, b = r;
                    shadeWater(want, s, a, mode);
                    EXPECT_EQ(shadeWaterKeeping(got, s, b, mode, &kept), kKindComplexWater);
                    EXPECT_TRUE(kept.known);
                    EXPECT_EQ(std::memcmp(want, got, sizeof want), 0) << view[0] << ", " << view[1] << " mode " << mode;
                    EXPECT_EQ(std::memcmp(&a.luminance, &b.luminance, sizeof a.luminance), 0);
                }
            }
            lit += kept.value > 0.01;
            // A kept value is really taken, not computed again.
            float once[4] = {0.5f, 0.5f, 0.5f, 1}, other[4] = {0.5f, 0.5f, 0.5f, 1};
            PixelRecord a = r, b = r;
            Highlight wrong{kept.value + 1, true};
            shadeWaterKeeping(once, s, a, kShadeNormal, &kept);
            shadeWaterKeeping(other, s, b, kShadeNormal, &wrong);
            EXPECT_NE(once[0], other[0]);
        }
    }
    EXPECT_GT(lit, 0);  // some of the cases have a highlight worth keeping

    // Other kinds have no highlight: nothing is stored.
    PixelRecord simple{};
    simple.kind = kKindSimpleWater;
    simple.weight = 0.5f;
    Highlight none{0, false};
    float c[4] = {0.5f, 0.5f, 0.5f, 1};
    EXPECT_EQ(shadeWaterKeeping(c, s, simple, kShadeNormal, &none), kKindSimpleWater);
    EXPECT_FALSE(none.known);
}

}  // namespace
}  // namespace tw
