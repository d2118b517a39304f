// WaterState: everything a render pass derives from RenderParams and the size of the image,
// computed once per tile job by setupWaterState on the host's thread and then only read by
// the per-pixel passes (apart from the Complex style's per-pixel cache, which is why each
// job owns its own copy).
//
// Parameters are sanitised here: every slider is clamped to its range and a non-finite value
// becomes its plain default, so no per-pixel loop ever sees a value it cannot survive. The
// RenderParams record itself is never modified.
#pragma once

#include <cstdint>

#include "image/image_buffer.h"
#include "params/parameter_table.h"
#include "params/render_params.h"
#include "render/noise.h"

namespace tw {

// A job's rectangle in pass pixels (preview pixels in a preview), bottom and right exclusive.
struct TileRect {
    int32_t top, left, bottom, right;
};

// The size of the picture a pass renders: the filter rectangle, or the export image in an
// offscreen pass. Pixel centres sit at i + 0.5.
struct PassImage {
    int32_t width, height;
};

// The footprint cache key before the first pixel: a value no pixel key is expected to take.
constexpr int32_t kNoFootprintKey = 0x4ec4702;

// How the output pass treats each pixel, from the render mode and the style.
enum class PassMode : int32_t {
    kSimplePreview,   // Simple style preview: one area sample per pixel, never supersampled
    kComplexPreview,  // Complex style preview: one area sample per pixel, its taps jittered
    kFinal,           // final render of either style: pixels on edges are supersampled
};

struct WaterState {
    // Bookkeeping for the scheduler and the passes.
    const NoiseTables* noise = nullptr;  // shared, read-only during the pass
    const ImageBuffer* source = nullptr; // the picture being reflected
    TileRect job{};                       // the job this state belongs to
    int32_t workerCount = 1;              // min(job rows, processors)
    int32_t renderMode = 0;               // RenderMode
    PassMode passMode = PassMode::kFinal; // from the render mode and the style
    int32_t seed = 0;                     // 0..2047
    SliderValues slider{};                // sanitised sliders
    float pickX = 0.5f, pickY = 0.2f;     // ripple centre, fractions 0..1

    // Image geometry.
    float imageWidth = 1, imageHeight = 1;
    float aspect = 1;                     // height / width
    float invWidth = 1, invHeight = 1;
    int32_t previewStep = 1;              // preview pixel step (zoom), >= 1
    int32_t panX = 0, panY = 0;           // preview pan in image pixels

    // Plane and camera.
    double spinMatrix[2][2]{};            // rotation by theta
    double unspinMatrix[2][2]{};          // rotation by -theta
    float span = 1;
    double pixelSize = 1;
    float horizonFraction = 0, waterlineFraction = 0;
    float horizonY = 0, waterlineY = 0;
    float perspectiveFactor = 0;
    float altitudeScale = 0;
    double focal = 1;
    float altitudeFraction = 0;
    double eyeHeight = 1.1;               // the Complex style's eye above the mean water level
    double waterlineDistance = 0;

    // Ripples.
    float rippleSpread = 0, rippleSpreadInv = 0;
    float rippleHeight = 0;
    double rippleFrequency = 0;           // twice the rings across one ripple's radius
    double rippleCycles = 0;              // the rings across one radius, as the Complex profile counts them
    float rippleX[9]{}, rippleY[9]{};     // Simple style centres
    int32_t markerX = 0, markerY = 0;     // preview pixel of the ripple marker
    float flatRippleCentreX = 0, flatRippleCentreZ = 0;  // Simple style: marker on the water
    float worldRippleX[9]{}, worldRippleZ[9]{};
    double rippleCentreWorld[3]{};
    double rippleRadius = 0, rippleRadiusInv = 1;
    float rippleProfileMean = 0;

