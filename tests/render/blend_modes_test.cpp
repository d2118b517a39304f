// Behaviour of blendPixel: hand-worked values, the relations between modes, the edge cases
// of the 8-bit-step modes, and that no input can push a result out of range.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "render/blend_modes.h"

namespace tw {
namespace {

struct Rgba {
    float c[4];
};

Rgba Blend(const Rgba& top, const Rgba& bottom, int mode) {
    Rgba out{{-7, -7, -7, -7}};
    blendPixel(top.c, bottom.c, out.c, mode);
    return out;
}

Rgba Grey(float v, float a = 1.0f) { return {{v, v, v, a}}; }

// One fixed-point step, plus a little for the float helpers.
constexpr float kStep = 1.0f / 32768.0f;

// The interesting channel values: both ends, the half, and values either side of it.
std::vector<float> Levels() {
    return {0.0f, kStep, 0.1f, 0.25f, 0.4999f, 0.5f, 0.5001f, 0.7f, 0.9f, 32767 * kStep, 1.0f};
}

TEST(BlendPixel, ModeOneAndNumbersOutsideTheTableCopyTheTop) {
    Rgba top{{0.2f, 1.7f, -0.3f, 0.4f}};  // even values out of range pass through untouched
    Rgba bottom{{0.9f, 0.1f, 0.5f, 1.0f}};
    for (int mode : {1, 0, -1, 70, 255, 100000}) {
        Rgba out = Blend(top, bottom, mode);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(out.c[k], top.c[k]) << "mode " << mode;
    }
}

TEST(BlendPixel, OutputMayShareTheInputArrays) {
    for (int mode = 1; mode <= kLastBlendMode; ++mode) {
        Rgba top{{0.8f, 0.3f, 0.6f, 0.7f}}, bottom{{0.2f, 0.9f, 0.4f, 1.0f}};
        Rgba expected = Blend(top, bottom, mode);
        Rgba in_top = top;
        blendPixel(in_top.c, bottom.c, in_top.c, mode);
        Rgba in_bottom = bottom;
        blendPixel(top.c, in_bottom.c, in_bottom.c, mode);
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(in_top.c[k], expected.c[k]) << "mode " << mode;
            EXPECT_EQ(in_bottom.c[k], expected.c[k]) << "mode " << mode;
        }
    }
}

// Values worked out by hand from each mode's formula, with a top and bottom chosen so that
// exchanging them, or mixing up the branches, gives a different answer.
TEST(BlendPixel, HandWorkedGreyValues) {
    struct Case {
        int mode;
        float top, bottom, expected;
    };
    const Case cases[] = {
        {2, 0.5f, 0.25f, 0.3125f},   // x < 0.5: xy + x(1 - x)
        {2, 0.5f, 0.75f, 0.6875f},   // y(1 - x) + x^2
        {3, 0.5f, 0.5f, 0.75f},      {3, 0.8f, 0.9f, 1.0f},
        {4, 0.25f, 0.5f, 0.5f},      {5, 0.25f, 0.75f, 0.75f},
        {6, 0.25f, 0.75f, 0.25f},    {7, 0.75f, 0.5f, 1.0f},
        {8, 0.75f, 0.5f, 0.25f},     {8, 0.25f, 0.5f, 0.0f},
        {9, 0.5f, 0.5f, 0.25f},      {10, 0.5f, 0.5f, 0.75f},
        {11, 0.25f, 0.75f, 0.375f},  // hard light: the top picks the branch
        {12, 0.25f, 0.75f, 0.625f},  // overlay: the bottom picks the branch
        {13, 0.0f, 0.0f, 0.0f},      // A = 1, S = 1: the upper branch, 2(1 - 1)(1 - 1)
        {13, 1.0f, 1.0f, 1.0f},      // A = 0: the lower branch, 1 - 0
        {17, 0.75f, 0.25f, 0.75f},   {17, 0.25f, 0.25f, 0.0f},
        {18, 0.25f, 0.75f, 0.5f},    {18, 0.75f, 0.25f, 0.5f},
        {19, 0.25f, 0.75f, 0.5f},    {19, 0.9f, 0.25f, 0.5f},
        {21, 0.75f, 0.25f, 1.0f},    {21, 0.5f, 0.25f, 0.75f},
        {24, 0.25f, 0.25f, 0.5f},    {24, 0.75f, 0.75f, 0.5f},
        {25, 0.5f, 0.5f, 1.0f},      {25, 1.0f, 0.5f, 0.0f},
        {26, 0.25f, 0.75f, 0.5f},    {30, 0.5f, 0.25f, 0.5f},
        {30, 1.0f, 0.0f, 1.0f},      {31, 0.5f, 0.75f, 0.5f},
        {32, 0.5f, 0.5f, 0.5f},      {32, 0.25f, 0.5f, 0.4375f},
        {33, 0.5f, 0.25f, 0.3125f},  {34, 0.5f, 0.25f, 0.375f},
        {35, 0.25f, 0.5f, 0.375f},   {39, 0.5f, 0.5f, 0.4375f},
        {52, 0.5f, 0.5f, 0.0f},      {52, 0.5f, 0.5001f, 1.0f},
        {58, 0.5f, 0.25f, 0.25f},    // x < y: x / 2y
        {58, 0.25f, 0.5f, 0.75f},    {58, 0.5f, 0.125f, 0.125f},
        {62, 0.5f, 0.5f, 0.5625f},   {68, 0.25f, 0.5f, 0.75f},
        {68, 0.75f, 0.5f, 0.75f},    {69, 0.25f, 0.25f, 0.75f},
        {69, 0.75f, 0.25f, 0.75f},   {69, 0.75f, 0.75f, 0.25f},
    };
    for (const Case& c : cases) {
        const float expected = c.expected;
        Rgba out = Blend(Grey(c.top, 0.6f), Grey(c.bottom), c.mode);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(out.c[k], expected, 2 * kStep)
                << "mode " << c.mode << " top " << c.top << " bottom " << c.bottom;
        EXPECT_EQ(out.c[3], 0.6f) << "mode " << c.mode;
    }
}

TEST(BlendPixel, ChannelCrossingModesRouteTheRightChannels) {
    Rgba top{{0.5f, 1.0f, 0.0f, 1.0f}};
    Rgba bottom{{0.25f, 0.5f, 0.75f, 1.0f}};
    struct Case {
        int mode;
        float r, g, b;
    };
    const Case cases[] = {
        {48, 0.25f, 1.0f, 0.375f},  // north
        {49, 0.5f, 0.75f, 0.75f},    // south
        {50, 0.375f, 0.625f, 0.1875f},  // east
        {51, 0.3125f, 0.875f, 0.375f},  // west
    };
    for (const Case& c : cases) {
        Rgba out = Blend(top, bottom, c.mode);
        EXPECT_NEAR(out.c[0], c.r, 2 * kStep) << "mode " << c.mode;
        EXPECT_NEAR(out.c[1], c.g, 2 * kStep) << "mode " << c.mode;
        EXPECT_NEAR(out.c[2], c.b, 2 * kStep) << "mode " << c.mode;
    }
}

TEST(BlendPixel, BrightAndDimTakeAWholeLayerAndTiesKeepTheTop) {
    Rgba top{{0.0f, 0.5f, 0.0f, 0.3f}};     // green: the brighter despite its lower red
    Rgba bottom{{0.6f, 0.0f, 0.0f, 1.0f}};
    Rgba bright = Blend(top, bottom, 28), dim = Blend(top, bottom, 29);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(bright.c[k], top.c[k], kStep);
        EXPECT_NEAR(dim.c[k], bottom.c[k], kStep);
    }
    EXPECT_EQ(dim.c[3], 0.3f);  // alpha stays the top's even when the bottom wins
    Rgba same_luma{{0.5f, 0.5f, 0.5f, 1.0f}};
    Rgba other{{0.5f + kStep, 0.5f, 0.5f, 1.0f}};  // brighter, but equal at 8-bit precision
    EXPECT_EQ(Blend(same_luma, other, 28).c[0], 0.5f);
    EXPECT_EQ(Blend(same_luma, other, 29).c[0], 0.5f);
}

