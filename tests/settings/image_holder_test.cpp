// The ImageBuffer picture holder: ramp, conversions and settings files through it.
#include "settings/image_holder.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "scratch_folder.h"

namespace tw {
namespace {

class ImageHolder : public testing::ScratchFolderTest {
protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        resetImageBuffer(holder);
        ASSERT_TRUE(initImageBuffer(holder, 128, 128, kRgba8));
        ResetParams(params);
    }
    void TearDown() override {
        destroyImageBuffer(&holder);
        ScratchFolderTest::TearDown();
    }
    ImageBuffer holder{};
    RenderParams params{};
};

TEST_F(ImageHolder, RampAndByteConversionAgree) {
    ASSERT_TRUE(ResetImageToRamp(holder));
    Picture picture;
    ASSERT_TRUE(PictureFromImage(holder, picture));
    Picture ramp;
    ResetPictureToRamp(ramp);
    EXPECT_EQ(picture.rgb, ramp.rgb);

    std::vector<uint8_t> direct, through_image;
    EncodeJpeg(ramp, direct, 50);
    ASSERT_GT(EncodeJpegFromImage(holder, through_image, 50), 0u);
    EXPECT_EQ(direct, through_image);
    ImageBuffer empty{};
    resetImageBuffer(empty);
    EXPECT_EQ(EncodeJpegFromImage(empty, through_image, 50), 0u);
}

TEST_F(ImageHolder, PictureTravelsThroughAFile) {
    std::vector<uint8_t> preview(200 * 150 * 3);
    for (size_t i = 0; i < preview.size(); ++i) preview[i] = uint8_t(i / (200 * 150) * 100 + 20);
    ASSERT_TRUE(CaptureIntoImage(PlanarView{preview.data(), 200, 150, 3}, holder));
    const std::string path = Path("pictured.q8r");
    ASSERT_TRUE(WriteSettingsWithImage(path, params, &holder, true));

    ImageBuffer other{};
    resetImageBuffer(other);
    ASSERT_TRUE(initImageBuffer(other, 128, 128, kRgba8));
    ResetImageToRamp(other);
    bool found = false;
    ASSERT_TRUE(ReadSettingsIntoImage(path, params, ReadMode::ThumbnailOnly, &other, &found));
    EXPECT_TRUE(found);
    const PixelRgba c = readPixel(other, 0, 64, 0);
    EXPECT_NEAR(c.r * 255, 20, 4);
    EXPECT_NEAR(c.g * 255, 120, 4);
    EXPECT_NEAR(c.b * 255, 220, 4);

    // A file without a picture leaves the holder as it was.
    ResetImageToRamp(other);
    ASSERT_TRUE(WriteSettingsWithImage(path, params, &holder, false));
    ASSERT_TRUE(ReadSettingsIntoImage(path, params, ReadMode::Full, &other, &found));
    EXPECT_FALSE(found);
    EXPECT_NEAR(readPixel(other, 0, 3, 100).g * 255, 155, 0.5);
    destroyImageBuffer(&other);

    // An empty holder is no holder: no picture is written.
    ImageBuffer empty{};
    resetImageBuffer(empty);
    ASSERT_TRUE(WriteSettingsWithImage(path, params, &empty, true));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes.size(), 364u);
}

}  // namespace
}  // namespace tw
