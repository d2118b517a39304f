// The layered Photoshop document (PSD, version 1) of an export: one layer "layer 1" that
// keeps the render's transparency, and a flattened copy for readers that show only the
// merged picture. The render itself happens elsewhere (the shell's offscreen pass); this
// file only lays out what it is given.
//
// The picture handed in is an RGBA ImageBuffer in one of three formats, and its format
// decides the document's depth:
//   kRgba8     -> 8 bits per channel
//   kRgba16    -> 16 bits per channel (samples 0..32768 stored as 0..65535)
//   kRgbaFloat -> 32-bit float per channel (an HDR document)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_buffer.h"
#include "platform/big_endian.h"

namespace tw {

// Sides of an export are kept to what a version-1 document may hold.
constexpr int32_t kPsdMinSide = 2;
constexpr int32_t kPsdMaxSide = 30000;

int32_t ClampPsdSide(int64_t side);

// How the export size is chosen, as the size dialog and RenderParams psd_size_choice say.
enum PsdSizeChoice : int32_t {
    kPsdSameSize = 1,         // the input's width and height
    kPsdSameProportions = 2,  // the given width, the height following the input's aspect
    kPsdCustomSize = 3,       // the given width and height
};

// The height that keeps an input's proportions at `width` (integer division); `height`
// stays as it is when the input has no width.
int32_t ProportionalHeight(int32_t input_width, int32_t input_height, int32_t width,
                           int32_t height);

struct PsdSize {
    int32_t width = 0, height = 0;
};
// The clamped export size for a choice, from the input's size and the requested one.
PsdSize ChoosePsdSize(int32_t choice, int32_t input_width, int32_t input_height,
                      int32_t width, int32_t height);

struct PsdDate {
    int year = 0, month = 0, day = 0;  // all 0: today
};

struct PsdExportRequest {
    const ImageBuffer* image = nullptr;  // the rendered picture, level 0 is written
    int32_t glue_mode = 1;               // named among the keywords unless it is 1
    std::vector<uint8_t> icc_profile;    // the source's profile; empty when it has none
    PsdDate date;                        // the IPTC creation date
    // Called on the writer's thread as the planes are written, in thousandths; may be null.
    void (*progress)(void* context, int per_mille) = nullptr;
    void* context = nullptr;
};

// The blocks the export and the gallery pictures share: the Exif TIFF block naming the
// software, and the IPTC datasets (record version, source, date, caption, keywords).
std::vector<uint8_t> MakeExifBlock();
std::vector<uint8_t> MakeIptcBlock(bool high_dynamic_range, int32_t glue_mode,
                                   const PsdDate& date);
// The IPTC keywords in order: the product name, the HDR words for float pictures, the
// glue mode's name unless it is the plain mode 1; case-insensitive duplicates dropped,
// at most 19, each shorter than 50 characters.
std::vector<std::string> PsdKeywords(bool high_dynamic_range, int32_t glue_mode);

// Lays the whole document out through `out`. False, with `error` set, when the picture is
// not one of the three formats, is too small or too large for a version-1 document, or a
// section's length does not match the bytes written for it.
bool WritePsd(BigEndianWriter& out, const PsdExportRequest& request, std::string& error);

// Writes the document to `path`: under a temporary name in the same folder, renamed into
// place only when every byte has been written, so a failed export leaves no broken file
// and an existing file at `path` stays as it was.
bool ExportPsd(const std::string& path, const PsdExportRequest& request, std::string& error);

}  // namespace tw
