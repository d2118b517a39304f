// JPEG in memory: what the streams carry (markers, tables, sampling), that they decode, and
// that damaged streams fail cleanly.
#include "settings/jpeg_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <jpeglib.h>

#include "platform/platform.h"
#include "scratch_folder.h"

namespace tw {
namespace {

Picture Flat(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    Picture p;
    AllocatePicture(p, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* q = p.pixel(x, y);
            q[0] = r, q[1] = g, q[2] = b;
        }
    return p;
}

// One marker segment of a stream: its code and body (without the length word).
struct Segment {
    uint8_t code;
    std::vector<uint8_t> body;
};

// The segments from the start of the stream up to the first scan.
std::vector<Segment> Segments(const std::vector<uint8_t>& s) {
    std::vector<Segment> out;
    size_t at = 2;
    while (at + 4 <= s.size() && s[at] == 0xFF) {
        const uint8_t code = s[at + 1];
        const size_t length = size_t(s[at + 2]) << 8 | s[at + 3];
        out.push_back({code, std::vector<uint8_t>(s.begin() + at + 4, s.begin() + at + 2 + length)});
        if (code == 0xDA) break;
        at += 2 + length;
    }
    return out;
}

// Zigzag position k holds the natural (row-major) index kZigzag[k].
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                             41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                             30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The quantisation tables of a stream by table number, in natural order.
std::map<int, std::vector<int>> Tables(const std::vector<uint8_t>& stream) {
    std::map<int, std::vector<int>> tables;
    for (const Segment& seg : Segments(stream)) {
        if (seg.code != 0xDB) continue;
        for (size_t at = 0; at + 65 <= seg.body.size(); at += 65) {
            std::vector<int> t(64);
            for (int k = 0; k < 64; ++k) t[size_t(kZigzag[k])] = seg.body[at + 1 + size_t(k)];
            tables[seg.body[at] & 15] = t;
        }
    }
    return tables;
}

TEST(JpegEncode, StreamStartsWithJfifThenTheMakersComment) {
    std::vector<uint8_t> stream;
    ASSERT_GT(EncodeJpeg(Flat(128, 128, 10, 20, 30), stream, 80), 0u);
    ASSERT_GE(stream.size(), 4u);
    EXPECT_EQ(stream[0], 0xFF);
    EXPECT_EQ(stream[1], 0xD8);
    const std::vector<Segment> segs = Segments(stream);
    ASSERT_GE(segs.size(), 2u);
    EXPECT_EQ(segs[0].code, 0xE0);
    EXPECT_EQ(std::string(segs[0].body.begin(), segs[0].body.begin() + 5), std::string("JFIF\0", 5));
    EXPECT_EQ(segs[1].code, 0xFE);
    ASSERT_EQ(segs[1].body.size(), 28u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(segs[1].body.data())), kMakerWebAddress);
    EXPECT_EQ(segs[1].body[27], 0);
}

TEST(JpegEncode, TablesOfQuality80And50AreInstalledAsGiven) {
    const std::vector<int> luma80 = {2, 2, 2, 2, 3,  4,  5,  6,  2, 2, 2, 2, 3,  4,  5,  6,  2,  2,  2,  2,  4,  5,
                                     7, 9, 2, 2, 2,  4,  5,  7,  9, 12, 3, 3, 4,  5,  8,  13, 12, 12, 4,  4,  5,  7,
                                     13, 12, 12, 12, 5, 5, 7, 9, 12, 12, 12, 12, 6,  6,  9,  12, 12, 12, 12, 12};
    const std::vector<int> chroma50 = {11, 12, 21, 34, 20, 20, 17, 17, 12, 19, 24, 14, 14, 12, 12, 12,
                                       21, 24, 14, 14, 12, 12, 12, 12, 34, 14, 14, 12, 12, 12, 12, 12,
                                       20, 14, 12, 12, 12, 12, 12, 12, 20, 12, 12, 12, 12, 12, 12, 12,
                                       17, 12, 12, 12, 12, 12, 12, 12, 17, 12, 12, 12, 12, 12, 12, 12};
    const Picture picture = Flat(32, 32, 1, 2, 3);
    std::vector<uint8_t> stream;
    EncodeJpeg(picture, stream, 80);
    EXPECT_EQ(Tables(stream)[0], luma80);
    EncodeJpeg(picture, stream, 59);  // any quality of the decile
    auto tables = Tables(stream);
    EXPECT_EQ(tables[1], chroma50);
    EXPECT_EQ(tables[0][0], 13);
    EXPECT_EQ(tables[0][7], 17);
}

TEST(JpegEncode, CoarserTablesForLowerQualities) {
    for (int which = 0; which < 2; ++which) {
        for (int d = 0; d < 9; ++d) {
            uint16_t lower[64], higher[64];
            QuantTable(d, which, lower);
            QuantTable(d + 1, which, higher);
            int lower_sum = 0, higher_sum = 0;
            for (int i = 0; i < 64; ++i) {
                // The two fixed tables are not ordered entry by entry (a few high
                // frequencies of quality 80 are coarser than at 50); all others are.
                if (d < 5 || d >= 8) {
                    EXPECT_GE(lower[i], higher[i]) << "decile " << d << " entry " << i;
                }
                EXPECT_GE(higher[i], 1);
                EXPECT_LE(lower[i], 255);
                lower_sum += lower[i];
                higher_sum += higher[i];
            }
            EXPECT_GT(lower_sum, higher_sum) << "decile " << d << " should be coarser than the next";
        }
    }
}

TEST(JpegEncode, SamplingAndQualityClamping) {
    const Picture picture = Flat(20, 20, 90, 60, 30);
    auto luma_sampling = [&](int quality) {
        std::vector<uint8_t> stream;
        EncodeJpeg(picture, stream, quality);
        for (const Segment& s : Segments(stream))
            if (s.code == 0xC0) return int(s.body[7]);  // first component's factors, h << 4 | v
        return -1;
    };
    EXPECT_EQ(luma_sampling(49), 0x22);
    EXPECT_EQ(luma_sampling(0), 0x22);
    EXPECT_EQ(luma_sampling(50), 0x11);
    EXPECT_EQ(luma_sampling(99), 0x11);

    std::vector<uint8_t> a, b;
    EncodeJpeg(picture, a, -40);
    EncodeJpeg(picture, b, 0);
    EXPECT_EQ(a, b);
    EncodeJpeg(picture, a, 500);
    EncodeJpeg(picture, b, 99);
    EXPECT_EQ(a, b);
}

TEST(JpegEncode, ExifAndIptcBlocksFollowTheComment) {
    const std::vector<uint8_t> tiff = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0};
    const std::vector<uint8_t> iptc = {0x1C, 2, 0x78, 0, 3, 'a', 'b', 'c'};  // odd total is padded
    JpegExtras extras{tiff.data(), tiff.size(), iptc.data(), iptc.size() - 1};
    std::vector<uint8_t> stream;
    ASSERT_GT(EncodeJpeg(Flat(16, 16, 0, 0, 0), stream, 50, extras), 0u);
    const std::vector<Segment> segs = Segments(stream);
    ASSERT_GE(segs.size(), 4u);
    EXPECT_EQ(segs[1].code, 0xFE);
    EXPECT_EQ(segs[2].code, 0xE1);
    const std::vector<uint8_t> app1 = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0};
    EXPECT_EQ(segs[2].body, app1);
    EXPECT_EQ(segs[3].code, 0xED);
    std::vector<uint8_t> app13(std::begin("Photoshop 3.0"), std::end("Photoshop 3.0"));
    const std::vector<uint8_t> resource = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 7};
    app13.insert(app13.end(), resource.begin(), resource.end());
    app13.insert(app13.end(), iptc.begin(), iptc.end() - 1);
    app13.push_back(0);
    EXPECT_EQ(segs[3].body, app13);

    const std::vector<uint8_t> huge(70000, 1);
    EXPECT_EQ(EncodeJpeg(Flat(16, 16, 0, 0, 0), stream, 50, JpegExtras{huge.data(), huge.size()}), 0u);
    EXPECT_TRUE(stream.empty());
}

