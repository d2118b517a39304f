// Per-job set-up: derives every constant the per-pixel passes read from RenderParams and the
// size of the picture, in a fixed order because later steps read what earlier ones wrote.
#include "render/water_state.h"

#include <algorithm>
#include <cmath>

#include "image/image_buffer.h"
#include "platform/platform.h"
#include "render/geometry.h"
#include "render/shading.h"

namespace tw {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr float kSixteenBitScale = 1.5259022e-5f;  // 1 / 65535

float sanitise(float value, const SliderInfo& info) {
    if (!std::isfinite(value)) return info.plain[0];
    return std::clamp(value, info.min, info.max);
}

float sanitiseFraction(float value, float plain) {
    if (!std::isfinite(value)) return plain;
    return std::clamp(value, 0.0f, 1.0f);
}

// Camera and plane constants (the image geometry must already be in place).
void setupPlane(WaterState& s) {
    const SliderValues& v = s.slider;
    const float theta = static_cast<float>(v.spin / -90.0f * (kPi / 2));
    const double c = std::cos(static_cast<double>(theta)), sn = std::sin(static_cast<double>(theta));
    s.spinMatrix[0][0] = c;
    s.spinMatrix[0][1] = -sn;
    s.spinMatrix[1][0] = sn;
    s.spinMatrix[1][1] = c;
    s.unspinMatrix[0][0] = c;
    s.unspinMatrix[0][1] = sn;
    s.unspinMatrix[1][0] = -sn;
    s.unspinMatrix[1][1] = c;
    const float thetaOpposite = theta + static_cast<float>(kPi);
    s.pixelSize = std::hypot(s.invWidth * std::sin(static_cast<double>(thetaOpposite)),
                             -s.invWidth * std::cos(static_cast<double>(thetaOpposite)));

    // Span: twice the largest distance of an image corner from the line through the origin
    // along the spin direction, i.e. the extent of the plane's y over the picture.
    const double ax = std::cos(static_cast<double>(theta)), ay = std::sin(static_cast<double>(theta));
    const double bx = std::cos(static_cast<double>(thetaOpposite)), by = std::sin(static_cast<double>(thetaOpposite));
    const double lx = bx - ax, ly = by - ay, len = std::hypot(lx, ly);
    auto distance = [&](double px, double py) {
        if (len == 0) return std::hypot(px - ax, py - ay);
        return std::fabs((px - ax) * ly - (py - ay) * lx) / len;
    };
    const double half = s.aspect * 0.5;
    s.span = static_cast<float>(2 * std::max(distance(-0.5, -half), distance(-0.5, half)));

    s.horizonFraction = v.horizon * 0.99f * 0.01f;
    s.waterlineFraction = v.offset * 0.01f * (1 - s.horizonFraction) + s.horizonFraction;
    s.horizonY = (s.horizonFraction - 0.5f) * s.span;
    s.waterlineY = (s.waterlineFraction - 0.5f) * s.span;
    s.perspectiveFactor = (v.perspective + 1.0f) * 0.01f * 0.125f * 1.5f;
    s.altitudeScale = v.altitude * 0.01f * 5;
    s.focal = 1 - v.perspective * 0.01 + 0.2;
    s.altitudeFraction = v.altitude * 0.01f;
    s.eyeHeight = s.altitudeFraction * 20 + 1.1;
}

// Light from the disc of the light pad: a point at radius r is r * 90 degrees from the zenith.
void setupLight(WaterState& s, const RenderParams& p) {
    float a = p.light_dir[0], b = p.light_dir[1], c = p.light_dir[2];
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) {
        a = kPlainLightDir[0];
        b = kPlainLightDir[1];
        c = kPlainLightDir[2];
    }
    float x = a, y = c, z = -b;
    const float r = std::sqrt(x * x + z * z);
    if (r > 0) {
        const float sr = std::sin(std::min(r, 1.0f) * static_cast<float>(kPi / 2));
        x = x / r * sr;
        z = z / r * sr;
        y = std::sqrt(std::max(0.0f, 1 - x * x - z * z));
    }
    double lx = x, ly = y, lz = z;
    if (ly < 0.01) {
        ly = 0.01;
        const double len = std::sqrt(lx * lx + ly * ly + lz * lz);
        if (len > 0) {
            lx /= len;
            ly /= len;
            lz /= len;
        } else {
            lx = ly = lz = 0;
        }
    }
    s.lightDirection[0] = lx;
    s.lightDirection[1] = ly;
    s.lightDirection[2] = lz;
    prepareShadingLight(s);
}

