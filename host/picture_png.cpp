// Reading PNG through libpng: 8 and 16 bits, grey or colour, with or without alpha.
// Palette and low-bit-depth files are widened to 8-bit grey or RGB. Writing is in
// png_encoder.cpp.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/picture.h"

namespace tw::host {
namespace {

struct PngIo {
    const std::vector<uint8_t>* in = nullptr;
    size_t offset = 0;
    char message[200] = {};
};

void OnPngError(png_structp png, png_const_charp text) {
    auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
    std::snprintf(io->message, sizeof io->message, "%s", text ? text : "PNG error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}  // warnings do not stop a good picture

void ReadFromMemory(png_structp png, png_bytep data, size_t length) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    if (io->in->size() - io->offset < length) png_error(png, "the file is truncated");
    std::memcpy(data, io->in->data() + io->offset, length);
    io->offset += length;
}

// Whether a file of `file_bytes` could hold the picture its header declares. Its pixel
// data is deflate-compressed, which shrinks data at most 1032-fold, so a header claiming
// more is damaged or made up; refusing it before anything is allocated keeps a tiny file
// from costing gigabytes of memory.
bool FileCanHold(size_t file_bytes, png_uint_32 width, png_uint_32 height, int depth, int colour_type) {
    const int samples = colour_type == PNG_COLOR_TYPE_RGB ? 3
                      : colour_type == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                      : colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2 : 1;
    const uint64_t row_bits = uint64_t(width) * uint64_t(samples) * uint64_t(std::max(depth, 1));
    const uint64_t pixel_bytes = uint64_t(height) * (row_bits / 8);
    return pixel_bytes / 1032 <= uint64_t(file_bytes);
}

bool IsLittleEndian() {
    const uint16_t probe = 1;
    uint8_t first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

}  // namespace

bool DecodePng(const std::vector<uint8_t>& bytes, Picture& picture, std::string& error) {
    PngIo io;
    io.in = &bytes;
    std::vector<png_bytep> rows;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, OnPngError, OnPngWarning);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = io.message[0] ? std::string("bad PNG file: ") + io.message : "out of memory";
        return false;
    }
    png_set_read_fn(png, &io, ReadFromMemory);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colour_type = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour_type, &interlace, nullptr, nullptr);
    if (!FileCanHold(bytes.size(), width, height, depth, colour_type)) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = "bad PNG file: far too small for a " + std::to_string(width) + " x " +
                std::to_string(height) + " picture";
        return false;
    }
    if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (depth == 16 && IsLittleEndian()) png_set_swap(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    int channels = png_get_channels(png, info);
    int bits = png_get_bit_depth(png, info);
    if (!picture.Allocate(int32_t(width), int32_t(height), channels, bits)) {
        png_destroy_read_struct(&png, &info, nullptr);
        error = "the picture is too large or has an unsupported layout";
        return false;
    }
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = picture.data.data() + size_t(y) * picture.RowBytes();
    }
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace tw::host
