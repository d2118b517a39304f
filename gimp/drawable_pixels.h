// Moving a GIMP drawable's pixels to and from the host's document through GEGL buffers:
// in the layer's own encoding and colour space at the sample type the host gets (see
// pixel_layout.h), and back through the shadow buffer as one undo step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <babl/babl.h>

#include "gimp/pixel_layout.h"
#include "host/document.h"

namespace tw::gimp {

// A drawable's pixels as the host holds them, with what it takes to put them back.
struct DrawablePixels {
    host::Document document;
    LayerLayout layout;
    const Babl* format = nullptr;      // the layout in the drawable's colour space
    std::vector<uint16_t> original16;  // 16-bit layers: the samples as the layer has them
};

// The layout GIMP keeps the drawable in; false (with a reason) for indexed drawables.
bool DrawableLayout(int32_t drawable, LayerLayout& layout, std::string& error);

// The whole drawable at full size. The selection is not read: GIMP fades the merged result
// by it, as it does for every filter, and handing it to the plug-in as well would fade soft
// edges twice.
bool ReadDrawable(int32_t drawable, DrawablePixels& pixels, std::string& error);

// The selection over the drawable as the document's mask (255 selected); no mask when
// nothing is selected. The preview shows the water faded by it, as the merge will fade it.
void ReadSelection(int32_t drawable, host::Document& document);

// Writes `result` (the same size as `original`) through the shadow buffer over the part of
// the drawable the selection reaches, merges it as one undo step and updates the display.
bool WriteDrawable(int32_t drawable, const DrawablePixels& original, const host::Document& result,
                   std::string& error);

// Turns a preview's 8-bit samples, which are in the layer's own encoding, into what the
// screen shows: linear-light layers are encoded for display, perceptual ones pass as they are.
void EncodeForDisplay(const LayerLayout& layout, const Babl* format, std::vector<uint8_t>& samples);

}  // namespace tw::gimp
