// Moving single pixels between the host's buffers and the plug-in: how to read a host
// sample, how a rendered water pixel is composed with the host's pixel and the selection,
// and where the result is stored (host output, the dialog's preview buffer, an export
// picture). Pixels inside the plug-in are four floats R, G, B, A, nominally 0..1.
//
// Coordinates (x, y) are render coordinates: relative to the top-left of the rectangle
// being rendered (in preview pixels for a preview). Host rectangles in HostPixelFormat are
// already translated into the same coordinates.
#pragma once

#include <cstdint>

#include "hostapi/filter_record.h"
#include "shell/global_state.h"

namespace tw {

struct ImageBuffer;

enum class HostDepth : int32_t {
    k8,      // one byte per sample, 255 = 1.0
    k16,     // 16 bits per sample, 32768 = 1.0 (the host's range, not 65535)
    kFloat,  // 32-bit float, 1.0 = 1.0
};

// Everything the pixel writer needs to know about the current host buffers and target.
struct HostPixelFormat {
    int32_t render_mode = 0;        // RenderMode
    int32_t glue_mode = 1;
    bool editable_transparency = false;  // filter case 4 or 5
    int32_t alpha_plane = 0;        // plane of the transparency (inLayerPlanes)
    int32_t planes = 3;
    int32_t lo_plane = 0, hi_plane = 2;
    int32_t stride = 3;             // samples per pixel in the buffers
    bool grey = false;              // fewer than three planes
    bool grey_mode = false, rgb_mode = true;
    HostDepth depth = HostDepth::k8;
    bool float_output = false;      // no blend and no spill
    float scale = 255, alpha_scale = 255;

    const uint8_t* in_data = nullptr;
    int32_t in_row_bytes = 0;
    HostRect in_rect{};             // where in_data starts, render coordinates
    uint8_t* out_data = nullptr;
    int32_t out_row_bytes = 0;
    HostRect out_rect{};
    const uint8_t* mask = nullptr;
    int32_t mask_row_bytes = 0;
    HostRect mask_rect{};
    HostRect job{};                 // the tile being written
    // The host does not pad: it was asked only for what lies inside the picture, so a job
    // pixel beyond the input or mask rectangle reads that rectangle's nearest edge pixel.
    bool replicate_edges = false;

    // Preview target: 8-bit planar.
    uint8_t* preview = nullptr;
    int32_t preview_width = 0, preview_height = 0, preview_planes = 0;

    // Offscreen target and the picture the background comes from.
    ImageBuffer* export_image = nullptr;
    const ImageBuffer* background = nullptr;
};

// Depth of the host's samples from its image mode and bit depth.
HostDepth HostDepthOf(int16_t image_mode, int32_t depth);

// Fills the host part of `fmt` from the record after an advanceState; `shift` is what was
// added to render coordinates to make the host request.
void DescribeHostBuffers(const FilterRecord& record, const HostRect& host_in,
                         const HostRect& host_out, const HostRect& host_mask, int32_t shift_x,
                         int32_t shift_y, HostPixelFormat& fmt);

// Reads one pixel of the input buffer. Outside the job or the input buffer `rgba` is left
// untouched (with `replicate_edges`, a job pixel outside the input reads its nearest edge
// pixel instead); without an input buffer it becomes (0, 0, 0, 0).
void ReadHostPixel(const HostPixelFormat& fmt, int32_t x, int32_t y, float rgba[4]);

// Pushes the excess of channels above 1 into the others, so bright highlights whiten
// instead of changing hue.
void SpillHighlights(float rgba[4]);

// Composes the water pixel with the background and the selection, then stores it.
void WritePixel(const HostPixelFormat& fmt, int32_t x, int32_t y, const float water[4]);

// Stores a finished pixel into the host output, the preview buffer or the export picture.
void StoreHostPixel(const HostPixelFormat& fmt, int32_t x, int32_t y, const float rgba[4]);

}  // namespace tw
