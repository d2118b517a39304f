#include "settings/jpeg_memory.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

// jpeglib.h needs FILE and size_t declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace tw {

namespace {

// ---- Quantisation tables -----------------------------------------------------------------

// The tables of quality 50 and 80 (the qualities the gallery and settings pictures use).
constexpr uint16_t kLuma5[64] = {
    13, 7,  7,  13, 15, 18, 20, 17, 7,  8,  8,  13, 10, 16, 12, 12, 7,  8,  8,  13, 16, 12,
    12, 12, 13, 13, 13, 18, 12, 12, 12, 12, 15, 10, 16, 12, 12, 12, 12, 12, 18, 16, 12, 12,
    12, 12, 12, 12, 20, 12, 12, 12, 12, 12, 12, 12, 17, 12, 12, 12, 12, 12, 12, 12};
constexpr uint16_t kChroma5[64] = {
    11, 12, 21, 34, 20, 20, 17, 17, 12, 19, 24, 14, 14, 12, 12, 12, 21, 24, 14, 14, 12, 12,
    12, 12, 34, 14, 14, 12, 12, 12, 12, 12, 20, 14, 12, 12, 12, 12, 12, 12, 20, 12, 12, 12,
    12, 12, 12, 12, 17, 12, 12, 12, 12, 12, 12, 12, 17, 12, 12, 12, 12, 12, 12, 12};
constexpr uint16_t kLuma8[64] = {
    2, 2, 2, 2, 3, 4,  5,  6,  2, 2, 2, 2, 3,  4,  5,  6,  2,  2,  2,  2,  4,  5,
    7, 9, 2, 2, 2, 4,  5,  7,  9, 12, 3, 3, 4,  5,  8,  13, 12, 12, 4,  4,  5,  7,
    13, 12, 12, 12, 5, 5, 7, 9, 12, 12, 12, 12, 6, 6, 9, 12, 12, 12, 12, 12};
constexpr uint16_t kChroma8[64] = {
    3,  3,  5,  9,  10, 15, 15, 15, 3,  4,  6,  13, 14, 12, 12, 12, 5,  6,  9,  14, 12, 12,
    12, 12, 9,  13, 14, 12, 12, 12, 12, 12, 10, 14, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12,
    12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12, 15, 12, 12, 12, 12, 12, 12, 12};

}  // namespace

int QualityDecile(int quality) { return std::clamp(quality, 0, 99) / 10; }

// The other deciles are derived from the two fixed ones so that every entry only grows as
// the quality falls: below 50 the quality-50 table is coarsened step by step, 60 and 70
// lie between the two fixed tables, and 90 halves the quality-80 table.
void QuantTable(int decile, int which, uint16_t (&table)[64]) {
    const uint16_t* fine = which == 0 ? kLuma8 : kChroma8;
    const uint16_t* coarse = which == 0 ? kLuma5 : kChroma5;
    decile = std::clamp(decile, 0, 9);
    for (int i = 0; i < 64; ++i) {
        int v;
        if (decile <= 5) {
            v = coarse[i] * (2 + (5 - decile)) / 2;  // 1x at 5, up to 3.5x at 0
        } else if (decile <= 8) {
            v = coarse[i] + (fine[i] - coarse[i]) * (decile - 5) / 3;
        } else {
            v = (fine[i] + 1) / 2;
        }
        table[i] = static_cast<uint16_t>(std::clamp(v, 1, 255));
    }
}

namespace {

// ---- Library plumbing ----------------------------------------------------------------------

// The library's fatal errors must not return into it: they jump back to the call that
// started the work, which then cleans up and reports failure.
struct ErrorTrap {
    jpeg_error_mgr pub;  // first, so the library's pointer converts back
    std::jmp_buf jump;
};

[[noreturn]] void TrapExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1); }
void KeepQuiet(j_common_ptr, int) {}  // warnings of damaged streams are not the user's business

void InstallTrap(ErrorTrap& trap, jpeg_common_struct& cinfo) {
    cinfo.err = jpeg_std_error(&trap.pub);
    trap.pub.error_exit = TrapExit;
    trap.pub.emit_message = KeepQuiet;
}

// Output into a growing vector.
struct VectorDestination {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* out;
};

constexpr size_t kMaxEncodedSize = size_t{256} << 20;

void StartVector(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    try {
        d->out->resize(16384);
    } catch (const std::bad_alloc&) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    d->pub.next_output_byte = d->out->data();
    d->pub.free_in_buffer = d->out->size();
}

