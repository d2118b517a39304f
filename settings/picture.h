// The small pictures that settings files carry: an 8-bit RGB image, rows top to bottom,
// three bytes per pixel. The picture holder of the dialog, memory dots and the gallery is
// one of these; it starts as a grey ramp so that "no picture yet" is visible as such.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

constexpr int kPictureSide = 128;  // settings pictures are 128 x 128

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes

    bool empty() const { return width <= 0 || height <= 0; }
    uint8_t* pixel(int x, int y) { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
    const uint8_t* pixel(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

// Makes `picture` a w x h image (black); false and empty when the size is not positive or
// the memory cannot be had.
bool AllocatePicture(Picture& picture, int width, int height);

// The holder's look before anything was captured or decoded: 128 x 128, row r grey 255 - r.
void ResetPictureToRamp(Picture& picture);

// Resamples `source` to a w x h picture: an area average when shrinking, bilinear when
// growing. False when either size is empty.
bool ScalePicture(const Picture& source, Picture& target, int width, int height);

// An 8-bit planar picture as the dialog's preview buffer holds it: `planes` planes of
// width x height bytes one after the other. With fewer than three planes it is grey.
struct PlanarView {
    const uint8_t* data = nullptr;
    int width = 0, height = 0, planes = 0;
};

// Takes the largest centred square of `view` and scales it into `holder` at 128 x 128.
// False, leaving the holder alone, when the view has no pixels.
bool CapturePicture(const PlanarView& view, Picture& holder);

}  // namespace tw
