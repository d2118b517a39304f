// Picture files and the document built from them: exact round trips in every supported
// layout and depth, the 16-bit range conversion, and refusal of bad files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/document.h"
#include "host/picture.h"
#include "platform/platform.h"
#include "tests/host/test_support.h"

namespace tw::host {
namespace {

using testing::PatternPicture;
using testing::ScratchPath;

TEST(SixteenBit, EveryHostValueSurvivesAFileRoundTrip) {
    for (uint32_t h = 0; h <= 32768; ++h) {
        ASSERT_EQ(FileToHost16(HostToFile16(uint16_t(h))), h) << "host value " << h;
    }
    EXPECT_EQ(HostToFile16(0), 0);
    EXPECT_EQ(HostToFile16(32768), 65535);
    EXPECT_EQ(FileToHost16(0), 0);
    EXPECT_EQ(FileToHost16(65535), 32768);
    EXPECT_EQ(FileToHost16(32768), 16384);  // the middle of the file range is the middle here
}

TEST(SixteenBit, FileValuesMapMonotonicallyAndToTheNearestHostValue) {
    uint16_t previous = 0;
    for (uint32_t f = 0; f <= 65535; ++f) {
        uint16_t h = FileToHost16(uint16_t(f));
        ASSERT_GE(h, previous);
        ASSERT_LE(std::fabs(double(h) - f * 32768.0 / 65535.0), 0.5) << "file value " << f;
        previous = h;
    }
    // A plug-in may store more than white; it must not wrap round to black.
    EXPECT_EQ(HostToFile16(40000), 65535);
    EXPECT_EQ(HostToFile16(65535), 65535);
}

struct Layout {
    FileFormat format;
    const char* extension;
    int channels;
    int bits;
};

class RoundTrip : public ::testing::TestWithParam<Layout> {};

TEST_P(RoundTrip, WriteThenReadIsBitExact) {
    const Layout& l = GetParam();
    Picture original = PatternPicture(13, 7, l.channels, l.bits);
    std::string path = ScratchPath("round-trip-" + std::to_string(l.channels) + "-" +
                                   std::to_string(l.bits) + l.extension);
    std::string error;
    ASSERT_TRUE(WritePicture(path, original, {}, error)) << error;
    Picture back;
    ASSERT_TRUE(ReadPicture(path, back, error)) << error;
    EXPECT_EQ(back.width, 13);
    EXPECT_EQ(back.height, 7);
    EXPECT_EQ(back.channels, l.channels);
    EXPECT_EQ(back.bits, l.bits);
    EXPECT_TRUE(back.data == original.data);
    EXPECT_FALSE(platform::FileExists(path + ".partial"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryLosslessLayout, RoundTrip,
    ::testing::Values(Layout{FileFormat::Png, ".png", 1, 8}, Layout{FileFormat::Png, ".png", 2, 8},
                      Layout{FileFormat::Png, ".png", 3, 8}, Layout{FileFormat::Png, ".png", 4, 8},
                      Layout{FileFormat::Png, ".png", 1, 16}, Layout{FileFormat::Png, ".png", 2, 16},
                      Layout{FileFormat::Png, ".png", 3, 16}, Layout{FileFormat::Png, ".png", 4, 16},
                      Layout{FileFormat::Tiff, ".tif", 1, 8}, Layout{FileFormat::Tiff, ".tif", 4, 8},
                      Layout{FileFormat::Tiff, ".tiff", 3, 16}, Layout{FileFormat::Tiff, ".tif", 2, 16},
                      Layout{FileFormat::Tiff, ".tif", 1, 32}, Layout{FileFormat::Tiff, ".tif", 3, 32},
                      Layout{FileFormat::Tiff, ".TIF", 4, 32}),
    [](const ::testing::TestParamInfo<Layout>& case_info) {
        return std::string(FormatName(case_info.param.format)) + "_" + std::to_string(case_info.param.channels) +
               "_channels_" + std::to_string(case_info.param.bits) + "_bits";
    });

TEST(Jpeg, GreyAndColourComeBackCloseAtTheSameSize) {
    for (int channels : {1, 3}) {
        Picture smooth;
        ASSERT_TRUE(smooth.Allocate(33, 17, channels, 8));
        for (size_t i = 0; i < smooth.data.size(); ++i) {
            size_t pixel = i / size_t(channels);
            smooth.data[i] = uint8_t(40 + (pixel % 33) * 4 + (i % size_t(channels)) * 20);
        }
        std::string path = ScratchPath("smooth-" + std::to_string(channels) + ".jpg");
        std::string error;
        ASSERT_TRUE(WritePicture(path, smooth, {100}, error)) << error;
        Picture back;
        ASSERT_TRUE(ReadPicture(path, back, error)) << error;
        ASSERT_EQ(back.channels, channels);
        ASSERT_EQ(back.bits, 8);
        ASSERT_EQ(back.data.size(), smooth.data.size());
        int worst = 0;
        for (size_t i = 0; i < back.data.size(); ++i) {
            worst = std::max(worst, std::abs(int(back.data[i]) - int(smooth.data[i])));
        }
        EXPECT_LE(worst, 8) << channels << " channels";
    }
}

TEST(Document, SixteenBitPicturesConvertBothWaysAndKeepTheirShape) {
    Picture picture = PatternPicture(9, 4, 4, 16);
    Document doc;
    std::string error;
    ASSERT_TRUE(DocumentFromPicture(picture, doc, error)) << error;
    EXPECT_EQ(doc.ImageMode(), 11);
    EXPECT_EQ(doc.colour_planes, 3);
    EXPECT_TRUE(doc.transparency);
    EXPECT_EQ(doc.FilterCase(), 4);
    auto* host = reinterpret_cast<const uint16_t*>(doc.pixels.data());
    auto* file = reinterpret_cast<const uint16_t*>(picture.data.data());
    EXPECT_EQ(host[0], 0);
    EXPECT_EQ(host[1], 32768);
    for (size_t i = 0; i < picture.data.size() / 2; ++i) {
        ASSERT_LE(host[i], 32768);
        ASSERT_EQ(host[i], FileToHost16(file[i]));
    }
    Picture back = PictureFromDocument(doc);
    EXPECT_EQ(back.channels, 4);
    EXPECT_EQ(back.bits, 16);
    auto* again = reinterpret_cast<const uint16_t*>(back.data.data());
    for (size_t i = 0; i < picture.data.size() / 2; ++i) {
        ASSERT_LE(std::abs(int(again[i]) - int(file[i])), 1);
    }
}

TEST(Document, ModesAndFilterCasesFollowThePicture) {
    struct Case { int channels, bits; int16_t mode; bool transparency; };
    for (Case c : {Case{1, 8, 1, false}, Case{3, 8, 3, false}, Case{2, 16, 10, true},
                   Case{3, 16, 11, false}, Case{4, 32, 16, true}, Case{1, 32, 17, false}}) {
        Document doc;
        std::string error;
        ASSERT_TRUE(DocumentFromPicture(PatternPicture(2, 2, c.channels, c.bits), doc, error));
        EXPECT_EQ(doc.ImageMode(), c.mode);
        EXPECT_EQ(doc.transparency, c.transparency);
        EXPECT_EQ(doc.FilterCase(), c.transparency ? 4 : 1);
        doc.mask.assign(4, 255);
        EXPECT_EQ(doc.FilterCase(), c.transparency ? 5 : 2);
    }
}

TEST(Mask, GreyPicturesOfTheRightSizeOnly) {
    std::vector<uint8_t> mask;
    std::string error;
    Picture grey16;
    ASSERT_TRUE(grey16.Allocate(3, 1, 1, 16));
    uint16_t values[3] = {0, 32896, 65535};
    std::memcpy(grey16.data.data(), values, sizeof values);
    ASSERT_TRUE(MaskFromPicture(grey16, 3, 1, mask, error)) << error;
    EXPECT_EQ(mask, (std::vector<uint8_t>{0, 128, 255}));

    EXPECT_FALSE(MaskFromPicture(PatternPicture(3, 1, 3, 8), 3, 1, mask, error));
    EXPECT_NE(error.find("greyscale"), std::string::npos);
    EXPECT_FALSE(MaskFromPicture(PatternPicture(4, 1, 1, 8), 3, 1, mask, error));
    EXPECT_NE(error.find("4x1"), std::string::npos);
}

// ---- Bad files ----------------------------------------------------------------------------

std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = ScratchPath(name);
    EXPECT_TRUE(platform::WriteFileAtomically(path, bytes.data(), bytes.size()));
    return path;
}

std::vector<uint8_t> EncodedPattern(FileFormat format) {
    std::vector<uint8_t> bytes;
    std::string error;
    Picture p = PatternPicture(64, 48, 3, 8);
    if (format == FileFormat::Png) EncodePng(p, bytes, error);
    if (format == FileFormat::Jpeg) EncodeJpeg(p, 90, bytes, error);
    if (format == FileFormat::Tiff) EncodeTiff(p, bytes, error);
    return bytes;
}

TEST(BadFiles, AreRefusedWithAReasonThatNamesTheFile) {
    Picture picture;
    std::string error;
    std::string missing = ScratchPath("no-such-picture.png");
    EXPECT_FALSE(ReadPicture(missing, picture, error));
    EXPECT_NE(error.find(missing), std::string::npos);
    EXPECT_NE(error.find("No such file"), std::string::npos);

    std::string empty = WriteBytes("empty.png", {});
    EXPECT_FALSE(ReadPicture(empty, picture, error));
    EXPECT_NE(error.find("empty"), std::string::npos);

    std::string text = WriteBytes("text.png", {'h', 'e', 'l', 'l', 'o', '\n'});
    EXPECT_FALSE(ReadPicture(text, picture, error));
    EXPECT_NE(error.find("not a PNG, JPEG or TIFF"), std::string::npos);
    EXPECT_EQ(picture.width, 0);
}

TEST(Picture, RowsMadeOneByOneKeepTheirContentWhenTheRoomGrows) {
    // 72 MB: more than a reader sets aside before any row has arrived.
    constexpr size_t kFirstRoom = size_t(64) << 20;
    Picture p;
    ASSERT_TRUE(p.Reserve(3000, 3000, 4, 16));
    EXPECT_EQ(p.RowBytes(), 24000u);
    EXPECT_TRUE(p.data.empty());
    // No more than the first room is taken before a row arrives.
    EXPECT_LE(p.data.capacity(), kFirstRoom);
    for (int32_t y = 0; y < 2999; ++y) {
        uint8_t* row = p.RowAt(y);
        row[0] = uint8_t(y);
        row[p.RowBytes() - 1] = uint8_t(y >> 8);
    }
    p.FinishRows();  // the last row was never read: it is made, zeroed
    ASSERT_EQ(p.data.size(), p.RowBytes() * 3000);
    for (int32_t y = 0; y < 2999; ++y) {
        ASSERT_EQ(p.data[size_t(y) * p.RowBytes()], uint8_t(y)) << y;
        ASSERT_EQ(p.data[size_t(y + 1) * p.RowBytes() - 1], uint8_t(y >> 8)) << y;
    }
    EXPECT_EQ(p.data.back(), 0);

    // A header may claim a terabyte (the largest sides, four 32-bit channels); a reader
    // still starts with the first room only and refuses the file once its rows run out,
    // instead of asking the system for the whole claim at once.
    Picture claimed;
    ASSERT_TRUE(claimed.Reserve(kMaxPictureSide, kMaxPictureSide, 4, 32));
    EXPECT_LE(claimed.data.capacity(), kFirstRoom);
    std::fill_n(claimed.RowAt(1), claimed.RowBytes(), uint8_t(9));
    EXPECT_EQ(claimed.data.size(), 2 * claimed.RowBytes());
    EXPECT_EQ(claimed.data.back(), 9);

    EXPECT_FALSE(p.Reserve(0, 5, 3, 8));
    EXPECT_FALSE(p.Reserve(5, 5, 3, 12));
    EXPECT_EQ(p.width, 0);
}

// Inputs the picture fuzzer found (fuzz/picture_fuzz.cpp); each once misbehaved.
TEST(BadFiles, FoundByFuzzing) {
    Picture picture;
    std::string error;
    // No bytes at all, given straight to each decoder: the TIFF reader once copied from the
    // null data() of the empty buffer (harmless-looking here, reported by the undefined-
    // behaviour sanitizer, so scripts/sanitize-test.sh catches its return).
    const std::vector<uint8_t> nothing;
    EXPECT_FALSE(DecodePng(nothing, picture, error));
    EXPECT_FALSE(DecodeJpeg(nothing, picture, error));
    EXPECT_FALSE(DecodeTiff(nothing, picture, error));
    EXPECT_FALSE(error.empty());
    // A TIFF header whose first directory lies far past the end of the file: the reader
    // seeks there, finds nothing to read and refuses the file.
    const std::vector<uint8_t> header = {'I', 'I', 42, 0, 0x00, 0x00, 0x00, 0x40};
    error.clear();
    EXPECT_FALSE(DecodeTiff(header, picture, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(picture.width, 0);
}

TEST(BadFiles, TruncatedFilesOfEveryFormatAreRefused) {
    for (FileFormat format : {FileFormat::Png, FileFormat::Jpeg, FileFormat::Tiff}) {
        std::vector<uint8_t> bytes = EncodedPattern(format);
        ASSERT_GT(bytes.size(), 100u);
        for (size_t keep : {bytes.size() / 2, bytes.size() - 4, size_t(20)}) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(keep));
            std::string path = WriteBytes("cut.bin", cut);
            Picture picture;
            std::string error;
            EXPECT_FALSE(ReadPicture(path, picture, error))
                << FormatName(format) << " cut to " << keep << " bytes";
            EXPECT_FALSE(error.empty());
            EXPECT_TRUE(picture.data.empty());
        }
    }
}

TEST(BadFiles, UnsupportedTiffLayoutsAreNamed) {
    // A CMYK TIFF written directly with libtiff.
    std::string path = ScratchPath("cmyk.tif");
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 2u);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 1u);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    uint8_t row[8] = {};
    TIFFWriteScanline(tiff, row, 0, 0);
    TIFFClose(tiff);
    Picture picture;
    std::string error;
    EXPECT_FALSE(ReadPicture(path, picture, error));
    EXPECT_NE(error.find("grey and RGB"), std::string::npos) << error;
}

// Writes `picture` as a TIFF laid out in ways our own writer never uses.
std::string WriteTiffDirectly(const std::string& name, const Picture& picture, bool tiled,
                              bool separate, uint16_t alpha_kind) {
    std::string path = ScratchPath(name);
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(picture.bits));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(picture.channels));
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, uint16_t(picture.bits == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(picture.channels >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG));
    if (picture.HasAlpha()) TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &alpha_kind);
    size_t sample = picture.SampleBytes();
    int planes = separate ? picture.channels : 1;
    size_t pixel = separate ? sample : sample * size_t(picture.channels);
    auto sample_at = [&](int32_t x, int32_t y, int plane, uint8_t* to) {
        const uint8_t* from = picture.data.data() + size_t(y) * picture.RowBytes() +
                              size_t(x) * sample * size_t(picture.channels);
        std::memcpy(to, separate ? from + size_t(plane) * sample : from, pixel);
    };
    if (tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16u);
        std::vector<uint8_t> tile(16 * 16 * pixel);
        for (int plane = 0; plane < planes; ++plane)
            for (int32_t top = 0; top < picture.height; top += 16)
                for (int32_t left = 0; left < picture.width; left += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int32_t y = top; y < std::min(top + 16, picture.height); ++y)
                        for (int32_t x = left; x < std::min(left + 16, picture.width); ++x)
                            sample_at(x, y, plane, tile.data() + (size_t(y - top) * 16 + size_t(x - left)) * pixel);
                    TIFFWriteTile(tiff, tile.data(), uint32_t(left), uint32_t(top), 0, uint16_t(plane));
                }
    } else {
        std::vector<uint8_t> row(size_t(picture.width) * pixel);
        for (int plane = 0; plane < planes; ++plane)
            for (int32_t y = 0; y < picture.height; ++y) {
                for (int32_t x = 0; x < picture.width; ++x) sample_at(x, y, plane, row.data() + size_t(x) * pixel);
                TIFFWriteScanline(tiff, row.data(), uint32_t(y), uint16_t(plane));
            }
    }
    TIFFClose(tiff);
    return path;
}

