// The dialog's dice: a random but plausible look for the water. Nine sliders, the seed and
// the water colour are drawn anew (and the glitter colour for the complex style); every
// other field is left alone. Numbers come from the platform's C-library-compatible
// generator, so a given seed gives the same settings on every system.
#pragma once

#include "params/render_params.h"

namespace tw {

// A uniform integer in lo..hi, both ends included (lo when hi < lo).
int RandomInt(int lo, int hi);
// A value in 0 .. 0.999 in steps of 0.001.
double RandomFraction();

struct RgbFraction {
    double r, g, b;
};
// Hue, saturation and value or lightness all in 0..1 (the hue may leave 0..1 for HSL).
RgbFraction HsvToRgb(double h, double s, double v);
RgbFraction HslToRgb(double h, double s, double l);
void RgbToHsl(const RgbFraction& rgb, double& h, double& s, double& l);
// A channel fraction as a 16-bit colour value; below 0 is 0 and above 1 is 65535.
uint16_t ChannelToWord(double c);

// Every value drawn is one a settings file keeps exactly (whole-number sliders, a blur that
// is a float, the seed, 16-bit colours), and nothing else changes, so random settings drawn
// over a record in the file's precision (params/settings_precision.h) stay in it: saved and
// loaded, they render the same look.
void RandomizeSettings(RenderParams& params);

}  // namespace tw
