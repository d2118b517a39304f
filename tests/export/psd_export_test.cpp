// The PSD layout read back by a small independent parser: header, colour-mode data, the
// resource list, the layer record and channel data, the tagged blocks of deep files and
// the merged planes, at each depth; the size arithmetic; refusals and failed writes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "export/psd_export.h"
#include "platform/big_endian.h"
#include "test_pictures.h"

namespace tw {
namespace {

using Picture = std::unique_ptr<ImageBuffer, void (*)(ImageBuffer*)>;

Picture Make(int32_t w, int32_t h, int32_t format,
             const std::function<PixelRgba(int32_t, int32_t)>& colour = test::Gradient) {
    return Picture(test::MakePicture(w, h, format, colour), destroyImageBuffer);
}

struct Channel {
    int16_t id;
    uint32_t length;
    std::vector<uint8_t> data;  // after the compression word
};

// What the parser found; every length is checked against what follows it.
struct ParsedPsd {
    uint16_t channels = 0, depth = 0, mode = 0;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> colour_mode_data;
    std::vector<uint16_t> resource_ids;
    std::map<uint16_t, std::vector<uint8_t>> resources;
    std::string layer_block;  // "" for 8-bit, else Lr16 or Lr32
    std::vector<std::string> tags;
    int16_t layer_count = 0;
    int32_t bounds[4] = {};
    uint8_t flags = 0;
    std::string name;
    std::vector<Channel> layer_channels;
    uint16_t merged_compression = 99;
    std::vector<uint8_t> merged;
};

std::string Tag(BigEndianReader& r) {
    char t[4] = {};
    r.getBytes(t, 4);
    return std::string(t, 4);
}

void ParseLayerInfo(BigEndianReader& r, ParsedPsd& psd) {
    uint16_t count = 0, channel_count = 0;
    ASSERT_TRUE(r.get16(count));
    psd.layer_count = int16_t(count);
    for (int32_t& b : psd.bounds) ASSERT_TRUE(r.getI32(b));
    ASSERT_TRUE(r.get16(channel_count));
    for (int i = 0; i < channel_count; ++i) {
        uint16_t id;
        uint32_t length;
        ASSERT_TRUE(r.get16(id) && r.get32(length));
        psd.layer_channels.push_back({int16_t(id), length, {}});
    }
    EXPECT_EQ(Tag(r), "8BIM");
    EXPECT_EQ(Tag(r), "norm");
    uint8_t opacity, clipping, filler;
    uint32_t extra, mask, ranges;
    ASSERT_TRUE(r.get8(opacity) && r.get8(clipping) && r.get8(psd.flags) && r.get8(filler));
    EXPECT_EQ(opacity, 255);
    ASSERT_TRUE(r.get32(extra));
    const size_t extra_start = r.position();
    ASSERT_TRUE(r.get32(mask) && r.get32(ranges));
    EXPECT_EQ(mask, 0u);
    ASSERT_EQ(ranges, 40u);
    ASSERT_TRUE(r.skip(40));
    uint8_t name_length;
    ASSERT_TRUE(r.get8(name_length));
    psd.name.resize(name_length);
    ASSERT_TRUE(r.getBytes(psd.name.data(), name_length));
    ASSERT_TRUE(r.skip(extra - (r.position() - extra_start)));
    for (Channel& c : psd.layer_channels) {
        uint16_t compression;
        ASSERT_TRUE(r.get16(compression));
        EXPECT_EQ(compression, 0);
        c.data.resize(c.length - 2);
        ASSERT_TRUE(r.getBytes(c.data.data(), c.data.size()));
    }
}

void ParseLayerSection(BigEndianReader& r, ParsedPsd& psd) {
    uint32_t section;
    ASSERT_TRUE(r.get32(section));
    const size_t start = r.position();
    uint32_t info_length, global_mask;
    ASSERT_TRUE(r.get32(info_length));
    if (info_length != 0) {
        const size_t info_start = r.position();
        ParseLayerInfo(r, psd);
        EXPECT_EQ(r.position() - info_start, info_length);
        ASSERT_TRUE(r.get32(global_mask));
    } else {
        ASSERT_TRUE(r.get32(global_mask));
        while (r.position() - start < section) {
            ASSERT_EQ(Tag(r), "8BIM");
            const std::string key = Tag(r);
            psd.tags.push_back(key);
            uint32_t length;
            ASSERT_TRUE(r.get32(length));
            const size_t block_start = r.position();
            if (key == "Lr16" || key == "Lr32") {
                psd.layer_block = key;
                ParseLayerInfo(r, psd);
                EXPECT_EQ(r.position() - block_start, length);
            } else {
                ASSERT_TRUE(r.skip(length));
            }
            // Blocks here are padded to a multiple of 4 bytes.
            ASSERT_TRUE(r.skip(((length + 3) & ~size_t(3)) - length));
        }
    }
    EXPECT_EQ(global_mask, 0u);
    EXPECT_EQ(r.position() - start, section);
}

ParsedPsd Parse(const std::vector<uint8_t>& file) {
    ParsedPsd psd;
    BigEndianReader r(file);
    EXPECT_EQ(Tag(r), "8BPS");
    uint16_t version;
    r.get16(version);
    EXPECT_EQ(version, 1);
    r.skip(6);
    r.get16(psd.channels);
    r.get32(psd.height);
    r.get32(psd.width);
    r.get16(psd.depth);
    r.get16(psd.mode);
    uint32_t length;
    r.get32(length);
    psd.colour_mode_data.resize(length);
    r.getBytes(psd.colour_mode_data.data(), length);

    uint32_t resources;
    r.get32(resources);
    const size_t resources_end = r.position() + resources;
    while (r.position() < resources_end) {
        EXPECT_EQ(Tag(r), "8BIM");
        uint16_t id, name;
        uint32_t size;
        r.get16(id);
        r.get16(name);
        EXPECT_EQ(name, 0);
        r.get32(size);
        std::vector<uint8_t> data(size);
        r.getBytes(data.data(), size);
        r.skip(size & 1);
        psd.resource_ids.push_back(id);
        psd.resources[id] = data;
    }
    EXPECT_EQ(r.position(), resources_end);
    ParseLayerSection(r, psd);
    r.get16(psd.merged_compression);
    psd.merged.resize(r.remaining());
    r.getBytes(psd.merged.data(), psd.merged.size());
    return psd;
}

std::vector<uint8_t> Write(const ImageBuffer& image, PsdExportRequest request = {}) {
    request.image = &image;
    std::vector<uint8_t> bytes;
    BigEndianWriter out(bytes);
    std::string error;
    EXPECT_TRUE(WritePsd(out, request, error)) << error;
    return bytes;
}

uint16_t Be16(const std::vector<uint8_t>& d, size_t i) { return uint16_t(d[i] << 8 | d[i + 1]); }
float BeFloat(const std::vector<uint8_t>& d, size_t i) {
    const uint32_t bits = uint32_t(d[i]) << 24 | uint32_t(d[i + 1]) << 16 | uint32_t(d[i + 2]) << 8 | d[i + 3];
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

TEST(PsdLayout, EightBitTwoByTwo) {
    // (0,0) opaque red; (1,0) half-transparent; (0,1) fully transparent; (1,1) opaque.
    const PixelRgba px[4] = {{1, 0, 0, 1}, {100 / 255.f, 50 / 255.f, 0, 128 / 255.f},
                             {1, 1, 1, 0}, {0, 0, 1, 1}};
    Picture image = Make(2, 2, kRgba8, [&](int32_t x, int32_t y) { return px[y * 2 + x]; });
    const ParsedPsd psd = Parse(Write(*image));
    EXPECT_EQ(psd.channels, 3);
    EXPECT_EQ(psd.depth, 8);
    EXPECT_EQ(psd.mode, 3);
    EXPECT_EQ(psd.width, 2u);
    EXPECT_EQ(psd.height, 2u);
    EXPECT_TRUE(psd.colour_mode_data.empty());
    EXPECT_EQ(psd.layer_block, "");
    EXPECT_EQ(psd.layer_count, 1);
    EXPECT_EQ(psd.name, "layer 1");
    EXPECT_EQ(psd.flags, 0x28);
    EXPECT_EQ(psd.bounds[2], 2);
    EXPECT_EQ(psd.bounds[3], 2);
    ASSERT_EQ(psd.layer_channels.size(), 4u);
    const int16_t ids[4] = {-1, 0, 1, 2};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(psd.layer_channels[i].id, ids[i]);
        EXPECT_EQ(psd.layer_channels[i].length, 6u);
    }
    // The layer keeps the transparency and the colours as they are.
    EXPECT_EQ(psd.layer_channels[0].data, (std::vector<uint8_t>{255, 128, 0, 255}));
    EXPECT_EQ(psd.layer_channels[1].data, (std::vector<uint8_t>{255, 100, 255, 0}));
    // Merged: three planes of four bytes over the checkerboard (all four pixels lie on a
    // light square): (255 * 127 + 100 * 128) / 255 = 177, a transparent pixel is 255.
    EXPECT_EQ(psd.merged_compression, 0);
    ASSERT_EQ(psd.merged.size(), 12u);
    EXPECT_EQ(std::vector<uint8_t>(psd.merged.begin(), psd.merged.begin() + 4),
              (std::vector<uint8_t>{255, 177, 255, 0}));
    EXPECT_EQ(psd.merged[8 + 1], (255 * 127) / 255);  // blue 0 at alpha 128
}

TEST(PsdLayout, MergedCheckerboardUsesEightPixelSquares) {
    Picture image = Make(20, 10, kRgba8, [](int32_t, int32_t) { return PixelRgba{0, 0, 0, 0}; });
    const ParsedPsd psd = Parse(Write(*image));
    auto red = [&](int x, int y) { return psd.merged[size_t(y) * 20 + size_t(x)]; };
    EXPECT_EQ(red(0, 0), 255);
    EXPECT_EQ(red(7, 7), 255);
    EXPECT_EQ(red(8, 0), 204);
    EXPECT_EQ(red(0, 8), 204);
    EXPECT_EQ(red(8, 8), 255);
    EXPECT_EQ(red(16, 9), 204);
}

TEST(PsdLayout, SixteenBitScaleAndTaggedLayers) {
    // 3 x 3 makes the layer info length odd, so the Lr16 block needs padding.
    Picture image = Make(3, 3, kRgba16, [](int32_t x, int32_t y) {
        return PixelRgba{x == 0 ? 1.0f : 0.5f, 0.25f, float(y) / 2, x == 2 ? 0.5f : 1.0f};
    });
    const ParsedPsd psd = Parse(Write(*image));
    EXPECT_EQ(psd.channels, 4);
    EXPECT_EQ(psd.depth, 16);
    EXPECT_EQ(psd.layer_block, "Lr16");
    EXPECT_EQ(psd.tags, (std::vector<std::string>{"Mt16", "Lr16"}));
    EXPECT_EQ(psd.flags, 0x28);
    ASSERT_EQ(psd.layer_channels.size(), 4u);
    EXPECT_EQ(psd.layer_channels[1].length, 2u + 9 * 2);
    const std::vector<uint8_t>& red = psd.layer_channels[1].data;
    EXPECT_EQ(Be16(red, 0), 65535);  // full scale
    EXPECT_EQ(Be16(red, 2), 32768);  // a half is stored doubled
    EXPECT_EQ(Be16(psd.layer_channels[0].data, 4), 32768);
    // Merged: four planes; the alpha plane is full; a half-transparent pixel over the light
    // square: (32640 * 16384 + 16384 * 16384) >> 15 = 24512, stored doubled.
    ASSERT_EQ(psd.merged.size(), 4u * 9 * 2);
    EXPECT_EQ(Be16(psd.merged, 3 * 18 + 8), 65535);
    EXPECT_EQ(Be16(psd.merged, 2 * 2), 2 * 24512);
}

TEST(PsdLayout, FloatDocumentKeepsRenderedValues) {
    Picture image = Make(4, 2, kRgbaFloat, [](int32_t x, int32_t y) {
        return PixelRgba{2.5f, float(x), float(y), x == 3 ? 0.0f : 1.0f};
    });
    const ParsedPsd psd = Parse(Write(*image));
    EXPECT_EQ(psd.channels, 3);
    EXPECT_EQ(psd.depth, 32);
    ASSERT_EQ(psd.colour_mode_data.size(), 74u);
    EXPECT_EQ(std::string(psd.colour_mode_data.begin(), psd.colour_mode_data.begin() + 4), "hdrt");
    EXPECT_EQ(psd.tags, (std::vector<std::string>{"Mt32", "Lr32", "LMsk", "Pat3"}));
    EXPECT_EQ(psd.flags, 0x08);
    EXPECT_FLOAT_EQ(BeFloat(psd.layer_channels[1].data, 0), 2.5f);
    EXPECT_FLOAT_EQ(BeFloat(psd.layer_channels[0].data, 3 * 4), 0.0f);
    // No compositing in float files: the transparent pixel's colour is still there.
    ASSERT_EQ(psd.merged.size(), 3u * 8 * 4);
    EXPECT_FLOAT_EQ(BeFloat(psd.merged, 3 * 4), 2.5f);
    EXPECT_FLOAT_EQ(BeFloat(psd.merged, 32 + 3 * 4), 3.0f);
    EXPECT_FLOAT_EQ(BeFloat(psd.merged, 64 + 4 * 4), 1.0f);
}

TEST(PsdResources, OrderSizesAndContents) {
    Picture image = Make(5, 4, kRgba8);
    PsdExportRequest request;
    request.icc_profile = {1, 2, 3};
    request.date = {2026, 1, 2};
    request.glue_mode = 2;
    ParsedPsd psd = Parse(Write(*image, request));
    EXPECT_EQ(psd.resource_ids,
              (std::vector<uint16_t>{1001, 1005, 1011, 1016, 1035, 1039, 1028, 1058, 1024, 1026}));
    EXPECT_EQ(psd.resources[1001].size(), 120u);
    EXPECT_EQ(psd.resources[1016].size(), 112u);
    EXPECT_EQ(psd.resources[1039], (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::string(psd.resources[1035].begin(), psd.resources[1035].end()),
              "https://www.quillmoth.info/");
    const std::vector<uint8_t>& exif = psd.resources[1058];
    ASSERT_EQ(exif.size(), 35u);
    EXPECT_EQ(std::string(exif.begin() + 26, exif.end()), std::string("Tarnwell\0", 9));
    const std::string iptc(psd.resources[1028].begin(), psd.resources[1028].end());
    EXPECT_NE(iptc.find("20260102"), std::string::npos);
    EXPECT_NE(iptc.find("Made with Tarnwell"), std::string::npos);

    Picture deep = Make(5, 4, kRgbaFloat);
    psd = Parse(Write(*deep));
    EXPECT_EQ(psd.resource_ids,
              (std::vector<uint16_t>{1001, 1005, 1011, 1016, 1035, 1028, 1058, 1069, 1072, 1024, 1026}));
    EXPECT_EQ(psd.resources[1069], (std::vector<uint8_t>{0, 1, 0, 0, 0, 12}));
}

TEST(PsdResources, KeywordsFollowDepthAndGlueWithoutDuplicates) {
    EXPECT_EQ(PsdKeywords(false, 1), (std::vector<std::string>{"Tarnwell"}));
    const std::vector<std::string> hdr = PsdKeywords(true, 2);
    ASSERT_EQ(hdr.size(), 4u);
    EXPECT_EQ(hdr[1], "HDR");
    EXPECT_FALSE(hdr[3].empty());
    EXPECT_NE(hdr[3], "Tarnwell");
    // An unknown mode has no name and adds nothing.
    EXPECT_EQ(PsdKeywords(false, 500).size(), 1u);
}

TEST(PsdSize, ClampingAndProportions) {
    EXPECT_EQ(ClampPsdSide(0), 2);
    EXPECT_EQ(ClampPsdSide(-7), 2);
    EXPECT_EQ(ClampPsdSide(40000), 30000);
    EXPECT_EQ(ClampPsdSide(int64_t(1) << 40), 30000);
    EXPECT_EQ(ProportionalHeight(400, 300, 200, 99), 150);
    EXPECT_EQ(ProportionalHeight(0, 300, 200, 99), 99);
    const PsdSize same = ChoosePsdSize(kPsdSameSize, 400, 300, 5, 5);
    EXPECT_EQ(same.width, 400);
    EXPECT_EQ(same.height, 300);
    const PsdSize wide = ChoosePsdSize(kPsdSameProportions, 30000, 10, 30000, 0);
    EXPECT_EQ(wide.height, 10);
    const PsdSize tiny = ChoosePsdSize(kPsdSameProportions, 400, 300, 1, 0);
    EXPECT_EQ(tiny.width, 2);
    EXPECT_EQ(tiny.height, 2);  // 300 * 1 / 400 = 0, raised to the smallest side
    const PsdSize custom = ChoosePsdSize(kPsdCustomSize, 400, 300, 0, 40000);
    EXPECT_EQ(custom.width, 2);
    EXPECT_EQ(custom.height, 30000);
}

TEST(PsdRefusals, BadPicturesAndOversizedDeepFiles) {
    std::vector<uint8_t> bytes;
    BigEndianWriter out(bytes);
    std::string error;
    PsdExportRequest request;
    EXPECT_FALSE(WritePsd(out, request, error));
    Picture grey = Make(4, 4, kGrey8);
    request.image = grey.get();
    EXPECT_FALSE(WritePsd(out, request, error));
    Picture thin = Make(1, 5, kRgba8);
    request.image = thin.get();
    EXPECT_FALSE(WritePsd(out, request, error));
    EXPECT_TRUE(bytes.empty());

    // A 16-bit picture at the largest size has more data than 32-bit section lengths can
    // count; it is refused before a byte is written (the record alone is enough to tell).
    ImageBuffer huge{};
    huge.width = huge.height = kPsdMaxSide;
    huge.format = kRgba16;
    ImageTile dummy{};
    huge.tiles = &dummy;
    request.image = &huge;
    EXPECT_FALSE(WritePsd(out, request, error));
    EXPECT_NE(error.find("too large"), std::string::npos);
    EXPECT_TRUE(bytes.empty());
}

TEST(PsdFile, WrittenWholeOrNotAtAll) {
    test::ScratchFolder folder("psd");
    Picture image = Make(70, 65, kRgba16);
    PsdExportRequest request;
    request.image = image.get();
    std::vector<int> reports;
    request.progress = [](void* context, int per_mille) {
        static_cast<std::vector<int>*>(context)->push_back(per_mille);
    };
    request.context = &reports;
    std::string error;
    const std::string path = folder / "out.psd";
    ASSERT_TRUE(ExportPsd(path, request, error)) << error;
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 1000);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    std::vector<uint8_t> on_disk;
    ASSERT_TRUE(platform::ReadWholeFile(path, on_disk));
    EXPECT_EQ(on_disk, Write(*image));
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));

    // A failed export leaves the earlier file exactly as it was and no partial file.
    Picture bad = Make(4, 4, kGrey8);
    request.image = bad.get();
    request.progress = nullptr;
    EXPECT_FALSE(ExportPsd(path, request, error));
    std::vector<uint8_t> after;
    ASSERT_TRUE(platform::ReadWholeFile(path, after));
    EXPECT_EQ(after, on_disk);
    EXPECT_FALSE(std::filesystem::exists(path + ".partial"));

    request.image = image.get();
    EXPECT_FALSE(ExportPsd(folder / "missing/out.psd", request, error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tw