TEST(BlendPixel, BitwiseModesWorkOnTheFifteenBitIntegers) {
    for (float x : Levels()) {
        if (x >= 1.0f) continue;
        EXPECT_EQ(Blend(Grey(1.0f), Grey(x), 36).c[0], 0.0f) << x;  // 32768 & below = 0
        EXPECT_EQ(Blend(Grey(1.0f), Grey(x), 37).c[0], 1.0f) << x;  // clamped to 1
    }
    EXPECT_EQ(Blend(Grey(0.75f), Grey(0.5f), 36).c[0], 0.5f);
    EXPECT_EQ(Blend(Grey(0.25f), Grey(0.5f), 37).c[0], 0.75f);
    EXPECT_EQ(Blend(Grey(0.75f), Grey(0.5f), 38).c[0], 0.25f);
}

TEST(BlendPixel, PairsOfModesRelateAsTheirFormulasSay) {
    // Modes 4 and 14 share one formula; several modes are each other's mirror image with
    // the layers exchanged; some are symmetric in the two layers.
    const int mirrors[][2] = {{4, 14},  {11, 12}, {18, 19}, {32, 35}, {33, 34},
                              {40, 41}, {64, 65}, {66, 67}};
    const int symmetric[] = {4, 5, 6, 7, 9, 10, 13, 24, 25, 26, 36, 37, 38, 39, 52, 62, 68};
    for (float y : Levels())
        for (float x : Levels()) {
            Rgba same = Blend(Grey(y), Grey(x), 4);
            EXPECT_EQ(Blend(Grey(y), Grey(x), 14).c[0], same.c[0]);
            for (const auto& pair : mirrors) {
                if (pair[0] == 4) continue;
                EXPECT_NEAR(Blend(Grey(y), Grey(x), pair[0]).c[0],
                            Blend(Grey(x), Grey(y), pair[1]).c[0], 1e-6f)
                    << "modes " << pair[0] << "/" << pair[1] << " top " << y << " bottom " << x;
            }
            for (int mode : symmetric)
                EXPECT_EQ(Blend(Grey(y), Grey(x), mode).c[0], Blend(Grey(x), Grey(y), mode).c[0])
                    << "mode " << mode << " top " << y << " bottom " << x;
        }
}