TEST(Tiff, TiledAndPlanarFilesReadLikeOrdinaryOnes) {
    for (bool tiled : {false, true}) {
        for (bool separate : {false, true}) {
            for (int bits : {8, 16, 32}) {
                Picture original = PatternPicture(37, 20, 4, bits);  // not a whole number of tiles
                std::string path = WriteTiffDirectly("layout.tif", original, tiled, separate,
                                                     EXTRASAMPLE_UNASSALPHA);
                Picture back;
                std::string error;
                ASSERT_TRUE(ReadPicture(path, back, error)) << error;
                EXPECT_TRUE(back.data == original.data)
                    << "tiled " << tiled << " separate " << separate << " bits " << bits;
            }
        }
    }
}

TEST(Tiff, PremultipliedAlphaBecomesStraight) {
    Picture premultiplied;
    ASSERT_TRUE(premultiplied.Allocate(2, 1, 4, 8));
    premultiplied.data = {100, 50, 0, 128, 9, 9, 9, 0};
    std::string path = WriteTiffDirectly("premultiplied.tif", premultiplied, false, false,
                                         EXTRASAMPLE_ASSOCALPHA);
    Picture back;
    std::string error;
    ASSERT_TRUE(ReadPicture(path, back, error)) << error;
    EXPECT_EQ(back.data, (std::vector<uint8_t>{199, 100, 0, 128, 9, 9, 9, 0}));
}

