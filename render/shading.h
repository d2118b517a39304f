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

// The sun's mirror image and the glitter of a Complex water record: most of shading's cost,
// and independent of the colour being shaded. A record shaded again with another colour (a
// sub-sample two neighbouring pixels share) can take them from its first shading.
struct Highlight {
    double value;
    bool known;  // false until a shading of the record has filled `value`
};

// shadeWater, with `kept` (may be null) holding the record's highlight: taken from there when
// known, otherwise computed and stored there. Only for a record and a state unchanged since
// the highlight was stored; the result is then bit for bit shadeWater's.
int shadeWaterKeeping(float (&rgba)[4], const WaterState& state, PixelRecord& record, int mode, Highlight* kept);

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