TEST(BlendPixel, VividAAtItsEightBitSteps) {
    // The top is read in 8-bit steps, (v + 1) / 128: 16382 is step 127, 16383 already 128.
    for (float x : Levels()) {
        float below = Blend(Grey(16382 * kStep), Grey(x), 20).c[0];
        float above = Blend(Grey(16383 * kStep), Grey(x), 20).c[0];
        EXPECT_NEAR(below, above, 3.0f / 255.0f) << "bottom " << x;
        EXPECT_NEAR(below, x, 3.0f / 255.0f) << "a mid-grey top leaves the bottom alone";
    }
    // A black top burns everything but full white to black; a white top the reverse.
    EXPECT_EQ(Blend(Grey(0.0f), Grey(254.0f / 256.0f), 20).c[0], 0.0f);
    EXPECT_EQ(Blend(Grey(0.0f), Grey(1.0f), 20).c[0], 1.0f);
    EXPECT_EQ(Blend(Grey(1.0f), Grey(127 * kStep), 20).c[0], 1.0f);
    EXPECT_EQ(Blend(Grey(1.0f), Grey(126 * kStep), 20).c[0], 0.0f);
    // Below full scale the result is r 128.5 for the 8-bit r.
    EXPECT_EQ(Blend(Grey(16384 * kStep), Grey(100 * 128 * kStep), 20).c[0],
              float(100 * 128 + 50) * kStep);
}

TEST(BlendPixel, SoftLightJoinsItsTwoHalves) {
    // Below one half the formula works in 15-bit steps, above it in 8-bit steps; the two
    // must meet where they change over, and the upper half must rise with the bottom.
    float previous = -1.0f;
    for (int xi = 0; xi <= 32768; xi += 512) {
        float x = float(xi) * kStep;
        float below = Blend(Grey(16383 * kStep), Grey(x), 27).c[0];
        float at = Blend(Grey(0.5f), Grey(x), 27).c[0];
        EXPECT_NEAR(below, at, 2.5f / 255.0f) << "bottom " << x;
        float upper = Blend(Grey(0.8f), Grey(x), 27).c[0];
        EXPECT_GE(upper, previous) << "bottom " << x;
        previous = upper;
    }
    EXPECT_NEAR(Blend(Grey(1.0f), Grey(1.0f), 27).c[0], 1.0f, 1.0f / 128.0f);
    EXPECT_EQ(Blend(Grey(0.25f), Grey(0.0f), 27).c[0], 0.0f);
}

TEST(BlendPixel, StarbrightTurnsBrightnessIntoAlpha) {
    Rgba black = Blend(Rgba{{0, 0, 0, 1}}, Grey(0.7f), 63);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(black.c[k], 0.0f);
    Rgba dim = Blend(Rgba{{0.5f, 0.25f, 0.0f, 0.9f}}, Grey(0.7f), 63);
    EXPECT_FLOAT_EQ(dim.c[0], 1.0f);
    EXPECT_FLOAT_EQ(dim.c[1], 0.5f);
    EXPECT_FLOAT_EQ(dim.c[2], 0.0f);
    EXPECT_FLOAT_EQ(dim.c[3], 0.5f);
    Rgba nan = Blend(Rgba{{NAN, -1.0f, NAN, 1.0f}}, Grey(0.7f), 63);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(nan.c[k], 0.0f);
}

TEST(BlendPixel, FloatModesAtTheirPoles) {
    EXPECT_EQ(Blend(Grey(0.0f), Grey(1.0f), 64).c[0], 1.0f);
    EXPECT_FLOAT_EQ(Blend(Grey(0.5f), Grey(0.5f), 64).c[0], 0.5f);
    EXPECT_FLOAT_EQ(Blend(Grey(0.3f), Grey(0.0f), 64).c[0], 0.09f);
    // Shimmer: r = y^2 / 2(1 - x) is kept up to one half, then bent to 1 - 1/4r.
    EXPECT_FLOAT_EQ(Blend(Grey(0.5f), Grey(0.0f), 66).c[0], 0.125f);
    EXPECT_FLOAT_EQ(Blend(Grey(1.0f), Grey(0.5f), 66).c[0], 0.75f);
    EXPECT_FLOAT_EQ(Blend(Grey(0.1f), Grey(0.0f), 64).c[0], 0.1f * 0.1f);  // not 15-bit
}

