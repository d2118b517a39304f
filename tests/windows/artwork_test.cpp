// The dialog's pictures inside the built Windows module: each id the dialog asks for is there
// with the right resource type, in a layout the system's loaders accept, at the size the
// dialog draws from. The bytes are read from the file as a host would see them, and then the
// same pictures are loaded the way the dialog loads them (LoadImage, LoadBitmap, LoadCursor,
// and the Windows Imaging Component for the JPEG pictures).
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "resources/artwork_ids.h"
#include "tests/windows/pe_image.h"

namespace tw::testing {
namespace {

// The resource types' numbers in the module (RT_CURSOR, RT_BITMAP, ...).
constexpr uint16_t kCursor = 1, kBitmap = 2, kIconImage = 3, kGroupCursor = 12, kGroupIcon = 14;

// The dialog finds its pictures by these numbers, so the names must keep them.
static_assert(TW_ICON_ZOOM_IN == 5 && TW_ICON_NEW_SEED == 164 && TW_ICON_ZOOM_OUT == 169 &&
              TW_ICON_DICE == 184 && TW_ICON_LOAD == 185 && TW_ICON_SAVE == 186 &&
              TW_ICON_UNDO == 187 && TW_ICON_NEXT_GLUE == 188 && TW_ICON_ABOUT == 192 &&
              TW_ICON_RESET == 225 && TW_ICON_EXPORT_PSD == 234 && TW_ICON_HTML_PAGE == 235 &&
              TW_ICON_INFO == 236 && TW_ICON_PAD_MARKER == 308);
static_assert(TW_BMP_TRACK_SURFACE == 101 && TW_BMP_TRACK_PLACEMENT == 102 && TW_BMP_KNOB == 120 &&
              TW_BMP_KNOB_DOUBLE == 200 && TW_BMP_MEMORY_WELL == 217 && TW_BMP_INFO_HALF == 179 &&
              TW_BMP_INFO == 303);
static_assert(TW_JPEG_ABOUT == 312 && TW_JPEG_HEADING_VIEW == 343 && TW_JPEG_HEADING_WATER == 344 &&
              TW_JPEG_HEADING_RIPPLE == 345 && TW_JPEG_DIRECTION_PAD == 346);
static_assert(TW_JPEG_DOT_FILLED_BASE == 331 && TW_JPEG_DOT_CURRENT_BASE == 333 &&
              TW_JPEG_DOT_KEPT_BASE == 337 && TW_JPEG_DOT_KEPT_CURRENT_BASE == 339 &&
              TW_JPEG_DOT_EMPTY_BASE == 341 && TW_DOT_PICTURE_PRESSED == 0 &&
              TW_DOT_PICTURE_RELEASED == 1);
static_assert(TW_CURSOR_GRAB == 107 && TW_CURSOR_OPEN_HAND == 108 && TW_CURSOR_POINT == 109);

const std::set<int> kButtonIconSizes = {16, 20, 24, 32, 48};

struct IconExpectation { uint16_t id; std::set<int> sizes; };
const std::vector<IconExpectation> kIcons = {
    {5, kButtonIconSizes},   {164, kButtonIconSizes}, {169, kButtonIconSizes},
    {184, kButtonIconSizes}, {185, kButtonIconSizes}, {186, kButtonIconSizes},
    {187, kButtonIconSizes}, {188, kButtonIconSizes}, {192, {16, 20, 24, 32, 48, 64}},
    {225, kButtonIconSizes}, {234, kButtonIconSizes}, {235, kButtonIconSizes},
    {236, kButtonIconSizes}, {308, {8, 12, 16, 24, 32}}};

struct PictureExpectation { uint16_t id; int width, height; };
const std::vector<PictureExpectation> kBitmaps = {
    {101, 135, 13}, {102, 135, 13}, {120, 12, 11}, {200, 24, 22},
    {217, 96, 96},  {179, 726, 450}, {303, 1452, 900}};
const std::vector<PictureExpectation> kJpegs = {
    {312, 1040, 426}, {343, 90, 30}, {344, 90, 30}, {345, 90, 30}, {346, 170, 170},
    {331, 40, 40}, {332, 40, 40}, {333, 40, 40}, {334, 40, 40}, {337, 40, 40},
    {338, 40, 40}, {339, 40, 40}, {340, 40, 40}, {341, 40, 40}, {342, 40, 40}};

struct CursorExpectation { uint16_t id; int hot_x, hot_y; };
const std::vector<CursorExpectation> kCursors = {{107, 16, 16}, {108, 16, 16}, {109, 12, 1}};

const PeImage& Module() { return ModuleImage(TARNWELL_PLUGIN_PATH); }

uint16_t Word(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
uint32_t Long(const std::vector<uint8_t>& b, size_t at) { return uint32_t(Word(b, at)) | uint32_t(Word(b, at + 2)) << 16; }
int32_t SignedLong(const std::vector<uint8_t>& b, size_t at) { return int32_t(Long(b, at)); }

// A device-independent bitmap's header as it sits at the start of an icon, cursor or bitmap
// resource: 40 bytes, then the pixels.
struct DibHeader { int32_t width = 0, height = 0; uint16_t planes = 0, bits = 0; uint32_t compression = 0; };
bool ReadDibHeader(const std::vector<uint8_t>& b, size_t at, DibHeader& h) {
    if (b.size() < at + 40 || Long(b, at) != 40) return false;
    h.width = SignedLong(b, at + 4);
    h.height = SignedLong(b, at + 8);
    h.planes = Word(b, at + 12);
    h.bits = Word(b, at + 14);
    h.compression = Long(b, at + 16);
    return true;
}

// The frame sizes of an icon group, checking that each frame it names is there and whole.
std::set<int> IconFrameSizes(uint16_t id) {
    std::set<int> sizes;
    const ResourceEntry* group = FindResourceEntry(Module(), NumberedResource(kGroupIcon), NumberedResource(id));
    if (!group) {
        ADD_FAILURE() << "no icon group " << id;
        return sizes;
    }
    const auto& g = group->data;
    if (g.size() < 6 || Word(g, 0) != 0 || Word(g, 2) != 1) {
        ADD_FAILURE() << "icon group " << id << " has no icon directory";
        return sizes;
    }
    const uint16_t count = Word(g, 4);
    if (g.size() < 6u + 14u * count) {
        ADD_FAILURE() << "icon group " << id << " is cut short";
        return sizes;
    }
    for (uint16_t i = 0; i < count; ++i) {
        const size_t e = 6 + 14 * size_t(i);
        const int size = g[e] == 0 ? 256 : g[e];
        EXPECT_EQ(g[e + 1], g[e]) << "icon " << id << " has a frame that is not square";
        const uint32_t bytes = Long(g, e + 8);
        const uint16_t frame_id = Word(g, e + 12);
        const ResourceEntry* frame = FindResourceEntry(Module(), NumberedResource(kIconImage), NumberedResource(frame_id));
        if (!frame) {
            ADD_FAILURE() << "icon " << id << " names a missing frame " << frame_id;
            continue;
        }
        EXPECT_EQ(frame->data.size(), bytes) << "icon " << id << ", frame of " << size;
        // Frames are 32-bit pictures with alpha, stored as a DIB (height counts the mask too).
        DibHeader h;
        if (ReadDibHeader(frame->data, 0, h)) {
            EXPECT_EQ(h.width, size) << "icon " << id;
            EXPECT_EQ(h.height, 2 * size) << "icon " << id;
            EXPECT_EQ(h.bits, 32) << "icon " << id << ", frame of " << size;
        } else {
            ADD_FAILURE() << "icon " << id << ", frame of " << size << " is not a DIB";
        }
        sizes.insert(size);
    }
    return sizes;
}

TEST(Artwork, EveryIconGroupHasTheFramesTheButtonsNeed) {
    for (const IconExpectation& icon : kIcons) {
        EXPECT_EQ(IconFrameSizes(icon.id), icon.sizes) << "icon " << icon.id;
    }
}

TEST(Artwork, BitmapsAreUncompressed24BitPicturesOfTheirSizes) {
    for (const PictureExpectation& p : kBitmaps) {
        const ResourceEntry* e = FindResourceEntry(Module(), NumberedResource(kBitmap), NumberedResource(p.id));
        ASSERT_NE(e, nullptr) << "no bitmap " << p.id;
        DibHeader h;
        ASSERT_TRUE(ReadDibHeader(e->data, 0, h)) << "bitmap " << p.id << " has no DIB header";
        EXPECT_EQ(h.width, p.width) << "bitmap " << p.id;
        EXPECT_EQ(h.height, p.height) << "bitmap " << p.id << " (bottom-up rows)";
        EXPECT_EQ(h.planes, 1) << "bitmap " << p.id;
        EXPECT_EQ(h.bits, 24) << "bitmap " << p.id;
        EXPECT_EQ(h.compression, 0u) << "bitmap " << p.id;
        const size_t row = (size_t(p.width) * 3 + 3) / 4 * 4;
        EXPECT_GE(e->data.size(), 40 + row * size_t(p.height)) << "bitmap " << p.id << " lacks pixels";
    }
}

// Walks a JPEG's markers up to the scan. Returns the frame marker (0xC0 for baseline) and
// the frame's size and channel count; 0 when the stream is not a whole JPEG.
struct JpegFrame { int marker = 0, width = 0, height = 0, channels = 0, precision = 0; };
JpegFrame ReadJpegFrame(const std::vector<uint8_t>& b) {
    JpegFrame frame;
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return {};
    if (b[b.size() - 2] != 0xFF || b[b.size() - 1] != 0xD9) return {};
    size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) return {};
        const int marker = b[at + 1];
        if (marker == 0xFF) { ++at; continue; }  // fill byte
        const size_t length = size_t(b[at + 2]) << 8 | b[at + 3];
        if (length < 2 || at + 2 + length > b.size()) return {};
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (length < 8) return {};
            frame.marker = marker;
            frame.precision = b[at + 4];
            frame.height = b[at + 5] << 8 | b[at + 6];
            frame.width = b[at + 7] << 8 | b[at + 8];
            frame.channels = b[at + 9];
        }
        if (marker == 0xDA) return frame;  // the scan: the header is over
        at += 2 + length;
    }
    return {};
}

