// Conversions between file pictures and the host's document.
#include "host/document.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace tw::host {

int16_t Document::ImageMode() const {
    bool grey = colour_planes == 1;
    if (depth == 16) return grey ? 10 : 11;
    if (depth == 32) return grey ? 17 : 16;
    return grey ? 1 : 3;
}

int16_t Document::FilterCase() const {
    if (transparency) return HasMask() ? 5 : 4;
    return HasMask() ? 2 : 1;
}

uint16_t FileToHost16(uint16_t file_value) {
    return uint16_t((uint32_t(file_value) * 32768u + 32767u) / 65535u);
}

uint16_t HostToFile16(uint16_t host_value) {
    if (host_value >= 32768) return 65535;
    return uint16_t((uint32_t(host_value) * 65535u + 16384u) / 32768u);
}

namespace {

void ToHost16(std::vector<uint8_t>& pixels) {
    size_t count = pixels.size() / 2;
    auto* samples = reinterpret_cast<uint16_t*>(pixels.data());
    for (size_t i = 0; i < count; ++i) samples[i] = FileToHost16(samples[i]);
}

void ToFile16(std::vector<uint8_t>& pixels) {
    size_t count = pixels.size() / 2;
    auto* samples = reinterpret_cast<uint16_t*>(pixels.data());
    for (size_t i = 0; i < count; ++i) samples[i] = HostToFile16(samples[i]);
}

bool DocumentShape(const Picture& picture, Document& result, std::string& error) {
    if (picture.width < 1 || picture.height < 1 || picture.channels < 1 || picture.channels > 4) {
        error = "the picture is empty";
        return false;
    }
    result.width = picture.width;
    result.height = picture.height;
    result.colour_planes = picture.ColourChannels();
    result.transparency = picture.HasAlpha();
    result.depth = picture.bits;
    return true;
}

Picture PictureShape(const Document& document) {
    Picture picture;
    picture.width = document.width;
    picture.height = document.height;
    picture.channels = document.Planes();
    picture.bits = document.depth;
    return picture;
}

}  // namespace

bool DocumentFromPicture(const Picture& picture, Document& document, std::string& error) {
    Document result;
    if (!DocumentShape(picture, result, error)) return false;
    try {
        result.pixels = picture.data;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    if (result.depth == 16) ToHost16(result.pixels);
    document = std::move(result);
    return true;
}

bool DocumentFromPicture(Picture&& picture, Document& document, std::string& error) {
    Document result;
    if (!DocumentShape(picture, result, error)) return false;
    result.pixels = std::move(picture.data);
    picture = Picture();
    if (result.depth == 16) ToHost16(result.pixels);
    document = std::move(result);
    return true;
}

Picture PictureFromDocument(const Document& document) {
    Picture picture = PictureShape(document);
    picture.data = document.pixels;
    if (picture.bits == 16) ToFile16(picture.data);
    return picture;
}

Picture PictureFromDocument(Document&& document) {
    Picture picture = PictureShape(document);
    picture.data = std::move(document.pixels);
    document = Document();
    if (picture.bits == 16) ToFile16(picture.data);
    return picture;
}

bool MaskFromPicture(const Picture& picture, int32_t width, int32_t height,
                     std::vector<uint8_t>& mask, std::string& error) {
    if (picture.ColourChannels() != 1) {
        error = "the selection mask must be a greyscale picture";
        return false;
    }
    if (picture.width != width || picture.height != height) {
        error = "the selection mask is " + std::to_string(picture.width) + "x" +
                std::to_string(picture.height) + " but the picture is " + std::to_string(width) +
                "x" + std::to_string(height);
        return false;
    }
    size_t count = size_t(width) * size_t(height);
    mask.assign(count, 0);
    size_t stride = size_t(picture.channels);  // a mask's own alpha, if any, is ignored
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* at = picture.data.data() + i * stride * picture.SampleBytes();
        if (picture.bits == 8) {
            mask[i] = at[0];
        } else if (picture.bits == 16) {
            uint16_t v;
            std::memcpy(&v, at, 2);
            mask[i] = uint8_t((uint32_t(v) * 255u + 32767u) / 65535u);
        } else {
            float v;
            std::memcpy(&v, at, 4);
            if (!(v > 0.0f)) v = 0.0f;  // NaN counts as unselected
            mask[i] = uint8_t(std::lround(std::min(v, 1.0f) * 255.0f));
        }
    }
    return true;
}

}  // namespace tw::host
