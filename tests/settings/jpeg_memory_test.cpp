// JPEG in memory: what the streams carry (markers, tables, sampling), that they decode, and
// that damaged streams fail cleanly.
#include "settings/jpeg_memory.h"

#include <cstdio>
#include <cstdlib>
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
    for (size_t i = 0; i < p.rgb.size(); i += 3) p.rgb[i] = r, p.rgb[i + 1] = g, p.rgb[i + 2] = b;
    return p;
}

std::vector<uint8_t> Encode(const Picture& picture, int quality, const JpegExtras& extras = {}) {
    std::vector<uint8_t> stream;
    EncodeJpeg(picture, stream, quality, extras);
    return stream;
}

// The marker segments before the first scan: code and body (without the length word).
std::vector<std::pair<uint8_t, std::vector<uint8_t>>> Segments(const std::vector<uint8_t>& s) {
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> out;
    for (size_t at = 2; at + 4 <= s.size() && s[at] == 0xFF;) {
        const size_t length = size_t(s[at + 2]) << 8 | s[at + 3];
        out.emplace_back(s[at + 1], std::vector<uint8_t>(s.begin() + long(at + 4), s.begin() + long(at + 2 + length)));
        if (s[at + 1] == 0xDA) break;
        at += 2 + length;
    }
    return out;
}

// Quantisation tables by number, in row-major order (streams hold them in zigzag order).
std::map<int, std::vector<int>> Tables(const std::vector<uint8_t>& stream) {
    constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    std::map<int, std::vector<int>> tables;
    for (const auto& [code, body] : Segments(stream))
        for (size_t at = 0; code == 0xDB && at + 65 <= body.size(); at += 65) {
            std::vector<int>& t = tables[body[at] & 15];
            t.resize(64);
            for (int k = 0; k < 64; ++k) t[size_t(kZigzag[k])] = body[at + 1 + size_t(k)];
        }
    return tables;
}