TEST(Artwork, JpegPicturesAreBaselineColourPicturesOfTheirSizes) {
    for (const PictureExpectation& p : kJpegs) {
        const ResourceEntry* e = FindResourceEntry(Module(), NamedResource(TW_JPEG_TYPE), NumberedResource(p.id));
        ASSERT_NE(e, nullptr) << "no JPEG picture " << p.id;
        const JpegFrame f = ReadJpegFrame(e->data);
        EXPECT_EQ(f.marker, 0xC0) << "picture " << p.id << " is not a whole baseline JPEG";
        EXPECT_EQ(f.precision, 8) << "picture " << p.id;
        EXPECT_EQ(f.channels, 3) << "picture " << p.id;
        EXPECT_EQ(f.width, p.width) << "picture " << p.id;
        EXPECT_EQ(f.height, p.height) << "picture " << p.id;
    }
}

TEST(Artwork, JpegReaderRejectsCutAndForeignStreams) {
    // The check above is only as good as its reader: it must not pass a stream that a
    // decoder would stop on.
    const ResourceEntry* e = FindResourceEntry(Module(), NamedResource(TW_JPEG_TYPE), NumberedResource(343));
    ASSERT_NE(e, nullptr);
    std::vector<uint8_t> cut(e->data.begin(), e->data.begin() + long(e->data.size() / 2));
    EXPECT_EQ(ReadJpegFrame(cut).marker, 0);
    std::vector<uint8_t> progressive = e->data;
    for (size_t i = 2; i + 1 < progressive.size(); ++i) {
        if (progressive[i] == 0xFF && progressive[i + 1] == 0xC0) { progressive[i + 1] = 0xC2; break; }
    }
    EXPECT_EQ(ReadJpegFrame(progressive).marker, 0xC2);
    EXPECT_EQ(ReadJpegFrame({0x89, 'P', 'N', 'G', 0xFF, 0xD9}).marker, 0);
}