TEST(JpegEncode, TinyPicturesAreWidenedAndEmptyOnesRefused) {
    std::vector<uint8_t> stream;
    ASSERT_GT(EncodeJpeg(Flat(5, 3, 200, 10, 10), stream, 80), 0u);
    int w = 0, h = 0;
    ASSERT_TRUE(JpegDimensions(stream.data(), stream.size(), w, h));
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    Picture decoded;
    ASSERT_TRUE(DecodeJpegPicture(stream.data(), stream.size(), 16, 16, decoded));
    EXPECT_NEAR(decoded.pixel(15, 15)[0], 200, 6) << "the last column and row are repeated";

    EXPECT_EQ(EncodeJpeg(Picture{}, stream, 80), 0u);
    EXPECT_TRUE(stream.empty());
}

TEST(JpegDecode, ColourStreamIntoColourAndGreyTargets) {
    std::vector<uint8_t> stream;
    EncodeJpeg(Flat(24, 24, 200, 100, 50), stream, 90);
    std::vector<uint8_t> rgba(24 * 24 * 4, 0);
    PixelTarget colour{rgba.data(), 24, 24, 4, 0};
    ASSERT_TRUE(DecodeJpeg(colour, stream.data(), stream.size()));
    EXPECT_NEAR(rgba[0], 200, 3);
    EXPECT_NEAR(rgba[1], 100, 3);
    EXPECT_NEAR(rgba[2], 50, 3);
    EXPECT_EQ(rgba[3], 255);
    std::vector<uint8_t> grey(24 * 24, 0);
    PixelTarget one{grey.data(), 24, 24, 1, 0};
    ASSERT_TRUE(DecodeJpeg(one, stream.data(), stream.size()));
    EXPECT_NEAR(grey[24 * 24 - 1], (77 * 200 + 150 * 100 + 28 * 50) >> 8, 3);
}