// The Simple style's reflection: displacement, share of the reflection and blur.
void setupFlatReflection(WaterState& s) {
    const SliderValues& v = s.slider;
    s.wavinessFraction = v.waviness * 0.01f;
    s.displacementOctaves = v.complexity * 0.06f + 1.01f;
    s.flatSlopeX = 2 * s.perspectiveFactor * s.altitudeScale;
    s.invAspect = static_cast<float>(1 / static_cast<double>(s.aspect));
    s.fadeDepth = 1.01 - s.horizonFraction;
    s.reflectionLift = v.brilliance * 0.01;
    s.flatBlurSlope = v.blur * 0.01 / s.aspect;
    s.flatBlurDepth = std::max(1.0 - s.horizonFraction, 0.01);
}

void setupFlatRipples(WaterState& s) {
    const float* T = s.noise->unitTable;
    s.rippleSpread = s.slider.size * 0.01f * 6 * s.altitudeScale;
    if (s.rippleSpread > 0) s.rippleSpreadInv = 1 / s.rippleSpread;
    s.rippleHeight = s.slider.height * 0.01f * 0.2f;
    s.rippleFrequency = s.slider.undulation * 0.4;  // both styles' rings
    for (int k = 0; k < 9; ++k) {
        s.rippleX[k] = (T[400 + 2 * k] - 0.5f) * s.rippleSpread * 0.18f;
        s.rippleY[k] = (T[401 + 2 * k] - 0.5f) * s.rippleSpread * 0.18f;
    }
    s.markerX = static_cast<int32_t>(s.imageWidth / static_cast<float>(s.previewStep) * s.pickX -
                                     static_cast<float>(s.panX / s.previewStep));
    s.markerY = static_cast<int32_t>(s.imageHeight / static_cast<float>(s.previewStep) * s.pickY -
                                     static_cast<float>(s.panY / s.previewStep));
    // The marker's world position is the same for every pixel, so it is derived once here.
    const Plane2 m = imageToPlane(s, s.pickX, s.pickY);
    const float mp = static_cast<float>((m.y + 0.0001 - s.horizonY) / s.aspect);
    if (mp != 0 && std::isfinite(mp)) {
        s.flatRippleCentreX = static_cast<float>(s.flatSlopeX * m.x * 2 / mp);
        s.flatRippleCentreZ = s.altitudeScale / mp;
    } else {
        s.rippleSpread = 0;  // a marker exactly on the horizon has no place on the water
    }
}

void setupColours(WaterState& s, const RenderParams& p) {
    s.styleMode = p.style == kStyleComplex ? 2 : 1;
    const uint16_t water[3] = {p.color.r, p.color.g, p.color.b};
    const uint16_t glitter[3] = {p.glitter_color.r, p.glitter_color.g, p.glitter_color.b};
    constexpr double kSky[3] = {0.8, 0.9, 0.6};
    for (int i = 0; i < 3; ++i) {
        s.waterColour[i] = water[i] * kSixteenBitScale;
        s.waterColourThird[i] = static_cast<double>(s.waterColour[i]) * 0.333;
        s.skyTint[i] = kSky[i];
        s.glitterColour[i] = glitter[i] * kSixteenBitScale;
    }
    s.brillianceFactor = s.slider.brilliance * 0.01f;
    s.footprintKey = kNoFootprintKey;
    s.waveBlurScale = 2 * (std::trunc(s.slider.blur) * 0.01);
    const Vec3 d = viewDirection(s, 0, s.waterlineY - s.horizonY);
    // With no offset the waterline ray is level and never meets the water: infinitely far.
    s.waterlineDistance = std::fabs(s.eyeHeight / d.y * d.z);
}

