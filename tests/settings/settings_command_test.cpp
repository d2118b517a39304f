// `tarnwell settings`: values by label, the files it writes and what it prints.
#include "host/settings_command.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scratch_folder.h"
#include "settings/settings_file.h"

namespace tw::host {
namespace {

RenderParams Plain() {
    RenderParams p{};
    ResetParams(p);
    return p;
}

TEST(SettingsCommandValues, LabelsAndTheirForms) {
    RenderParams p = Plain();
    std::string error;
    EXPECT_TRUE(SetSettingsValue(p, "waviness", "12.5", error));
    EXPECT_EQ(p.waviness, 12.5f);
    EXPECT_TRUE(SetSettingsValue(p, "Pick X", "0.75", error));
    EXPECT_EQ(p.pick_x, 0.75f);
    EXPECT_TRUE(SetSettingsValue(p, "pick_y", "0", error));
    EXPECT_EQ(p.pick_y, 0.0f);
    EXPECT_TRUE(SetSettingsValue(p, "Spin", "-90", error));
    EXPECT_TRUE(SetSettingsValue(p, "STYLE", "simple", error));
    EXPECT_EQ(p.style, kStyleSimple);
    EXPECT_TRUE(SetSettingsValue(p, "Glue", "69", error));
    EXPECT_EQ(p.glue_mode, 69);
    EXPECT_TRUE(SetSettingsValue(p, "Color", "#FF0080", error));
    EXPECT_EQ(p.color.r, 0xFF00);
    EXPECT_EQ(p.color.b, 0x8000);
    EXPECT_TRUE(SetSettingsValue(p, "Glitter", "#123456789ABC", error));
    EXPECT_EQ(p.glitter_color.g, 0x5678);
    EXPECT_TRUE(SetSettingsValue(p, "Light", "0,0,-3", error));
    EXPECT_EQ(p.light_dir[2], -1.0f);
    // The forms apply's --set takes are understood here too.
    EXPECT_TRUE(SetSettingsValue(p, "Glue", "screen dim", error)) << error;
    EXPECT_EQ(p.glue_mode, 62);
    EXPECT_TRUE(SetSettingsValue(p, "Color", "255,0,128", error));
    EXPECT_EQ(p.color.r, 0xFF00);
    EXPECT_EQ(p.color.b, 0x8000);
    EXPECT_TRUE(SetSettingsValue(p, "Center", "0.25,1", error));
    EXPECT_EQ(p.pick_x, 0.25f);
    EXPECT_EQ(p.pick_y, 1.0f);
}

TEST(SettingsCommandValues, BadValuesAreRefusedAndChangeNothing) {
    const struct {
        const char *label, *value;
    } bad[] = {{"Horizon", "100.5"}, {"Spin", "-91"},   {"Blur", "abc"},      {"Blur", ""},
               {"Seed", "2048"},     {"Seed", "3.5"},   {"Glue", "0"},        {"Style", "3"},
               {"Color", "#12345"},  {"Color", "red"},  {"Light", "0,0,0"},   {"Light", "1,2"},
               {"Pick X", "1.01"},   {"Height", "nan"}, {"Depth", "4"},       {"Light", "1,2,3,4"},
               {"Glue", "wobble"},   {"Color", "256,0,0"}, {"Center", "0.5"}, {"Center", "2,0"}};
    for (const auto& b : bad) {
        RenderParams p = Plain();
        const RenderParams before = p;
        std::string error;
        EXPECT_FALSE(SetSettingsValue(p, b.label, b.value, error)) << b.label << "=" << b.value;
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0) << b.label << "=" << b.value;
    }
}

TEST(SettingsCommandValues, DescriptionNamesEveryValue) {
    RenderParams p = Plain();
    p.waviness = 12.5f;
    SettingsFacts facts{"a.q8r", true, 128, 128};
    const std::string text = DescribeSettings(p, facts, false);
    for (const SliderInfo& s : kSliders) EXPECT_NE(text.find(s.label), std::string::npos) << s.label;
    EXPECT_NE(text.find("Waviness     12.5\n"), std::string::npos);
    EXPECT_NE(text.find("#2E3E5A"), std::string::npos);
    EXPECT_NE(text.find("128 x 128"), std::string::npos);
    const std::string json = DescribeSettings(p, SettingsFacts{"a\"b.q8r"}, true);
    EXPECT_NE(json.find("\"Waviness\": 12.5,"), std::string::npos);
    EXPECT_NE(json.find("\"file\": \"a\\\"b.q8r\""), std::string::npos);
    EXPECT_NE(json.find("\"picture\": null}"), std::string::npos);
}

TEST(SettingsCommandValues, PicturesBecomeEightBitPlanes) {
    Picture grey16;
    ASSERT_TRUE(grey16.Allocate(3, 2, 2, 16));  // grey and alpha
    reinterpret_cast<uint16_t*>(grey16.data.data())[2] = 0xABCD;  // pixel 1's grey
    std::vector<uint8_t> planes;
    int count = 0;
    ASSERT_TRUE(PlanesFromPicture(grey16, planes, count));
    EXPECT_EQ(count, 1);
    ASSERT_EQ(planes.size(), 6u);
    EXPECT_EQ(planes[1], 0xAB);

    Picture rgb;
    ASSERT_TRUE(rgb.Allocate(2, 1, 3, 32));
    float* f = reinterpret_cast<float*>(rgb.data.data());
    f[3] = 2.0f, f[4] = -1.0f, f[5] = 0.5f;
    ASSERT_TRUE(PlanesFromPicture(rgb, planes, count));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(planes[1], 255);
    EXPECT_EQ(planes[3], 0);
    EXPECT_EQ(planes[5], 127);
}

using SettingsCommandFiles = tw::testing::ScratchFolderTest;

TEST_F(SettingsCommandFiles, SaveWritesWhatShowAndLoadRead) {
    const std::string plain = Path("plain.q8r"), changed = Path("changed.q8r");
    ASSERT_EQ(RunSettings({"save", plain}), kExitOk);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(plain, bytes));
    EXPECT_EQ(bytes.size(), 364u) << "no picture unless one is given";