// A one-component stream made straight with the library.
std::vector<uint8_t> GreyStream(int w, int h, uint8_t value) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(w);
    c.image_height = JDIMENSION(h);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(w), value);
    JSAMPROW rows[1] = {row.data()};
    while (c.next_scanline < c.image_height) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

TEST(JpegDecode, GreyStreamIntoBothTargets) {
    const std::vector<uint8_t> stream = GreyStream(16, 16, 180);
    std::vector<uint8_t> rgba(16 * 16 * 4, 0);
    PixelTarget colour{rgba.data(), 16, 16, 4, 0};
    ASSERT_TRUE(DecodeJpeg(colour, stream.data(), stream.size()));
    EXPECT_NEAR(rgba[40], 180, 2);
    EXPECT_EQ(rgba[40], rgba[41]);
    EXPECT_EQ(rgba[40], rgba[42]);
    EXPECT_EQ(rgba[43], 255);
    std::vector<uint8_t> grey(16 * 16, 0);
    PixelTarget one{grey.data(), 16, 16, 1, 0};
    ASSERT_TRUE(DecodeJpeg(one, stream.data(), stream.size()));
    EXPECT_NEAR(grey[100], 180, 2);
}

TEST(JpegDecode, TargetSizeDecidesWhatIsWritten) {
    std::vector<uint8_t> stream;
    EncodeJpeg(Flat(32, 32, 255, 255, 255), stream, 80);
    // A larger target: the part the stream does not cover keeps its bytes.
    std::vector<uint8_t> big(40 * 40, 7);
    PixelTarget wide{big.data(), 40, 40, 1, 0};
    ASSERT_TRUE(DecodeJpeg(wide, stream.data(), stream.size()));
    EXPECT_GT(big[0], 240);
    EXPECT_EQ(big[35], 7);
    EXPECT_EQ(big[39 * 40], 7);
    // A smaller target with a row stride: nothing beyond its width is touched.
    std::vector<uint8_t> small(8 * 10, 7);
    PixelTarget narrow{small.data(), 8, 8, 1, 10};
    ASSERT_TRUE(DecodeJpeg(narrow, stream.data(), stream.size()));
    EXPECT_GT(small[7], 240);
    EXPECT_EQ(small[8], 7);
    EXPECT_EQ(small[9], 7);
}

TEST(JpegDecode, DamagedStreamsFailWithoutHarm) {
    std::vector<uint8_t> stream;
    EncodeJpeg(Flat(64, 64, 30, 60, 90), stream, 80);
    std::vector<uint8_t> rgba(64 * 64 * 4);
    PixelTarget target{rgba.data(), 64, 64, 4, 0};
    // Every cut either fails or yields a picture; none may crash or hang.
    for (size_t cut = 0; cut < stream.size(); cut += 7) DecodeJpeg(target, stream.data(), cut);
    EXPECT_FALSE(DecodeJpeg(target, stream.data(), 100)) << "a cut inside the headers has no picture";

    std::mt19937 rng(1);
    std::vector<uint8_t> noise(5000);
    for (uint8_t& b : noise) b = uint8_t(rng());
    EXPECT_FALSE(DecodeJpeg(target, noise.data(), noise.size()));
    EXPECT_FALSE(DecodeJpeg(target, nullptr, 10));

    // A header that claims an enormous picture is refused before any work.
    std::vector<uint8_t> huge = stream;
    for (size_t i = 2; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;
            break;
        }
    EXPECT_FALSE(DecodeJpeg(target, huge.data(), huge.size()));
}

using JpegWithTools = testing::ScratchFolderTest;

TEST_F(JpegWithTools, DjpegReadsTheSettingsPicture) {
    if (std::system("command -v djpeg >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "djpeg is not installed (Debian package libjpeg-turbo-progs)";
    Picture picture;
    ResetPictureToRamp(picture);
    std::vector<uint8_t> stream;
    ASSERT_GT(EncodeJpeg(picture, stream, kSettingsPictureQuality), 0u);
    const std::string in = Path("picture.jpg"), out = Path("picture.ppm");
    ASSERT_TRUE(platform::WriteFileAtomically(in, stream.data(), stream.size()));
    ASSERT_EQ(std::system(("djpeg -pnm -outfile '" + out + "' '" + in + "'").c_str()), 0);
    std::vector<uint8_t> ppm;
    ASSERT_TRUE(platform::ReadWholeFile(out, ppm));
    const std::string header = "P6\n128 128\n255\n";
    ASSERT_GT(ppm.size(), header.size());
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + long(header.size())), header);
    EXPECT_EQ(ppm.size(), header.size() + 128 * 128 * 3);
    EXPECT_NEAR(ppm[header.size()], 255, 3);
    EXPECT_NEAR(ppm[header.size() + 127 * 128 * 3], 128, 3);
}

}  // namespace
}  // namespace tw
