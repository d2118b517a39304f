// `tarnwell presets refresh` and `tarnwell dots` end to end, with the plug-in's render in this
// process: renames and pictures of a preset folder, refusals that change nothing, and the
// memory dots as the map and files in the temporary folder hold them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <filesystem>

#include "host/memory_commands.h"
#include "host/picture.h"
#include "host/water_picture.h"
#include "platform/platform.h"
#include "settings/dot_map.h"
#include "settings/settings_file.h"
#include "tests/settings/scratch_folder.h"

namespace tw::host {
namespace {

namespace fs = std::filesystem;

// Sky over dark ground with a few vertical stripes, so the water's reflection differs from
// the picture itself.
std::string WriteInput(const std::string& path, int32_t width, int32_t height) {
    Picture picture;
    EXPECT_TRUE(picture.Allocate(width, height, 3, 8));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const bool sky = y < height / 2;
                const int stripe = (x / 6) % 2 ? 60 : 0;
                const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(c);
                picture.data[i] = uint8_t(sky ? 200 - 30 * c : 40 + stripe + 20 * c);
            }
    std::string error;
    EXPECT_TRUE(WritePicture(path, picture, WriteOptions{}, error)) << error;
    return path;
}

class CommandFolder : public tw::testing::ScratchFolderTest {
protected:
    void WritePreset(const std::string& path, float horizon, int glue) {
        RenderParams p{};
        ResetParams(p);
        p.horizon = horizon;
        p.glue_mode = glue;
        ASSERT_TRUE(WriteSettings(path, p, nullptr, false));
    }
    // A file's settings and its picture.
    RenderParams Read(const std::string& path, tw::Picture& picture) {
        RenderParams p{};
        ResetParams(p);
        EXPECT_TRUE(LoadSettings(path, p, &picture)) << path;
        return p;
    }
    std::vector<uint8_t> Bytes(const std::string& path) {
        std::vector<uint8_t> bytes;
        platform::ReadWholeFile(path, bytes);
        return bytes;
    }
};

// The mean absolute difference of two pictures of the same size, per sample.
double Difference(const tw::Picture& a, const tw::Picture& b) {
    EXPECT_EQ(a.rgb.size(), b.rgb.size());
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return sum / double(a.rgb.size());
}

TEST(PreviewSize, ThePictureIsDividedByTheSmallestWholeFactorThatFitsThePaneInsideItsFrame) {
    const struct {
        int32_t w, h, pw, ph;
    } cases[] = {{48, 36, 48, 36},       {643, 488, 643, 488}, {644, 100, 322, 50},
                 {1024, 682, 512, 341}, {100, 489, 50, 244},  {3000, 10, 600, 2},
                 {20000, 1, 625, 1},    {0, 0, 1, 1}};
    for (const auto& c : cases) {
        const PreviewSize size = FittedPreviewSize(c.w, c.h);
        EXPECT_EQ(size.width, c.pw) << c.w << " x " << c.h;
        EXPECT_EQ(size.height, c.ph) << c.w << " x " << c.h;
    }
}

TEST_F(CommandFolder, RefreshRendersPicturesOfTheWaterAndRenamesQ9qFiles) {
    const std::string image = WriteInput(Path("in.png"), 700, 90);  // previewed at 350 x 45
    const std::string presets = Path("presets");
    ASSERT_TRUE(fs::create_directory(presets));
    WritePreset(presets + "/lake.q9q", 30, 7);
    WritePreset(presets + "/sea.q5q", 70, 1);
    WritePreset(presets + "/locked.q9q", 50, 3);
    WritePreset(presets + "/other.q8r", 50, 3);
    fs::permissions(presets + "/locked.q9q", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::vector<uint8_t> locked = Bytes(presets + "/locked.q9q"), other = Bytes(presets + "/other.q8r");

    ASSERT_EQ(RunPresets({"refresh", presets, "--picture", image, "-q"}), kExitOk);
    fs::permissions(presets + "/locked.q9q", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(platform::FileExists(presets + "/lake.q9q"));
    EXPECT_EQ(Bytes(presets + "/locked.q9q"), locked) << "read-only: skipped";
    EXPECT_EQ(Bytes(presets + "/other.q8r"), other) << "not a preset name";

    tw::Picture lake, sea;
    const RenderParams lake_settings = Read(presets + "/lake.q5q", lake);
    EXPECT_EQ(lake_settings.horizon, 30.0f);
    EXPECT_EQ(lake_settings.glue_mode, 7);
    Read(presets + "/sea.q5q", sea);
    ASSERT_EQ(lake.width, 128);
    ASSERT_EQ(sea.width, 128);
    EXPECT_GT(Difference(lake, sea), 3.0) << "each preset shows its own water";

    // The same picture `settings save --picture` makes of the same settings: both are the
    // dialog's preview, captured.
    tw::Picture captured;
    std::string error;
    ASSERT_TRUE(CaptureWaterPicture(image, lake_settings, captured, error)) << error;
    EXPECT_LT(Difference(lake, captured), 3.0) << "only the JPEG coding differs";
    // ... and not the picture itself.
    tw::Picture as_is;
    Picture input;
    ASSERT_TRUE(ReadPicture(image, input, error));
    std::vector<uint8_t> planes(size_t(700 * 90 * 3));
    for (size_t i = 0; i < size_t(700 * 90); ++i)
        for (size_t c = 0; c < 3; ++c) planes[c * 700 * 90 + i] = input.data[i * 3 + c];
    ASSERT_TRUE(CapturePicture(PlanarView{planes.data(), 700, 90, 3}, as_is));
    EXPECT_GT(Difference(lake, as_is), 3.0);
}

TEST_F(CommandFolder, RefreshRefusalsChangeNothing) {
    const std::string image = WriteInput(Path("in.png"), 40, 30);
    const std::string presets = Path("presets");
    ASSERT_TRUE(fs::create_directory(presets));
    WritePreset(presets + "/lake.q9q", 30, 7);
    const std::vector<uint8_t> lake = Bytes(presets + "/lake.q9q");
    ASSERT_TRUE(platform::WriteFileAtomically(Path("text.png"), "not a picture", 13));

    EXPECT_EQ(RunPresets({"refresh", Path("absent"), "--picture", image}), kExitFailure);
    EXPECT_EQ(RunPresets({"refresh", presets + "/lake.q9q", "--picture", image}), kExitFailure);
    EXPECT_EQ(RunPresets({"refresh", presets, "--picture", Path("absent.png")}), kExitFailure);
    EXPECT_EQ(RunPresets({"refresh", presets, "--picture", Path("text.png")}), kExitFailure);
    EXPECT_EQ(RunPresets({"refresh", presets}), kExitUsage);
    EXPECT_EQ(RunPresets({"refresh", "--picture", image}), kExitUsage);
    EXPECT_EQ(RunPresets({"refresh", presets, presets, "--picture", image}), kExitUsage);
    EXPECT_EQ(RunPresets({"rename", presets, "--picture", image}), kExitUsage);
    EXPECT_EQ(RunPresets({}), kExitUsage);
    EXPECT_EQ(RunPresets({"refresh", presets, "--picture", image, "--threads", "0"}), kExitUsage);
    EXPECT_EQ(Bytes(presets + "/lake.q9q"), lake);
    EXPECT_FALSE(platform::FileExists(presets + "/lake.q5q"));

    // An empty folder is no error.
    ASSERT_TRUE(fs::create_directory(Path("empty")));
    EXPECT_EQ(RunPresets({"refresh", Path("empty"), "--picture", image, "-q"}), kExitOk);
}

std::string Output(const std::function<int()>& run, int& status) {
    ::testing::internal::CaptureStdout();
    status = run();
    std::fflush(stdout);
    return ::testing::internal::GetCapturedStdout();
}

TEST_F(CommandFolder, DotsListShowAndClearReadTheMapAndTheFiles) {
    WritePreset(MemoryDotPath(0), 20, 1);   // stored, not kept
    WritePreset(MemoryDotPath(4), 35, 7);   // kept
    DotKeepFlags keep{};
    keep[4] = keep[9] = 1;  // dot 10 is kept but its file has gone
    ASSERT_TRUE(SaveDotMap(keep));

    int status = -1;
    std::string out = Output([] { return RunDots({"list"}); }, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_NE(out.find("dot 1   not kept"), std::string::npos) << out;
    EXPECT_NE(out.find("dot 5   kept      Complex, glue 7"), std::string::npos) << out;
    EXPECT_NE(out.find("horizon 35"), std::string::npos) << out;
    EXPECT_NE(out.find("dot 10  kept      (file missing)"), std::string::npos) << out;
    EXPECT_EQ(out.find("dot 2 "), std::string::npos) << "empty dots are not listed";
    EXPECT_NE(out.find("2 of 25 dots kept"), std::string::npos) << out;

    out = Output([] { return RunDots({"show", "5"}); }, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_NE(out.find("dot 5, kept"), std::string::npos) << out;
    EXPECT_NE(out.find("Horizon      35"), std::string::npos) << out;
    out = Output([] { return RunDots({"show", "1", "--json"}); }, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_NE(out.find("\"Horizon\": 20"), std::string::npos) << out;
    EXPECT_EQ(Output([] { return RunDots({"show", "10"}); }, status), "");
    EXPECT_EQ(status, kExitFailure);

    // Clearing takes the keep flag only; the file stays and still shows.
    Output([] { return RunDots({"clear", "5"}); }, status);
    EXPECT_EQ(status, kExitOk);
    DotKeepFlags after{};
    ASSERT_TRUE(LoadDotMap(after));
    EXPECT_EQ(after[4], 0);
    EXPECT_EQ(after[9], 1);
    EXPECT_TRUE(platform::FileExists(MemoryDotPath(4)));
    Output([] { return RunDots({"show", "5"}); }, status);
    EXPECT_EQ(status, kExitOk);
    out = Output([] { return RunDots({"clear", "5"}); }, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_NE(out.find("not kept; nothing to clear"), std::string::npos) << out;

    for (const Arguments& bad : {Arguments{}, Arguments{"show"}, Arguments{"show", "0"}, Arguments{"show", "26"},
                                 Arguments{"clear", "x"}, Arguments{"list", "3"}, Arguments{"list", "--json"},
                                 Arguments{"forget", "3"}}) {
        Output([&] { return RunDots(bad); }, status);
        EXPECT_EQ(status, kExitUsage) << (bad.empty() ? "" : bad[0]);
    }
}

TEST_F(CommandFolder, DotsOnAFreshFolderSayThereAreNone) {
    int status = -1;
    const std::string out = Output([] { return RunDots({"list"}); }, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_NE(out.find("no memory dot holds settings"), std::string::npos) << out;
    Output([] { return RunDots({"clear", "25"}); }, status);
    EXPECT_EQ(status, kExitOk);
    EXPECT_FALSE(platform::FileExists(DotMapPath())) << "nothing to clear, nothing written";
}

}  // namespace
}  // namespace tw::host
