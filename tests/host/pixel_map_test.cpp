// What displayPixels draws: pixel maps of every layout and depth the plug-in may hand the
// host, read into screen rows, and the maps it must refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "host/host_session.h"
#include "host/host_window.h"
#include "host/pixel_map.h"
#include "hostapi/host_constants.h"

namespace tw::host {
namespace {

// Blue, green, red of screen pixel (x, y).
std::vector<int> At(const ScreenRows& rows, int x, int y) {
    const uint8_t* p = rows.bytes.data() + size_t(y) * size_t(rows.stride) + size_t(x) * 3;
    return {p[0], p[1], p[2]};
}

// A 3 x 2 RGB picture, (x, y) = red 10x + y, green 100 + x, blue 200 + y, in both layouts.
struct SmallPicture {
    std::vector<uint8_t> interleaved, planar;
    SmallPicture() {
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const uint8_t rgb[3] = {uint8_t(10 * x + y), uint8_t(100 + x), uint8_t(200 + y)};
                interleaved.insert(interleaved.end(), rgb, rgb + 3);
            }
        planar.resize(18);
        for (int p = 0; p < 3; ++p)
            for (int i = 0; i < 6; ++i) planar[size_t(p * 6 + i)] = interleaved[size_t(i * 3 + p)];
    }
};

PSPixelMap Map(void* pixels, int32_t mode, int32_t row, int32_t column, int32_t plane, VRect bounds = {0, 0, 2, 3}) {
    PSPixelMap map{};
    map.version = 1;
    map.bounds = bounds;
    map.imageMode = mode;
    map.rowBytes = row;
    map.colBytes = column;
    map.planeBytes = plane;
    map.baseAddr = pixels;
    return map;
}

TEST(PixelMap, InterleavedAndPlanarMapsGiveTheSameScreenRows) {
    SmallPicture picture;
    ScreenRows a, b;
    const VRect all{0, 0, 2, 3};
    ASSERT_EQ(PixelMapToScreenRows(Map(picture.interleaved.data(), plugInModeRGBColor, 9, 3, 1), all, a), noErr);
    ASSERT_EQ(PixelMapToScreenRows(Map(picture.planar.data(), plugInModeRGBColor, 3, 1, 6), all, b), noErr);
    EXPECT_EQ(a.width, 3);
    EXPECT_EQ(a.height, 2);
    EXPECT_EQ(a.stride, 12) << "rows padded to 4 bytes";
    EXPECT_EQ(a.bytes, b.bytes);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(At(a, x, y), (std::vector<int>{200 + y, 100 + x, 10 * x + y})) << x << "," << y;
    EXPECT_EQ(a.bytes[9], 0) << "padding is zero";
}

TEST(PixelMap, RectanglesAreMapCoordinatesCutToTheBounds) {
    SmallPicture picture;
    // The same pixels, placed at (20, 10) in the map's coordinates.
    const PSPixelMap map = Map(picture.interleaved.data(), plugInModeRGBColor, 9, 3, 1, VRect{10, 20, 12, 23});
    ScreenRows rows;
    ASSERT_EQ(PixelMapToScreenRows(map, VRect{11, 21, 50, 50}, rows), noErr);
    ASSERT_EQ(rows.width, 2);
    ASSERT_EQ(rows.height, 1);
    EXPECT_EQ(At(rows, 0, 0), (std::vector<int>{201, 101, 11}));
    EXPECT_EQ(At(rows, 1, 0), (std::vector<int>{201, 102, 21}));
    ASSERT_EQ(PixelMapToScreenRows(map, VRect{0, 0, 10, 20}, rows), noErr) << "nothing inside";
    EXPECT_TRUE(rows.bytes.empty());
    ASSERT_EQ(PixelMapToScreenRows(map, VRect{12, 21, 11, 22}, rows), noErr) << "an upside-down rectangle";
    EXPECT_TRUE(rows.bytes.empty());
}

TEST(PixelMap, DeepSamplesAreRoundedToBytes) {
    const uint16_t grey16[4] = {0, 16384, 32768, 40000};  // the host's 0..32768 range
    ScreenRows rows;
    ASSERT_EQ(PixelMapToScreenRows(Map(const_cast<uint16_t*>(grey16), plugInModeGray16, 8, 2, 2, {0, 0, 1, 4}),
                                   VRect{0, 0, 1, 4}, rows), noErr);
    EXPECT_EQ(At(rows, 0, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(At(rows, 1, 0), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(At(rows, 2, 0), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(At(rows, 3, 0), (std::vector<int>{255, 255, 255})) << "above white is white";

    const float rgb96[6] = {-1.0f, std::numeric_limits<float>::quiet_NaN(), 0.5f, 2.0f, 1.0f, 0.25f};
    ASSERT_EQ(PixelMapToScreenRows(Map(const_cast<float*>(rgb96), plugInModeRGB96, 24, 12, 4, {0, 0, 1, 2}),
                                   VRect{0, 0, 1, 2}, rows), noErr);
    EXPECT_EQ(At(rows, 0, 0), (std::vector<int>{128, 0, 0}));
    EXPECT_EQ(At(rows, 1, 0), (std::vector<int>{64, 255, 255}));
}

TEST(PixelMap, MapsThatCannotBeDrawnAreRefused) {
    SmallPicture picture;
    ScreenRows rows;
    const VRect all{0, 0, 2, 3};
    PSPixelMap map = Map(picture.interleaved.data(), plugInModeRGBColor, 9, 3, 1);
    map.version = 0;
    EXPECT_EQ(PixelMapToScreenRows(map, all, rows), paramErr);
    map = Map(nullptr, plugInModeRGBColor, 9, 3, 1);
    EXPECT_EQ(PixelMapToScreenRows(map, all, rows), paramErr);
    for (int32_t mode : {int32_t(plugInModeCMYKColor), int32_t(plugInModeLabColor), int32_t(plugInModeIndexedColor),
                         int32_t(plugInModeBitmap), int32_t(99)}) {
        map = Map(picture.interleaved.data(), mode, 9, 3, 1);
        EXPECT_EQ(PixelMapToScreenRows(map, all, rows), filterBadMode) << "mode " << mode;
        EXPECT_EQ(CheckPixelMap(map), filterBadMode);
    }
    map = Map(picture.interleaved.data(), plugInModeRGBColor, 9, 3, 1, {0, 0, 1 << 20, 1 << 20});
    EXPECT_EQ(PixelMapToScreenRows(map, VRect{0, 0, 1 << 20, 1 << 20}, rows), memFullErr)
        << "a map larger than any screen is refused before anything is read";
}

TEST(PixelMap, ADocumentsMapShowsItsColourPlanes) {
    Document doc;
    doc.width = 2;
    doc.height = 1;
    doc.colour_planes = 3;
    doc.transparency = true;
    doc.depth = 16;
    const uint16_t samples[8] = {32768, 0, 0, 100, 0, 16384, 32768, 32768};
    doc.pixels.resize(sizeof samples);
    std::memcpy(doc.pixels.data(), samples, sizeof samples);
    ScreenRows rows;
    ASSERT_EQ(PixelMapToScreenRows(DocumentPixelMap(doc), VRect{0, 0, 1, 2}, rows), noErr);
    EXPECT_EQ(At(rows, 0, 0), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ(At(rows, 1, 0), (std::vector<int>{255, 128, 0}));
}

TEST(PixelMap, TheHostsDisplayProcedureChecksWhatItIsGiven) {
    Document doc;
    doc.width = 3;
    doc.height = 2;
    doc.pixels.assign(doc.RowBytes() * 2, 7);
    HostSession session;
    session.BeginRun(doc, {});
    const FilterRecord& r = session.record();
    ASSERT_NE(r.displayPixels, nullptr);
    SmallPicture picture;
    const PSPixelMap good = Map(picture.interleaved.data(), plugInModeRGBColor, 9, 3, 1);
    const VRect all{0, 0, 2, 3};
    // No device context: nothing to draw into, but the map is still checked.
    EXPECT_EQ(r.displayPixels(&good, &all, 0, 0, nullptr), noErr);
    const PSPixelMap cmyk = Map(picture.interleaved.data(), plugInModeCMYKColor, 9, 3, 1);
    EXPECT_EQ(r.displayPixels(&cmyk, &all, 0, 0, nullptr), filterBadMode);
    EXPECT_EQ(r.displayPixels(nullptr, &all, 0, 0, nullptr), paramErr);
    EXPECT_EQ(r.displayPixels(&good, nullptr, 0, 0, nullptr), paramErr);
    EXPECT_EQ(session.stats().display_calls, 2);
}

}  // namespace
}  // namespace tw::host