boolean GrowVector(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    const size_t used = d->out->size();
    if (used * 2 > kMaxEncodedSize) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    try {
        d->out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    }
    d->pub.next_output_byte = d->out->data() + used;
    d->pub.free_in_buffer = d->out->size() - used;
    return TRUE;
}

void FinishVector(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->out->resize(d->out->size() - d->pub.free_in_buffer);
}

// Input from a caller's byte range. Running out yields an end-of-image marker, so a cut
// stream ends with a warning instead of waiting for bytes that never come.
struct MemorySource {
    jpeg_source_mgr pub;
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void StartMemory(j_decompress_ptr) {}

boolean RefillMemory(j_decompress_ptr cinfo) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void SkipMemory(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    if (static_cast<unsigned long>(count) > cinfo->src->bytes_in_buffer) {
        RefillMemory(cinfo);
        return;
    }
    cinfo->src->next_input_byte += count;
    cinfo->src->bytes_in_buffer -= static_cast<size_t>(count);
}

void EndMemory(j_decompress_ptr) {}

// A progressive stream can hold thousands of tiny scans and keep the decoder busy for
// minutes; no picture we read needs more than a few dozen.
constexpr int kMaxScans = 200;

void CountScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        ERREXIT(cinfo, JERR_NOT_COMPILED);
}

void AttachSource(jpeg_decompress_struct& cinfo, MemorySource& source, jpeg_progress_mgr& progress,
                  const uint8_t* data, size_t size) {
    source.pub.init_source = StartMemory;
    source.pub.fill_input_buffer = RefillMemory;
    source.pub.skip_input_data = SkipMemory;
    source.pub.resync_to_restart = jpeg_resync_to_restart;
    source.pub.term_source = EndMemory;
    source.pub.next_input_byte = data;
    source.pub.bytes_in_buffer = size;
    cinfo.src = &source.pub;
    progress.progress_monitor = CountScans;
    cinfo.progress = &progress;
}

// The APP13 body: "Photoshop 3.0", NUL, then one 8BIM resource 1028 with an empty name,
// its length and the datasets, padded to an even length.
std::vector<uint8_t> PhotoshopBlock(const uint8_t* iptc, size_t size) {
    std::vector<uint8_t> block;
    const char tag[] = "Photoshop 3.0";
    block.insert(block.end(), tag, tag + sizeof tag);  // with its NUL
    const uint8_t header[] = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0,
                              uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)};
    block.insert(block.end(), header, header + sizeof header);
    block.insert(block.end(), iptc, iptc + size);
    if (size % 2) block.push_back(0);
    return block;
}

constexpr size_t kMaxMarkerData = 65533;  // a marker's length word counts itself

}  // namespace

size_t EncodeJpeg(const Picture& picture, std::vector<uint8_t>& out, int quality, const JpegExtras& extras) {
    out.clear();
    if (picture.empty() || picture.rgb.size() < static_cast<size_t>(picture.width) * picture.height * 3) return 0;

    // Everything that owns memory is made before the jump point, so a jump skips no destructor.
    std::vector<uint8_t> exif;
    if (extras.exif_tiff) {
        const char tag[6] = {'E', 'x', 'i', 'f', 0, 0};
        exif.assign(tag, tag + 6);
        exif.insert(exif.end(), extras.exif_tiff, extras.exif_tiff + extras.exif_size);
    }
    std::vector<uint8_t> photoshop;
    if (extras.iptc) photoshop = PhotoshopBlock(extras.iptc, extras.iptc_size);
    if (exif.size() > kMaxMarkerData || photoshop.size() > kMaxMarkerData) return 0;

    const int width = std::max(picture.width, 16), height = std::max(picture.height, 16);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    const int decile = QualityDecile(quality);
    uint16_t luma[64], chroma[64];
    QuantTable(decile, 0, luma);
    QuantTable(decile, 1, chroma);

    jpeg_compress_struct cinfo;
    ErrorTrap trap;
    VectorDestination destination{};
    InstallTrap(trap, *reinterpret_cast<jpeg_common_struct*>(&cinfo));
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&cinfo);
        out.clear();
        return 0;
    }
    jpeg_create_compress(&cinfo);
    destination.pub.init_destination = StartVector;
    destination.pub.empty_output_buffer = GrowVector;
    destination.pub.term_destination = FinishVector;
    destination.out = &out;
    cinfo.dest = &destination.pub;

    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    unsigned int lq[64], cq[64];
    for (int i = 0; i < 64; ++i) lq[i] = luma[i], cq[i] = chroma[i];
    // Scale 100 installs each entry as it is; the library's quality scaling is not used.
    jpeg_add_quant_table(&cinfo, 0, lq, 100, TRUE);
    jpeg_add_quant_table(&cinfo, 1, cq, 100, TRUE);
    const int luma_sampling = decile <= 4 ? 2 : 1;  // 4:2:0 below quality 50, else 4:4:4
    cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = luma_sampling;
    for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;

    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(kMakerWebAddress), sizeof kMakerWebAddress);
    if (!exif.empty()) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
    if (!photoshop.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 13, photoshop.data(), static_cast<unsigned>(photoshop.size()));

    // Rows top to bottom; a picture smaller than 16 repeats its last column and row.
    JSAMPROW rows[1] = {row.data()};
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = std::min(static_cast<int>(cinfo.next_scanline), picture.height - 1);
        const uint8_t* in = picture.pixel(0, y);
        std::memcpy(row.data(), in, static_cast<size_t>(picture.width) * 3);
        for (int x = picture.width; x < width; ++x) std::memcpy(&row[static_cast<size_t>(x) * 3], in + (picture.width - 1) * 3, 3);
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return out.size();
}