TEST(Artwork, CursorsCarryTheirHotSpots) {
    for (const CursorExpectation& c : kCursors) {
        const ResourceEntry* group = FindResourceEntry(Module(), NumberedResource(kGroupCursor), NumberedResource(c.id));
        ASSERT_NE(group, nullptr) << "no cursor group " << c.id;
        const auto& g = group->data;
        ASSERT_GE(g.size(), 6u + 14u);
        EXPECT_EQ(Word(g, 2), 2) << "cursor " << c.id << " is stored as an icon";
        ASSERT_EQ(Word(g, 4), 1) << "cursor " << c.id;
        EXPECT_EQ(Word(g, 6), 32) << "cursor " << c.id << " width";
        const ResourceEntry* image = FindResourceEntry(Module(), NumberedResource(kCursor), NumberedResource(Word(g, 18)));
        ASSERT_NE(image, nullptr) << "cursor " << c.id << " names a missing image";
        // A cursor image starts with its hot spot, then the DIB.
        ASSERT_GE(image->data.size(), 4u + 40u);
        EXPECT_EQ(Word(image->data, 0), c.hot_x) << "cursor " << c.id;
        EXPECT_EQ(Word(image->data, 2), c.hot_y) << "cursor " << c.id;
        DibHeader h;
        ASSERT_TRUE(ReadDibHeader(image->data, 4, h)) << "cursor " << c.id;
        EXPECT_EQ(h.width, 32);
        EXPECT_EQ(h.height, 64);
    }
}