TEST(Writing, RefusesFormatsThatWouldLoseDepthOrAlphaAndLeavesNoFile) {
    std::string error;
    std::string jpeg = ScratchPath("deep.jpg");
    EXPECT_FALSE(WritePicture(jpeg, PatternPicture(4, 4, 3, 16), {}, error));
    EXPECT_NE(error.find("8-bit"), std::string::npos);
    EXPECT_FALSE(WritePicture(jpeg, PatternPicture(4, 4, 4, 8), {}, error));
    EXPECT_NE(error.find("transparency"), std::string::npos);
    EXPECT_FALSE(platform::FileExists(jpeg));

    std::string png = ScratchPath("float.png");
    EXPECT_FALSE(WritePicture(png, PatternPicture(4, 4, 1, 32), {}, error));
    EXPECT_FALSE(platform::FileExists(png));

    std::string nowhere = ScratchPath("missing-folder/out.png");
    EXPECT_FALSE(WritePicture(nowhere, PatternPicture(4, 4, 3, 8), {}, error));
    EXPECT_NE(error.find(nowhere), std::string::npos);
}

TEST(Writing, ReplacesAnExistingFile) {
    std::string path = ScratchPath("replace.png");
    std::string error;
    ASSERT_TRUE(WritePicture(path, PatternPicture(5, 5, 3, 8), {}, error));
    ASSERT_TRUE(WritePicture(path, PatternPicture(6, 2, 1, 16), {}, error));
    Picture back;
    ASSERT_TRUE(ReadPicture(path, back, error));
    EXPECT_EQ(back.width, 6);
    EXPECT_EQ(back.bits, 16);
}

TEST(Formats, ComeFromTheNameCaseInsensitively) {
    EXPECT_EQ(FormatFromName("a/b.PNG"), FileFormat::Png);
    EXPECT_EQ(FormatFromName("x.jpeg"), FileFormat::Jpeg);
    EXPECT_EQ(FormatFromName("x.Tiff"), FileFormat::Tiff);
    EXPECT_EQ(FormatFromName("dir.png/file"), FileFormat::Unknown);
    EXPECT_EQ(FormatFromName("noextension"), FileFormat::Unknown);
}

}  // namespace
}  // namespace tw::host
