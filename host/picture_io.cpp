// Choosing a picture format and moving whole files in and out of memory.
#include "host/picture.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/platform.h"

namespace tw::host {

namespace {

// The picture's size in bytes, or 0 for a shape no picture may have.
size_t PictureBytes(int32_t w, int32_t h, int channel_count, int bits_per_sample) {
    if (w < 1 || h < 1 || w > kMaxPictureSide || h > kMaxPictureSide) return 0;
    if (channel_count < 1 || channel_count > 4) return 0;
    if (bits_per_sample != 8 && bits_per_sample != 16 && bits_per_sample != 32) return 0;
    return size_t(w) * size_t(h) * size_t(channel_count) * size_t(bits_per_sample / 8);
}

}  // namespace

bool Picture::Allocate(int32_t w, int32_t h, int channel_count, int bits_per_sample) {
    data.clear();
    width = height = 0;
    const size_t bytes = PictureBytes(w, h, channel_count, bits_per_sample);
    if (bytes == 0) return false;
    try {
        data.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    width = w;
    height = h;
    channels = channel_count;
    bits = bits_per_sample;
    return true;
}

namespace {

// Room a reader takes before any row has arrived. A picture larger than this takes the
// rest in one step once this much has been filled: one copy of 64 MB at most, and never
// memory for rows a file merely claims.
constexpr size_t kRowsAhead = size_t(64) << 20;

}  // namespace

bool Picture::Reserve(int32_t w, int32_t h, int channel_count, int bits_per_sample) {
    std::vector<uint8_t>().swap(data);
    width = height = 0;
    const size_t bytes = PictureBytes(w, h, channel_count, bits_per_sample);
    if (bytes == 0) return false;
    try {
        data.reserve(std::min(bytes, kRowsAhead));
    } catch (const std::bad_alloc&) {
        return false;
    }
    width = w;
    height = h;
    channels = channel_count;
    bits = bits_per_sample;
    return true;
}

uint8_t* Picture::RowAt(int32_t y) {
    const size_t end = (size_t(y) + 1) * RowBytes();
    if (data.size() < end) {
        if (end > data.capacity()) data.reserve(RowBytes() * size_t(height));  // the rest at once
        data.resize(end, 0);
    }
    return data.data() + size_t(y) * RowBytes();
}

void Picture::FinishRows() { data.resize(RowBytes() * size_t(height), 0); }

FileFormat FormatFromName(const std::string& path) {
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return FileFormat::Unknown;
    }
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "png") return FileFormat::Png;
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe") return FileFormat::Jpeg;
    if (ext == "tif" || ext == "tiff") return FileFormat::Tiff;
    return FileFormat::Unknown;
}

const char* FormatName(FileFormat format) {
    switch (format) {
        case FileFormat::Png: return "PNG";
        case FileFormat::Jpeg: return "JPEG";
        case FileFormat::Tiff: return "TIFF";
        case FileFormat::Unknown: break;
    }
    return "unknown";
}

std::string WhyCannotStore(FileFormat format, const Picture& picture) {
    switch (format) {
        case FileFormat::Png:
            if (picture.bits == 32) return "PNG cannot hold 32-bit float pictures; use .tif";
            return {};
        case FileFormat::Jpeg:
            if (picture.bits != 8) {
                return "JPEG holds only 8-bit pictures; use .png or .tif to keep " +
                       std::to_string(picture.bits) + "-bit samples";
            }
            if (picture.HasAlpha()) {
                return "JPEG cannot hold transparency; use .png or .tif";
            }
            return {};
        case FileFormat::Tiff:
            return {};
        case FileFormat::Unknown:
            break;
    }
    return "unknown output format (use a .png, .jpg or .tif name)";
}

namespace {

FileFormat FormatFromBytes(const std::vector<uint8_t>& b) {
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    if (b.size() >= 8 && std::memcmp(b.data(), png, 8) == 0) return FileFormat::Png;
    if (b.size() >= 3 && b[0] == 0xff && b[1] == 0xd8 && b[2] == 0xff) return FileFormat::Jpeg;
    if (b.size() >= 4 && ((b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
                          (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43)))) {
        return FileFormat::Tiff;
    }
    return FileFormat::Unknown;
}

}  // namespace

bool ReadPicture(const std::string& path, Picture& picture, std::string& error) {
    picture = Picture();
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (!probe) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    std::vector<uint8_t> bytes;
    try {
        if (!platform::ReadWholeFile(path, bytes)) {
            error = "cannot read '" + path + "'";
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "'" + path + "' is too large to read into memory";
        return false;
    }
    if (bytes.empty()) {
        error = "'" + path + "' is empty";
        return false;
    }
    bool ok = false;
    std::string reason;
    try {
        switch (FormatFromBytes(bytes)) {
            case FileFormat::Png: ok = DecodePng(bytes, picture, reason); break;
            case FileFormat::Jpeg: ok = DecodeJpeg(bytes, picture, reason); break;
            case FileFormat::Tiff: ok = DecodeTiff(bytes, picture, reason); break;
            case FileFormat::Unknown:
                reason = "not a PNG, JPEG or TIFF picture";
                break;
        }
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
        ok = false;
    }
    if (!ok) {
        picture = Picture();
        error = "'" + path + "': " + reason;
    }
    return ok;
}

bool WritePicture(const std::string& path, const Picture& picture, const WriteOptions& options,
                  std::string& error) {
    FileFormat format = FormatFromName(path);
    std::string why = WhyCannotStore(format, picture);
    if (!why.empty()) {
        error = "cannot write '" + path + "': " + why;
        return false;
    }
    std::vector<uint8_t> bytes;
    std::string reason;
    bool ok = false;
    try {
        switch (format) {
            case FileFormat::Png: ok = EncodePng(picture, bytes, reason); break;
            case FileFormat::Jpeg: ok = EncodeJpeg(picture, options.jpeg_quality, bytes, reason); break;
            case FileFormat::Tiff: ok = EncodeTiff(picture, bytes, reason); break;
            case FileFormat::Unknown: break;
        }
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
        ok = false;
    }
    if (!ok) {
        error = "cannot write '" + path + "': " + reason;
        return false;
    }
    if (!platform::WriteFileAtomically(path, bytes.data(), bytes.size())) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tw::host
