// TIFF in and out through libtiff: 8 and 16-bit integer and 32-bit float samples, grey or
// RGB, with or without alpha, in strips or tiles (either planar arrangement). Premultiplied
// alpha is undone on reading, because the host works with straight colour.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "host/picture.h"

namespace tw::host {
namespace {

// libtiff reports through process-wide handlers with no context pointer; the message of
// the last error on this thread is kept here so the caller can show it.
thread_local char gTiffMessage[256];

void OnTiffError(const char*, const char* format, va_list args) {
    std::vsnprintf(gTiffMessage, sizeof gTiffMessage, format, args);
}

void OnTiffWarning(const char*, const char*, va_list) {}

struct MemoryFile {
    std::vector<uint8_t>* bytes = nullptr;
    const std::vector<uint8_t>* source = nullptr;  // when reading
    uint64_t position = 0;
    size_t Size() const { return source ? source->size() : bytes->size(); }
};

tmsize_t MemRead(thandle_t handle, void* data, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    uint64_t available = file->position < file->Size() ? file->Size() - file->position : 0;
    uint64_t count = std::min<uint64_t>(available, uint64_t(size));
    // Nothing left (an empty file, or a seek past its end): no pointer into it is formed,
    // since an empty file's data() is null and a position past the end points nowhere.
    if (count == 0) return 0;
    const uint8_t* base = file->source ? file->source->data() : file->bytes->data();
    std::memcpy(data, base + file->position, size_t(count));
    file->position += count;
    return tmsize_t(count);
}

tmsize_t MemWrite(thandle_t handle, void* data, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (!file->bytes) return 0;
    uint64_t end = file->position + uint64_t(size);
    if (end > file->bytes->size()) file->bytes->resize(size_t(end));
    std::memcpy(file->bytes->data() + file->position, data, size_t(size));
    file->position = end;
    return size;
}

toff_t MemSeek(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    int64_t base = whence == SEEK_CUR ? int64_t(file->position)
                 : whence == SEEK_END ? int64_t(file->Size()) : 0;
    int64_t target = base + int64_t(offset);
    if (target < 0) return toff_t(-1);
    file->position = uint64_t(target);
    return toff_t(target);
}

int MemClose(thandle_t) { return 0; }
toff_t MemSize(thandle_t handle) { return static_cast<MemoryFile*>(handle)->Size(); }
int MemMap(thandle_t, void**, toff_t*) { return 0; }
void MemUnmap(thandle_t, void*, toff_t) {}

TIFF* OpenMemory(MemoryFile& file, const char* mode) {
    TIFFSetErrorHandler(OnTiffError);
    TIFFSetWarningHandler(OnTiffWarning);
    gTiffMessage[0] = 0;
    return TIFFClientOpen("memory", mode, &file, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                          MemMap, MemUnmap);
}

std::string LastTiffError(const char* fallback) {
    return gTiffMessage[0] ? std::string(gTiffMessage) : std::string(fallback);
}

// Divides colour by alpha for pictures whose file stored premultiplied colour.
template <typename T>
void Unpremultiply(Picture& picture, double full) {
    size_t count = size_t(picture.width) * size_t(picture.height);
    int colours = picture.channels - 1;
    auto* samples = reinterpret_cast<T*>(picture.data.data());
    for (size_t i = 0; i < count; ++i) {
        T* pixel = samples + i * size_t(picture.channels);
        double alpha = double(pixel[colours]);
        if (alpha <= 0) continue;  // fully transparent: colour is meaningless, keep it
        for (int c = 0; c < colours; ++c) {
            double value = double(pixel[c]) * full / alpha;
            if (full > 1) value = std::min(std::round(value), full);
            pixel[c] = T(value);
        }
    }
}

bool ReadStrips(TIFF* tiff, Picture& picture, uint16_t planar, std::string& error) {
    tmsize_t line = TIFFScanlineSize(tiff);
    std::vector<uint8_t> buffer(size_t(std::max<tmsize_t>(line, 1)));
    size_t sample = picture.SampleBytes();
    int planes = planar == PLANARCONFIG_SEPARATE ? picture.channels : 1;
    for (int plane = 0; plane < planes; ++plane) {
        for (int32_t y = 0; y < picture.height; ++y) {
            if (TIFFReadScanline(tiff, buffer.data(), uint32_t(y), uint16_t(plane)) < 0) {
                error = "bad TIFF file: " + LastTiffError("cannot read the picture data");
                return false;
            }
            uint8_t* row = picture.RowAt(y);
            if (planes == 1) {
                std::memcpy(row, buffer.data(), picture.RowBytes());
                continue;
            }
            for (int32_t x = 0; x < picture.width; ++x) {
                std::memcpy(row + (size_t(x) * size_t(picture.channels) + size_t(plane)) * sample,
                            buffer.data() + size_t(x) * sample, sample);
            }
        }
    }
    return true;
}

// Tiled files: each tile is read whole and its part inside the picture copied out.
bool ReadTiles(TIFF* tiff, Picture& picture, uint16_t planar, std::string& error) {
    uint32_t tile_width = 0, tile_height = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tile_width);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tile_height);
    tmsize_t tile_bytes = TIFFTileSize(tiff);
    if (tile_width == 0 || tile_height == 0 || tile_bytes <= 0) {
        error = "bad TIFF file: " + LastTiffError("its tiles have no size");
        return false;
    }
    // Not zeroed: only what the file's data fills is ever touched, so tags that claim an
    // enormous tile cost nothing until the data is there. A short read is refused below,
    // so no unfilled byte reaches the picture.
    std::unique_ptr<uint8_t[]> tile(new (std::nothrow) uint8_t[size_t(tile_bytes)]);
    if (!tile) {
        error = "the picture's tiles are too large";
        return false;
    }
    size_t sample = picture.SampleBytes();
    int planes = planar == PLANARCONFIG_SEPARATE ? picture.channels : 1;
    size_t tile_pixel = planes == 1 ? sample * size_t(picture.channels) : sample;
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t top = 0; top < uint32_t(picture.height); top += tile_height) {
            for (uint32_t left = 0; left < uint32_t(picture.width); left += tile_width) {
                if (TIFFReadTile(tiff, tile.get(), left, top, 0, uint16_t(plane)) != tile_bytes) {
                    error = "bad TIFF file: " + LastTiffError("cannot read a tile");
                    return false;
                }
                uint32_t rows = std::min(tile_height, uint32_t(picture.height) - top);
                uint32_t columns = std::min(tile_width, uint32_t(picture.width) - left);
                for (uint32_t y = 0; y < rows; ++y) {
                    const uint8_t* from = tile.get() + size_t(y) * tile_width * tile_pixel;
                    uint8_t* row = picture.RowAt(int32_t(top + y));
                    if (planes == 1) {
                        std::memcpy(row + size_t(left) * tile_pixel, from, size_t(columns) * tile_pixel);
                        continue;
                    }
                    for (uint32_t x = 0; x < columns; ++x) {
                        std::memcpy(row + ((size_t(left) + x) * size_t(picture.channels) + size_t(plane)) * sample,
                                    from + size_t(x) * sample, sample);
                    }
                }
            }
        }
    }
    return true;
}

}  // namespace

