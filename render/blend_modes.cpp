// blendPixel: the per-pixel combination of the rendered water (top) with the host pixel
// (bottom) for each of the 69 glue modes.
//
// Most modes work on 15-bit fixed-point channels (1.0 = 32768): a product of two such
// values is shifted right by 15, or by 14 when a factor of 2 is folded in. The hue-based
// modes convert the fixed-point channels to HSL in floats and back; modes 64-67 work on the
// floats directly. The mode is examined once per pixel; each case loops over the channels.
#include "render/blend_modes.h"

#include <algorithm>
#include <cmath>

namespace tw {
namespace {

constexpr int kOne = 32768;
constexpr int kHalf = 16384;
constexpr float kFromFixed = 1.0f / 32768.0f;

// Channels outside 0..1 (highlights can overshoot) and NaN would overflow the integer
// products, so they are pinned to the fixed-point range first.
inline int ToFixed(float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return kOne;
    return int(v * 32768.0f);
}

inline float Clamp01(float v) {
    if (!(v > 0.0f)) return 0.0f;
    return v < 1.0f ? v : 1.0f;
}

inline int Clamp15(int v) { return v < 0 ? 0 : v > kOne ? kOne : v; }
inline int Mul(int a, int b) { return (a * b) >> 15; }
inline int Mul2(int a, int b) { return (a * b) >> 14; }  // 2ab

// The three building blocks of modes 11, 12, 18 and 40-45, on a base b and a light l.
inline int Pin(int b, int l) { return l < kHalf ? std::min(b, 2 * l) : std::max(b, 2 * l - kOne); }
inline int HardLight(int b, int l) {
    return l < kHalf ? Mul2(b, l) : kOne - Mul2(kOne - b, kOne - l);
}
inline int Overlay(int b, int l) {
    return b < kHalf ? Mul2(b, l) : kOne - Mul2(kOne - b, kOne - l);
}

// ---- HSL --------------------------------------------------------------------------------

struct Hsl {
    float h;         // hue as a fraction of the full turn, 0..1
    float s;
    float l;
    float shape[3];  // the channels of the pure hue, 0..1: (c - min) / (max - min)
};

Hsl ToHsl(const int c[3]) {
    const float rgb[3] = {float(c[0]) * kFromFixed, float(c[1]) * kFromFixed,
                          float(c[2]) * kFromFixed};
    const float r = rgb[0], g = rgb[1], b = rgb[2];
    const float hi = std::max({r, g, b}), lo = std::min({r, g, b});
    Hsl out{0, 0, 0, {1, 0, 0}};  // a grey takes hue 0, red
    if (hi <= 0.0f) return out;
    out.l = (hi + lo) * 0.5f;
    const float d = hi - lo;
    if (d <= 0.0f) return out;
    out.s = out.l <= 0.5f ? d / (hi + lo) : d / (2.0f - hi - lo);
    float sixth;
    if (hi == r)
        sixth = (g - b) / d + (g < b ? 6.0f : 0.0f);
    else if (hi == g)
        sixth = (b - r) / d + 2.0f;
    else
        sixth = (r - g) / d + 4.0f;
    out.h = sixth / 6.0f;
    for (int k = 0; k < 3; ++k) out.shape[k] = (rgb[k] - lo) / d;
    return out;
}

// The pure-hue channels of a hue given as a fraction of the turn.
void HueShape(float h, float shape[3]) {
    auto channel = [](float t) {
        t -= std::floor(t);
        if (t < 1.0f / 6.0f) return 6.0f * t;
        if (t < 0.5f) return 1.0f;
        if (t < 2.0f / 3.0f) return (2.0f / 3.0f - t) * 6.0f;
        return 0.0f;
    };
    shape[0] = channel(h + 1.0f / 3.0f);
    shape[1] = channel(h);
    shape[2] = channel(h - 1.0f / 3.0f);
}

// The colour of a hue shape at saturation s and lightness l, as 15-bit channels: every
// channel lies between the smallest value p and the largest q by its share of the shape.
void HslToFixed(const float shape[3], float s, float l, int out[3]) {
    const float q = l < 0.5f ? l * (1.0f + s) : l + s - l * s;
    const float p = 2.0f * l - q;
    for (int k = 0; k < 3; ++k) out[k] = ToFixed(p + (q - p) * shape[k]);
}

// Weighted brightness of a hue at saturation s and lightness one half; its channels run
// from (1 - s) / 2 to (1 + s) / 2.
float HueLuma(const float shape[3], float s) {
    const float pure = 0.28f * shape[0] + 0.52f * shape[1] + 0.2f * shape[2];
    return 0.5f + s * (pure - 0.5f);
}

// The lightness that gives a colour whose hue luma is a the brightness b.
float LumaToLightness(float a, float b) {
    a = Clamp01(a);
    if (b >= 1.0f) return 1.0f;
    if (b <= 0.0f) return 0.0f;
    if (b > a) return (b - a) / (1.0f - a) * 0.5f + 0.5f;
    return b / a * 0.5f;
}

// The brightness of a colour of lightness l whose hue luma is h (inverse of the above).
float LumaOf(float l, float h) {
    return l > 0.5f ? (l - 0.5f) * 2.0f * (1.0f - h) + h : l * 2.0f * h;
}

// Bottom brightness for modes 15, 16 and 59, on the 15-bit values.
inline float Luma15(const int c[3]) {
    return float((77 * c[0] + 150 * c[1] + 28 * c[2]) >> 8) * kFromFixed;
}

inline float Dextrous(float x, float y) {
    if (x < y) return y > 0.0f ? x / (2.0f * y) : 0.0f;
    return x > 0.0f ? 1.0f - y / (2.0f * x) : 0.0f;
}

// Fades from 0 at black and white to 1 at mid lightness.
inline float MidWeight(float l) {
    float k = l <= 0.5f ? 2.0f * l : 2.0f - 2.0f * l;
    float f = 1.0f - k;
    return 1.0f - f * f * f * f;
}

// Modes 60 and 61: a brightness that multiplies the two, pulled back towards the anchor
// layer's own brightness near black and white.
float PulledBrightness(float anchor, float other) {
    float p = anchor * other;
    float t = (2.0f - p) * p;
    if (anchor > 0.8f) t += (anchor - t) * (anchor - 0.8f) * 5.0f;
    if (anchor < 0.2f) t += (anchor - t) * (0.2f - anchor) * 5.0f;
    return Clamp01(t);
}

// ---- Modes that need all three channels at once -------------------------------------------

void BlendHsl(int mode, const int y[3], const int x[3], int r[3]) {
    const Hsl top = ToHsl(y), bottom = ToHsl(x);
    switch (mode) {
        case 15: {  // color
            float l = LumaToLightness(HueLuma(top.shape, top.s), Luma15(x));
            HslToFixed(top.shape, top.s, l, r);
            break;
        }
        case 16: {  // luminance
            float l = LumaToLightness(HueLuma(bottom.shape, bottom.s), Luma15(y));
            HslToFixed(bottom.shape, bottom.s, l, r);
            break;
        }
        case 22: {  // saturation
            float keep = LumaOf(bottom.l, HueLuma(bottom.shape, bottom.s));
            float l = LumaToLightness(HueLuma(bottom.shape, top.s), keep);
            HslToFixed(bottom.shape, top.s, l, r);
            break;
        }
        case 23: {  // hue
            float keep = LumaOf(bottom.l, HueLuma(bottom.shape, bottom.s));
            float l = LumaToLightness(HueLuma(top.shape, bottom.s), keep);
            HslToFixed(top.shape, bottom.s, l, r);
            break;
        }
        case 46:    // wax
        case 47: {  // wane
            float o = MidWeight(top.l) * (mode == 46 ? top.s : 1.0f - top.s);
            int w = ToFixed(o);
            for (int k = 0; k < 3; ++k) r[k] = Mul(x[k], kOne - w) + Mul(y[k], w);
            break;
        }
        case 53: {  // frontal
            constexpr float kTurn = 6.28318530718f;
            float w = MidWeight(bottom.l) * MidWeight(top.l);
            float ta = top.s * std::cos(kTurn * top.h), tb = top.s * std::sin(kTurn * top.h);
            float ba = bottom.s * std::cos(kTurn * bottom.h);
            float bb = bottom.s * std::sin(kTurn * bottom.h);
            float ca = ta + w * (ba - ta), cb = tb + w * (bb - tb);
            float hue = std::atan2(cb, ca) / kTurn;
            if (hue < 0.0f) hue += 1.0f;
            float shape[3];
            HueShape(hue, shape);
            float sat = std::min(1.0f, std::sqrt(ca * ca + cb * cb));
            HslToFixed(shape, sat, std::min(top.l, bottom.l), r);
            break;
        }
        case 59: {  // sinister
            float h = HueLuma(top.shape, top.s);
            float l = LumaToLightness(h, Dextrous(Luma15(x), LumaOf(top.l, h)));
            HslToFixed(top.shape, top.s, l, r);
            break;
        }
        case 60: {  // anterior
            float ht = HueLuma(top.shape, top.s);
            float mt = LumaOf(top.l, ht), mb = LumaOf(bottom.l, HueLuma(bottom.shape, bottom.s));
            HslToFixed(top.shape, top.s, LumaToLightness(ht, PulledBrightness(mt, mb)), r);
            break;
        }
        case 61: {  // posterior
            float hb = HueLuma(bottom.shape, bottom.s);
            float mt = LumaOf(top.l, HueLuma(top.shape, top.s)), mb = LumaOf(bottom.l, hb);
            HslToFixed(bottom.shape, bottom.s, LumaToLightness(hb, PulledBrightness(mb, mt)), r);
            break;
        }
        default:
            std::copy(y, y + 3, r);
            break;
    }
}

void BlendOpponent(int mode, const int y[3], const int x[3], int r[3]) {
    int t[3], b[3], o[3];
    rgbToOpponent(y, t);
    rgbToOpponent(x, b);
    switch (mode) {
        case 54:  // parietal
            o[0] = Mul(b[0], t[0]);
            o[1] = Overlay(b[1], t[1]);
            o[2] = Overlay(b[2], t[2]);
            break;
        case 55:  // temporal
            o[0] = kOne - Mul(kOne - b[0], kOne - t[0]);
            o[1] = Overlay(b[1], t[1]);
            o[2] = Overlay(b[2], t[2]);
            break;
        case 56:  // occipital
            o[0] = Pin(b[0], t[0]);
            o[1] = Pin(b[1], t[1]);
            o[2] = t[2];
            break;
        default:  // 57 limbic
            o[0] = Pin(t[0], b[0]);
            o[1] = Pin(t[1], b[1]);
            o[2] = t[2];
            break;
    }
    for (int k = 0; k < 3; ++k) o[k] = Clamp15(o[k]);
    opponentToRgb(o, r);
}

// ---- Per-channel fixed-point modes --------------------------------------------------------

template <typename F>
inline void EachChannel(const int y[3], const int x[3], int r[3], F f) {
    for (int k = 0; k < 3; ++k) r[k] = Clamp15(f(y[k], x[k]));
}

int VividA(int y, int x) {
    // Works in 8-bit steps.
    int t = std::min(255, (y + 1) / 128);
    int b = std::min(255, (x + 1) / 128);
    int v = t > 127 ? b * 256 / (511 - 2 * t) : (b * 256 - 65280) / (2 * t + 1) + 255;
    if (v < 0) return 0;
    if (v < 255) return v * 128 + v / 2;
    return kOne;
}

int SoftLight(int y, int x) {
    if (y < kHalf) return Mul2(x, y) + Mul(Mul(x, x), kOne - 2 * y);
    // The upper half works in 8-bit steps.
    int t = y / 128;
    int rest = 255 - x / 128;
    return (255 - ((t - 130) * (rest * rest / 256) + (258 - t) * rest) / 128) * 128;
}

int Superlay(int y, int x) {
    int q = kOne - Mul(x, y);
    int a = q * q;  // (1 - xy)^2 on the 2^30 scale
    int s = Mul(kOne - x, kOne - y);
    int s2 = Mul(s, s);
    if (a < 0x20008000) return kOne - Mul2(a >> 15, s2);
    return Mul2(kOne - s2, kOne - (a >> 15));
}

int Dodge(int y, int x) {
    if (y >= kOne) return kOne;
    return int(std::min<int64_t>(kOne, int64_t(x) * kOne / (kOne - y)));
}

int Burn(int y, int x) {
    return int(std::max<int64_t>(0, kOne + int64_t(x - kOne) * kOne / (y + 1)));
}

int DextrousFixed(int y, int x) {
    if (x < y) return x * kHalf / y;
    return x > 0 ? kOne - y * kHalf / x : 0;
}

// ---- Float modes 64-67 --------------------------------------------------------------------

inline float Glow(float y, float x) {
    if (x >= 1.0f) return 1.0f;
    return std::min(1.0f, y * y / (1.0f - x));
}

inline float Shimmer(float y, float x) {
    if (x >= 1.0f) return 1.0f;
    float r = y * y * 0.5f / (1.0f - x);
    return r > 0.5f ? 1.0f - 0.25f / r : r;
}

template <typename F>
inline void EachFloat(const float* top, const float* bottom, float* out, F f) {
    for (int k = 0; k < 3; ++k) out[k] = f(Clamp01(top[k]), Clamp01(bottom[k]));
}

// Modes 64-67 on the float channels.
void BlendFloat(int mode, const float* top, const float* bottom, float* out) {
    switch (mode) {
        case 64: EachFloat(top, bottom, out, [](float y, float x) { return Glow(y, x); }); break;
        case 65: EachFloat(top, bottom, out, [](float y, float x) { return Glow(x, y); }); break;
        case 66: EachFloat(top, bottom, out, [](float y, float x) { return Shimmer(y, x); }); break;
        default: EachFloat(top, bottom, out, [](float y, float x) { return Shimmer(x, y); }); break;
    }
}

// Mode 63: the top's colour at full strength, its brightness becoming alpha.
void Starbright(const float* top, float* out) {
    float c[3];
    for (int k = 0; k < 3; ++k) c[k] = top[k] > 0.0f ? top[k] : 0.0f;  // also drops NaN
    float t = std::min(1.0f, std::max({c[0], c[1], c[2]}));
    if (!(t > 0.0f)) {
        out[0] = out[1] = out[2] = out[3] = 0.0f;
        return;
    }
    for (int k = 0; k < 3; ++k) out[k] = c[k] / t;
    out[3] = t;
}

// Everything between 2 and 62 and 68, 69: combine the 15-bit channels into r.
void BlendFixed(int mode, const int* ty, const int* bx, int* r) {
    switch (mode) {
        case 2:  // procedural +
            EachChannel(ty, bx, r, [](int y, int x) {
                return x < kHalf ? Mul(x, y) + Mul(x, kOne - x) : Mul(y, kOne - x) + Mul(x, x);
            });
            break;
        case 3:  // procedural -
            EachChannel(ty, bx, r, [](int y, int x) { return y + Mul(x, y); });
            break;
        case 4:   // difference
        case 14:  // exclusion
            EachChannel(ty, bx, r, [](int y, int x) { return Mul(kOne - y, x) + Mul(kOne - x, y); });
            break;
        case 5: EachChannel(ty, bx, r, [](int y, int x) { return std::max(x, y); }); break;
        case 6: EachChannel(ty, bx, r, [](int y, int x) { return std::min(x, y); }); break;
        case 7: EachChannel(ty, bx, r, [](int y, int x) { return y + x; }); break;
        case 8: EachChannel(ty, bx, r, [](int y, int x) { return y - x; }); break;
        case 9: EachChannel(ty, bx, r, [](int y, int x) { return Mul(x, y); }); break;
        case 10: EachChannel(ty, bx, r, [](int y, int x) { return y + Mul(kOne - y, x); }); break;
        case 11: EachChannel(ty, bx, r, [](int y, int x) { return HardLight(x, y); }); break;
        case 12: EachChannel(ty, bx, r, [](int y, int x) { return Overlay(x, y); }); break;
        case 13: EachChannel(ty, bx, r, Superlay); break;
        case 17: EachChannel(ty, bx, r, [](int y, int x) { return x + 2 * y - kOne; }); break;
        case 18: EachChannel(ty, bx, r, [](int y, int x) { return Pin(x, y); }); break;
        case 19: EachChannel(ty, bx, r, [](int y, int x) { return Pin(y, x); }); break;
        case 20: EachChannel(ty, bx, r, VividA); break;
        case 21: EachChannel(ty, bx, r, [](int y, int x) { return 2 * y - x; }); break;
        case 24:  // similarity
            EachChannel(ty, bx, r, [](int y, int x) { return kOne - std::abs(y + x - kOne); });
            break;
        case 25:  // cross
            EachChannel(ty, bx, r, [](int y, int x) {
                int dy = y - kHalf, dx = x - kHalf;
                return kOne - (std::abs(dy * dy - dx * dx) >> 13);
            });
            break;
        case 26: EachChannel(ty, bx, r, [](int y, int x) { return std::abs(y - x); }); break;
        case 27: EachChannel(ty, bx, r, SoftLight); break;
        case 28:    // bright
        case 29: {  // dim
            // Compared at 8-bit precision; a tie keeps the top.
            int top = (77 * ty[0] + 150 * ty[1] + 28 * ty[2]) >> 8;
            int bottom = (77 * bx[0] + 150 * bx[1] + 28 * bx[2]) >> 8;
            bool take_bottom = mode == 28 ? bottom > top : bottom < top;
            std::copy(take_bottom ? bx : ty, (take_bottom ? bx : ty) + 3, r);
            break;
        }
        case 30: EachChannel(ty, bx, r, Dodge); break;
        case 31: EachChannel(ty, bx, r, Burn); break;
        case 32: EachChannel(ty, bx, r, [](int y, int x) { return Mul(kOne - y, x) + Mul(y, y); }); break;
        case 33: EachChannel(ty, bx, r, [](int y, int x) { return Mul(x, y - x + kOne); }); break;
        case 34: EachChannel(ty, bx, r, [](int y, int x) { return Mul(y, x - y + kOne); }); break;
        case 35: EachChannel(ty, bx, r, [](int y, int x) { return Mul(kOne - x, y) + Mul(x, x); }); break;
        case 36: EachChannel(ty, bx, r, [](int y, int x) { return y & x; }); break;
        case 37: EachChannel(ty, bx, r, [](int y, int x) { return y | x; }); break;
        case 38: EachChannel(ty, bx, r, [](int y, int x) { return y ^ x; }); break;
        case 39:  // multibright
            EachChannel(ty, bx, r, [](int y, int x) {
                int p = Mul(x, y);
                return Mul(2 * kOne - p, p);
            });
            break;
        case 40:  // hot
            EachChannel(ty, bx, r, [](int y, int x) { return Pin(Pin(kOne - y, x), Pin(y, x)); });
            break;
        case 41:  // cold
            EachChannel(ty, bx, r, [](int y, int x) { return Pin(Pin(kOne - x, y), Pin(x, y)); });
            break;
        case 42:  // wet
            EachChannel(ty, bx, r, [](int y, int x) {
                return Pin(kOne - HardLight(kOne - x, y), Overlay(x, y));
            });
            break;
        case 43:  // dry
            EachChannel(ty, bx, r, [](int y, int x) { return Pin(HardLight(x, y), Overlay(x, kOne - y)); });
            break;
        case 44: EachChannel(ty, bx, r, [](int y, int x) { return Pin(Overlay(x, y), HardLight(x, y)); }); break;
        case 45: EachChannel(ty, bx, r, [](int y, int x) { return Pin(HardLight(x, y), Overlay(x, y)); }); break;
        case 48:  // north
            r[0] = Mul(kOne - ty[1], ty[0]) + Mul(ty[1], bx[0]);
            r[1] = Mul(ty[2], bx[1]) + Mul(ty[1], kOne - ty[2]);
            r[2] = Mul(kOne - ty[0], ty[2]) + Mul(ty[0], bx[2]);
            break;
        case 49:  // south
            r[0] = Mul(ty[0], kOne - ty[2]) + Mul(bx[0], ty[2]);
            r[1] = Mul(ty[0], bx[1]) + Mul(kOne - ty[0], ty[1]);
            r[2] = Mul(kOne - ty[1], ty[2]) + Mul(ty[1], bx[2]);
            break;
        case 50:  // east
            r[0] = Mul(kOne - bx[1], ty[0]) + Mul(bx[0], bx[1]);
            r[1] = Mul(kOne - bx[2], ty[1]) + Mul(bx[1], bx[2]);
            r[2] = Mul(kOne - bx[0], ty[2]) + Mul(bx[0], bx[2]);
            break;
        case 51:  // west
            r[0] = Mul(kOne - bx[2], ty[0]) + Mul(bx[0], bx[2]);
            r[1] = Mul(kOne - bx[0], ty[1]) + Mul(bx[1], bx[0]);
            r[2] = Mul(bx[2], bx[1]) + Mul(ty[2], kOne - bx[1]);
            break;
        case 52: EachChannel(ty, bx, r, [](int y, int x) { return y + x <= kOne ? 0 : kOne; }); break;
        case 54:
        case 55:
        case 56:
        case 57: BlendOpponent(mode, ty, bx, r); break;
        case 58: EachChannel(ty, bx, r, DextrousFixed); break;
        case 62:  // screendim
            EachChannel(ty, bx, r, [](int y, int x) {
                int s = kOne - Mul(kOne - x, kOne - y);
                return Mul(s, s);
            });
            break;
        case 68:  // negation
            EachChannel(ty, bx, r, [](int y, int x) { return y + x <= kOne ? y + x : 2 * kOne - y - x; });
            break;
        case 69:  // contrast negate
            EachChannel(ty, bx, r, [](int y, int x) {
                int folded = y > kHalf ? kOne - y : y;
                return x <= kHalf ? kOne - folded : folded;
            });
            break;
        default:  // the hue-based modes
            BlendHsl(mode, ty, bx, r);
            break;
    }
    for (int k = 0; k < 3; ++k) r[k] = Clamp15(r[k]);
}

}  // namespace

void blendPixel(const float top[4], const float bottom[4], float out[4], int mode) {
    // Copy first: out may be the same array as top or bottom.
    const float t[4] = {top[0], top[1], top[2], top[3]};
    const float b[3] = {bottom[0], bottom[1], bottom[2]};
    if (mode <= 1 || mode > kLastBlendMode) {
        std::copy(t, t + 4, out);
        return;
    }
    if (mode == 63) {
        Starbright(t, out);
        return;
    }
    out[3] = t[3];
    if (mode >= 64 && mode <= 67) {
        BlendFloat(mode, t, b, out);
        return;
    }
    int y[3], x[3], r[3];
    for (int k = 0; k < 3; ++k) {
        y[k] = ToFixed(t[k]);
        x[k] = ToFixed(b[k]);
    }
    BlendFixed(mode, y, x, r);
    for (int k = 0; k < 3; ++k) out[k] = float(r[k]) * kFromFixed;
}

}  // namespace tw
