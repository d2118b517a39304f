// PixelRecord: the per-pixel working record of a tile job. A job's grid holds one record per
// pixel of its rectangle plus a one-pixel border on every side, row-major, so a job of w x h
// pixels has (w + 2) x (h + 2) records; record (c - left + 1, r - top + 1) is pixel (c, r).
// The grid may be handed over zero-filled; the geometry pass writes every record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw {

enum PixelKind : int32_t {
    kKindDry = 3,            // Simple style dry, or not computed yet
    kKindSimpleWater = 2,    // Simple style water
    kKindComplexWater = 4,   // Complex style hit on the wave surface
    kKindComplexTracing = 6, // Complex ray being traced
    kKindComplexDry = 7,     // Complex sky ray, or a hit beyond the waterline distance
};

struct PixelRecord {
    float sourceU, sourceV;   // source position, 0..1 fractions of the image; -1 when none
    float weight;             // Simple: share of the reflection against the water colour
    int32_t kind;             // PixelKind
    double hitPoint[3];       // Complex: the intersection point (-1 when dry)
    double hitNormal[3];      // Complex: unit surface normal there
    double viewDirection[3];  // Complex: unit ray direction
    double eyeToHit[3];       // Complex: hit point minus eye
    double reversedView[3];   // Complex: the ray direction negated
    double roughness[2];      // Complex: filtered slope variances (x, z)
    double planeX, planeY;    // the pixel's plane coordinates
    int32_t key;              // row * 661 ^ column * 7607
    int32_t hasFootprint;     // Complex: footprint derivatives below are valid
    float footprint[4];       // dU/dnx, dV/dnx, dU/dnz, dV/dnz in source fractions
    int32_t outside;          // 1 when the source position lies outside 0..1
    float luminance;          // -99 except Complex water
    float blurRadius;         // blur of the source lookup
    float colour[4];          // final RGBA, written by the output pass
    int32_t reserved[5];
};

static_assert(sizeof(PixelRecord) == 240, "the scheduler sizes record grids at 240 bytes a pixel");

// Number of records in the grid of a job of `width` x `height` pixels.
constexpr size_t gridRecordCount(int32_t width, int32_t height) {
    return static_cast<size_t>(width + 2) * static_cast<size_t>(height + 2);
}

}  // namespace tw
