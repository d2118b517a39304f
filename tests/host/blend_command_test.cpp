// `tarnwell blend`: the pixel arithmetic of laying one picture over another, and the
// command's handling of names, sizes and files.
#include <gtest/gtest.h>

#include <cstring>

#include "host/blend_command.h"
#include "host/picture.h"
#include "platform/platform.h"
#include "tests/host/test_support.h"

namespace tw::host {
namespace {

using testing::ScratchPath;

Picture Solid(int channels, int bits, std::vector<double> sample, int32_t w = 3, int32_t h = 2) {
    Picture p;
    p.Allocate(w, h, channels, bits);
    const size_t pixels = size_t(w) * size_t(h);
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < channels; ++c) {
            const size_t at = i * size_t(channels) + size_t(c);
            if (bits == 8) {
                p.data[at] = uint8_t(sample[size_t(c)]);
            } else {
                uint16_t s = uint16_t(sample[size_t(c)]);
                std::memcpy(&p.data[at * 2], &s, 2);
            }
        }
    return p;
}

double Sample(const Picture& p, size_t pixel, int channel) {
    const size_t at = pixel * size_t(p.channels) + size_t(channel);
    if (p.bits == 8) return p.data[at];
    uint16_t s;
    std::memcpy(&s, &p.data[at * 2], 2);
    return s;
}

TEST(BlendCommand, OpaqueTopCombinesByTheMode) {
    Picture top = Solid(3, 8, {255, 128, 0}), bottom = Solid(3, 8, {128, 128, 255}), out;
    std::string error;
    ASSERT_EQ(BlendPictures(top, bottom, 9, out, error), kExitOk) << error;  // multiply
    EXPECT_EQ(out.channels, 3);
    EXPECT_EQ(out.bits, 8);
    EXPECT_NEAR(Sample(out, 0, 0), 128, 1);
    EXPECT_NEAR(Sample(out, 0, 1), 64, 1);
    EXPECT_NEAR(Sample(out, 5, 2), 0, 1);
    ASSERT_EQ(BlendPictures(top, bottom, 1, out, error), kExitOk);  // normal: the top
    EXPECT_EQ(Sample(out, 3, 0), 255);
    EXPECT_EQ(Sample(out, 3, 2), 0);
    // Colour over grey gives colour.
    ASSERT_EQ(BlendPictures(top, Solid(1, 8, {100}), 5, out, error), kExitOk);  // lighten
    EXPECT_EQ(out.channels, 3);
    EXPECT_EQ(Sample(out, 0, 0), 255);
    EXPECT_EQ(Sample(out, 0, 1), 128);
    EXPECT_EQ(Sample(out, 0, 2), 100);
}

TEST(BlendCommand, TopAlphaLaysTheBlendOverTheBottom) {
    std::string error;
    Picture bottom = Solid(3, 16, {0, 65535, 20000}), out;
    // Fully transparent top: the bottom comes through untouched, at 16 bits.
    ASSERT_EQ(BlendPictures(Solid(4, 16, {65535, 0, 0, 0}), bottom, 1, out, error), kExitOk);
    EXPECT_EQ(out.bits, 16);
    EXPECT_EQ(out.channels, 3);
    EXPECT_EQ(Sample(out, 0, 0), 0);
    EXPECT_EQ(Sample(out, 0, 1), 65535);
    EXPECT_EQ(Sample(out, 0, 2), 20000);
    // Half-covering top over an opaque bottom: half way between the two.
    ASSERT_EQ(BlendPictures(Solid(4, 16, {65535, 0, 20000, 32768}), bottom, 1, out, error), kExitOk);
    EXPECT_NEAR(Sample(out, 1, 0), 32768, 2);
    EXPECT_NEAR(Sample(out, 1, 1), 32767, 2);
    EXPECT_NEAR(Sample(out, 1, 2), 20000, 2);
}

TEST(BlendCommand, BottomTransparencyIsKept) {
    std::string error;
    Picture out;
    // Half-covering top over a quarter-covering bottom: alpha 1/4 + 1/2 (3/4) = 5/8, and
    // the colour leans towards the top by 1/2 over 5/8.
    ASSERT_EQ(BlendPictures(Solid(2, 8, {255, 128}), Solid(2, 8, {0, 64}), 1, out, error), kExitOk);
    EXPECT_EQ(out.channels, 2);  // both grey: grey with alpha
    EXPECT_NEAR(Sample(out, 0, 1), 255.0 * (64.0 / 255 + 128.0 / 255 * (1 - 64.0 / 255)), 1.5);
    double a = 128.0 / 255, ba = 64.0 / 255;
    EXPECT_NEAR(Sample(out, 0, 0), 255.0 * a / (ba + a - ba * a), 1.5);
}

TEST(BlendCommand, PicturesOfDifferentSizesAreRefused) {
    std::string error;
    Picture out;
    EXPECT_EQ(BlendPictures(Solid(3, 8, {1, 2, 3}, 4, 4), Solid(3, 8, {1, 2, 3}, 4, 5), 9, out, error),
              kExitFailure);
    EXPECT_NE(error.find("4x4"), std::string::npos) << error;
    EXPECT_NE(error.find("4x5"), std::string::npos) << error;
}

TEST(BlendCommand, CommandLineFromFilesToFile) {
    const std::string top = ScratchPath("blend-top.png"), bottom = ScratchPath("blend-bottom.png");
    const std::string out = ScratchPath("blend-out.png");
    std::string error;
    ASSERT_TRUE(WritePicture(top, Solid(3, 8, {255, 128, 0}), {}, error)) << error;
    ASSERT_TRUE(WritePicture(bottom, Solid(3, 8, {128, 128, 255}), {}, error)) << error;

    EXPECT_EQ(RunBlend({top, bottom, out, "--mode", "Multiply", "-q"}), kExitOk);
    Picture written;
    ASSERT_TRUE(ReadPicture(out, written, error)) << error;
    EXPECT_NEAR(Sample(written, 0, 1), 64, 1);
    EXPECT_EQ(RunBlend({top, bottom, out, "--mode=62", "-q"}), kExitOk);

    // An unknown name is a usage error that offers the nearest names; nothing is written.
    platform::RemoveFile(out);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunBlend({top, bottom, out, "--mode", "multipyl"}), kExitUsage);
    std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("'multiply'"), std::string::npos) << message;
    EXPECT_FALSE(platform::FileExists(out));

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunBlend({top, bottom, out}), kExitUsage);  // no mode
    EXPECT_EQ(RunBlend({top, bottom, out, "--mode", "70"}), kExitUsage);
    EXPECT_EQ(RunBlend({top, bottom, "--mode", "1"}), kExitUsage);
    EXPECT_EQ(RunBlend({top, bottom, out, "--mode", "1", "--frobnicate"}), kExitUsage);
    EXPECT_EQ(RunBlend({top, ScratchPath("missing.png"), out, "--mode", "1"}), kExitFailure);
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(platform::FileExists(out));
}

TEST(BlendCommand, ListShowsEveryModeAndBothNamesOf26) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(RunBlend({"--list"}), kExitOk);
    std::string list = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(list.find("  1  normal"), std::string::npos);
    EXPECT_NE(list.find(" 26  hard diff"), std::string::npos);
    EXPECT_NE(list.find("harsh diff"), std::string::npos);
    EXPECT_NE(list.find(" 69  contrast negate"), std::string::npos);
}

}  // namespace
}  // namespace tw::host
