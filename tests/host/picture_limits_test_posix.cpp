// Picture files that claim far more than they hold: each reader must refuse them without
// the memory of the claimed picture ever becoming real. Measured in a child process (fork
// and getrusage), hence POSIX only.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "host/picture.h"
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include "platform/platform.h"
#include "tests/host/test_support.h"

namespace tw::host {
namespace {

using testing::PatternPicture;
using testing::ScratchPath;

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

// Found by the picture fuzzer: a TIFF of 161 bytes declaring 65531 x 8192 grey pixels with
// alpha. Its reader once set aside and zeroed the whole gigabyte before reading a row.
const uint8_t kFuzzedTiff[] = {
    0x49, 0x49, 0x2a, 0x00, 0x08, 0x00, 0x00, 0x00, 0x0b, 0x00, 0x00, 0x01, 0x03, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x01, 0xff, 0xfb, 0x00, 0x01, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20,
    0x00, 0x00, 0x02, 0x01, 0x03, 0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0x00, 0x08, 0x00, 0x03, 0x01,
    0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x06, 0x01, 0x03, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x11, 0x01, 0x04, 0x00, 0x01, 0x00, 0x00, 0x00, 0x92, 0x00,
    0x00, 0x00, 0x15, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x16, 0x01,
    0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x17, 0x01, 0x04, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x1c, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
    0x00, 0x00, 0x52, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x40, 0x80, 0xff, 0x1d, 0x63, 0x0a, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44,
    0x00,
};

// An 8-bit RGB picture as a JPEG file, written with libjpeg directly (the host writes
// baseline files only).
std::vector<uint8_t> ProgressiveOrBaselineJpeg(const Picture& picture, bool progressive) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(picture.data.data()) + size_t(info.next_scanline) * picture.RowBytes();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

// Files of a few hundred bytes whose headers claim 12000 x 12000 pixels (432 MB of RGB).
// Each must be refused without the memory of the picture becoming real: a child process
// reads it and reports its peak memory.
using Decoder = bool (*)(const std::vector<uint8_t>&, Picture&, std::string&);

long PeakKilobytesWhileDecoding(const std::vector<uint8_t>& bytes, Decoder decode, std::string& error) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        Picture picture;
        std::string why;
        const bool ok = decode(bytes, picture, why);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const std::string report = (ok ? "read " : "refused ") + std::to_string(usage.ru_maxrss) + " " + why;
        if (write(pipe_ends[1], report.data(), report.size()) < 0) _exit(2);
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string report;
    char chunk[256];
    for (ssize_t n; (n = read(pipe_ends[0], chunk, sizeof chunk)) > 0;) report.append(chunk, size_t(n));
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (report.rfind("refused ", 0) != 0) return -1;
    const size_t space = report.find(' ', 8);
    error = report.substr(space + 1);
    return std::stol(report.substr(8, space - 8));
}

TEST(BadFiles, SmallFilesClaimingHugePicturesCostNoMemory) {
    const Picture small = PatternPicture(16, 16, 3, 8);
    std::string error;
    std::vector<std::vector<uint8_t>> files;

    // JPEG, baseline and progressive: the frame header's height and width.
    for (const bool progressive : {false, true}) {
        std::vector<uint8_t> jpeg = ProgressiveOrBaselineJpeg(small, progressive);
        ASSERT_FALSE(jpeg.empty());
        for (size_t i = 2; i + 9 < jpeg.size();) {
            const size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
            if (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2) {
                PutBig16(jpeg, i + 5, 12000);
                PutBig16(jpeg, i + 7, 12000);
                break;
            }
            i += 2 + length;
        }
        files.push_back(jpeg);
    }

    // PNG: the header chunk, with its checksum made right again.
    std::vector<uint8_t> png;
    ASSERT_TRUE(EncodePng(small, png, error));
    for (size_t at : {size_t(16), size_t(20)}) {
        png[at] = 0;
        png[at + 1] = 0;
        PutBig16(png, at + 2, 12000);
    }
    const uint32_t crc = Crc32(png.data() + 12, 17);
    for (int k = 0; k < 4; ++k) png[size_t(29 + k)] = uint8_t(crc >> (24 - 8 * k));
    files.push_back(png);

    // TIFF: one row written of the 12000 its tags declare.
    const std::string path = ScratchPath("claims-huge.tif");
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 12000u);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 12000u);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 12000u);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    std::vector<uint8_t> row(12000 * 3, 77);
    ASSERT_GE(TIFFWriteScanline(tiff, row.data(), 0, 0), 0);
    TIFFClose(tiff);
    std::vector<uint8_t> tif;
    ASSERT_TRUE(platform::ReadWholeFile(path, tif));
    files.push_back(tif);

    files.emplace_back(std::begin(kFuzzedTiff), std::end(kFuzzedTiff));

    const char* names[] = {"JPEG", "progressive JPEG", "PNG", "TIFF", "fuzzed TIFF"};
    const Decoder decoders[] = {DecodeJpeg, DecodeJpeg, DecodePng, DecodeTiff, DecodeTiff};
    for (size_t i = 0; i < files.size(); ++i) {
        ASSERT_LT(files[i].size(), 4000u) << names[i];
        const long peak = PeakKilobytesWhileDecoding(files[i], decoders[i], error);
        EXPECT_GE(peak, 0) << names[i] << " was read, or its reader failed";
        if (peak < 0) continue;
        EXPECT_LT(peak, 200 * 1024) << names[i] << ": " << error;
        EXPECT_FALSE(error.empty()) << names[i];
    }
}

}  // namespace
}  // namespace tw::host