// How the output pass samples: the pass mode and everything the footprint lookups take.
void setupSampling(WaterState& s) {
    const bool preview = s.renderMode == kRenderPreview;
    s.passMode = !preview ? PassMode::kFinal : s.styleMode == 2 ? PassMode::kComplexPreview : PassMode::kSimplePreview;
    SamplingState& st = s.sampling;
    st.max_taps = preview ? 10 : 50;
    st.isotropic_lod = s.styleMode == 1 ? 1 : 0;
    // A preview takes a fifth of the final taps; in the Complex style, whose footprints run
    // long, jitter hides their spacing (the Simple style's isotropic lookups take no taps).
    st.jitter_taps = s.passMode == PassMode::kComplexPreview ? 1 : 0;
    st.permutation = s.noise->perm;
    const Plane2 a = planeToImage(s, -1, s.waterlineY), b = planeToImage(s, 1, s.waterlineY);
    st.mirror_line[0] = static_cast<float>(b.x - a.x);
    st.mirror_line[1] = static_cast<float>(b.y - a.y);
    st.mirror_line[2] = static_cast<float>(a.x);
    st.mirror_line[3] = static_cast<float>(a.y);
    st.mirror_line[4] = static_cast<float>(b.x);
    st.mirror_line[5] = static_cast<float>(b.y);
}

void setupComplexRipples(WaterState& s) {
    const float* T = s.noise->unitTable;
    s.rippleCycles = 3.141592653589793 * (1.0 / 6.283185307179586) * s.rippleFrequency;
    s.rippleRadius = 0;
    s.rippleRadiusInv = 1;
    const Plane2 m = imageToPlane(s, s.pickX, s.pickY);
    const Vec3 d = viewDirection(s, m.x, m.y - s.horizonY);
    if (d.y >= 0) return;  // the marker is above the horizon: no ripples
    const double e = s.eyeHeight;
    const double t = -e / d.y;
    s.rippleCentreWorld[0] = d.x * t;
    s.rippleCentreWorld[1] = 0;
    s.rippleCentreWorld[2] = d.z * t;
    const Vec3 d2 = viewDirection(s, m.x + s.slider.size * 0.01 * 2, m.y - s.horizonY);
    const double t2 = -e / d2.y;
    s.rippleRadius = std::hypot(d2.x * t2 - s.rippleCentreWorld[0], d2.z * t2 - s.rippleCentreWorld[2]);
    s.rippleRadiusInv = s.rippleRadius > 0 ? 1 / s.rippleRadius : 1;
    for (int k = 0; k < 9; ++k) {
        s.worldRippleX[k] = static_cast<float>((T[400 + 2 * k] - 0.5) * s.rippleRadius * 0.18);
        s.worldRippleZ[k] = static_cast<float>((T[401 + 2 * k] - 0.5) * s.rippleRadius * 0.18);
    }
}

// Waves: sharpness per octave and the normalisation that gives every octave's crest shape
// zero mean and a peak-to-peak height of 0.25.
void setupWaveShapes(WaterState& s) {
    s.waveAmplitude = s.wavinessFraction * 4;
    s.octaveGain = s.slider.complexity * 0.16f * 0.01f + 0.08f;
    s.waveDomainShift = s.seed * 0.17 * 0.8;
    const double c = static_cast<float>(s.slider.complexity * 0.01f);
    for (int k = 0; k < 5; ++k) {
        s.sharpness[k] = 0.01 - s.slider.waviness * 0.01 * 0.01 + 0.5 * (1 - c) * (1 - c) * k / 5;
        if (s.styleMode != 2) continue;  // only the Complex style's surface uses the shapes
        double hi = -1e300, lo = 1e300, sum = 0;
        for (int i = 0; i < 40; ++i) {
            for (int j = 0; j < 40; ++j) {
                const double v = bumpShape(i * 2 * kPi / 40, j * 2 * kPi / 40, s.sharpness[k]);
                hi = std::max(hi, v);
                lo = std::min(lo, v);
                sum += v;
            }
        }
        // A flat shape (never with sliders in range) would divide by zero: keep it flat.
        s.shapeScale[k] = hi - lo > 1e-12 ? 0.25 / (hi - lo) : 0;
        s.shapeOffset[k] = -s.shapeScale[k] * (sum / 1600);
    }
    double cube = 0;
    for (int i = 0; i < 40; ++i) {
        const float b = static_cast<float>(i * 2 * kPi / 40);
        const double t = b - std::floor(b) - 0.5;
        const double r = 8 * t - 16 * t * std::fabs(t) + 2.5;
        cube += 0.05 * r * r * r;
    }
    s.rippleProfileMean = static_cast<float>(-cube / 40);
}

