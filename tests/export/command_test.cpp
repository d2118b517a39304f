// `tarnwell export-psd` and `tarnwell gallery` end to end: sizes and depth of the document,
// settings on the command line, refusals that leave no file behind, and the memory-dots
// page rendered by the plug-in's own code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/commands.h"
#include "host/export_command.h"
#include "host/picture.h"
#include "platform/big_endian.h"
#include "platform/platform.h"
#include "settings/dot_map.h"
#include "settings/jpeg_memory.h"
#include "settings/settings_file.h"
#include "test_pictures.h"

namespace tw::host {
namespace {

// A picture with a clear horizon: sky above, dark ground below.
std::string WriteInput(const test::ScratchFolder& folder, const std::string& name, int bits,
                       int channels = 3) {
    Picture picture;
    EXPECT_TRUE(picture.Allocate(48, 36, channels, bits));
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 48; ++x)
            for (int c = 0; c < channels; ++c) {
                const double v = c == 3 ? (x < 8 ? 0.0 : 1.0) : (y < 18 ? 0.9 - 0.2 * c : 0.1 + 0.01 * x);
                const size_t i = (size_t(y) * 48 + size_t(x)) * size_t(channels) + size_t(c);
                if (bits == 8) picture.data[i] = uint8_t(v * 255);
                else reinterpret_cast<uint16_t*>(picture.data.data())[i] = uint16_t(v * 65535);
            }
    std::string error;
    const std::string path = folder / name;
    EXPECT_TRUE(WritePicture(path, picture, WriteOptions{}, error)) << error;
    return path;
}

struct Header {
    uint16_t channels = 0, depth = 0;
    uint32_t width = 0, height = 0;
};

Header ReadHeader(const std::string& path) {
    std::vector<uint8_t> bytes;
    Header h;
    if (!platform::ReadWholeFile(path, bytes)) return h;
    BigEndianReader r(bytes);
    r.skip(12);
    r.get16(h.channels);
    r.get32(h.height);
    r.get32(h.width);
    r.get16(h.depth);
    return h;
}

std::vector<uint8_t> Bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    platform::ReadWholeFile(path, bytes);
    return bytes;
}

TEST(ExportPsdCommand, SizeAndDepthFollowTheInputAndOptions) {
    test::ScratchFolder folder("cmd-psd");
    const std::string in8 = WriteInput(folder, "in8.png", 8, 4);
    const std::string in16 = WriteInput(folder, "in16.png", 16);
    ASSERT_EQ(RunExportPsd({in8, folder / "same.psd", "-q"}), kExitOk);
    Header h = ReadHeader(folder / "same.psd");
    EXPECT_EQ(h.width, 48u);
    EXPECT_EQ(h.height, 36u);
    EXPECT_EQ(h.depth, 8);

    ASSERT_EQ(RunExportPsd({in16, folder / "half.psd", "--width", "24", "-q"}), kExitOk);
    h = ReadHeader(folder / "half.psd");
    EXPECT_EQ(h.width, 24u);
    EXPECT_EQ(h.height, 18u);
    EXPECT_EQ(h.depth, 16);
    EXPECT_EQ(h.channels, 4);

    // Sides outside 2..30000 are brought inside, not refused.
    ASSERT_EQ(RunExportPsd({in8, folder / "small.psd", "--size=0x5", "-q"}), kExitOk);
    h = ReadHeader(folder / "small.psd");
    EXPECT_EQ(h.width, 2u);
    EXPECT_EQ(h.height, 5u);
}

