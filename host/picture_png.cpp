// PNG in and out through libpng: 8 and 16 bits, grey or colour, with or without alpha.
// Palette and low-bit-depth files are widened to 8-bit grey or RGB on reading.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "host/picture.h"

namespace tw::host {
namespace {

struct PngIo {
    const std::vector<uint8_t>* in = nullptr;
    size_t offset = 0;
    std::vector<uint8_t>* out = nullptr;
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

void WriteToMemory(png_structp png, png_bytep data, size_t length) {
    auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
    io->out->insert(io->out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

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

bool EncodePng(const Picture& picture, std::vector<uint8_t>& bytes, std::string& error) {
    static const int kColourTypes[5] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                        PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    if (picture.bits == 32 || picture.channels < 1 || picture.channels > 4) {
        error = "PNG cannot hold this picture";
        return false;
    }
    PngIo io;
    io.out = &bytes;
    std::vector<png_bytep> rows(size_t(picture.height));
    for (int32_t y = 0; y < picture.height; ++y) {
        // libpng takes non-const rows but does not write to them when writing a file.
        rows[size_t(y)] = const_cast<uint8_t*>(picture.data.data()) + size_t(y) * picture.RowBytes();
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &io, OnPngError, OnPngWarning);
    if (!png) {
        error = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = io.message[0] ? std::string("PNG error: ") + io.message : "out of memory";
        return false;
    }
    png_set_write_fn(png, &io, WriteToMemory, FlushNothing);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), picture.bits,
                 kColourTypes[picture.channels], PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    if (picture.bits == 16 && IsLittleEndian()) png_set_swap(png);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace tw::host