// Per-octave slope variances, measured on the surface itself at 100 fixed points, so the
// Complex style knows how much wave detail a pixel too coarse to resolve it hides.
void setupSlopeStatistics(WaterState& s) {
    const float* T = s.noise->unitTable;
    const float savedRipple = s.rippleHeight;
    s.rippleHeight = 0;
    constexpr double h = 0.001;
    for (int level = 0; level < 5; ++level) {
        for (int k = 0; k < 5; ++k) s.octaveWeight[k] = k == level ? 1 : 0;
        double sx[100], sz[100], mx = 0, mz = 0;
        for (int n = 0; n < 100; ++n) {
            const double x = static_cast<float>(T[2 * n] * 37.23f);
            const double z = static_cast<float>(T[2 * n + 1] * 23.45f);
            const double h0 = -waveHeight(x, 0, z, s, 5);
            sx[n] = (-waveHeight(x + h, 0, z, s, 5) - h0) / h;
            sz[n] = (-waveHeight(x, 0, z + h, s, 5) - h0) / h;
            mx += sx[n];
            mz += sz[n];
        }
        mx *= 0.01;
        mz *= 0.01;
        double vx = 0, vz = 0;
        for (int n = 0; n < 100; ++n) {
            vx += (sx[n] - mx) * (sx[n] - mx);
            vz += (sz[n] - mz) * (sz[n] - mz);
        }
        s.slopeVarianceX[level] = vx * 0.01;
        s.slopeVarianceZ[level] = vz * 0.01;
    }
    s.rippleHeight = savedRipple;
}

}  // namespace

SliderValues sanitisedSliders(const RenderParams& p) {
    SliderValues v{};
    for (const SliderInfo& s : kSliders) v.*s.value = sanitise(p.*s.field, s);
    return v;
}

bool passWantsTopRowTable(const RenderParams& p) { return p.style == kStyleComplex; }

void setupWaterState(WaterState& s, const RenderParams& p, const NoiseTables& noise,
                     const PassImage& image, ImageBuffer* source, const TileRect& job,
                     const TopRowTable* topRows) {
    // 0. Beyond the left and right edges the picture folds back; above the top it blurs.
    if (source && source->edge_mode != kEdgeFoldBlur) source->edge_mode = kEdgeFoldBlur;
    s = WaterState{};
    s.noise = &noise;
    s.source = source;
    s.job = job;
    s.renderMode = p.render_mode;
    s.seed = noise.seed;
    s.slider = sanitisedSliders(p);
    s.pickX = sanitiseFraction(p.pick_x, kPlainPickX);
    s.pickY = sanitiseFraction(p.pick_y, kPlainPickY);

    // Image geometry; a degenerate picture is treated as one pixel rather than dividing by 0.
    s.imageWidth = static_cast<float>(std::max(1, image.width));
    s.imageHeight = static_cast<float>(std::max(1, image.height));
    s.aspect = s.imageHeight / s.imageWidth;
    s.invWidth = 1 / s.imageWidth;
    s.invHeight = 1 / s.imageHeight;

    // 1. Worker count: never more workers than rows in the job.
    const int rows = std::max(1, job.bottom - job.top);
    s.workerCount = std::min(rows, std::max(1, platform::ProcessorCount()));

    // 2. Preview step and pan, spin, span, horizon, waterline, camera.
    s.previewStep = std::clamp(p.zoom, 1, 1 << 16);
    s.panX = std::clamp(p.pan_x, -(1 << 28), 1 << 28);
    s.panY = std::clamp(p.pan_y, -(1 << 28), 1 << 28);
    setupPlane(s);
    // 3. Light.
    setupLight(s, p);
    // 4. Flat-style reflection, ripples and the marker.
    setupFlatReflection(s);
    setupFlatRipples(s);
    // 5. Style, colours, waterline distance, then the pass mode and sampling state.
    setupColours(s, p);
    setupSampling(s);
    s.sampling.top_rows = topRows;
    // 6. Complex-style ripples.
    setupComplexRipples(s);
    // 7, 8. Wave-shape normalisation and the ripple profile mean.
    setupWaveShapes(s);
    // 9. Slope statistics. Only the Complex style reads them, and they are most of the
    // set-up's cost, which the scheduler pays on the host's thread for every job.
    if (s.styleMode == 2) setupSlopeStatistics(s);
}

}  // namespace tw
