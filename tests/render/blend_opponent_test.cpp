// The opponent colour space of modes 54-57: its fixed points, and that the inverse table
// undoes the forward one inside the gamut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "render/blend_modes.h"

namespace tw {
namespace {

TEST(OpponentSpace, ForwardTableHitsItsReferencePoints) {
    struct Case {
        int r, g, b;     // grid indices 0..15
        int l, o1, o2;   // bytes
    };
    const Case cases[] = {
        {0, 0, 0, 0, 128, 128},      {15, 15, 15, 255, 128, 128}, {8, 8, 8, 163, 128, 128},
        {15, 0, 0, 144, 208, 208},   {0, 15, 0, 214, 51, 207},    {0, 0, 15, 104, 158, 33},
        {15, 15, 0, 243, 119, 222},
    };
    for (const Case& c : cases) {
        uint8_t e[3];
        opponentForwardEntry(c.r, c.g, c.b, e);
        EXPECT_EQ(e[0], c.l) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(e[1], c.o1) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(e[2], c.o2) << c.r << "," << c.g << "," << c.b;
    }
}

TEST(OpponentSpace, GreysSitOnTheAxisAndBrightenSteadily) {
    int previous = -1;
    for (int i = 0; i < 16; ++i) {
        uint8_t e[3];
        opponentForwardEntry(i, i, i, e);
        EXPECT_EQ(e[1], 128);
        EXPECT_EQ(e[2], 128);
        EXPECT_GT(int(e[0]), previous);
        previous = e[0];
    }
}

TEST(OpponentSpace, GreysAndNearGreysComeBack) {
    // A tint in the greys is the most visible fault a colour round trip can have; black
    // and white must be exact.
    int worst_grey = 0;
    for (int v = 0; v <= 32768; v += 128) {
        int grey[3] = {v, v, v}, o[3], back[3];
        rgbToOpponent(grey, o);
        EXPECT_NEAR(o[1], o[2], 1) << v;
        opponentToRgb(o, back);
        for (int k = 0; k < 3; ++k) worst_grey = std::max(worst_grey, std::abs(back[k] - v));
        if (v == 0 || v == 32768) {
            for (int k = 0; k < 3; ++k) EXPECT_EQ(back[k], v) << "black and white are exact";
        }
    }
    EXPECT_LE(worst_grey, 5 * 128) << "15-bit";
    // Colours a little off grey (skies, water, stone) keep their slight tint.
    double total = 0;
    int count = 0;
    for (int g = 2000; g <= 30000; g += 2000)
        for (int dr = -2600; dr <= 2600; dr += 1300)
            for (int db = -2600; db <= 2600; db += 1300) {
                int c[3] = {g + dr, g, g + db}, o[3], back[3];
                rgbToOpponent(c, o);
                opponentToRgb(o, back);
                for (int k = 0; k < 3; ++k) {
                    total += std::abs(back[k] - c[k]);
                    ++count;
                }
            }
    EXPECT_LE(total / count, 1.5 * 128) << "mean error near grey, 15-bit";
}

TEST(OpponentSpace, RoundTripInsideTheGamut) {
    // Both tables are sampled on a coarse grid, so the round trip carries interpolation
    // error. Most colours come back within a step or two; the largest errors sit on the
    // surface of the gamut, where a grid cell is partly outside it.
    std::vector<int> errors;
    for (int r = 0; r <= 32768; r += 32768 / 20)
        for (int g = 0; g <= 32768; g += 32768 / 20)
            for (int b = 0; b <= 32768; b += 32768 / 20) {
                int rgb[3] = {r, g, b}, o[3], back[3];
                rgbToOpponent(rgb, o);
                opponentToRgb(o, back);
                for (int k = 0; k < 3; ++k) errors.push_back(std::abs(back[k] - rgb[k]));
            }
    std::sort(errors.begin(), errors.end());
    auto bytes = [&](double fraction) {
        return errors[size_t(fraction * double(errors.size() - 1))] / 128.5;
    };
    EXPECT_LE(bytes(0.5), 1.0);
    EXPECT_LE(bytes(0.9), 6.0);
    EXPECT_LE(bytes(0.99), 20.0);
    EXPECT_LE(bytes(1.0), 44.0);
}

TEST(OpponentSpace, ModesWithAnIdentityChannelMixReturnTheColour) {
    // pin(v, v) = v, so occipital and limbic with one colour on both layers only round-trip
    // it; a black top leaves temporal's lightness alone and a white top parietal's.
    const float colours[][4] = {{0.8f, 0.2f, 0.1f, 1}, {0.1f, 0.6f, 0.9f, 1},
                                {0.5f, 0.5f, 0.5f, 1}, {0.95f, 0.9f, 0.3f, 1}};
    const float tolerance = 12.0f / 255.0f;  // the round trip alone costs up to about 9
    for (const auto& c : colours) {
        float out[4];
        for (int mode : {56, 57}) {
            blendPixel(c, c, out, mode);
            for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], c[k], tolerance) << "mode " << mode;
        }
        const float black[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
        blendPixel(black, c, out, 55);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], c[k], tolerance) << "temporal";
        blendPixel(white, c, out, 54);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(out[k], c[k], tolerance) << "parietal";
    }
}

}  // namespace
}  // namespace tw
