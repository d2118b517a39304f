// Baseline JPEG streams made and read in memory with the IJG library. The program carries
// its own quantisation tables and chroma sampling, chosen by the quality's decile, and
// marks every stream it writes with the maker's web address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "settings/picture.h"

namespace tw {

// The maker's web address, written into every stream as a comment.
inline constexpr char kMakerWebAddress[] = "https://www.quillmoth.info/";
static_assert(sizeof kMakerWebAddress - 1 == 27, "the comment marker holds 27 characters and a NUL");

constexpr int kSettingsPictureQuality = 80;
constexpr int kGalleryPictureQuality = 50;

// Quality q is clamped to 0..99; its decile q / 10 picks the tables and the sampling.
int QualityDecile(int quality);
// The luminance (0) or chrominance (1) table of a decile, 64 entries in row-major order.
void QuantTable(int decile, int which, uint16_t (&table)[64]);

// Optional blocks written after the comment marker.
struct JpegExtras {
    const uint8_t* exif_tiff = nullptr;  // a TIFF block; goes into APP1 after "Exif\0\0"
    size_t exif_size = 0;
    const uint8_t* iptc = nullptr;       // IPTC datasets; go into APP13 as 8BIM resource 1028
    size_t iptc_size = 0;
};

// Compresses the whole picture into `out` (replaced). A picture narrower or shorter than 16
// pixels is widened to 16 by repeating its last column or row. Returns the byte count, or
// 0 when the picture is empty, an extra block does not fit in a marker, or the library
// fails; `out` is then empty.
size_t EncodeJpeg(const Picture& picture, std::vector<uint8_t>& out, int quality, const JpegExtras& extras = {});

// Where DecodeJpeg puts pixels: `channels` is 1 (grey) or 4 (R, G, B, alpha 255).
struct PixelTarget {
    uint8_t* pixels = nullptr;
    int width = 0, height = 0, channels = 4;
    size_t row_stride = 0;  // bytes between rows; 0 means width * channels
};

// Decompresses a one- or three-component stream into the target; pixels outside it are
// dropped and target pixels the stream does not cover are left alone. False, with the
// target possibly half-written, for a corrupt or unsupported stream or one larger than
// kMaxDecodePixels. Never aborts.
constexpr uint64_t kMaxDecodePixels = uint64_t{1} << 24;
bool DecodeJpeg(PixelTarget& target, const uint8_t* data, size_t size);

// Reads only the stream's header; false when it is not a readable JPEG stream.
bool JpegDimensions(const uint8_t* data, size_t size, int& width, int& height);

// Decodes a stream into a w x h RGB picture (w and h from the caller, e.g. a settings
// file's block). The picture starts black; false, leaving `picture` alone, on failure.
bool DecodeJpegPicture(const uint8_t* data, size_t size, int width, int height, Picture& picture);

}  // namespace tw
