// `tarnwell settings`: values by label, the files it writes and what it prints.
#include "host/settings_command.h"

#include <cstring>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "params/parameter_text.h"
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

// What show prints is what --set takes: every line's label names a parameter, and the
// value printed for it sets that parameter to what was shown.
TEST(SettingsCommandValues, ShowPrintsTheLabelsSetAccepts) {
    RenderParams p = Plain();
    p.waviness = 12.5f;
    p.pick_x = 0.25f;
    const std::string text = DescribeSettings(p, SettingsFacts{}, false);
    std::istringstream lines(text);
    size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const size_t gap = line.find("  ");
        ASSERT_NE(gap, std::string::npos) << line;
        const std::string label = line.substr(0, gap);
        const ParameterTarget target = FindParameter(label);
        ASSERT_NE(target.parameter, nullptr) << line;
        EXPECT_EQ(target.parameter->label, label);
    }
    EXPECT_EQ(count, size_t(kParameterCount));
    // The plain centre's 0.2 is kept in 1/65536 steps, as every settings file has it.
    EXPECT_NE(text.find("Center       0.25, 0.199997\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Light        -0.4, -0.4, 0.81\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Glue         1 (normal)\n"), std::string::npos) << text;

    const std::string json = DescribeSettings(p, SettingsFacts{"x.q8r"}, true);
    for (const ParameterInfo& row : kParameters) {
        std::string key = "\"";
        key += row.label;
        EXPECT_NE(json.find(key + "\": "), std::string::npos) << row.label;
    }
    EXPECT_NE(json.find("\"Center\": [0.25, 0.199996948]"), std::string::npos) << json;
}

TEST(SettingsCommandValues, DescriptionNamesEveryValue) {
    RenderParams p = Plain();
    p.waviness = 12.5f;
    SettingsFacts facts{"a.q8r", true, 128, 128};
    const std::string text = DescribeSettings(p, facts, false);
    for (const ParameterInfo& row : kParameters) EXPECT_NE(text.find(row.label), std::string::npos) << row.label;
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

// --picture renders the water with the plug-in's code, which this test program does not
// carry; tests/host/memory_commands_test.cpp tests it.
TEST_F(SettingsCommandFiles, PictureAsIsCarriesTheImageCentre) {
    const std::string image = std::string(TARNWELL_SOURCE_DIR) + "/examples/lake.png";
    if (!platform::FileExists(image)) GTEST_SKIP() << "no example picture at " << image;
    const std::string path = Path("lake.q8r");
    ASSERT_EQ(RunSettings({"save", path, "--picture-as-is", image}), kExitOk);
    RenderParams p = Plain();
    tw::Picture holder;
    bool found = false;
    ASSERT_TRUE(ReadSettings(path, p, ReadMode::ThumbnailOnly, &holder, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ(holder.width, 128);
}

}  // namespace
}  // namespace tw::host
