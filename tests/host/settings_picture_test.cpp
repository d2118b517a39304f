// `tarnwell settings save --picture`: the picture a settings file gets is the water the
// settings make over the picture, as the dialog's Save keeps it, while --picture-as-is keeps
// a picture that is already rendered.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/picture.h"
#include "host/settings_command.h"
#include "host/water_picture.h"
#include "platform/platform.h"
#include "settings/settings_file.h"
#include "tests/settings/scratch_folder.h"

namespace tw::host {
namespace {

using SettingsPicture = tw::testing::ScratchFolderTest;

// Sky over striped ground.
std::string WriteInput(const std::string& path) {
    Picture picture;
    EXPECT_TRUE(picture.Allocate(90, 60, 3, 8));
    for (int32_t y = 0; y < 60; ++y)
        for (int32_t x = 0; x < 90; ++x)
            for (int c = 0; c < 3; ++c)
                picture.data[(size_t(y) * 90 + size_t(x)) * 3 + size_t(c)] =
                    uint8_t(y < 30 ? 210 - 40 * c : 30 + ((x / 5) % 2) * 90 + 15 * c);
    std::string error;
    EXPECT_TRUE(WritePicture(path, picture, WriteOptions{}, error)) << error;
    return path;
}

tw::Picture PictureOf(const std::string& path, RenderParams& params) {
    ResetParams(params);
    tw::Picture picture;
    EXPECT_TRUE(LoadSettings(path, params, &picture)) << path;
    return picture;
}

double Difference(const tw::Picture& a, const tw::Picture& b) {
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / double(a.rgb.size());
}

TEST_F(SettingsPicture, PictureIsTheWaterOfTheSavedSettings) {
    const std::string image = WriteInput(Path("in.png"));
    ASSERT_EQ(RunSettings({"save", Path("calm.q8r"), "--set", "Waviness=5", "--set", "Horizon=40", "--picture", image}),
              kExitOk);
    ASSERT_EQ(RunSettings({"save", Path("rough.q8r"), "--set", "Waviness=95", "--set", "Horizon=40", "--picture", image}),
              kExitOk);
    ASSERT_EQ(RunSettings({"save", Path("as-is.q8r"), "--picture-as-is", image}), kExitOk);

    RenderParams calm_settings{}, rough_settings{}, ignored{};
    const tw::Picture calm = PictureOf(Path("calm.q8r"), calm_settings);
    const tw::Picture rough = PictureOf(Path("rough.q8r"), rough_settings);
    const tw::Picture as_is = PictureOf(Path("as-is.q8r"), ignored);
    ASSERT_EQ(calm.width, 128);
    EXPECT_GT(Difference(calm, rough), 2.0) << "each look gets its own picture";
    EXPECT_GT(Difference(calm, as_is), 2.0) << "a render, not the picture itself";

    // What the dialog's preview of those settings shows, captured.
    tw::Picture preview;
    std::string error;
    ASSERT_TRUE(CaptureWaterPicture(image, calm_settings, preview, error)) << error;
    EXPECT_LT(Difference(calm, preview), 3.0) << "only the JPEG coding differs";
    EXPECT_EQ(calm_settings.waviness, 5.0f);
}

TEST_F(SettingsPicture, BadPicturesAndBothOptionsWriteNothing) {
    const std::string image = WriteInput(Path("in.png"));
    EXPECT_EQ(RunSettings({"save", Path("a.q8r"), "--picture", image, "--picture-as-is", image}), kExitUsage);
    EXPECT_EQ(RunSettings({"save", Path("a.q8r"), "--picture-as-is", image, "--picture", image}), kExitUsage);
    EXPECT_EQ(RunSettings({"save", Path("a.q8r"), "--picture", Path("absent.png")}), kExitFailure);
    ASSERT_TRUE(platform::WriteFileAtomically(Path("text.png"), "no picture", 10));
    EXPECT_EQ(RunSettings({"save", Path("a.q8r"), "--picture", Path("text.png")}), kExitFailure);
    EXPECT_EQ(RunSettings({"save", Path("a.q8r"), "--picture-as-is", Path("text.png")}), kExitFailure);
    EXPECT_FALSE(platform::FileExists(Path("a.q8r")));
    // The last of a repeated option counts.
    EXPECT_EQ(RunSettings({"save", Path("a.q8r"), "--picture", Path("absent.png"), "--picture", image}), kExitOk);
}

}  // namespace
}  // namespace tw::host
