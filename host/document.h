// The picture the substitute host edits, held as an editor holds it: interleaved planes in
// the host's sample ranges (8-bit 0..255, 16-bit 0..32768, 32-bit float), an optional
// editable-transparency plane after the colour planes, and an optional selection mask.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/picture.h"

namespace tw::host {

struct Document {
    int32_t width = 0;
    int32_t height = 0;
    int colour_planes = 3;      // 1 grey, 3 RGB
    bool transparency = false;  // an editable transparency plane follows the colour planes
    int depth = 8;              // bits per sample: 8, 16 (0..32768) or 32 (float)
    std::vector<uint8_t> pixels;  // rows top to bottom, planes interleaved, machine byte order
    // The selection: empty for none, else width * height bytes, 255 fully selected.
    std::vector<uint8_t> mask;

    int Planes() const { return colour_planes + (transparency ? 1 : 0); }
    size_t SampleBytes() const { return size_t(depth) / 8; }
    size_t PixelBytes() const { return SampleBytes() * size_t(Planes()); }
    size_t RowBytes() const { return PixelBytes() * size_t(width); }
    bool HasMask() const { return !mask.empty(); }
    // The host's image mode: 1 grey, 3 RGB, 10 Gray16, 11 RGB48, 16 RGB96, 17 Gray32.
    int16_t ImageMode() const;
    // 1 flat image, 2 flat with selection, 4 editable transparency, 5 with selection.
    int16_t FilterCase() const;
};

// 16-bit samples: files use 0..65535, the host 0..32768. Both directions round to the
// nearest value, so every host value survives a trip through a file unchanged, and the
// ends map to the ends. Host values above 32768 are clamped to white.
uint16_t FileToHost16(uint16_t file_value);
uint16_t HostToFile16(uint16_t host_value);

// Builds a document from a file's picture (alpha becomes editable transparency). The
// second form takes the picture's samples over instead of copying them, leaving it empty.
bool DocumentFromPicture(const Picture& picture, Document& document, std::string& error);
bool DocumentFromPicture(Picture&& picture, Document& document, std::string& error);
// The picture to store: same size, planes and depth as the document. The second form
// takes the document's samples over, leaving it empty.
Picture PictureFromDocument(const Document& document);
Picture PictureFromDocument(Document&& document);

// Turns a greyscale picture into a selection of the document's size (any depth; 16-bit
// and float values are rounded to 0..255). Colour pictures and other sizes are refused.
bool MaskFromPicture(const Picture& picture, int32_t width, int32_t height,
                     std::vector<uint8_t>& mask, std::string& error);

}  // namespace tw::host
