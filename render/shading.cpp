// Water shading of both styles.
#include "render/shading.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tw {
namespace {

constexpr double kSqrtPi = 1.77245385091;
constexpr int32_t kPowerBias = 1072632447;  // high word of 1.0 less the approximation's bias

struct V3 {
    double x, y, z;
};
inline double dot(const V3& a, const V3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 normalised(const V3& v) {
    const double len = std::sqrt(dot(v, v));
    if (!(len > 0)) return {0, 0, 0};
    return {v.x / len, v.y / len, v.z / len};
}

// The approximate erfc of t given g = 2 e^(-t^2), which the glitter has at hand already.
inline double erfcWith(double t, double g) {
    if (t > 0) return g / (std::sqrt(1.52 * t * t + 4) + 2.319 * t);
    return 2 - g / (std::sqrt(1.52 * t * t + 4) - 2.319 * t);
}

// Smith shadowing term for a direction at cosine mu to the normal with slope variance sigma.
double smithLambda(double mu, double sigma) {
    const double sinSquared = 1 - mu * mu;
    if (!(sinSquared > 1e-12)) return 0;  // straight along the normal: nothing is shadowed
    const double a = mu / std::sqrt(sinSquared * 2 * sigma);
    const double e = std::exp(-a * a);
    return std::max(0.0, (e - erfcWith(a, 2 * e) * a * kSqrtPi) / (2 * a * kSqrtPi));
}

// Azimuth of direction x in the glitter frame, whose tangents are tp = z and tq = x.
inline float azimuth(const V3& x) {
    const V3 tp{0, 0, 1}, tq{1, 0, 0};
    return static_cast<float>(std::atan2(dot(x, tq), dot(x, tp)));
}

// Slope variance seen from azimuth phi: interpolates between the two axes.
double directionalSigma(float phi, double sp, double sq) {
    const float w = 1.0f / (1.0f + phi * phi);
    return (1 - w) * sq + w * sp;
}

// The light in the glitter frame's axis order, and its azimuth there.
struct GlitterLight {
    V3 direction;
    float azimuth;
};

// x^5 by three multiplications: within a few units in the last place of the library power,
// at a fraction of its cost in the per-sample Fresnel terms.
inline double fifthPower(double x) {
    const double x2 = x * x;
    return x2 * x2 * x;
}

// Anisotropic microfacet highlight with Gaussian slopes; all vectors in the glitter frame.
double glitter(const GlitterLight& light, const V3& V, const V3& N, double sp, double sq) {
    const V3& L = light.direction;
    if (dot(N, L) < 0) return 0;
    const V3 tp{0, 0, 1}, tq{1, 0, 0};
    const V3 H = normalised({L.x + V.x, L.y + V.y, L.z + V.z});
    const double E = dot(H, N);
    if (!(E > 1e-9)) return 0;  // the half vector faces away from the facet
    const double a = dot(H, tp) / E, b = dot(H, tq) / E;
    const double D = std::exp(-0.5 * (a * a / sp + b * b / sq)) / (6.283185307 * std::sqrt(sp * sq));
    const double F = fifthPower(1 - dot(H, V)) * 0.98 + 0.02;
    const double muL = std::max(dot(N, L), 0.01), muV = std::max(dot(N, V), 0.01);
    const double shadow = smithLambda(muL, directionalSigma(light.azimuth, sp, sq)) + 1 +
                          smithLambda(muV, directionalSigma(azimuth(V), sp, sq));
    const double E2 = static_cast<float>(E * E);
    return F * D / (shadow * muV * E2 * E2 * 4);
}

}  // namespace

double fastPower(double base, double exponent) {
    if (!(base > 0)) return 0;
    uint64_t bits;
    std::memcpy(&bits, &base, sizeof bits);
    const int32_t high = static_cast<int32_t>(bits >> 32);
    const double e = std::trunc(exponent * (static_cast<double>(high) - kPowerBias) + kPowerBias);
    // Below zero the true power is far under the smallest double the trick can express.
    if (!(e > 0)) return 0;
    if (e >= 2146435072.0) return HUGE_VAL;
    bits = static_cast<uint64_t>(static_cast<uint32_t>(e)) << 32;
    double result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

void prepareShadingLight(WaterState& s) {
    const V3 L = normalised({s.lightDirection[0], s.lightDirection[1], s.lightDirection[2]});
    s.shadingLight[0] = L.x;
    s.shadingLight[1] = L.y;
    s.shadingLight[2] = L.z;
    s.glitterLightAzimuth = azimuth({L.x, -L.z, L.y});
}

double erfcApprox(double t) { return erfcWith(t, 2 * std::exp(-t * t)); }

double glitterTone(double y) {
    if (y < 1.413) return std::pow(y * 0.38317, 0.45454545454545453);
    return 1 - std::exp(-y);
}

int shadeWater(float (&rgba)[4], const WaterState& s, PixelRecord& rec, int mode) {
    return shadeWaterKeeping(rgba, s, rec, mode, nullptr);
}

int shadeWaterKeeping(float (&rgba)[4], const WaterState& s, PixelRecord& rec, int mode, Highlight* kept) {
    rec.luminance = -99;
    const int k = rec.kind & 7;
    if (k == kKindSimpleWater) {
        for (int i = 0; i < 3; ++i) {
            const float w = s.waterColour[i];
            rgba[i] = (rgba[i] - w) * rec.weight + w;
        }
        return k;
    }
    if (k != kKindComplexWater) return k;

    double C[3];
    for (int i = 0; i < 3; ++i) C[i] = mode == kShadeWhite ? 1.0 : static_cast<double>(rgba[i]);
    const V3 v{rec.viewDirection[0], rec.viewDirection[1], rec.viewDirection[2]};
    const V3 n{rec.hitNormal[0], rec.hitNormal[1], rec.hitNormal[2]};

    // Fresnel: looking straight down shows the water colour, grazing views the reflection.
    const double c = std::max(0.0, -dot(v, n));
    const double P = fastPower(1 - c, 4 - 3.5 * s.brillianceFactor);
    for (int i = 0; i < 3; ++i) C[i] = (C[i] - s.waterColourThird[i]) * P + s.waterColourThird[i];

    // Height tint: crests are lighter.
    const double tint = (rec.hitPoint[1] - s.waveAmplitude) * 0.18 * 0.001;
    // Broad sun sheen on slopes turned to the light.
    const V3 L{s.shadingLight[0], s.shadingLight[1], s.shadingLight[2]};
    const GlitterLight light{{L.x, -L.z, L.y}, s.glitterLightAzimuth};
    const double x = 0.6 + 0.4 * dot(L, n) - 0.92;
    double q = 0;
    if (x > 0) q = x * (0.110237 + x * (4.73301 + x * (133.759 + x * (2798.76 + x * 46240.4))));
    for (int i = 0; i < 3; ++i) C[i] += s.skyTint[i] * tint + s.skyTint[i] * (0.12 * q);

    double highlight;
    if (kept && kept->known) {
        highlight = kept->value;
    } else {
        // The sun's own mirror image.
        const double vn = dot(v, n);
        const V3 R{v.x - 2 * vn * n.x, v.y - 2 * vn * n.y, v.z - 2 * vn * n.z};
        const double t = dot(L, R);
        const double g = t > 0.99 ? 2 : (t > 0.98 ? (t - 0.98) * 100 * 2 : 0);
        const double f = std::clamp(fifthPower(1 - (-vn)) * 0.98 + 0.02, 0.0, 1.0);
        const double sun = (f + 1) * g * 0.5;

        // Glitter from the unresolved wave detail, in its own axis order.
        const V3 gn{n.x, -n.z, n.y};
        const V3 gv{rec.reversedView[0], rec.reversedView[2], rec.reversedView[1]};
        const double G = glitter(light, gv, gn, rec.roughness[0], rec.roughness[1]);
        highlight = (glitterTone(G * 200 * 5) + sun) * 1.8;
        if (kept) *kept = {highlight, true};
    }
    for (int i = 0; i < 3; ++i) C[i] += s.glitterColour[i] * highlight;

    // Contrast, milder for rays close to the horizon.
    double beta = s.brillianceFactor * 0.7 + 0.3;
    if (v.y > -0.05) beta = (1 - v.y / -0.05) * ((beta + 1) * 0.5 - beta) + beta;
    for (double& ch : C) ch = (ch - ch * ch) * beta + ch * ch;

    if (mode == kShadeWhite) {
        rec.kind = kKindComplexWater;
        rec.luminance = static_cast<float>(C[1]) * 0.5899999737739563f + static_cast<float>(C[0]) * 0.30000001192092896f +
                        static_cast<float>(C[2]) * 0.10999999940395355f;
    }
    for (int i = 0; i < 3; ++i) rgba[i] = static_cast<float>(C[i]);
    return k;
}

}  // namespace tw
