// The dice: ranges of every drawn value for both styles, what it must never touch, and the
// colour conversions it relies on.
#include "settings/random_settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "params/parameter_table.h"
#include "params/settings_precision.h"
#include "platform/platform.h"
#include "settings/settings_file.h"

namespace tw {
namespace {

RenderParams Plain(int style) {
    RenderParams p{};
    ResetParams(p);
    p.style = style;
    p.horizon = 31, p.offset = 7, p.spin = -12, p.glue_mode = 17, p.pick_x = 0.3f;
    for (int i = 0; i < 30; ++i) p.framework_ints[i] = i * 3;
    return p;
}

TEST(RandomDraws, RandomIntCoversItsRangeAndNothingElse) {
    platform::SeedRandom(99);
    for (auto [lo, hi] : {std::pair{0, 1}, {3, 80}, {1, 90}, {0, 100}}) {
        std::set<int> seen;
        for (int i = 0; i < 20000; ++i) seen.insert(RandomInt(lo, hi));
        EXPECT_EQ(seen.size(), size_t(hi - lo + 1)) << lo << ".." << hi;
        EXPECT_EQ(*seen.begin(), lo);
        EXPECT_EQ(*seen.rbegin(), hi);
    }
    EXPECT_EQ(RandomInt(9, 2), 9);
    std::set<double> fractions;
    for (int i = 0; i < 20000; ++i) fractions.insert(RandomFraction());
    EXPECT_EQ(fractions.size(), 1000u);
    EXPECT_NEAR(*fractions.rbegin(), 0.999, 1e-12);
}

struct Range {
    float RenderParams::*field;
    float lo, hi;
};

// Draws many times and checks each drawn value's range; everything else must stay as it was.
void CheckDraws(int style, std::initializer_list<Range> ranges, int& black) {
    black = 0;
    for (int i = 0; i < 4000; ++i) {
        RenderParams p = Plain(style);
        const RenderParams before = p;
        RandomizeSettings(p);
        RenderParams restored = p;
        for (const Range& r : ranges) {
            ASSERT_TRUE(p.*r.field >= r.lo && p.*r.field <= r.hi) << p.*r.field << " draw " << i;
            // Every value is a whole number, except the complex style's rescaled blur.
            ASSERT_TRUE(style == kStyleComplex || p.*r.field == std::trunc(p.*r.field)) << p.*r.field;
            restored.*r.field = before.*r.field;
        }
        ASSERT_TRUE(p.seed >= 0 && p.seed <= 2047);
        black += p.color.r == 0 && p.color.g == 0 && p.color.b == 0;
        restored.seed = before.seed;
        restored.color = before.color;
        if (style == kStyleComplex) restored.glitter_color = before.glitter_color;
        ASSERT_EQ(std::memcmp(&restored, &before, sizeof before), 0) << "draw " << i;
    }
}

TEST(RandomSettings, SimpleStyleRanges) {
    platform::SeedRandom(1234);
    int black = 0;
    CheckDraws(kStyleSimple,
               {{&RenderParams::waviness, 10, 70}, {&RenderParams::complexity, 0, 60}, {&RenderParams::brilliance, 30, 60},
                {&RenderParams::blur, 0, 49}, {&RenderParams::perspective, 20, 80}, {&RenderParams::altitude, 1, 90},
                {&RenderParams::size, 20, 100}, {&RenderParams::height, 0, 60}, {&RenderParams::undulation, 3, 80}},
               black);
    // Black whenever the fourth draw is above 40: 60 of its 101 values.
    EXPECT_NEAR(black / 4000.0, 60.0 / 101.0, 0.03);
}

TEST(RandomSettings, ComplexStyleRangesAndColours) {
    platform::SeedRandom(4321);
    int black = 0;
    CheckDraws(kStyleComplex,
               {{&RenderParams::waviness, 10, 70}, {&RenderParams::complexity, 10, 90}, {&RenderParams::brilliance, 20, 80},
                {&RenderParams::blur, 0, 51.2f}, {&RenderParams::perspective, 20, 80}, {&RenderParams::altitude, 1, 50},
                {&RenderParams::size, 20, 100}, {&RenderParams::height, 0, 60}, {&RenderParams::undulation, 3, 80}},
               black);
    EXPECT_EQ(black, 0);
    for (int i = 0; i < 500; ++i) {
        RenderParams p = Plain(kStyleComplex);
        RandomizeSettings(p);
        // Water: value 0.1..0.3, never reddest; glitter: value 0.5..1, reddest, pale.
        const Rgb16 w = p.color, g = p.glitter_color;
        const int wmax = std::max({w.r, w.g, w.b}), gmax = std::max({g.r, g.g, g.b});
        EXPECT_TRUE(wmax >= 6552 && wmax <= 19661 && w.r <= std::max(w.g, w.b)) << wmax;
        EXPECT_TRUE(gmax >= 32766 && g.r == gmax && std::min({g.r, g.g, g.b}) >= gmax * 0.6 - 1) << gmax;
    }
}

TEST(RandomSettings, SameSeedSameSettings) {
    RenderParams a = Plain(kStyleComplex), b = Plain(kStyleComplex);
    platform::SeedRandom(77);
    RandomizeSettings(a);
    platform::SeedRandom(77);
    RandomizeSettings(b);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

// Random settings are saved with every run that uses them (the cached settings) and may be
// saved by the user: what they render must be what the file gives back.
TEST(RandomSettings, DrawsAreKeptExactlyBySettingsFiles) {
    platform::SeedRandom(99);
    for (int i = 0; i < 3000; ++i) {
        RenderParams drawn = Plain(i % 2 ? kStyleComplex : kStyleSimple);
        RoundToSettingsPrecision(drawn);  // as every record that reaches the dice is
        RandomizeSettings(drawn);
        RenderParams saved = drawn;
        const std::vector<uint8_t> file = EncodeSettings(saved, nullptr, false);
        RenderParams read{};
        ResetParams(read);
        DecodeSettings(file.data(), file.size(), read, ReadMode::Full, nullptr);
        for (const ParameterInfo& row : kParameters)
            for (int c = 0; c < row.components; ++c) {
                const size_t width = row.kind == ParameterKind::kColour ? 2 : 4;
                ASSERT_EQ(std::memcmp(ParameterComponentAddress(read, row, c), ParameterComponentAddress(drawn, row, c),
                                      width),
                          0)
                    << row.label << " " << c << ", draw " << i;
            }
    }
}

TEST(ColourConversions, KnownColours) {
    auto expect = [](RgbFraction c, double r, double g, double b) {
        EXPECT_NEAR(c.r, r, 1e-9);
        EXPECT_NEAR(c.g, g, 1e-9);
        EXPECT_NEAR(c.b, b, 1e-9);
    };
    expect(HsvToRgb(0, 1, 1), 1, 0, 0);
    expect(HsvToRgb(0.5, 1, 0.5), 0, 0.5, 0.5);
    expect(HsvToRgb(0.9, 0, 0.4), 0.4, 0.4, 0.4);
    expect(HsvToRgb(1.0, 1, 1), 1, 0, 0);  // a full turn is sector 0
    expect(HsvToRgb(0.25, 0.5, 1), 0.75, 1, 0.5);
    expect(HslToRgb(0, 1, 0.5), 1, 0, 0);
    expect(HslToRgb(0.3, 0, 0.6), 0.6, 0.6, 0.6);
    expect(HslToRgb(0.5, 1, 0), 0, 0, 0);

    double h, s, l;
    RgbToHsl({0.04, 0.05, 0.21}, h, s, l);
    EXPECT_NEAR(h, 0.6569, 1e-4);
    EXPECT_NEAR(s, 0.68, 1e-9);
    EXPECT_NEAR(l, 0.125, 1e-9);
    expect(HslToRgb(h, s, l), 0.04, 0.05, 0.21);
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
