// The precision settings files keep: the encodings of hundredths and 16.16 fixed point, and
// the rounding that brings a record to them before it renders.
#include "params/settings_precision.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "params/parameter_table.h"

namespace tw {
namespace {

float Hundredths(float v) { return DecodeHundredths(EncodeHundredths(v)); }
float Fixed16(float v) { return DecodeFixed16(EncodeFixed16(v)); }

// What a file keeps is truncated toward zero, as files have always been written.
TEST(SettingsPrecision, EncodingsTruncateTowardZero) {
    EXPECT_EQ(EncodeHundredths(-0.408248f), -40);
    EXPECT_EQ(EncodeHundredths(0.816497f), 81);
    EXPECT_EQ(EncodeHundredths(0.999f), 99);
    EXPECT_EQ(EncodeHundredths(-0.0f), 0);
    EXPECT_EQ(EncodeFixed16(0.2f), 13107);
    EXPECT_EQ(EncodeFixed16(0.5f), 32768);
    EXPECT_EQ(EncodeFixed16(-0.2f), -13107);
    EXPECT_EQ(DecodeHundredths(-40), -0.4f);
    EXPECT_EQ(DecodeFixed16(13107), float(13107 / 65536.0));
}

// Half of all hundredths read from a file are floats just short of the hundredth (0.41 is
// 0.4099999964); plain truncation wrote them back one hundredth smaller, so every save of a
// loaded file lost a little of the light. Each hundredth must come back as itself.
TEST(SettingsPrecision, EveryHundredthReadFromAFileIsWrittenBackUnchanged) {
    int short_of_it = 0;
    for (int32_t k = -1000000; k <= 1000000; ++k) {
        const float read = DecodeHundredths(k);
        ASSERT_EQ(EncodeHundredths(read), k) << k;
        if (int32_t(double(read) * 100.0) != k) ++short_of_it;
    }
    EXPECT_GT(short_of_it, 100000) << "the case the writer has to recognise";
    EXPECT_EQ(EncodeHundredths(DecodeHundredths(41)), 41);
    EXPECT_EQ(EncodeHundredths(DecodeHundredths(-1)), -1);
    // Centres are exact in 16.16 as far as a float holds them (|value| < 256).
    for (int32_t k = -(1 << 24); k <= (1 << 24); k += 7) ASSERT_EQ(EncodeFixed16(DecodeFixed16(k)), k);
}

// Rounding twice is rounding once, for any float at all; hostile values end as a file would
// read them back (NaN as 0, infinities saturated).
TEST(SettingsPrecision, RoundingIsSettledAfterOnce) {
    std::mt19937 rng(17);
    for (int i = 0; i < 2000000; ++i) {
        const uint32_t bits = rng();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        if (i % 2) v = std::ldexp(float(int32_t(bits)) / 2147483648.0f, int(bits % 40) - 20);  // ordinary sizes
        const float h = Hundredths(v), q = Fixed16(v);
        ASSERT_TRUE(std::isfinite(h) && std::isfinite(q)) << v;
        ASSERT_EQ(Hundredths(h), h) << v;
        ASSERT_EQ(Fixed16(q), q) << v;
    }
    EXPECT_EQ(Hundredths(std::nanf("")), 0.0f);
    EXPECT_EQ(Fixed16(std::nanf("")), 0.0f);
    EXPECT_EQ(EncodeHundredths(std::numeric_limits<float>::infinity()), INT32_MAX);
    EXPECT_EQ(EncodeFixed16(-std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(Hundredths(3e38f), Hundredths(Hundredths(3e38f)));
}

TEST(SettingsPrecision, RecordRoundingTouchesOnlyTheFixedPointFields) {
    RenderParams p{};
    ResetParams(p);
    for (const SliderInfo& s : kSliders) p.*s.field = 33.333333f;
    p.pick_x = 0.3f;
    p.pick_y = 0.70001f;
    p.light_dir[0] = 0.123456f;
    p.light_dir[1] = -0.987654f;
    p.light_dir[2] = 0.41f;
    p.framework_vectors[4] = -0.555f;
    p.color = {0x1234, 0x5678, 0x9ABC};
    RenderParams expected = p;
    RoundToSettingsPrecision(p);
    expected.pick_x = float(19660 / 65536.0);
    expected.pick_y = float(45875 / 65536.0);
    expected.light_dir[0] = float(0.12);
    expected.light_dir[1] = float(-0.98);
    expected.light_dir[2] = 0.41f;  // already a hundredth, though it lies just short of 0.41
    expected.framework_vectors[4] = float(-0.55);
    EXPECT_EQ(std::memcmp(&p, &expected, sizeof p), 0);
    // A rounded record is settled.
    RoundToSettingsPrecision(p);
    EXPECT_EQ(std::memcmp(&p, &expected, sizeof p), 0);
}

// The plain settings are what every file saved from them has always held, so the plain
// look renders the same whether it came from the defaults or from a file.
TEST(SettingsPrecision, PlainSettingsAreAlreadyInTheFilesPrecision) {
    RenderParams p{};
    ResetParams(p);
    const RenderParams plain = p;
    RoundToSettingsPrecision(p);
    EXPECT_EQ(std::memcmp(&p, &plain, sizeof p), 0);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Hundredths(kPlainLightDir[c]), kPlainLightDir[c]);
    EXPECT_EQ(Fixed16(kPlainPickX), kPlainPickX);
    EXPECT_EQ(Fixed16(kPlainPickY), kPlainPickY);
}

}  // namespace
}  // namespace tw
