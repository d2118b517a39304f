// The dialog's pictures as the view will load them from the built module: JPEG pictures
// decoded and scaled by load_picture, bitmaps, icons and cursors, and every way a picture
// can fail to come.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include <objbase.h>

#include "resources/artwork_ids.h"
#include "tests/windows/dialog_driver.h"
#include "ui/win32/pictures_win32.h"

namespace tw::testing {
namespace {

class Pictures : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExA(TARNWELL_PLUGIN_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "cannot load " << TARNWELL_PLUGIN_PATH; }
    static HINSTANCE module_;
};
HINSTANCE Pictures::module_ = nullptr;

// A decoded picture's pixels, and the handle freed.
Capture Decode(HINSTANCE module, int id, int width, int height) {
    HBITMAP picture = load_picture(module, id, TW_JPEG_TYPE, width, height);
    if (!picture) return {};
    Capture c = CaptureBitmap(picture);
    DeleteObject(picture);
    return c;
}

// The picture halved by averaging 2 x 2 blocks: what a good scaler is close to.
Capture BoxHalf(const Capture& full) {
    Capture half;
    half.width = full.width / 2;
    half.height = full.height / 2;
    for (int y = 0; y < half.height; ++y) {
        for (int x = 0; x < half.width; ++x) {
            half.pixels.push_back(MeanColour(full, RECT{2 * x, 2 * y, 2 * x + 2, 2 * y + 2}));
        }
    }
    return half;
}

// The picture halved by taking one pixel of each block: a nearest-neighbour scaler.
Capture NearestHalf(const Capture& full) {
    Capture half;
    half.width = full.width / 2;
    half.height = full.height / 2;
    for (int y = 0; y < half.height; ++y)
        for (int x = 0; x < half.width; ++x) half.pixels.push_back(full.at(2 * x + 1, 2 * y + 1));
    return half;
}

double MeanDifference(const Capture& a, const Capture& b) {
    if (a.width != b.width || a.height != b.height || a.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const uint32_t p = a.pixels[i], q = b.pixels[i];
        sum += std::abs(Red(p) - Red(q)) + std::abs(Green(p) - Green(q)) + std::abs(Blue(p) - Blue(q));
    }
    return sum / (3.0 * double(a.pixels.size()));
}

TEST_F(Pictures, JpegPicturesDecodeAtTheirOwnSize) {
    struct Own { int id, width, height; };
    for (const Own& p : {Own{TW_JPEG_ABOUT, 1040, 426}, Own{TW_JPEG_HEADING_VIEW, 90, 30},
                         Own{TW_JPEG_HEADING_RIPPLE, 90, 30}, Own{TW_JPEG_DIRECTION_PAD, 170, 170},
                         Own{TW_JPEG_DOT_EMPTY_BASE, 40, 40}, Own{TW_JPEG_DOT_KEPT_CURRENT_BASE + 1, 40, 40}}) {
        const Capture c = Decode(module_, p.id, 0, 0);
        EXPECT_EQ(c.width, p.width) << "picture " << p.id;
        EXPECT_EQ(c.height, p.height) << "picture " << p.id;
    }
}

TEST_F(Pictures, AHeadingIsMostlyTheDialogsGrey) {
    // The headings are words drawn on the dialog's background (226, 226, 226); the JPEG's
    // rounding leaves it within a few levels.
    const Capture c = Decode(module_, TW_JPEG_HEADING_WATER, 0, 0);
    ASSERT_FALSE(c.empty());
    const RECT all{0, 0, c.width, c.height};
    EXPECT_GT(ShareOfColour(c, all, Rgb(226, 226, 226), 6), 0.6);
    // ... and the word is there: some pixels are much darker.
    EXPECT_LT(ShareOfColour(c, all, Rgb(226, 226, 226), 60), 0.97);
}

TEST_F(Pictures, ScaledPicturesComeFromTheResamplerNotFromNearestPixels) {
    const Capture full = Decode(module_, TW_JPEG_DIRECTION_PAD, 0, 0);
    ASSERT_EQ(full.width, 170);
    const Capture half = Decode(module_, TW_JPEG_DIRECTION_PAD, 85, 85);
    ASSERT_EQ(half.width, 85);
    ASSERT_EQ(half.height, 85);
    const Capture box = BoxHalf(full), nearest = NearestHalf(full);
    const double resampled_error = MeanDifference(half, box);
    const double nearest_error = MeanDifference(nearest, box);
    EXPECT_LT(resampled_error, 4.0) << "the half-size pad is the picture, averaged";
    EXPECT_LT(resampled_error, nearest_error) << "closer to the average than picking pixels is";
}

TEST_F(Pictures, PicturesScaleUpAndToOtherProportions) {
    const Capture dot = Decode(module_, TW_JPEG_DOT_FILLED_BASE, 0, 0);
    const Capture big = Decode(module_, TW_JPEG_DOT_FILLED_BASE, 80, 80);
    ASSERT_EQ(big.width, 80);
    ASSERT_EQ(big.height, 80);
    // Every 2 x 2 block of the doubled dot averages to about the dot's pixel.
    EXPECT_LT(MeanDifference(BoxHalf(big), dot), 6.0);

    const Capture wide = Decode(module_, TW_JPEG_ABOUT, 520, 100);
    EXPECT_EQ(wide.width, 520);
    EXPECT_EQ(wide.height, 100);
    const Capture one = Decode(module_, TW_JPEG_HEADING_VIEW, 1, 1);
    ASSERT_EQ(one.width, 1);
    EXPECT_LE(ColourDistance(one.pixels[0], Rgb(226, 226, 226)), 40) << "one pixel of a heading is about its grey";
}

TEST_F(Pictures, NothingComesForMissingOrImpossiblePictures) {
    EXPECT_EQ(load_picture(module_, 999, TW_JPEG_TYPE, 0, 0), nullptr) << "no such id";
    EXPECT_EQ(load_picture(module_, TW_JPEG_ABOUT, "PNG", 0, 0), nullptr) << "no such type";
    EXPECT_EQ(load_picture(module_, 16000, "PIPL", 0, 0), nullptr) << "not a picture";
    EXPECT_EQ(load_picture(nullptr, TW_JPEG_ABOUT, TW_JPEG_TYPE, 0, 0), nullptr) << "not this module's";
    EXPECT_EQ(load_picture(module_, TW_JPEG_ABOUT, TW_JPEG_TYPE, -1, 10), nullptr);
    EXPECT_EQ(load_picture(module_, TW_JPEG_ABOUT, TW_JPEG_TYPE, 10, -1), nullptr);
    EXPECT_EQ(load_picture(module_, TW_JPEG_ABOUT, TW_JPEG_TYPE, 10, 0), nullptr) << "a width without a height";
    EXPECT_EQ(load_picture(module_, TW_JPEG_ABOUT, TW_JPEG_TYPE, 0x40000000, 1), nullptr) << "a row beyond 0x3FFFFFFF pixels";
    EXPECT_EQ(load_picture(module_, TW_JPEG_ABOUT, TW_JPEG_TYPE, 70000, 70000), nullptr) << "more than 0xFFFFFFFE bytes";
    HBITMAP fine = load_picture(module_, TW_JPEG_ABOUT, TW_JPEG_TYPE, 2000, 900);
    EXPECT_NE(fine, nullptr);
    if (fine) DeleteObject(fine);
}

TEST_F(Pictures, ThreadsOfEitherComModelGetPicturesAndKeepTheirModel) {
    struct Outcome { bool picture = false; HRESULT after = E_FAIL; };
    // `model` -1: the thread never initialises COM itself.
    auto run = [&](int model) {
        Outcome o;
        std::thread([&] {
            const HRESULT own = model >= 0 ? CoInitializeEx(nullptr, DWORD(model)) : S_OK;
            HBITMAP p = load_picture(module_, TW_JPEG_HEADING_VIEW, TW_JPEG_TYPE, 0, 0);
            o.picture = p != nullptr;
            if (p) DeleteObject(p);
            // The thread's model is as it was: nothing left initialised, nothing changed.
            o.after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(o.after)) CoUninitialize();
            if (model >= 0 && SUCCEEDED(own)) CoUninitialize();
        }).join();
        return o;
    };
    const Outcome plain = run(-1);
    EXPECT_TRUE(plain.picture);
    EXPECT_EQ(plain.after, S_OK) << "load_picture left the thread's COM initialised";
    const Outcome multi = run(COINIT_MULTITHREADED);
    EXPECT_TRUE(multi.picture) << "a host thread in the multi-threaded model still gets pictures";
    EXPECT_EQ(multi.after, S_FALSE);
    const Outcome single = run(COINIT_APARTMENTTHREADED);
    EXPECT_TRUE(single.picture);
    EXPECT_EQ(single.after, RPC_E_CHANGED_MODE);
}

