// Last values: exact while the plug-in's cache is the one our run left, the cache's own
// (rounded) values once another run has rewritten it, nothing before any run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "gimp/last_values.h"
#include "gimp/parameters.h"
#include "platform/platform.h"
#include "settings/cached_settings.h"

namespace tw::gimp {
namespace {

class LastValuesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device entropy;
        folder_ = (std::filesystem::temp_directory_path() / ("tw-gimp-last-" + std::to_string(entropy()))).string();
        ASSERT_TRUE(std::filesystem::create_directory(folder_));
        setenv("TARNWELL_TEMP", (folder_ + "/").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TARNWELL_TEMP");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    // What a run of the plug-in leaves: its cached settings.
    static void PluginRan(const RenderParams& p) {
        RenderParams copy = p;
        ASSERT_TRUE(SaveCachedSettings(copy));
    }
    static RenderParams Unusual() {
        RenderParams p = PlainParams();
        p.horizon = 33.3333f;
        p.pick_x = 0.123456789f;   // the cache keeps 1/65536 steps
        p.light_dir[0] = 0.6f;     // ... and hundredths of the light
        p.light_dir[1] = -0.00123f;
        p.light_dir[2] = 0.79999f;
        p.color = Rgb16{1, 2, 65534};
        p.glue_mode = 42;
        p.style = kStyleSimple;
        SetText(p.settings_name, "my look");
        return p;
    }
    std::string folder_;
};

TEST_F(LastValuesTest, NothingBeforeTheFirstRun) {
    RenderParams p = PlainParams();
    EXPECT_EQ(LoadLastValues(p), LastValues::kNone);
    EXPECT_FALSE(SaveLastValues(p));  // no cache: nothing to vouch for
}

TEST_F(LastValuesTest, OurOwnRunComesBackExactly) {
    const RenderParams ran = Unusual();
    PluginRan(ran);
    ASSERT_TRUE(SaveLastValues(ran));
    RenderParams back = PlainParams();
    ASSERT_EQ(LoadLastValues(back), LastValues::kExact);
    EXPECT_EQ(ValuesText(back), ValuesText(ran));
    EXPECT_EQ(back.pick_x, ran.pick_x);
    EXPECT_EQ(back.light_dir[1], ran.light_dir[1]);
    EXPECT_STREQ(back.settings_name, "my look");
}

TEST_F(LastValuesTest, AnotherRunSinceTakesTheCachesValues) {
    const RenderParams ran = Unusual();
    PluginRan(ran);
    ASSERT_TRUE(SaveLastValues(ran));
    RenderParams other = PlainParams();
    other.horizon = 70;
    PluginRan(other);  // e.g. tarnwell apply from a terminal
    RenderParams back = PlainParams();
    ASSERT_EQ(LoadLastValues(back), LastValues::kCached);
    EXPECT_FLOAT_EQ(back.horizon, 70.0f);
}

TEST_F(LastValuesTest, ADamagedFileFallsBackToTheCache) {
    const RenderParams ran = Unusual();
    PluginRan(ran);
    ASSERT_TRUE(SaveLastValues(ran));
    const std::string path = platform::JoinPath(platform::TempFolder(), "Tarnwell GIMP last values");
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    for (const char* damage : {"Horizon=500", "Seed", "Bogus=1", "Pick X=0.5", "Light=1,2", ""}) {
        std::string text(bytes.begin(), bytes.end());
        const size_t at = text.find("Horizon=");
        text = text.substr(0, at) + damage + "\n" + text.substr(text.find('\n', at) + 1);
        ASSERT_TRUE(platform::WriteFileAtomically(path, text.data(), text.size()));
        RenderParams back = PlainParams();
        EXPECT_EQ(LoadLastValues(back), LastValues::kCached) << damage;
        EXPECT_NEAR(back.horizon, 33.3333f, 1e-3) << damage;  // the cache keeps sliders as floats
    }
}

TEST(ValuesText, RoundTripsHostileButValidRecords) {
    RenderParams p = PlainParams();
    p.spin = -90;
    p.undulation = 100;
    p.seed = 0;
    p.pick_y = 1;
    p.glitter_color = Rgb16{65535, 0, 32768};
    p.light_dir[0] = 1e-7f;
    RenderParams back{};
    std::string error;
    ASSERT_TRUE(ParamsFromValuesText(ValuesText(p), back, error)) << error;
    EXPECT_EQ(ValuesText(back), ValuesText(p));
    EXPECT_EQ(back.glitter_color.b, 32768);
    EXPECT_FALSE(ParamsFromValuesText("Horizon=1\n", back, error));
    EXPECT_NE(error.find("no value for"), std::string::npos) << error;
    // The text is --set lines, each the exact value of its row.
    const std::string text = ValuesText(p);
    EXPECT_NE(text.find("Spin=-90\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Glitter=#ffff00008000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nLight=1e-07,"), std::string::npos) << text;
}

// A light read back keeps its bits, though the parser would make it unit length again.
TEST(ValuesText, KeepsTheLightAsWritten) {
    RenderParams p = PlainParams();
    p.light_dir[0] = 0.6f;
    p.light_dir[1] = -0.00123f;
    p.light_dir[2] = 0.79999f;
    RenderParams back{};
    std::string error;
    ASSERT_TRUE(ParamsFromValuesText(ValuesText(p), back, error)) << error;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(back.light_dir[c], p.light_dir[c]) << c;
}

}  // namespace
}  // namespace tw::gimp
