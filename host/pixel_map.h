// What the host's displayPixels procedure is asked to draw, turned into rows a screen
// takes: a PSPixelMap (any row, column and plane strides, so planar and interleaved maps
// alike) of grey or RGB pixels in 8 bits, 16 bits (0..32768) or 32-bit float, read over a
// rectangle of the map's coordinates. The map's masks (the plug-in's transparency checker
// and selection overlays) are not drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "host/document.h"
#include "hostapi/filter_record.h"

namespace tw::host {

// Rows top to bottom of blue, green, red bytes, each row `stride` bytes (a multiple of 4,
// zero padded): a 24-bit device-independent bitmap drawn with a negative height.
struct ScreenRows {
    int32_t width = 0, height = 0, stride = 0;
    std::vector<uint8_t> bytes;
};

// The pixels of `rect` (map coordinates, cut to the map's bounds) of `map`. noErr with
// empty rows when nothing of the rectangle lies inside; paramErr for a map without pixels
// or with a version below 1; filterBadMode for image modes other than grey and RGB at the
// three depths; memFullErr when the rows cannot be had.
OSErr PixelMapToScreenRows(const PSPixelMap& map, const VRect& rect, ScreenRows& rows);

// The same checks without reading a pixel.
OSErr CheckPixelMap(const PSPixelMap& map);

// A map over a document's own pixels (its colour planes; transparency is not shown).
PSPixelMap DocumentPixelMap(const Document& document);

}  // namespace tw::host