// Weights of the brightness the hue modes aim for, and of the one they preserve.
float HueLumaWeights(const Rgba& c) { return 0.28f * c.c[0] + 0.52f * c.c[1] + 0.2f * c.c[2]; }
float TargetLuma(const Rgba& c) {
    return (77.0f * c.c[0] + 150.0f * c.c[1] + 28.0f * c.c[2]) / 256.0f;
}

TEST(BlendPixel, HueModesKeepTheBrightnessTheyPromise) {
    const Rgba colours[] = {{{0.9f, 0.2f, 0.1f, 1}}, {{0.1f, 0.7f, 0.3f, 1}},
                            {{0.2f, 0.3f, 0.95f, 1}}, {{0.5f, 0.5f, 0.5f, 1}},
                            {{0.95f, 0.9f, 0.2f, 1}}, {{0.05f, 0.1f, 0.08f, 1}}};
    const float tolerance = 8 * kStep;
    for (const Rgba& top : colours)
        for (const Rgba& bottom : colours) {
            EXPECT_NEAR(HueLumaWeights(Blend(top, bottom, 15)), TargetLuma(bottom), tolerance);
            EXPECT_NEAR(HueLumaWeights(Blend(top, bottom, 16)), TargetLuma(top), tolerance);
            EXPECT_NEAR(HueLumaWeights(Blend(top, bottom, 22)), HueLumaWeights(bottom), tolerance);
            EXPECT_NEAR(HueLumaWeights(Blend(top, bottom, 23)), HueLumaWeights(bottom), tolerance);
        }
    // Colour over grey gives the top's hue: red stays the largest channel.
    Rgba red_over_grey = Blend(Rgba{{0.9f, 0.2f, 0.1f, 1}}, Grey(0.5f), 15);
    EXPECT_GT(red_over_grey.c[0], red_over_grey.c[1]);
    EXPECT_GT(red_over_grey.c[1], red_over_grey.c[2]);
}

TEST(BlendPixel, EveryModeStaysInRangeAndFinite) {
    std::vector<float> levels = {0.0f, kStep, 0.2f, 0.5f - kStep, 0.5f, 0.8f, 32767 * kStep, 1.0f};
    std::vector<Rgba> colours;
    for (float r : levels)
        for (float g : levels)
            for (float b : {0.0f, 0.3f, 0.5f, 1.0f}) colours.push_back({{r, g, b, 0.75f}});
    for (int mode = 1; mode <= kLastBlendMode; ++mode) {
        int failures = 0;
        for (const Rgba& top : colours)
            for (const Rgba& bottom : colours) {
                Rgba out = Blend(top, bottom, mode);
                for (int k = 0; k < 4 && failures < 5; ++k) {
                    if (!(out.c[k] >= 0.0f && out.c[k] <= 1.0f)) {
                        ++failures;
                        ADD_FAILURE() << "mode " << mode << " channel " << k << " = " << out.c[k];
                    }
                }
                if (mode != 63) {
                    EXPECT_EQ(out.c[3], 0.75f);
                }
                // The fixed-point modes give whole 15-bit steps.
                if (mode < 63 && mode != 1) {
                    for (int k = 0; k < 3; ++k) {
                        ASSERT_EQ(out.c[k] * 32768.0f, std::floor(out.c[k] * 32768.0f))
                            << "mode " << mode;
                    }
                }
            }
    }
}

TEST(BlendPixel, HostileInputsGiveFiniteResults) {
    // Highlights can overshoot 1 and a broken sample can be NaN or infinite; none of that
    // may overflow the integer arithmetic or leak out of the blend.
    const float hostile[] = {NAN, INFINITY, -INFINITY, -1.0f, 1.5f, 1e30f, -0.0f};
    for (int mode = 2; mode <= kLastBlendMode; ++mode)
        for (float t : hostile)
            for (float b : hostile) {
                Rgba out = Blend(Rgba{{t, 0.5f, t, 1.0f}}, Rgba{{b, b, 0.5f, 1.0f}}, mode);
                for (int k = 0; k < 3; ++k) {
                    // Starbright passes an overshooting top through, as normal does.
                    if (mode == 63) continue;
                    EXPECT_TRUE(std::isfinite(out.c[k])) << "mode " << mode;
                    {
                        EXPECT_GE(out.c[k], 0.0f) << "mode " << mode;
                        EXPECT_LE(out.c[k], 1.0f) << "mode " << mode;
                    }
                }
            }
}

}  // namespace
}  // namespace tw