TEST(JpegEncode, MarkersFollowJfifInOrder) {
    const std::vector<uint8_t> tiff = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0};
    const std::vector<uint8_t> iptc = {0x1C, 2, 0x78, 0, 2, 'a', 'b'};  // odd length: padded
    const std::vector<uint8_t> stream = Encode(Flat(16, 16, 0, 0, 0), 50, {tiff.data(), tiff.size(), iptc.data(), 7});
    ASSERT_GE(stream.size(), 4u);
    EXPECT_EQ(stream[0] << 8 | stream[1], 0xFFD8);
    const auto segs = Segments(stream);
    ASSERT_GE(segs.size(), 4u);
    EXPECT_EQ(segs[0].first, 0xE0);
    EXPECT_EQ(std::string(segs[0].second.begin(), segs[0].second.begin() + 5), std::string("JFIF\0", 5));
    EXPECT_EQ(segs[1].first, 0xFE);
    EXPECT_EQ(segs[1].second, std::vector<uint8_t>(kMakerWebAddress, kMakerWebAddress + 28));
    EXPECT_EQ(segs[2].first, 0xE1);
    EXPECT_EQ(segs[2].second, (std::vector<uint8_t>{'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0}));
    EXPECT_EQ(segs[3].first, 0xED);
    std::vector<uint8_t> app13(std::begin("Photoshop 3.0"), std::end("Photoshop 3.0"));
    for (int b : {int('8'), int('B'), int('I'), int('M'), 4, 4, 0, 0, 0, 0, 0, 7, 0x1C, 2, 0x78, 0, 2, int('a'), int('b'), 0})
        app13.push_back(uint8_t(b));
    EXPECT_EQ(segs[3].second, app13);
    // Without extras the comment is followed straight by the tables.
    EXPECT_EQ(Segments(Encode(Flat(16, 16, 0, 0, 0), 80))[2].first, 0xDB);
}

TEST(JpegEncode, RefusesWhatItCannotWrite) {
    std::vector<uint8_t> stream = {1, 2, 3};
    const std::vector<uint8_t> huge(70000, 1);
    EXPECT_EQ(EncodeJpeg(Flat(16, 16, 0, 0, 0), stream, 50, JpegExtras{huge.data(), huge.size()}), 0u);
    EXPECT_TRUE(stream.empty());
    EXPECT_EQ(EncodeJpeg(Picture{}, stream, 80), 0u);
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
    EXPECT_EQ(Tables(Encode(picture, 80))[0], luma80);
    auto tables = Tables(Encode(picture, 59));  // any quality of the decile
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
                EXPECT_TRUE((d >= 5 && d < 8) || lower[i] >= higher[i]) << "decile " << d << " entry " << i;
                EXPECT_TRUE(higher[i] >= 1 && lower[i] <= 255);
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
        for (const auto& [code, body] : Segments(Encode(picture, quality)))
            if (code == 0xC0) return int(body[7]);  // first component's factors, h << 4 | v
        return -1;
    };
    EXPECT_EQ(luma_sampling(0), 0x22);
    EXPECT_EQ(luma_sampling(49), 0x22);
    EXPECT_EQ(luma_sampling(50), 0x11);
    EXPECT_EQ(luma_sampling(99), 0x11);
    EXPECT_EQ(Encode(picture, -40), Encode(picture, 0));
    EXPECT_EQ(Encode(picture, 500), Encode(picture, 99));
}

TEST(JpegEncode, TinyPicturesAreWidenedBySpreadingTheirEdge) {
    const std::vector<uint8_t> stream = Encode(Flat(5, 3, 200, 10, 10), 80);
    int w = 0, h = 0;
    ASSERT_TRUE(JpegDimensions(stream.data(), stream.size(), w, h));
    EXPECT_EQ(w * 100 + h, 1616);
    Picture decoded;
    ASSERT_TRUE(DecodeJpegPicture(stream.data(), stream.size(), 16, 16, decoded));
    EXPECT_NEAR(decoded.pixel(15, 15)[0], 200, 6);
}

// A one-component stream made straight with the library.
std::vector<uint8_t> GreyStream(int side, uint8_t value) {
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = c.image_height = JDIMENSION(side);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(size_t(side), value);
    JSAMPROW rows[1] = {row.data()};
    while (c.next_scanline < c.image_height) jpeg_write_scanlines(&c, rows, 1);
    jpeg_finish_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return out;
}

TEST(JpegDecode, ColourAndGreyStreamsIntoBothTargets) {
    struct Case {
        std::vector<uint8_t> stream;
        int r, g, b;
    };
    const Case cases[] = {{Encode(Flat(24, 24, 200, 100, 50), 90), 200, 100, 50}, {GreyStream(24, 180), 180, 180, 180}};
    for (const Case& c : cases) {
        std::vector<uint8_t> rgba(24 * 24 * 4, 0), grey(24 * 24, 0);
        PixelTarget colour{rgba.data(), 24, 24, 4, 0}, one{grey.data(), 24, 24, 1, 0};
        ASSERT_TRUE(DecodeJpeg(colour, c.stream.data(), c.stream.size()));
        ASSERT_TRUE(DecodeJpeg(one, c.stream.data(), c.stream.size()));
        const size_t last = 24 * 24 - 1;
        EXPECT_NEAR(rgba[last * 4], c.r, 3);
        EXPECT_NEAR(rgba[last * 4 + 1], c.g, 3);
        EXPECT_NEAR(rgba[last * 4 + 2], c.b, 3);
        EXPECT_EQ(rgba[last * 4 + 3], 255);
        EXPECT_NEAR(grey[last], (77 * c.r + 150 * c.g + 28 * c.b) >> 8, 3);
    }
}

TEST(JpegDecode, TargetSizeDecidesWhatIsWritten) {
    const std::vector<uint8_t> stream = Encode(Flat(32, 32, 255, 255, 255), 80);
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
    EXPECT_EQ(small[8] * 100 + small[9], 707);
}

TEST(JpegDecode, DamagedStreamsFailWithoutHarm) {
    const std::vector<uint8_t> stream = Encode(Flat(64, 64, 30, 60, 90), 80);
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
            std::fill(huge.begin() + long(i + 5), huge.begin() + long(i + 9), 0xFF);
            break;
        }
    EXPECT_FALSE(DecodeJpeg(target, huge.data(), huge.size()));
}

using JpegWithTools = testing::ScratchFolderTest;

TEST_F(JpegWithTools, DjpegReadsTheSettingsPicture) {
    if (std::system("djpeg -version >/dev/null 2>&1 </dev/null") != 0)
        GTEST_SKIP() << "djpeg is not installed (Debian package libjpeg-turbo-progs)";
    Picture picture;
    ResetPictureToRamp(picture);
    const std::vector<uint8_t> stream = Encode(picture, kSettingsPictureQuality);
    const std::string in = Path("picture.jpg"), out = Path("picture.ppm");
    ASSERT_TRUE(platform::WriteFileAtomically(in, stream.data(), stream.size()));
    ASSERT_EQ(std::system(("djpeg -pnm -outfile \"" + out + "\" \"" + in + "\"").c_str()), 0);
    std::vector<uint8_t> ppm;
    ASSERT_TRUE(platform::ReadWholeFile(out, ppm));
    const std::string header = "P6\n128 128\n255\n";
    ASSERT_EQ(ppm.size(), header.size() + 128 * 128 * 3);
    EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + long(header.size())), header);
    EXPECT_NEAR(ppm[header.size()], 255, 3);
    EXPECT_NEAR(ppm[header.size() + 127 * 128 * 3], 128, 3);
}

}  // namespace
}  // namespace tw
