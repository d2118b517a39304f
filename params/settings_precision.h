// The precision a settings file keeps each value in, and the rounding that brings a record
// to it. A file keeps the sliders as floats, the colours as 16-bit words and the whole
// numbers as words, all exactly; but the light direction and the two framework vectors in
// hundredths, and the ripple centre in 1/65536 of the picture (16.16 fixed point). A value
// that enters RenderParams anywhere but from a file (the plain settings, the dice, a recorded
// action, the command line's --set, the dialog's edits) is rounded to that precision at once,
// so that what renders is exactly what a save keeps, and loading a saved run renders it again.
//
// The settings-file code writes and reads these fields with the encodings below, so the
// rounding and the file cannot drift apart.
#pragma once

#include <cstdint>

#include "params/render_params.h"

namespace tw {

// Truncation toward zero that saturates instead of overflowing; NaN becomes 0.
int32_t TruncateToInt32(double value);

// Hundredths: written as the truncation toward zero of value x 100 (in double), read back as
// the integer x 0.01 (in double) rounded to float. Truncating can fall one hundredth short
// for a float that is itself what a file read gave (0.41 is held as 0.4099999964...); such a
// float is written as the hundredth it came from, so that a value read from a file is written
// back unchanged.
int32_t EncodeHundredths(float value);
float DecodeHundredths(int32_t hundredths);

// 16.16 fixed point: written as the truncation toward zero of value x 65536, read back as
// the integer / 65536.
int32_t EncodeFixed16(float value);
float DecodeFixed16(int32_t fixed);

// Rounds every field of `p` that a settings file keeps in less than a float's precision to
// what the file would keep: afterwards writing `p` to a file and reading it back gives every
// value that renders bit for bit. Call it wherever values enter the record other than from
// a file; the dialog calls it when an edit lands (the light pad, a click in the preview, a
// typed value). Rounding a rounded record changes nothing.
void RoundToSettingsPrecision(RenderParams& p);

}  // namespace tw
