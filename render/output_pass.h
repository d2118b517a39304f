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

// The sub-sample grid of one pixel: steps -xHalf..xHalf of xStep pixels across and
// -yHalf..yHalf of yStep down. A 1 x 1 grid means one area sample.
struct SampleGrid {
    int xHalf, yHalf;
    float xStep, yStep;
    int count() const { return (2 * xHalf + 1) * (2 * yHalf + 1); }
};
// The grid pass pixel (column, row) takes in pass mode `mode`; renderPixel asks with the
// state's own mode.
SampleGrid chooseSampleGrid(WaterState& state, PixelRecord* grid, int32_t column, int32_t row, PassMode mode);

struct Rgba {
    float r, g, b, a;
};
// The colour of pass pixel (column, row), which must lie inside the job, in the state's pass
// mode. Of the state it changes only the Complex style's footprint cache.
Rgba renderPixel(WaterState& state, PixelRecord* grid, int32_t column, int32_t row);
// The same pixel with every sub-sample's ray traced on its own, in the plain order, and no
// sharing between pixels: what the grouped tracing must reproduce bit for bit.
Rgba renderPixelOneRayAtATime(WaterState& state, PixelRecord* grid, int32_t column, int32_t row);

}  // namespace tw
