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

// The Complex style's per-key footprint cache as a value: which key it belongs to and what
// it holds. Tracing reads only a copy of it, so rays can be traced together after their
// cache updates were made one by one in the order the positions come.
struct FootprintCacheState {
    int32_t key;
    double octaveWeight[5], roughness[2], slopeSigma[2];
};
// Copies the state's cache into `c` field by field. Every ray and sub-sample takes such a
// copy, and one returned by value was written in pieces into a temporary and then read back
// in wider pieces, which makes the read wait until the writes have reached the cache.
inline void readFootprintCache(const WaterState& s, FootprintCacheState& c) {
    c.key = s.footprintKey;
    for (int k = 0; k < 5; ++k) c.octaveWeight[k] = s.octaveWeight[k];
    for (int k = 0; k < 2; ++k) c.roughness[k] = s.cachedRoughness[k];
    for (int k = 0; k < 2; ++k) c.slopeSigma[k] = s.cachedSlopeSigma[k];
}
inline FootprintCacheState footprintCacheOf(const WaterState& s) {
    FootprintCacheState c;
    readFootprintCache(s, c);
    return c;
}
void setFootprintCache(WaterState& s, const FootprintCacheState& c);
// Whether two cache states trace every ray alike: the same key and the very same bits.
bool sameFootprintCache(const FootprintCacheState& a, const FootprintCacheState& b);
// The same test of `c` against the state's cache as it stands, without copying it first.
bool holdsFootprintCache(const WaterState& s, const FootprintCacheState& c);

// pixelGeometry in two halves, so several positions can be traced at once.
// beginGeometry resets the record, maps the position and updates the footprint cache
// exactly as pixelGeometry would, keeping in the task the copy of the cache its ray will be
// traced with; it must be called in the order the positions would be computed one by one.
// finishGeometry then traces the begun tasks together (the Simple style's displacements
// side by side) and completes their records, each bit for bit what pixelGeometry would
// have made; it never touches the cache.
struct GeometryTask {
    PixelRecord* record;
    FootprintCacheState cache;  // as this position left it
    bool usesCache;             // the ray reaches the water plane, so `cache` shapes its result
    bool done;                  // nothing left to trace (a dry pixel, or a sky ray)
    bool flat;                  // Simple style water: its displacement is left to take
    Vec3 direction;
    double planeX, planeY;
    float flatJ, flatX, flatZ;  // Simple style: the depth scale and where on the water it lies
};
void beginGeometry(WaterState& state, GeometryTask& task, PixelRecord& record, float column, float row,
                   int32_t key);
void finishGeometry(const WaterState& state, GeometryTask* tasks, int count);

// Projects a direction onto the image plane (the Complex style's camera).
Plane2 projectDirection(const WaterState& s, const Vec3& r);

// The unit view direction through plane point (x, y) relative to the horizon.
Vec3 viewDirection(const WaterState& s, double x, double yBelowHorizon);

}  // namespace tw
