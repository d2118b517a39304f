// The picture holder: its ramp, scaling and the capture of the preview's centre square.
#include "settings/picture.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(PictureHolder, RampGoesFromWhiteDownByRow) {
    Picture p;
    ResetPictureToRamp(p);
    ASSERT_EQ(p.width, 128);
    ASSERT_EQ(p.height, 128);
    EXPECT_EQ(p.pixel(0, 0)[0], 255);
    EXPECT_EQ(p.pixel(77, 0)[2], 255);
    EXPECT_EQ(p.pixel(5, 127)[1], 128);
    EXPECT_EQ(p.pixel(127, 40)[0], 215);
}

TEST(PictureHolder, ScalingKeepsFlatColourAndAverages) {
    Picture two;
    AllocatePicture(two, 2, 1);
    two.pixel(0, 0)[0] = 0;
    two.pixel(1, 0)[0] = 200;
    Picture one;
    ASSERT_TRUE(ScalePicture(two, one, 1, 1));
    EXPECT_EQ(one.pixel(0, 0)[0], 100);

    Picture wide;
    ASSERT_TRUE(ScalePicture(two, wide, 8, 3));
    EXPECT_EQ(wide.pixel(0, 2)[0], 0) << "edge pixels stay at the edge value";
    EXPECT_EQ(wide.pixel(7, 0)[0], 200);
    for (int x = 1; x < 8; ++x) EXPECT_GE(wide.pixel(x, 1)[0], wide.pixel(x - 1, 1)[0]);

    Picture odd;
    AllocatePicture(odd, 97, 61);
    for (uint8_t& v : odd.rgb) v = 77;
    Picture scaled;
    ASSERT_TRUE(ScalePicture(odd, scaled, 128, 128));
    for (uint8_t v : scaled.rgb) ASSERT_EQ(v, 77);
    ASSERT_TRUE(ScalePicture(odd, scaled, 13, 40));
    for (uint8_t v : scaled.rgb) ASSERT_EQ(v, 77);
    EXPECT_FALSE(ScalePicture(Picture{}, scaled, 4, 4));
    EXPECT_FALSE(ScalePicture(odd, scaled, 0, 4));
}

TEST(PictureHolder, CaptureTakesTheCentredSquareOfThePreview) {
    // A 300 x 100 three-plane preview: red rises left to right, green marks the centre third.
    const int w = 300, h = 100;
    std::vector<uint8_t> planes(size_t(w) * h * 3, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            planes[size_t(y) * w + x] = uint8_t(x * 255 / (w - 1));
            planes[size_t(w) * h + size_t(y) * w + x] = (x >= 100 && x < 200) ? 255 : 0;
            planes[2 * size_t(w) * h + size_t(y) * w + x] = uint8_t(y);
        }
    Picture holder;
    ASSERT_TRUE(CapturePicture(PlanarView{planes.data(), w, h, 3}, holder));
    ASSERT_EQ(holder.width, 128);
    ASSERT_EQ(holder.height, 128);
    for (int x = 0; x < 128; ++x) EXPECT_EQ(holder.pixel(x, 64)[1], 255) << x;
    EXPECT_NEAR(holder.pixel(0, 0)[0], 100 * 255 / 299, 2);
    EXPECT_NEAR(holder.pixel(127, 0)[0], 199 * 255 / 299, 2);
    EXPECT_NEAR(holder.pixel(3, 127)[2], 99, 1);

    // One plane is grey: the same value in all three channels.
    std::vector<uint8_t> grey(20 * 30, 60);
    ASSERT_TRUE(CapturePicture(PlanarView{grey.data(), 20, 30, 1}, holder));
    EXPECT_EQ(holder.pixel(50, 50)[0], 60);
    EXPECT_EQ(holder.pixel(50, 50)[2], 60);

    const Picture kept = holder;
    EXPECT_FALSE(CapturePicture(PlanarView{grey.data(), 0, 30, 1}, holder));
    EXPECT_EQ(holder.rgb, kept.rgb);
}

}  // namespace
}  // namespace tw
