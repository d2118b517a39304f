// The picture holder as the shell keeps it: an ImageBuffer (aux_image, 128 x 128). These
// move pictures between it and the settings store's byte pictures, and read and write
// settings files straight from and into it.
#pragma once

#include <string>

#include "image/image_buffer.h"
#include "settings/jpeg_memory.h"
#include "settings/picture.h"
#include "settings/settings_file.h"

namespace tw {

// Level 0 of `image` as bytes: each channel clamped to 0..1 and truncated from value x 255,
// as the JPEG writer takes its pixels. False when the image is empty.
bool PictureFromImage(const ImageBuffer& image, Picture& picture);

// EncodeJpeg of an image's level 0 (the gallery's pictures); 0 when the image is empty.
size_t EncodeJpegFromImage(const ImageBuffer& image, std::vector<uint8_t>& out, int quality,
                           const JpegExtras& extras = {});

// Scales `picture` to the image's size and stores it (opaque), then rebuilds the image's
// mip chain unless it is made without one. False when either is empty.
bool StorePictureInImage(const Picture& picture, ImageBuffer& image);

// The holder's look before anything was captured or decoded: row r grey 255 - r.
bool ResetImageToRamp(ImageBuffer& holder);

// The dialog's capture before a Save or a memory dot: the preview's centred square into
// the holder.
bool CaptureIntoImage(const PlanarView& preview, ImageBuffer& holder);

// WriteSettings and ReadSettings with the holder as an ImageBuffer. An empty holder counts
// as none. ReadSettingsIntoImage replaces the holder's pixels only when a picture was found.
bool WriteSettingsWithImage(const std::string& path, RenderParams& params, const ImageBuffer* holder,
                            bool with_picture);
bool ReadSettingsIntoImage(const std::string& path, RenderParams& params, ReadMode mode, ImageBuffer* holder,
                           bool* picture_found = nullptr);

}  // namespace tw