    // Simple style reflection.
    float wavinessFraction = 0;           // Waviness as 0..1: the displacement's scale
    float displacementOctaves = 1;        // octaves of the displacement, from Complexity
    float flatSlopeX = 0;                 // sideways spread of plane x on the water
    float invAspect = 1;                  // width / height
    double fadeDepth = 1.01;              // the share of the picture below the horizon, plus 0.01
    double reflectionLift = 0;            // Brilliance as 0..1: added to the reflection's share
    double flatBlurSlope = 0;             // blur per unit of plane y below the waterline
    double flatBlurDepth = 1;             // the share of the picture below the horizon, at least 0.01

    // Waves.
    double waveBlurScale = 0;             // Complex blur per unit of plane y, whole Blur steps
    float waveAmplitude = 0;
    float octaveGain = 0;
    double waveDomainShift = 0;           // the seed's shift of every octave's domain points
    double sharpness[5]{};
    double shapeScale[5]{}, shapeOffset[5]{};
    double octaveWeight[5]{};             // rewritten per pixel key by the Complex style
    double slopeVarianceX[5]{}, slopeVarianceZ[5]{};

    // Light and colour.
    int32_t styleMode = 1;                // 1 Simple, 2 Complex
    float waterColour[3]{};
    double waterColourThird[3]{};
    double skyTint[3]{};
    double glitterColour[3]{};
    float brillianceFactor = 0;           // Brilliance as 0..1: Fresnel exponent and contrast
    double lightDirection[3]{};           // x, y (up), z
    double shadingLight[3]{};             // the light direction at unit length, as shading uses it
    float glitterLightAzimuth = 0;        // its azimuth in the glitter's frame
    int32_t footprintKey = kNoFootprintKey;    // key of the cached octave weights and roughness
    double cachedRoughness[2]{};          // roughness belonging to footprintKey
    double cachedSlopeSigma[2]{};         // deviation of the unresolved slopes (x, z), same key

    // What every footprint lookup of the pass is given: taps, level rule, the waterline in
    // source positions and, in the Complex preview, the jitter.
    SamplingState sampling{};
};

// Fills `state` for one job. `noise` must already be built from the same seed. `source` is
// the picture to reflect; set-up switches it to the folding edge mode the water needs
// (written only when it differs, so jobs set up while others sample do not race). It may
// be null for geometry-only use; nothing is sampled then. `topRows`, when given, is the
// pass's table of lookups above `source` (image/top_row_table.h). Never fails.
void setupWaterState(WaterState& state, const RenderParams& params, const NoiseTables& noise,
                     const PassImage& image, ImageBuffer* source, const TileRect& job,
                     const TopRowTable* topRows = nullptr);

// Whether a pass with these settings should make the table of lookups above the picture
// for setupWaterState: the Complex style's long footprints send half their taps there,
// while the Simple style's few such lookups would not repay the table's half millisecond.
bool passWantsTopRowTable(const RenderParams& params);

// The sanitised sliders of `params`: clamped to range, non-finite values replaced by the
// plain default. Exposed so the dialog and tests use the very same rule.
SliderValues sanitisedSliders(const RenderParams& params);

// Plane mapping of a normalised image position (u, v) and its inverse. Defined here so
// the per-ray code keeps both halves of the result in registers: through a call they came
// back in two registers that the caller paired up again through memory, and waited on it.
struct Plane2 {
    double x, y;
};
inline Plane2 imageToPlane(const WaterState& s, double u, double v) {
    const double c = s.spinMatrix[0][0], sn = s.spinMatrix[1][0];
    const double C = s.aspect * (v - 0.5), U = u - 0.5;
    return {U * c + C * sn, -U * sn + C * c};
}
inline Plane2 planeToImage(const WaterState& s, double x, double y) {
    const double c = s.spinMatrix[0][0], sn = s.spinMatrix[1][0];
    return {0.5 + x * c - y * sn, 0.5 + (x * sn + y * c) / s.aspect};
}

}  // namespace tw