TEST(ExportPsdCommand, SettingsChangeTheRenderAndRepeatExactly) {
    test::ScratchFolder folder("cmd-settings");
    const std::string in = WriteInput(folder, "in.png", 8);
    ASSERT_EQ(RunExportPsd({in, folder / "a.psd", "--set", "seed=5", "--set", "waviness=80", "-q"}), kExitOk);
    ASSERT_EQ(RunExportPsd({in, folder / "b.psd", "--set", "seed=5", "--set", "waviness=80", "-q"}), kExitOk);
    ASSERT_EQ(RunExportPsd({in, folder / "c.psd", "--set", "seed=6", "--set", "waviness=80", "-q"}), kExitOk);
    EXPECT_EQ(Bytes(folder / "a.psd"), Bytes(folder / "b.psd"));
    EXPECT_NE(Bytes(folder / "a.psd"), Bytes(folder / "c.psd"));

    // A settings file is used: its values change the render, and a --set after it wins.
    RenderParams params{};
    ResetParams(params);
    params.seed = 5;
    params.waviness = 80;
    ASSERT_TRUE(WriteSettings(folder / "s.q8r", params, nullptr, false));
    ASSERT_EQ(RunExportPsd({in, folder / "plain.psd", "-q"}), kExitOk);
    ASSERT_EQ(RunExportPsd({in, folder / "d.psd", "--settings", folder / "s.q8r", "-q"}), kExitOk);
    ASSERT_EQ(RunExportPsd({in, folder / "e.psd", "--settings", folder / "s.q8r", "--set", "seed=6", "-q"}),
              kExitOk);
    EXPECT_NE(Bytes(folder / "d.psd"), Bytes(folder / "plain.psd"));
    EXPECT_NE(Bytes(folder / "d.psd"), Bytes(folder / "e.psd"));
}

TEST(ExportPsdCommand, BadRequestsWriteNothing) {
    test::ScratchFolder folder("cmd-bad");
    const std::string in = WriteInput(folder, "in.png", 8);
    const std::string out = folder / "out.psd";
    EXPECT_EQ(RunExportPsd({in}), kExitUsage);
    EXPECT_EQ(RunExportPsd({in, out, "--bogus"}), kExitUsage);
    EXPECT_EQ(RunExportPsd({in, out, "--size", "12"}), kExitUsage);
    EXPECT_EQ(RunExportPsd({in, out, "--set", "horizon=150"}), kExitUsage);
    EXPECT_EQ(RunExportPsd({in, out, "--set", "horizon"}), kExitUsage);
    EXPECT_EQ(RunExportPsd({in, out, "--settings", folder / "none.q8r"}), kExitUsage);
    EXPECT_EQ(RunExportPsd({folder / "missing.png", out}), kExitFailure);
    // A bad setting is a usage error found before the picture is read.
    EXPECT_EQ(RunExportPsd({folder / "missing.png", out, "--set", "wobble=1"}), kExitUsage);
    EXPECT_EQ(RunExportPsd({in, folder / "no/such/folder/out.psd", "-q"}), kExitFailure);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(RunExportPsd({"--help"}), kExitOk);
}

TEST(GalleryCommand, DotsAreRenderedAtThePictureSize) {
    test::ScratchFolder folder("cmd-dots"), temp("cmd-dots-temp");
    test::TempFolderOverride override_temp(temp.path());
    const std::string in = WriteInput(folder, "in.png", 8);
    DotKeepFlags keep{};
    keep[1] = 1;
    ASSERT_TRUE(SaveDotMap(keep));
    RenderParams params{};
    ResetParams(params);
    ASSERT_TRUE(WriteSettings(MemoryDotPath(1), params, nullptr, false));

    const std::string page = folder / "Tarnwell memory dots.html";
    ASSERT_EQ(RunGallery({"dots", page, "--image", in, "-q"}), kExitOk);
    const std::vector<uint8_t> html = Bytes(page);
    EXPECT_NE(std::string(html.begin(), html.end()).find("web_images/dot%202.jpg"), std::string::npos);
    const std::vector<uint8_t> jpeg = Bytes(folder / "web_images/dot 2.jpg");
    int width = 0, height = 0;
    ASSERT_TRUE(JpegDimensions(jpeg.data(), jpeg.size(), width, height));
    EXPECT_EQ(width, 48);
    EXPECT_EQ(height, 36);
}

TEST(GalleryCommand, UsageErrors) {
    test::ScratchFolder folder("cmd-gallery");
    EXPECT_EQ(RunGallery({}), kExitUsage);
    EXPECT_EQ(RunGallery({"pictures", "x.html"}), kExitUsage);
    EXPECT_EQ(RunGallery({"dots", folder / "d.html"}), kExitUsage);  // no --image
    EXPECT_EQ(RunGallery({"presets", folder.path()}), kExitUsage);   // no page
    EXPECT_EQ(RunGallery({"presets", folder / "none", folder / "p.html", "-q"}), kExitFailure);
    EXPECT_FALSE(std::filesystem::exists(folder / "p.html"));
    EXPECT_EQ(RunGallery({"presets", folder.path(), folder / "p.html", "-q"}), kExitOk);
    EXPECT_TRUE(std::filesystem::exists(folder / "p.html"));
}

}  // namespace
}  // namespace tw::host
