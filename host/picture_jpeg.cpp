// JPEG in and out through libjpeg: 8-bit grey or RGB. A file that is cut short is refused
// rather than padded out with grey.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "host/picture.h"

namespace tw::host {
namespace {

struct JpegErrors {
    jpeg_error_mgr manager;  // first, so the library's pointer is also ours
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
};

void OnJpegError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void OnJpegMessage(j_common_ptr info, int level) {
    // Data that ends early is padded out by the library with a warning; count that one so
    // the caller can refuse the file. That is the file ending, or the picture's data ending
    // at a marker before the picture is complete (a file that claims a far larger picture
    // than it holds does that). Milder damage (stray bytes between markers) is common in
    // files that display fine, and is let through.
    const int code = info->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) info->err->num_warnings++;
}

// Whether a file of `file_bytes` could hold the picture its header declares. Every 8 x 8
// block of every component carries a Huffman-coded DC value of at least one bit, so a file
// holds at most eight blocks per byte; a header claiming more is damaged or made up, and is
// refused before the library sets aside room for the whole picture (a progressive file's
// coefficients) or any row is made. Arithmetic coding has no such floor.
bool FileCanHold(const jpeg_decompress_struct& info, size_t file_bytes) {
    if (info.arith_code) return true;
    uint64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks += uint64_t(info.comp_info[c].width_in_blocks) * uint64_t(info.comp_info[c].height_in_blocks);
    return blocks <= 8 * uint64_t(file_bytes);
}

}  // namespace

bool DecodeJpeg(const std::vector<uint8_t>& bytes, Picture& picture, std::string& error) {
    jpeg_decompress_struct info;
    JpegErrors errors;
    std::vector<JSAMPROW> rows;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.emit_message = OnJpegMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        picture = Picture();
        error = std::string("bad JPEG file: ") + errors.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        error = "CMYK JPEG files are not supported (convert to RGB first)";
        return false;
    }
    if (!FileCanHold(info, bytes.size())) {
        error = "the JPEG data is truncated or damaged (far too little for a " +
                std::to_string(info.image_width) + " x " + std::to_string(info.image_height) + " picture)";
        jpeg_destroy_decompress(&info);
        return false;
    }
    int channels = info.num_components == 1 ? 1 : 3;
    info.out_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    if (info.image_width > unsigned(kMaxPictureSide) || info.image_height > unsigned(kMaxPictureSide) ||
        !picture.Reserve(int32_t(info.image_width), int32_t(info.image_height), channels, 8)) {
        jpeg_destroy_decompress(&info);
        error = "the picture is too large";
        return false;
    }
    jpeg_start_decompress(&info);
    rows.resize(1);
    // Rows are made as they are decoded, and the reading stops where the data ends: a
    // small file claiming a huge picture costs no more than the rows it holds. (A
    // progressive file is read whole by the start above, so its damage is known already.)
    bool damaged = errors.manager.num_warnings > 0;
    try {
        while (info.output_scanline < info.output_height && !damaged) {
            rows[0] = picture.RowAt(int32_t(info.output_scanline));
            jpeg_read_scanlines(&info, rows.data(), 1);
            damaged = errors.manager.num_warnings > 0;
        }
    } catch (const std::bad_alloc&) {
        jpeg_destroy_decompress(&info);
        picture = Picture();
        error = "the picture is too large for the memory available";
        return false;
    }
    if (!damaged) {
        jpeg_finish_decompress(&info);
        damaged = errors.manager.num_warnings > 0;
    }
    jpeg_destroy_decompress(&info);
    if (damaged) {
        picture = Picture();
        error = "the JPEG data is truncated or damaged";
        return false;
    }
    return true;
}

bool EncodeJpeg(const Picture& picture, int quality, std::vector<uint8_t>& bytes,
                std::string& error) {
    if (picture.bits != 8 || (picture.channels != 1 && picture.channels != 3)) {
        error = "JPEG holds only 8-bit grey or RGB pictures";
        return false;
    }
    jpeg_compress_struct info;
    JpegErrors errors;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    JSAMPROW row = nullptr;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.emit_message = OnJpegMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        error = std::string("JPEG error: ") + errors.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = picture.channels;
    info.in_color_space = picture.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        row = const_cast<uint8_t*>(picture.data.data()) + size_t(info.next_scanline) * picture.RowBytes();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    bytes.assign(buffer, buffer + size);
    std::free(buffer);
    return true;
}

}  // namespace tw::host
