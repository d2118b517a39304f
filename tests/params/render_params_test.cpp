// The parameter record: its fixed layout, reset and plain defaults, and the upgrade of
// records read from older settings formats.
#include "params/render_params.h"

#include <gtest/gtest.h>

#include "params/parameter_table.h"

#include <cmath>
#include <cstring>

namespace tw {
namespace {

RenderParams Filled(uint8_t byte) {
    RenderParams p;
    std::memset(&p, byte, sizeof p);
    return p;
}

TEST(RenderParams, ResetGivesPlainDefaultsWithNameModeAndVersion) {
    RenderParams p = Filled(0xA5);
    ResetParams(p);
    EXPECT_STREQ(p.settings_name, "Tarnwell settings");
    EXPECT_EQ(p.glue_mode, 1);
    EXPECT_EQ(p.version, -999);
    EXPECT_EQ(p.zoom, 1);
    EXPECT_EQ(p.render_mode, kRenderFinal);
    EXPECT_EQ(p.live_preview, 0);

    const float sliders[12] = {50, 0, 0, 48, 40, 65, 84, 40, 0, 88, 20, 40};
    for (int i = 0; i < kSliderCount; ++i) EXPECT_EQ(p.*kSliders[i].field, sliders[i]) << kSliders[i].label;
    EXPECT_EQ(p.color.r, 0x2E2E);
    EXPECT_EQ(p.color.g, 0x3E3E);
    EXPECT_EQ(p.color.b, 0x5A5A);
    EXPECT_EQ(p.glitter_color.r, 0xC2C2);
    EXPECT_EQ(p.glitter_color.g, 0xBFBF);
    EXPECT_EQ(p.glitter_color.b, 0xB4B4);
    EXPECT_EQ(p.seed, 1841);
    EXPECT_EQ(p.style, kStyleComplex);
    // The centre (0.5, 0.2), the light (-0.5, -0.5, 1) made a unit vector and the framework
    // vector (-0.68, -0.68, sqrt(0.0752)), each as a settings file keeps it: in 1/65536 of
    // the picture and in hundredths truncated toward zero.
    EXPECT_EQ(p.pick_x, 0.5f);
    EXPECT_EQ(p.pick_y, float(13107 / 65536.0));
    const double unit = 0.5 / std::sqrt(1.5);
    EXPECT_EQ(p.light_dir[0], float(std::trunc(-unit * 100) * 0.01));
    EXPECT_EQ(p.light_dir[1], float(-0.40));
    EXPECT_EQ(p.light_dir[2], float(std::trunc(2 * unit * 100) * 0.01));
    EXPECT_EQ(p.light_dir[2], float(0.81));
    EXPECT_EQ(p.framework_vectors[0], float(-0.68));
    EXPECT_EQ(p.framework_vectors[2], float(std::trunc(std::sqrt(0.0752) * 100) * 0.01));
    EXPECT_EQ(p.framework_ints[13], 0);
    EXPECT_EQ(p.framework_ints[29], 0);
}

TEST(RenderParams, PlainSettingsLeaveNameAndOtherFrameworkSlots) {
    RenderParams p = Filled(0);
    SetText(p.settings_name, "my lake");
    p.framework_ints[3] = 77;
    SetPlainSettings(p);
    EXPECT_STREQ(p.settings_name, "my lake");
    EXPECT_EQ(p.framework_ints[3], 77);
}

TEST(RenderParams, TextIsCutAt259Characters) {
    RenderParams p = Filled(0);
    std::string longName(400, 'x');
    SetText(p.settings_name, longName.c_str());
    EXPECT_EQ(std::strlen(p.settings_name), 259u);
}

// Old formats kept the sliders as integers in framework slots; horizon and offset became
// floats first (version 41), the other nine later (version 45).
TEST(RenderParams, UpgradeByVersion) {
    auto record = [](int version) {
        RenderParams p = Filled(0);
        SetPlainSettings(p);
        p.version = version;
        for (const SliderInfo& s : kSliders)
            if (s.mirror_slot >= 0) p.framework_ints[s.mirror_slot] = 7;
        UpgradeLegacyFields(p);
        return p;
    };
    RenderParams v40 = record(40), v44 = record(44), v45 = record(45), v0 = record(0);
    EXPECT_EQ(v40.horizon, 7);
    EXPECT_EQ(v40.offset, 7);
    EXPECT_EQ(v40.waviness, 7);
    EXPECT_EQ(v44.horizon, 50);
    EXPECT_EQ(v44.offset, 0);
    for (const char* label : {"Perspective", "Altitude", "Waviness", "Complexity", "Brilliance", "Blur", "Size",
                              "Height", "Undulation"})
        EXPECT_EQ(v44.*FindSlider(label)->field, 7) << label;
    EXPECT_EQ(v44.spin, 0);
    EXPECT_EQ(v44.glitter_color.r, 0xFFFF);
    EXPECT_EQ(v44.glitter_color.b, 0xFFFF);
    EXPECT_EQ(v45.waviness, 65);
    EXPECT_EQ(v45.glitter_color.r, 0xC2C2);
    EXPECT_EQ(v0.horizon, 50);
    EXPECT_EQ(v0.glitter_color.r, 0xC2C2);
}

TEST(RenderParams, MirrorsTruncateTowardZeroAndSkipPlacement) {
    RenderParams p = Filled(0);
    SetPlainSettings(p);
    p.framework_ints[4] = 11;
    p.framework_ints[15] = 12;
    p.waviness = 65.9f;
    p.blur = -3.7f;
    p.height = NAN;
    RefreshLegacyMirrors(p);
    EXPECT_EQ(p.framework_ints[16], 65);
    EXPECT_EQ(p.framework_ints[17], -3);
    EXPECT_EQ(p.framework_ints[0], 0);
    EXPECT_EQ(p.framework_ints[4], 11);   // horizon is never mirrored
    EXPECT_EQ(p.framework_ints[15], 12);  // nor is offset
    EXPECT_EQ(p.framework_ints[5], 48);
}

TEST(RenderParams, SliderTableIsConsistent) {
    for (const SliderInfo& s : kSliders) EXPECT_EQ(FindSlider(s.label), &s);
    EXPECT_EQ(FindSlider("hORIZON"), FindSlider("Horizon"));
    EXPECT_EQ(FindSlider("nope"), nullptr);
}

}  // namespace
}  // namespace tw