    ASSERT_EQ(RunSettings({"save", changed, "--from", plain, "--set", "Seed=7", "--set=Glue=3"}), kExitOk);
    RenderParams p = Plain();
    ASSERT_TRUE(LoadSettings(changed, p, nullptr));
    EXPECT_EQ(p.seed, 7);
    EXPECT_EQ(p.glue_mode, 3);
    EXPECT_EQ(p.waviness, 65.0f);

    // A refused value writes nothing.
    EXPECT_EQ(RunSettings({"save", Path("bad.q8r"), "--set", "Seed=-1"}), kExitUsage);
    EXPECT_FALSE(platform::FileExists(Path("bad.q8r")));
    EXPECT_EQ(RunSettings({"save", Path("bad.q8r"), "--from", Path("absent.q8r")}), kExitFailure);
    EXPECT_EQ(RunSettings({"save", Path("bad.q8r"), "--picture", Path("absent.png")}), kExitFailure);
    EXPECT_FALSE(platform::FileExists(Path("bad.q8r")));
    EXPECT_EQ(RunSettings({"show", Path("absent.q8r")}), kExitFailure);
    EXPECT_EQ(RunSettings({"show"}), kExitUsage);
    EXPECT_EQ(RunSettings({"show", plain, "--set", "Seed=1"}), kExitUsage);
    EXPECT_EQ(RunSettings({"rename", plain}), kExitUsage);
}

TEST_F(SettingsCommandFiles, PictureOptionCarriesTheImageCentre) {
    const std::string image = std::string(TARNWELL_SOURCE_DIR) + "/examples/lake.png";
    if (!platform::FileExists(image)) GTEST_SKIP() << "no example picture at " << image;
    const std::string path = Path("lake.q8r");
    ASSERT_EQ(RunSettings({"save", path, "--picture", image}), kExitOk);
    RenderParams p = Plain();
    tw::Picture holder;
    bool found = false;
    ASSERT_TRUE(ReadSettings(path, p, ReadMode::ThumbnailOnly, &holder, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ(holder.width, 128);
}

}  // namespace
}  // namespace tw::host
