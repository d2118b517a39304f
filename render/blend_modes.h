// The 69 "Glue" modes that combine the rendered water (the top layer) with the host's pixel
// (the bottom layer). Their numbers and names are the parameters' (params/blend_mode_names.h).
//
// Colours are four floats R, G, B, A, nominally 0..1. Most modes work on 15-bit fixed-point
// values (1.0 = 32768), so their results are multiples of 1/32768.
#pragma once

#include <cstdint>

#include "params/blend_mode_names.h"

namespace tw {

// Combines one pixel: top = the rendered water, bottom = the host pixel, out = the blend.
// out may be the same array as top or bottom. The output alpha is the top's, except for
// mode 63 ("starbright"), which turns the top's brightness into alpha. Mode 1 and any
// number outside 2..69 copy the top unchanged. Never allocates; safe on any thread.
void blendPixel(const float top[4], const float bottom[4], float out[4], int mode);

// The opponent colour space used by modes 54-57: a lightness channel and two opponent
// axes centred on byte 128, reached through two 16x16x16 tables of byte triples.
// Values are 15-bit (0..32768) in and out. Exposed for tests and tools.
void rgbToOpponent(const int rgb[3], int opp[3]);
void opponentToRgb(const int opp[3], int rgb[3]);

// The raw table entry of grid point (i1, i2, i3), each 0..15, as bytes.
void opponentForwardEntry(int i1, int i2, int i3, uint8_t out[3]);
void opponentInverseEntry(int i1, int i2, int i3, uint8_t out[3]);

}  // namespace tw
