// Reflection and perspective: for every pixel, where in the source picture its colour comes
// from. The Simple style mirrors the picture about the waterline and displaces it with noise
// and ripples; the Complex style casts a ray from an eye above the water against the wave
// height field and reflects it about the surface normal.
#pragma once

#include <cstdint>

#include "render/pixel_record.h"
#include "render/water_state.h"

namespace tw {

// The key that identifies a pixel to the Complex style's per-pixel cache.
constexpr int32_t pixelKey(int32_t column, int32_t row) {
    return static_cast<int32_t>(static_cast<uint32_t>(row) * 661u ^ static_cast<uint32_t>(column) * 7607u);
}

// Fills the whole grid of `state.job`, border ring included.
void geometryPass(WaterState& state, PixelRecord* grid);

// The geometry of one pass position (column, row may be fractional for sub-samples).
void pixelGeometry(WaterState& state, PixelRecord& record, float column, float row, int32_t key);

// The style's geometry at plane point (x, y) for a record already reset by pixelGeometry
// (or zero-filled): source position, kind, weight, blur, and for Complex water the hit.
void planeGeometry(WaterState& state, PixelRecord& record, double x, double y);

// Projects a direction onto the image plane (the Complex style's camera).
Plane2 projectDirection(const WaterState& s, const Vec3& r);

// The unit view direction through plane point (x, y) relative to the horizon.
Vec3 viewDirection(const WaterState& s, double x, double yBelowHorizon);

}  // namespace tw