bool JpegDimensions(const uint8_t* data, size_t size, int& width, int& height) {
    if (!data || size == 0) return false;
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    MemorySource source{};
    jpeg_progress_mgr progress{};
    InstallTrap(trap, *reinterpret_cast<jpeg_common_struct*>(&cinfo));
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    AttachSource(cinfo, source, progress, data, size);
    const bool ok = jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
    if (ok) {
        width = static_cast<int>(cinfo.image_width);
        height = static_cast<int>(cinfo.image_height);
    }
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

bool DecodeJpeg(PixelTarget& target, const uint8_t* data, size_t size) {
    if (!data || size == 0 || !target.pixels || target.width <= 0 || target.height <= 0) return false;
    if (target.channels != 1 && target.channels != 4) return false;
    const size_t stride = target.row_stride ? target.row_stride : static_cast<size_t>(target.width) * target.channels;

    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    MemorySource source{};
    jpeg_progress_mgr progress{};
    InstallTrap(trap, *reinterpret_cast<jpeg_common_struct*>(&cinfo));
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    AttachSource(cinfo, source, progress, data, size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || (cinfo.num_components != 1 && cinfo.num_components != 3) ||
        uint64_t{cinfo.image_width} * cinfo.image_height > kMaxDecodePixels) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    const bool grey = cinfo.num_components == 1;
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(&cinfo);

    // The row buffer comes from the library's pool, which the destroy below frees on every path.
    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                  cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);
    const int columns = std::min(static_cast<int>(cinfo.output_width), target.width);
    const int rows = std::min(static_cast<int>(cinfo.output_height), target.height);
    bool ok = true;
    for (int y = 0; y < rows; ++y) {
        if (jpeg_read_scanlines(&cinfo, line, 1) != 1) {
            ok = false;
            break;
        }
        const uint8_t* in = line[0];
        uint8_t* out = target.pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < columns; ++x) {
            if (grey) {
                const uint8_t v = in[x];
                if (target.channels == 1) {
                    out[x] = v;
                } else {
                    out[x * 4] = out[x * 4 + 1] = out[x * 4 + 2] = v;
                    out[x * 4 + 3] = 255;
                }
            } else {
                const uint8_t* p = in + x * 3;
                if (target.channels == 1) {
                    out[x] = static_cast<uint8_t>((77 * p[0] + 150 * p[1] + 28 * p[2]) >> 8);
                } else {
                    std::memcpy(out + x * 4, p, 3);
                    out[x * 4 + 3] = 255;
                }
            }
        }
    }
    // Rows below the target are never needed, so the rest of the stream is not decoded.
    jpeg_destroy_decompress(&cinfo);
    return ok;
}

bool DecodeJpegPicture(const uint8_t* data, size_t size, int width, int height, Picture& picture) {
    if (width <= 0 || height <= 0) return false;
    std::vector<uint8_t> rgba;
    try {
        rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    PixelTarget target{rgba.data(), width, height, 4, 0};
    if (!DecodeJpeg(target, data, size)) return false;
    Picture result;
    if (!AllocatePicture(result, width, height)) return false;
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) std::memcpy(&result.rgb[i * 3], &rgba[i * 4], 3);
    picture = std::move(result);
    return true;
}

}  // namespace tw
