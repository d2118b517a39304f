// The preview's guides drawn over the water: the horizon (magenta) and the waterline
// (green) as dashed lines, and a cross on the ripple centre. Previews only.
#pragma once

#include <cstdint>

#include "render/pixel_record.h"
#include "render/water_state.h"

namespace tw {

// Composites the guides over the record's colour; (column, row) is the preview pixel.
void applyPreviewOverlay(const WaterState& state, PixelRecord& record, int32_t column, int32_t row);

}  // namespace tw
