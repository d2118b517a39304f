// The dice: ranges of every drawn value for both styles, what it must never touch, and the
// colour conversions it relies on.
#include "settings/random_settings.h"

#include <cmath>
#include <cstring>
#include <set>

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace tw {
namespace {

RenderParams Plain(int style) {
    RenderParams p{};
    ResetParams(p);
    p.style = style;
    p.horizon = 31;
    p.offset = 7;
    p.spin = -12;
    p.glue_mode = 17;
    p.pick_x = 0.3f;
    for (int i = 0; i < 30; ++i) p.framework_ints[i] = i * 3;
    return p;
}

bool Whole(float v) { return v == std::trunc(v); }

TEST(RandomDraws, RandomIntCoversItsRangeAndNothingElse) {
    platform::SeedRandom(99);
    for (auto [lo, hi] : {std::pair{0, 1}, {3, 80}, {1, 90}, {10, 70}, {0, 100}}) {
        std::set<int> seen;
        for (int i = 0; i < 20000; ++i) {
            const int v = RandomInt(lo, hi);
            ASSERT_GE(v, lo);
            ASSERT_LE(v, hi);
            seen.insert(v);
        }
        EXPECT_EQ(seen.size(), size_t(hi - lo + 1)) << lo << ".." << hi;
    }
    EXPECT_EQ(RandomInt(5, 5), 5);
    EXPECT_EQ(RandomInt(9, 2), 9);
    for (int i = 0; i < 1000; ++i) {
        const double f = RandomFraction();
        ASSERT_GE(f, 0.0);
        ASSERT_LE(f, 0.999);
    }
}

TEST(RandomSettings, SimpleStyleRangesAndUntouchedFields) {
    platform::SeedRandom(1234);
    int black = 0;
    const int draws = 5000;
    for (int i = 0; i < draws; ++i) {
        RenderParams p = Plain(kStyleSimple);
        const RenderParams before = p;
        RandomizeSettings(p);
        EXPECT_TRUE(p.waviness >= 10 && p.waviness <= 70 && Whole(p.waviness));
        EXPECT_TRUE(p.complexity >= 0 && p.complexity <= 60 && Whole(p.complexity));
        EXPECT_TRUE(p.brilliance >= 30 && p.brilliance <= 60);
        EXPECT_TRUE(p.blur >= 0 && p.blur <= 49 && Whole(p.blur));
        EXPECT_TRUE(p.perspective >= 20 && p.perspective <= 80);
        EXPECT_TRUE(p.altitude >= 1 && p.altitude <= 90);
        EXPECT_TRUE(p.size >= 20 && p.size <= 100);
        EXPECT_TRUE(p.height >= 0 && p.height <= 60);
        EXPECT_TRUE(p.undulation >= 3 && p.undulation <= 80);
        EXPECT_TRUE(p.seed >= 0 && p.seed <= 2047);
        EXPECT_EQ(std::memcmp(&p.glitter_color, &before.glitter_color, sizeof p.glitter_color), 0);
        const Rgb16 c = p.color;
        if (c.r == 0 && c.g == 0 && c.b == 0) ++black;
        // Lightness at most 0.25 and saturation at most 0.68 keep every channel at or below
        // 2 m2 - m1 = 0.76, the most a hue pushed past either end of the wheel can reach.
        EXPECT_LE(std::max({c.r, c.g, c.b}), 0.76 * 65535);

        // Everything else of the record is exactly as it was.
        RenderParams restored = p;
        for (float RenderParams::*f : {&RenderParams::waviness, &RenderParams::complexity, &RenderParams::brilliance,
                                       &RenderParams::blur, &RenderParams::perspective, &RenderParams::altitude,
                                       &RenderParams::size, &RenderParams::height, &RenderParams::undulation})
            restored.*f = before.*f;
        restored.seed = before.seed;
        restored.color = before.color;
        ASSERT_EQ(std::memcmp(&restored, &before, sizeof before), 0) << "draw " << i;
    }
    // Black whenever the fourth draw is above 40: 60 of its 101 values.
    EXPECT_NEAR(double(black) / draws, 60.0 / 101.0, 0.03);
}

TEST(RandomSettings, ComplexStyleRangesAndColours) {
    platform::SeedRandom(4321);
    float largest_blur = 0;
    for (int i = 0; i < 5000; ++i) {
        RenderParams p = Plain(kStyleComplex);
        RandomizeSettings(p);
        EXPECT_TRUE(p.complexity >= 10 && p.complexity <= 90);
        EXPECT_TRUE(p.brilliance >= 20 && p.brilliance <= 80);
        EXPECT_TRUE(p.blur >= 0 && p.blur <= 51.2f);
        EXPECT_TRUE(p.altitude >= 1 && p.altitude <= 50);
        EXPECT_TRUE(p.waviness >= 10 && p.waviness <= 70);
        EXPECT_TRUE(p.size >= 20 && p.size <= 100);
        largest_blur = std::max(largest_blur, p.blur);
        // Water: value 0.1..0.3, blue-green hue; glitter: value 0.5..1, saturation below 0.4.
        const Rgb16 w = p.color, g = p.glitter_color;
        const int wmax = std::max({w.r, w.g, w.b});
        EXPECT_GE(wmax, int(0.1 * 65535) - 1);
        EXPECT_LE(wmax, int(0.3 * 65535) + 1);
        EXPECT_LE(w.r, std::max(w.g, w.b)) << "the water is never reddest";
        const int gmax = std::max({g.r, g.g, g.b}), gmin = std::min({g.r, g.g, g.b});
        EXPECT_GE(gmax, int(0.5 * 65535) - 1);
        EXPECT_GE(gmin, int(gmax * 0.6) - 1);
        EXPECT_EQ(g.r, gmax) << "the glitter is warm";
        EXPECT_EQ(p.style, kStyleComplex);
    }
    EXPECT_GT(largest_blur, 20.0f);
}

TEST(RandomSettings, SameSeedSameSettings) {
    RenderParams a = Plain(kStyleComplex), b = Plain(kStyleComplex);
    platform::SeedRandom(77);
    RandomizeSettings(a);
    platform::SeedRandom(77);
    RandomizeSettings(b);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    RandomizeSettings(b);
    EXPECT_NE(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(ColourConversions, KnownColours) {
    auto expect = [](RgbFraction c, double r, double g, double b) {
        EXPECT_NEAR(c.r, r, 1e-9);
        EXPECT_NEAR(c.g, g, 1e-9);
        EXPECT_NEAR(c.b, b, 1e-9);
    };
    expect(HsvToRgb(0, 1, 1), 1, 0, 0);
    expect(HsvToRgb(1.0 / 3, 1, 1), 0, 1, 0);
    expect(HsvToRgb(0.5, 1, 0.5), 0, 0.5, 0.5);
    expect(HsvToRgb(0.9, 0, 0.4), 0.4, 0.4, 0.4);
    expect(HsvToRgb(1.0, 1, 1), 1, 0, 0);  // a full turn is sector 0
    expect(HsvToRgb(0.25, 0.5, 1), 0.75, 1, 0.5);
    expect(HslToRgb(0, 1, 0.5), 1, 0, 0);
    expect(HslToRgb(2.0 / 3, 1, 0.25), 0, 0, 0.5);
    expect(HslToRgb(0.3, 0, 0.6), 0.6, 0.6, 0.6);
    expect(HslToRgb(0.5, 1, 0), 0, 0, 0);

    double h, s, l;
    RgbToHsl({0.04, 0.05, 0.21}, h, s, l);
    EXPECT_NEAR(h, 0.6569, 1e-4);
    EXPECT_NEAR(s, 0.68, 1e-9);
    EXPECT_NEAR(l, 0.125, 1e-9);
    const RgbFraction back = HslToRgb(h, s, l);
    expect(back, 0.04, 0.05, 0.21);
}

TEST(ColourConversions, ShiftedHueBelowZeroIsClampedNotWrapped) {
    // Just below zero the hue truncates to sector 0 with a negative fraction, which pushes
    // a channel under 0; it must be stored as 0, not as a huge wrapped value.
    const RgbFraction c = HslToRgb(-0.09, 0.68, 0.25);
    EXPECT_LT(std::min({c.r, c.g, c.b}), 0.0);
    EXPECT_EQ(ChannelToWord(std::min({c.r, c.g, c.b})), 0);
    EXPECT_EQ(ChannelToWord(1.5), 65535);
    EXPECT_EQ(ChannelToWord(0.5), 32767);
    EXPECT_EQ(ChannelToWord(std::nan("")), 0);
}

}  // namespace
}  // namespace tw