// ---- The same pictures through the system's loaders, as the dialog will load them ----

class LoadedModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module_ = LoadLibraryExA(TARNWELL_PLUGIN_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    void SetUp() override { ASSERT_NE(module_, nullptr) << "LoadLibrary failed with error " << GetLastError(); }
    static HMODULE module_;
};
HMODULE LoadedModule::module_ = nullptr;

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

TEST_F(LoadedModule, IconsLoadAtTheSizesOfTheSmallAndLargeButtons) {
    for (const IconExpectation& icon : kIcons) {
        for (int size : {16, 24}) {
            HICON h = static_cast<HICON>(LoadImageA(module_, MAKEINTRESOURCEA(icon.id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(h, nullptr) << "icon " << icon.id << " at " << size;
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(h, &info));
            EXPECT_EQ(BitmapSize(info.hbmColor).cx, size) << "icon " << icon.id;
            EXPECT_TRUE(info.fIcon);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(h);
        }
    }
}

TEST_F(LoadedModule, BitmapsLoadAtTheirSizes) {
    for (const PictureExpectation& p : kBitmaps) {
        HBITMAP h = LoadBitmapA(module_, MAKEINTRESOURCEA(p.id));
        ASSERT_NE(h, nullptr) << "bitmap " << p.id;
        const SIZE s = BitmapSize(h);
        EXPECT_EQ(s.cx, p.width) << "bitmap " << p.id;
        EXPECT_EQ(s.cy, p.height) << "bitmap " << p.id;
        DeleteObject(h);
    }
}

TEST_F(LoadedModule, CursorsLoadWithTheirHotSpots) {
    for (const CursorExpectation& c : kCursors) {
        HCURSOR h = LoadCursorA(module_, MAKEINTRESOURCEA(c.id));
        ASSERT_NE(h, nullptr) << "cursor " << c.id;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(h, &info));
        EXPECT_FALSE(info.fIcon) << "cursor " << c.id;
        EXPECT_EQ(int(info.xHotspot), c.hot_x) << "cursor " << c.id;
        EXPECT_EQ(int(info.yHotspot), c.hot_y) << "cursor " << c.id;
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
}

TEST_F(LoadedModule, JpegPicturesDecodeWithTheImagingComponent) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)));
    IWICImagingFactory* factory = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))));
    for (const PictureExpectation& p : kJpegs) {
        HRSRC found = FindResourceA(module_, MAKEINTRESOURCEA(p.id), TW_JPEG_TYPE);
        ASSERT_NE(found, nullptr) << "picture " << p.id;
        const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module_, found)));
        IStream* stream = SHCreateMemStream(bytes, SizeofResource(module_, found));
        ASSERT_NE(stream, nullptr);
        IWICBitmapDecoder* decoder = nullptr;
        IWICBitmapFrameDecode* frame = nullptr;
        UINT width = 0, height = 0;
        EXPECT_TRUE(SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr, WICDecodeMetadataCacheOnDemand, &decoder)))
            << "picture " << p.id;
        if (decoder && SUCCEEDED(decoder->GetFrame(0, &frame))) frame->GetSize(&width, &height);
        EXPECT_EQ(int(width), p.width) << "picture " << p.id;
        EXPECT_EQ(int(height), p.height) << "picture " << p.id;
        if (frame) frame->Release();
        if (decoder) decoder->Release();
        stream->Release();
    }
    factory->Release();
    CoUninitialize();
}

}  // namespace
}  // namespace tw::testing
