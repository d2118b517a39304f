// Pictures as image files hold them, and reading and writing them as PNG, JPEG and TIFF.
// Samples keep the file's own range here (8-bit 0..255, 16-bit 0..65535, 32-bit float);
// the conversion to the host's ranges happens when a picture becomes a document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tw::host {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    int channels = 0;  // 1 grey, 2 grey + alpha, 3 RGB, 4 RGB + alpha
    int bits = 8;      // 8 (uint8), 16 (uint16) or 32 (float) per sample
    // Rows top to bottom, samples interleaved, in the machine's byte order.
    std::vector<uint8_t> data;

    size_t SampleBytes() const { return size_t(bits) / 8; }
    size_t RowBytes() const { return size_t(width) * size_t(channels) * SampleBytes(); }
    bool HasAlpha() const { return channels == 2 || channels == 4; }
    int ColourChannels() const { return HasAlpha() ? channels - 1 : channels; }
    // Allocates zeroed samples for the given shape; false (with the picture left empty)
    // when the shape is invalid or too large to hold.
    bool Allocate(int32_t w, int32_t h, int channel_count, int bits_per_sample);
    // For readers: the shape Allocate gives, with no row made yet; RowAt(y) then makes the
    // rows up to y (zeroed) and returns row y, which stays where it is only until the next
    // call. Room is taken as rows arrive (the first 64 MB at once, the rest once those are
    // filled), so a small file that claims a huge picture and ends early costs no more
    // memory than the rows it holds. FinishRows makes any rows still missing.
    bool Reserve(int32_t w, int32_t h, int channel_count, int bits_per_sample);
    uint8_t* RowAt(int32_t y);
    void FinishRows();
};

enum class FileFormat {
    Unknown,  // none of the formats below
    Png,
    Jpeg,
    Tiff,
};

// Pictures larger than this on either side are refused before any memory is taken; it
// keeps sizes far from integer overflow in every row and rectangle computation.
constexpr int32_t kMaxPictureSide = 1 << 18;

// The format a file name asks for, from its extension (case-insensitive).
FileFormat FormatFromName(const std::string& path);
const char* FormatName(FileFormat format);

// Why `picture` cannot be stored in `format` unchanged, or an empty string when it can.
std::string WhyCannotStore(FileFormat format, const Picture& picture);

// Reads any supported file, recognising the format from its first bytes. On failure
// returns false and a one-line reason naming the problem.
bool ReadPicture(const std::string& path, Picture& picture, std::string& error);

struct WriteOptions {
    int jpeg_quality = 95;  // 1..100
};

// Writes in the format the name's extension asks for. The file appears complete or not
// at all: it is written under a temporary name and renamed into place.
bool WritePicture(const std::string& path, const Picture& picture, const WriteOptions& options,
                  std::string& error);

// Encoders and decoders working on bytes in memory, one per format.
bool DecodePng(const std::vector<uint8_t>& bytes, Picture& picture, std::string& error);
bool EncodePng(const Picture& picture, std::vector<uint8_t>& bytes, std::string& error);
bool DecodeJpeg(const std::vector<uint8_t>& bytes, Picture& picture, std::string& error);
bool EncodeJpeg(const Picture& picture, int quality, std::vector<uint8_t>& bytes,
                std::string& error);
bool DecodeTiff(const std::vector<uint8_t>& bytes, Picture& picture, std::string& error);
bool EncodeTiff(const Picture& picture, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace tw::host
