// The opponent colour space of the "parietal", "temporal", "occipital" and "limbic" modes:
// channel 1 a lightness, channels 2 and 3 two opponent-colour axes centred on byte 128.
//
// The space is built like the familiar perceptual spaces: each RGB channel passes a
// darkening curve, the three are mixed into three cone-like responses, each response is
// compressed by a power law with a straight toe, and a last linear step forms lightness and
// the red-green and yellow-blue differences. Every step is smooth and one-to-one, so the
// space has no crease at the grey axis for the coarse grid to smear. The constants were
// solved so that black, white, the grey 8/15 and the four reference primaries land exactly
// on their fixed byte values.
//
// The inverse undoes each step in turn; grid points outside the gamut have their curved
// channels clamped, and the points next to the grey axis lose chroma near black and white
// (see BuildInverse).
//
// Both 16x16x16 tables are computed at compile time; nothing is built at run time.
#include <algorithm>
#include <array>
#include <utility>

#include "render/blend_modes.h"

namespace tw {
namespace {

constexpr int kGrid = 16;
constexpr int kTableBytes = kGrid * kGrid * kGrid * 3;
constexpr int kStride[3] = {3, 3 * kGrid, 3 * kGrid * kGrid};

// ---- Compile-time arithmetic --------------------------------------------------------------

constexpr double kLn2 = 0.69314718055994530942;

constexpr double Sqrt(double v) {
    if (v <= 0) return 0;
    double x = v < 1 ? 1 : v;
    for (int i = 0; i < 100; ++i) {
        double next = 0.5 * (x + v / x);
        if (next >= x) break;  // Newton's iterates fall monotonically onto the root
        x = next;
    }
    return x;
}

constexpr double Log(double v) {  // v > 0
    int exponent = 0;
    while (v >= 2) { v *= 0.5; ++exponent; }
    while (v < 1) { v *= 2; --exponent; }
    // ln v = 2 atanh((v - 1) / (v + 1)), the argument at most 1/3 here.
    double z = (v - 1) / (v + 1), z2 = z * z, term = z, sum = 0;
    for (int n = 1; n < 60; n += 2) {
        sum += term / n;
        term *= z2;
    }
    return 2 * sum + exponent * kLn2;
}

constexpr double Exp(double v) {
    int halvings = 0;
    while (v > 0.5 || v < -0.5) { v *= 0.5; ++halvings; }
    double term = 1, sum = 1;
    for (int n = 1; n < 25; ++n) {
        term *= v / n;
        sum += term;
    }
    for (int i = 0; i < halvings; ++i) sum *= sum;
    return sum;
}

constexpr double Pow(double base, double exponent) {
    return base <= 0 ? 0 : Exp(exponent * Log(base));
}

struct Mat3 {
    double m[3][3];
};

constexpr Mat3 Inverted(const Mat3& a) {
    Mat3 out{};
    double det = 0;
    for (int j = 0; j < 3; ++j)
        det += a.m[0][j] * (a.m[1][(j + 1) % 3] * a.m[2][(j + 2) % 3] -
                            a.m[1][(j + 2) % 3] * a.m[2][(j + 1) % 3]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            out.m[i][j] = (a.m[(j + 1) % 3][(i + 1) % 3] * a.m[(j + 2) % 3][(i + 2) % 3] -
                           a.m[(j + 1) % 3][(i + 2) % 3] * a.m[(j + 2) % 3][(i + 1) % 3]) /
                          det;
    return out;
}

constexpr void Apply(const Mat3& a, const double in[3], double out[3]) {
    for (int i = 0; i < 3; ++i) out[i] = a.m[i][0] * in[0] + a.m[i][1] * in[1] + a.m[i][2] * in[2];
}

// ---- The space ----------------------------------------------------------------------------

// Darkening curve c(1 + k(1 - c)), fixed at 0 and 1, one-to-one for |k| < 1.
constexpr double kCurve = -0.84613835150917149;

constexpr double Curve(double c) { return c * (1.0 + kCurve * (1.0 - c)); }

// The root of k c^2 - (1 + k) c + u = 0 that lies in 0..1.
constexpr double CurveInverse(double u) {
    double p = 1.0 + kCurve;
    return (p - Sqrt(p * p - 4.0 * kCurve * u)) / (2.0 * kCurve);
}

// Cone-like responses from the curved channels; each row adds up to 1 so that greys give
// three equal responses.
constexpr Mat3 kMix = {{{0.49196135941132968, 0.34607137036680896, 0.1619672702218613},
                        {0.23149638544391751, 0.65703597324687624, 0.11146764130920625},
                        {0.0096324960940712412, 0.10601169322040423, 0.88435581068552449}}};
constexpr Mat3 kUnmix = Inverted(kMix);

// Response compression: v^(1/p) above the knee, a straight line of the same value and slope
// below it (a pure power would be infinitely steep at black), rescaled to run 0..1.
constexpr double kPower = 3.0603560735358704;
constexpr double kKnee = 0.008856;
constexpr double kKneeValue = Pow(kKnee, 1.0 / kPower);
constexpr double kKneeSlope = kKneeValue / (kPower * kKnee);
constexpr double kToeAtZero = kKneeValue - kKneeSlope * kKnee;

constexpr double Compress(double v) {
    double f = v > kKnee ? Pow(v, 1.0 / kPower) : kKneeValue + kKneeSlope * (v - kKnee);
    return (f - kToeAtZero) / (1.0 - kToeAtZero);
}

constexpr double Expand(double w) {
    double f = w * (1.0 - kToeAtZero) + kToeAtZero;
    return f > kKneeValue ? Pow(f, kPower) : kKnee + (f - kKneeValue) / kKneeSlope;
}

// Lightness (bytes) and the two opponent axes (bytes from 128) from the compressed
// responses. The lightness row adds up to 1 and the opponent rows to 0, so greys stay on
// the axis and white reaches 255.
constexpr Mat3 kOpponent = {{{255 * 0.049617308032480927, 255 * 0.94715276756320477,
                              255 * 0.0032299244043143948},
                             {397.87627184699625, -398.85320013207121, 0.97692828507496188},
                             {-2.1185710933009139, 174.04603318022805, -171.92746208692714}}};
constexpr Mat3 kFromOpponent = Inverted(kOpponent);

constexpr void Forward(const double rgb[3], double opp[3]) {
    double u[3] = {Curve(rgb[0]), Curve(rgb[1]), Curve(rgb[2])};
    double v[3] = {};
    Apply(kMix, u, v);
    double w[3] = {Compress(v[0]), Compress(v[1]), Compress(v[2])};
    Apply(kOpponent, w, opp);
    opp[1] += 128;
    opp[2] += 128;
}

// The curved channels of an opponent point; outside the gamut some leave 0..1.
constexpr void CurvedChannels(double l, double a, double b, double u[3]) {
    double q[3] = {l, a - 128, b - 128}, w[3] = {};
    Apply(kFromOpponent, q, w);
    double v[3] = {Expand(w[0]), Expand(w[1]), Expand(w[2])};
    Apply(kUnmix, v, u);
}

// An opponent point back to RGB (0..1), clamped to the gamut.
constexpr void Inverse(double l, double a, double b, double rgb[3]) {
    double u[3] = {};
    CurvedChannels(l, a, b, u);
    for (int c = 0; c < 3; ++c) rgb[c] = CurveInverse(std::clamp(u[c], 0.0, 1.0));
}

constexpr uint8_t ToByte(double v) {
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return uint8_t(int(v + 0.5));
}

constexpr std::array<uint8_t, kTableBytes> BuildForward() {
    std::array<uint8_t, kTableBytes> table{};
    for (int i3 = 0; i3 < kGrid; ++i3)
        for (int i2 = 0; i2 < kGrid; ++i2)
            for (int i1 = 0; i1 < kGrid; ++i1) {
                double rgb[3] = {i1 / 15.0, i2 / 15.0, i3 / 15.0}, opp[3] = {};
                Forward(rgb, opp);
                int at = i1 * kStride[0] + i2 * kStride[1] + i3 * kStride[2];
                for (int c = 0; c < 3; ++c) table[size_t(at + c)] = ToByte(opp[c]);
            }
    return table;
}

// Inverse grid point i stands for the opponent byte 17 i, the value the forward conversion
// gives as i / 15 of full scale.
constexpr std::array<uint8_t, kTableBytes> BuildInverse() {
    std::array<uint8_t, kTableBytes> table{};
    for (int i3 = 0; i3 < kGrid; ++i3)
        for (int i2 = 0; i2 < kGrid; ++i2)
            for (int i1 = 0; i1 < kGrid; ++i1) {
                // Greys are interpolated from the four columns around the grey axis alone
                // (byte 128 lies between grid points 7 and 8), with uneven weights. Near
                // white the gamut is so narrow that the exact colours of those points would
                // tint the light greys by up to 13 steps, so their chroma fades out over the
                // top 51 lightness steps, and at black, where the gamut is a point, too.
                const double l = 17.0 * i1;
                double chroma = 1.0;
                if ((i2 == 7 || i2 == 8) && (i3 == 7 || i3 == 8))
                    chroma = std::min({1.0, (255.0 - l) / 51.0, l / 17.0});
                double rgb[3] = {};
                Inverse(l, 128 + (17.0 * i2 - 128) * chroma, 128 + (17.0 * i3 - 128) * chroma, rgb);
                int at = i1 * kStride[0] + i2 * kStride[1] + i3 * kStride[2];
                for (int c = 0; c < 3; ++c) table[size_t(at + c)] = ToByte(rgb[c] * 255.0);
            }
    return table;
}

constexpr std::array<uint8_t, kTableBytes> kForwardTable = BuildForward();
constexpr std::array<uint8_t, kTableBytes> kInverseTable = BuildInverse();

constexpr bool Holds(const std::array<uint8_t, kTableBytes>& t, int i1, int i2, int i3, int v1,
                     int v2, int v3) {
    int at = i1 * kStride[0] + i2 * kStride[1] + i3 * kStride[2];
    return t[size_t(at)] == v1 && t[size_t(at + 1)] == v2 && t[size_t(at + 2)] == v3;
}
static_assert(Holds(kForwardTable, 0, 0, 0, 0, 128, 128));
static_assert(Holds(kForwardTable, 15, 15, 15, 255, 128, 128));
static_assert(Holds(kForwardTable, 8, 8, 8, 163, 128, 128));
static_assert(Holds(kForwardTable, 15, 0, 0, 144, 208, 208));
static_assert(Holds(kForwardTable, 0, 15, 0, 214, 51, 207));
static_assert(Holds(kForwardTable, 0, 0, 15, 104, 158, 33));
static_assert(Holds(kForwardTable, 15, 15, 0, 243, 119, 222));

// The grid step is 32768 / 15; the weights of a cell add up to 2185, so a byte sum divided
// by 17 puts byte 255 at (just over) 32768 and byte 128 near one half.
constexpr int kStepWeight = 2185;

void Interpolate(const std::array<uint8_t, kTableBytes>& table, const int in[3], int out[3]) {
    int base = 0;
    int rem[3];
    for (int c = 0; c < 3; ++c) {
        int v = in[c] < 0 ? 0 : in[c] > 32768 ? 32768 : in[c];
        // Cell index at most 14, so the far corner of the cell is always inside the grid;
        // full scale lands on the last cell with the largest remainder instead.
        int index = (v * 15) >> 15;
        if (index > 14) index = 14;
        rem[c] = (v * 15 - index * 32768) / 15;
        base += index * kStride[c];
    }
    // Walk the tetrahedron from the base corner along the axes by falling remainder.
    int a0 = 0, a1 = 1, a2 = 2;
    if (rem[a0] < rem[a1]) std::swap(a0, a1);
    if (rem[a1] < rem[a2]) std::swap(a1, a2);
    if (rem[a0] < rem[a1]) std::swap(a0, a1);
    const int p0 = base;
    const int p1 = p0 + kStride[a0];
    const int p2 = p1 + kStride[a1];
    const int p3 = p2 + kStride[a2];
    const int w0 = kStepWeight - rem[a0];
    const int w1 = rem[a0] - rem[a1];
    const int w2 = rem[a1] - rem[a2];
    const int w3 = rem[a2];
    const uint8_t* t = table.data();
    for (int k = 0; k < 3; ++k) {
        int sum = w0 * t[p0 + k] + w1 * t[p1 + k] + w2 * t[p2 + k] + w3 * t[p3 + k];
        int v = sum / 17;
        out[k] = v > 32768 ? 32768 : v;
    }
}

void Entry(const std::array<uint8_t, kTableBytes>& table, int i1, int i2, int i3,
           uint8_t out[3]) {
    auto clampIndex = [](int i) { return i < 0 ? 0 : i > 15 ? 15 : i; };
    int at = clampIndex(i1) * kStride[0] + clampIndex(i2) * kStride[1] +
             clampIndex(i3) * kStride[2];
    for (int k = 0; k < 3; ++k) out[k] = table[size_t(at + k)];
}

}  // namespace

void rgbToOpponent(const int rgb[3], int opp[3]) { Interpolate(kForwardTable, rgb, opp); }

void opponentToRgb(const int opp[3], int rgb[3]) { Interpolate(kInverseTable, opp, rgb); }

void opponentForwardEntry(int i1, int i2, int i3, uint8_t out[3]) {
    Entry(kForwardTable, i1, i2, i3, out);
}

void opponentInverseEntry(int i1, int i2, int i3, uint8_t out[3]) {
    Entry(kInverseTable, i1, i2, i3, out);
}

}  // namespace tw
