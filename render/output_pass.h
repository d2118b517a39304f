// The luminance and output passes that follow the geometry pass of a job: the first marks
// each record with a brightness for edge detection, the second samples the source picture,
// shades it and writes each pixel's RGBA into its record, supersampling pixels on edges.
#pragma once

#include "render/pixel_record.h"
#include "render/water_state.h"

namespace tw {

// Both passes work on the grid of `state.job` that geometryPass filled.
void luminancePass(WaterState& state, PixelRecord* grid);
void outputPass(WaterState& state, PixelRecord* grid);

// Pass mode of the output pass: 2 Simple preview, 5 Complex preview, 3 full pass.
int passMode(const WaterState& state);

struct Rgba {
    float r, g, b, a;
};
// The colour of pass pixel (column, row), which must lie inside the job, in pass mode `mode`.
Rgba renderPixel(WaterState& state, PixelRecord* grid, int32_t column, int32_t row, int mode);

}  // namespace tw
