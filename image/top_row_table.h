// Lookups above a picture, where the fold edge mode raises the level of detail with the
// distance above the top, land on the first row of a level near the top of the mip chain;
// in a Complex render half of all taps do. What such a lookup filters depends only on the
// level, the pixel it lands on and the kernel phase across that pixel, so a render works
// the values out once per pass for the small levels, and the 8-bit tap loops read them
// here instead of filtering each tap. They are the filter's own bits.
#pragma once

#include <cstdint>
#include <vector>

#include "image/image_buffer.h"

namespace tw {

// Levels at most this wide are tabled: for a picture of any size that is at most about
// 256 pixels' worth of entries (half a megabyte), against the taps of every pass.
constexpr int32_t kTopRowTableWidth = 128;

struct TopRowTable {
    const ImageBuffer* buffer = nullptr;  // the buffer the values were filtered from
    int32_t first_level = kMaxLevels;     // levels first_level .. the top level are tabled
    // Per tabled level, the index of the entry for pixel 0, phase 0. A level of width w has
    // entries for pixels 0 .. w (a position of exactly 1 lands on pixel w), each with one
    // entry per kernel phase.
    int32_t start[kMaxLevels] = {};
    // Four floats per entry: the filtered value in red, green, blue, alpha order, in the
    // format's full-scale units (before the reciprocal scale).
    std::vector<float> values;
};

// Fills `table` from `buffer` after its mip chain is built: every level at most
// kTopRowTableWidth wide, under the buffer's wrap flag. Only 8-bit RGBA buffers are tabled
// (their tap loops read the table); false, with `table` empty, for other formats, an empty
// buffer, or when the memory cannot be had. The table must not outlive the buffer's pixels.
bool buildTopRowTable(const ImageBuffer& buffer, TopRowTable& table);

}  // namespace tw
