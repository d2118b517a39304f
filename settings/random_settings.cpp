#include "settings/random_settings.h"

#include <algorithm>
#include <cmath>

#include "platform/platform.h"

namespace tw {

int RandomInt(int lo, int hi) {
    if (hi <= lo) return lo;
    // The smallest all-ones mask that covers the span; draws past hi are thrown back.
    unsigned mask = 0;
    while (mask < static_cast<unsigned>(hi - lo)) mask = mask * 2 + 1;
    int v;
    do {
        v = lo + static_cast<int>((static_cast<unsigned>(platform::Random()) >> 4) & mask);
    } while (v > hi);
    return v;
}

double RandomFraction() { return (platform::Random() % 1000) * 0.001; }

RgbFraction HsvToRgb(double h, double s, double v) {
    const double H = h * 6.0;
    int k = static_cast<int>(H);
    const double f = H - k;
    if (k >= 6) k = 0;
    double c[3];
    switch (k) {
        case 0: c[0] = 1, c[1] = f, c[2] = 0; break;
        case 1: c[0] = 1 - f, c[1] = 1, c[2] = 0; break;
        case 2: c[0] = 0, c[1] = 1, c[2] = f; break;
        case 3: c[0] = 0, c[1] = 1 - f, c[2] = 1; break;
        case 4: c[0] = f, c[1] = 0, c[2] = 1; break;
        default: c[0] = 1, c[1] = 0, c[2] = 1 - f; break;
    }
    // Desaturate toward the brightest channel, then scale so the brightest is v.
    const double top = std::max({c[0], c[1], c[2]});
    for (double& x : c) x = top + (x - top) * s;
    const double peak = std::max({c[0], c[1], c[2]});
    if (peak <= 0) return {0, 0, 0};
    return {c[0] / peak * v, c[1] / peak * v, c[2] / peak * v};
}

RgbFraction HslToRgb(double h, double s, double l) {
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    if (m2 <= 0) return {0, 0, 0};
    const double m1 = 2 * l - m2;
    const double H = h * 6.0;
    int k = static_cast<int>(H);  // toward zero, so f is negative for a negative hue
    const double f = H - k;
    if (k > 5) k = 0;
    if (k < 0) k = 5;
    const double V = m2 - m1;
    switch (k) {
        case 0: return {m2, m1 + V * f, m1};
        case 1: return {m2 - V * f, m2, m1};
        case 2: return {m1, m2, m1 + V * f};
        case 3: return {m1, m2 - V * f, m2};
        case 4: return {m1 + V * f, m1, m2};
        default: return {m2, m1, m2 - V * f};
    }
}

void RgbToHsl(const RgbFraction& c, double& h, double& s, double& l) {
    const double top = std::max({c.r, c.g, c.b}), bottom = std::min({c.r, c.g, c.b});
    const double span = top - bottom;
    l = (top + bottom) / 2;
    h = s = 0;
    if (span <= 0) return;  // grey: no hue
    s = l <= 0.5 ? span / (top + bottom) : span / (2 - top - bottom);
    if (top == c.r)
        h = (c.g - c.b) / span;
    else if (top == c.g)
        h = 2 + (c.b - c.r) / span;
    else
        h = 4 + (c.r - c.g) / span;
    h /= 6;
    if (h < 0) h += 1;
}

uint16_t ChannelToWord(double c) {
    if (!(c > 0)) return 0;
    if (c >= 1) return 65535;
    return static_cast<uint16_t>(c * 65535.0);
}

namespace {

Rgb16 ToRgb16(const RgbFraction& c) { return {ChannelToWord(c.r), ChannelToWord(c.g), ChannelToWord(c.b)}; }

// Draws three fractions in the order hue, saturation, value.
struct HsvDraw {
    double h, s, v;
};
HsvDraw DrawHsv() {
    HsvDraw d;
    d.h = RandomFraction();
    d.s = RandomFraction();
    d.v = RandomFraction();
    return d;
}

}  // namespace

void RandomizeSettings(RenderParams& p) {
    auto slider = [](int lo, int hi) { return static_cast<float>(RandomInt(lo, hi)); };
    auto product = [](int hi) {
        const int a = RandomInt(0, hi);
        return (a * RandomInt(0, hi)) / 100;
    };
    p.waviness = slider(10, 70);
    p.complexity = slider(0, 60);
    p.brilliance = slider(30, 60);
    p.blur = static_cast<float>(product(70));
    p.perspective = slider(20, 80);
    p.altitude = slider(1, 90);
    const bool complex = p.style == kStyleComplex;
    if (complex) {
        // The complex model looks best with more detail, less blur and a lower viewpoint.
        p.complexity = slider(10, 90);
        p.brilliance = slider(20, 80);
        p.blur = static_cast<float>(product(80));
        p.blur = static_cast<float>(RandomInt(0, 80)) * p.blur / 100.0f;
        p.altitude = slider(1, 50);
    }
    p.size = slider(20, 100);
    p.height = slider(0, 60);
    p.undulation = slider(3, 80);
    p.seed = platform::Random() & 0x7ff;

    if (complex) {
        // Dark blue-green water with pale, warm glitter.
        const HsvDraw water = DrawHsv();
        p.color = ToRgb16(HsvToRgb((water.h - 0.5) * 0.35 + 0.55, water.s * 0.5 + 0.2, water.v * 0.2 + 0.1));
        const HsvDraw glitter = DrawHsv();
        p.glitter_color = ToRgb16(HsvToRgb(glitter.h / 12 + 1.0 / 12, glitter.s * 0.4, glitter.v * 0.5 + 0.5));
        return;
    }
    // Variations of one dark blue, black more often than not.
    double h0, s0, l0;
    RgbToHsl({0.04, 0.05, 0.21}, h0, s0, l0);
    const int a = RandomInt(0, 100), b = RandomInt(0, 100), c = RandomInt(0, 100), d = RandomInt(0, 100);
    if (d > 40) {
        p.color = Rgb16{0, 0, 0};
        return;
    }
    p.color = ToRgb16(HslToRgb(h0 + (a - 50) * 0.05, b * 0.01 * s0, c * 0.02 * l0));
}

}  // namespace tw
