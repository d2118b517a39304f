#include "settings/image_holder.h"

#include <algorithm>

namespace tw {

namespace {

uint8_t ToByte(float v) {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 1.0f) return 255;
    return static_cast<uint8_t>(v * 255.0f);
}

bool Usable(const ImageBuffer* image) { return image && !image->empty() && image->width > 0 && image->height > 0; }

}  // namespace

bool PictureFromImage(const ImageBuffer& image, Picture& picture) {
    if (!Usable(&image)) return false;
    Picture result;
    if (!AllocatePicture(result, image.width, image.height)) return false;
    for (int y = 0; y < image.height; ++y) {
        uint8_t* out = result.pixel(0, y);
        for (int x = 0; x < image.width; ++x, out += 3) {
            const PixelRgba c = readPixel(image, 0, x, y);
            out[0] = ToByte(c.r);
            out[1] = ToByte(c.g);
            out[2] = ToByte(c.b);
        }
    }
    picture = std::move(result);
    return true;
}

size_t EncodeJpegFromImage(const ImageBuffer& image, std::vector<uint8_t>& out, int quality,
                           const JpegExtras& extras) {
    Picture picture;
    if (!PictureFromImage(image, picture)) {
        out.clear();
        return 0;
    }
    return EncodeJpeg(picture, out, quality, extras);
}

bool StorePictureInImage(const Picture& picture, ImageBuffer& image) {
    if (!Usable(&image) || picture.empty()) return false;
    Picture sized;
    const Picture* source = &picture;
    if (picture.width != image.width || picture.height != image.height) {
        if (!ScalePicture(picture, sized, image.width, image.height)) return false;
        source = &sized;
    }
    constexpr float kInv255 = 1.0f / 255.0f;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* in = source->pixel(0, y);
        for (int x = 0; x < image.width; ++x, in += 3)
            writePixel(image, 0, x, y, PixelRgba{in[0] * kInv255, in[1] * kInv255, in[2] * kInv255, 1.0f});
    }
    if (image.wrap != kWrapNoMips) buildMipChain(image);
    return true;
}

bool ResetImageToRamp(ImageBuffer& holder) {
    if (!Usable(&holder)) return false;
    for (int y = 0; y < holder.height; ++y) {
        const float grey = static_cast<float>(std::max(255 - y, 0)) / 255.0f;
        for (int x = 0; x < holder.width; ++x) writePixel(holder, 0, x, y, PixelRgba{grey, grey, grey, 1.0f});
    }
    if (holder.wrap != kWrapNoMips) buildMipChain(holder);
    return true;
}

bool CaptureIntoImage(const PlanarView& preview, ImageBuffer& holder) {
    Picture captured;
    return CapturePicture(preview, captured) && StorePictureInImage(captured, holder);
}

bool WriteSettingsWithImage(const std::string& path, RenderParams& params, const ImageBuffer* holder,
                            bool with_picture) {
    Picture picture;
    const bool have = with_picture && Usable(holder) && PictureFromImage(*holder, picture);
    return WriteSettings(path, params, have ? &picture : nullptr, have);
}

bool ReadSettingsIntoImage(const std::string& path, RenderParams& params, ReadMode mode, ImageBuffer* holder,
                           bool* picture_found) {
    Picture picture;
    bool found = false;
    const bool opened = ReadSettings(path, params, mode, Usable(holder) ? &picture : nullptr, &found);
    if (found) found = StorePictureInImage(picture, *holder);
    if (picture_found) *picture_found = found;
    return opened;
}

}  // namespace tw
