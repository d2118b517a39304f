// Water shading: turns a sampled source colour and a pixel's record into the water's colour.
// Simple water is tinted towards the water colour; Complex water gets a Fresnel blend with
// the water colour, a height tint, a sun sheen, a mirror image of the sun, glitter from the
// unresolved wave detail and a contrast curve. Dry pixels pass through unchanged.
#pragma once

#include "render/pixel_record.h"
#include "render/water_state.h"

namespace tw {

enum ShadeMode : int {
    kShadeNormal = 0,  // shade the given colour
    kShadeWhite = 1,   // shade white and store the result's luminance in the record
};

// Shades `rgba` in place and returns the record's kind (low three bits). Always sets the
// record's luminance to -99 first; the white mode overwrites it for Complex water.
int shadeWater(float (&rgba)[4], const WaterState& state, PixelRecord& record, int mode);

// Derives the state's shading light from its light direction; set-up calls it once, so no
// sample pays for the normalisation and the light's azimuth again.
void prepareShadingLight(WaterState& state);

// (1 - c)^e by the bit-level approximation on the high word of the double.
double fastPower(double base, double exponent);

// Approximate complementary error function used by the footprint filter and the glitter.
double erfcApprox(double t);

// The glitter tone curve: maps the microfacet value to 0..1.
double glitterTone(double y);

}  // namespace tw