TEST_F(Pictures, LoadingAndFreeingLeavesNoGdiObjects) {
    HBITMAP warm = load_picture(module_, TW_JPEG_DOT_EMPTY_BASE, TW_JPEG_TYPE, 20, 20);
    if (warm) DeleteObject(warm);
    const DWORD before = GdiObjectCount();
    if (before == 0) GTEST_SKIP() << "this system counts no GDI objects";
    for (int i = 0; i < 100; ++i) {
        HBITMAP p = load_picture(module_, TW_JPEG_DOT_EMPTY_BASE + (i % 2), TW_JPEG_TYPE, i % 3 ? 20 : 0, i % 3 ? 20 : 0);
        ASSERT_NE(p, nullptr);
        DeleteObject(p);
        HICON icon = LoadIconPicture(module_, TW_ICON_DICE, 16 + (i % 2) * 8);
        ASSERT_NE(icon, nullptr);
        DestroyIcon(icon);
    }
    EXPECT_LE(GdiObjectCount(), before + 1);
}

TEST_F(Pictures, BitmapsIconsAndCursorsComeFromTheModule) {
    HBITMAP info = LoadBitmapPicture(module_, TW_BMP_INFO);
    ASSERT_NE(info, nullptr);
    const Capture c = CaptureBitmap(info);
    DeleteObject(info);
    EXPECT_EQ(c.width, 1452);
    EXPECT_EQ(c.height, 900);
    EXPECT_EQ(LoadBitmapPicture(module_, 999), nullptr);

    for (int size : {16, 20, 24, 48}) {
        HICON icon = LoadIconPicture(module_, TW_ICON_ZOOM_IN, size);
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO parts{};
        ASSERT_TRUE(GetIconInfo(icon, &parts));
        EXPECT_EQ(CaptureBitmap(parts.hbmColor).width, size);
        DeleteObject(parts.hbmColor);
        DeleteObject(parts.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_EQ(LoadIconPicture(module_, TW_ICON_ZOOM_IN, 0), nullptr);
    EXPECT_EQ(LoadIconPicture(module_, 999, 16), nullptr);

    HCURSOR point = LoadCursorPicture(module_, TW_CURSOR_POINT);
    ASSERT_NE(point, nullptr);
    ICONINFO hot{};
    ASSERT_TRUE(GetIconInfo(point, &hot));
    EXPECT_EQ(hot.xHotspot, 12u);
    EXPECT_EQ(hot.yHotspot, 1u);
    if (hot.hbmColor) DeleteObject(hot.hbmColor);
    if (hot.hbmMask) DeleteObject(hot.hbmMask);
    EXPECT_EQ(LoadCursorPicture(module_, 999), nullptr);
}

}  // namespace
}  // namespace tw::testing