bool DecodeTiff(const std::vector<uint8_t>& bytes, Picture& picture, std::string& error) {
    MemoryFile file;
    file.source = &bytes;
    TIFF* tiff = OpenMemory(file, "rm");
    if (!tiff) {
        error = "bad TIFF file: " + LastTiffError("cannot read its header");
        return false;
    }
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 1, format = SAMPLEFORMAT_UINT, photometric = 0;
    uint16_t planar = PLANARCONFIG_CONTIG, extra_count = 0;
    uint16_t* extra = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extra_count, &extra);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) {
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    bool associated = extra_count == 1 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;

    std::string unsupported;
    bool grey = photometric == PHOTOMETRIC_MINISBLACK && (samples == 1 || samples == 2);
    bool rgb = photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4);
    if (!grey && !rgb) {
        unsupported = "only grey and RGB TIFF files are supported (this one has photometric " +
                      std::to_string(photometric) + " with " + std::to_string(samples) + " samples)";
    } else if (!((bits == 8 || bits == 16) && format == SAMPLEFORMAT_UINT) &&
               !(bits == 32 && format == SAMPLEFORMAT_IEEEFP)) {
        unsupported = "only 8 and 16-bit integer and 32-bit float TIFF samples are supported";
    }
    if (!unsupported.empty()) {
        TIFFClose(tiff);
        error = unsupported;
        return false;
    }
    // Rows are made as they are read (Reserve, then RowAt), so a small file that claims a
    // huge picture fails at its first missing row without taking the memory of the rest.
    if (!picture.Reserve(int32_t(std::min<uint32_t>(width, uint32_t(kMaxPictureSide) + 1)),
                         int32_t(std::min<uint32_t>(height, uint32_t(kMaxPictureSide) + 1)),
                         samples, bits)) {
        TIFFClose(tiff);
        error = "the picture is too large or empty";
        return false;
    }
    bool ok = false;
    try {
        ok = TIFFIsTiled(tiff) ? ReadTiles(tiff, picture, planar, error)
                               : ReadStrips(tiff, picture, planar, error);
    } catch (const std::bad_alloc&) {
        error = "the picture is too large for the memory available";
    }
    TIFFClose(tiff);
    if (!ok) {
        picture = Picture();
        return false;
    }
    picture.FinishRows();
    if (associated && picture.HasAlpha()) {
        if (bits == 8) Unpremultiply<uint8_t>(picture, 255.0);
        else if (bits == 16) Unpremultiply<uint16_t>(picture, 65535.0);
        else Unpremultiply<float>(picture, 1.0);
    }
    return true;
}

bool EncodeTiff(const Picture& picture, std::vector<uint8_t>& bytes, std::string& error) {
    MemoryFile file;
    file.bytes = &bytes;
    TIFF* tiff = OpenMemory(file, "w");
    if (!tiff) {
        error = LastTiffError("cannot start a TIFF file");
        return false;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(picture.bits));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(picture.channels));
    TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT,
                 uint16_t(picture.bits == 32 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 uint16_t(picture.ColourChannels() == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_ADOBE_DEFLATE));
    if (picture.HasAlpha()) {
        uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &kind);
    }
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    std::vector<uint8_t> row(picture.RowBytes());  // libtiff may scramble the row it is given
    for (int32_t y = 0; y < picture.height; ++y) {
        std::memcpy(row.data(), picture.data.data() + size_t(y) * picture.RowBytes(), row.size());
        if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0) {
            TIFFClose(tiff);
            error = LastTiffError("cannot write the picture data");
            return false;
        }
    }
    bool flushed = TIFFFlush(tiff) == 1;
    TIFFClose(tiff);
    if (!flushed) {
        error = LastTiffError("cannot finish the TIFF file");
        return false;
    }
    return true;
}

}  // namespace tw::host
