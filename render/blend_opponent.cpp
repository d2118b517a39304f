// The opponent colour space of the "parietal", "temporal", "occipital" and "limbic" modes:
// channel 1 a lightness, channels 2 and 3 two opponent-colour axes centred on byte 128.
//
// The space is defined by a smooth per-channel lightening curve followed by a map that is
// linear on each of the six tetrahedra of the RGB cube that share the black-white diagonal
// (the same split as tetrahedral interpolation uses). The eight cube corners are placed by
// hand: greys stay on the axis (a = b = 128), the primaries and secondaries sit around it in
// hue order, so every tetrahedron keeps its orientation and the map is one-to-one.
// The inverse undoes the linear pieces exactly and the curve by solving a quadratic; points
// outside the gamut are clipped by clamping the recovered channels.
//
// Both 16x16x16 tables are computed at compile time; nothing is built at run time.
#include <array>
#include <utility>

#include "render/blend_modes.h"

namespace tw {
namespace {

constexpr int kGrid = 16;
constexpr int kTableBytes = kGrid * kGrid * kGrid * 3;
constexpr int kStride[3] = {3, 3 * kGrid, 3 * kGrid * kGrid};

struct Opp {
    double l, a, b;  // byte units: lightness 0..255, opponent axes centred on 128
};

// Corner placements. Black, white, the greys, red, green, blue and yellow are the fixed
// reference points of the space; cyan and magenta are ours, chosen between their
// neighbours' hue angles so that the six pieces fit together without folding.
constexpr Opp kBlack{0, 128, 128};
constexpr Opp kWhite{255, 128, 128};
constexpr Opp kRed{144, 208, 208};
constexpr Opp kGreen{214, 51, 207};
constexpr Opp kBlue{104, 158, 33};
constexpr Opp kYellow{243, 119, 222};
constexpr Opp kCyan{226, 68, 108};
constexpr Opp kMagenta{165, 218, 78};

constexpr Opp kPrimary[3] = {kRed, kGreen, kBlue};

// The corner lit by two channels (0 red, 1 green, 2 blue).
constexpr Opp Secondary(int c1, int c2) {
    int mask = (1 << c1) | (1 << c2);
    return mask == 3 ? kYellow : mask == 6 ? kCyan : kMagenta;
}

// Lightening curve c(1 + k(1 - c)): fixed at 0 and 1, and k is chosen so that the grey 8/15
// lands on lightness 163. A quadratic keeps its slope finite at black, which keeps the
// interpolation error of the 16-step grid small there.
constexpr double kCurve = (163.0 / 255.0 / (8.0 / 15.0) - 1.0) / (7.0 / 15.0);

constexpr double Curve(double c) { return c * (1.0 + kCurve * (1.0 - c)); }

constexpr double Sqrt(double v) {
    if (v <= 0) return 0;
    double x = v < 1 ? 1 : v;
    for (int i = 0; i < 60; ++i) x = 0.5 * (x + v / x);
    return x;
}

// The root of k c^2 - (1 + k) c + u = 0 that lies in 0..1.
constexpr double CurveInverse(double u) {
    double p = 1.0 + kCurve;
    return (p - Sqrt(p * p - 4.0 * kCurve * u)) / (2.0 * kCurve);
}

constexpr uint8_t ToByte(double v) {
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return uint8_t(int(v + 0.5));
}

// Curved channel values u (0..1) to the opponent space, linear inside each tetrahedron.
constexpr Opp Forward(const double u[3]) {
    int order[3] = {0, 1, 2};  // channels by falling value
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2 - i; ++j)
            if (u[order[j]] < u[order[j + 1]]) {
                int t = order[j];
                order[j] = order[j + 1];
                order[j + 1] = t;
            }
    double hi = u[order[0]], mid = u[order[1]], lo = u[order[2]];
    Opp p = kPrimary[order[0]];
    Opp s = Secondary(order[0], order[1]);
    double w[4] = {1 - hi, hi - mid, mid - lo, lo};
    return {w[0] * kBlack.l + w[1] * p.l + w[2] * s.l + w[3] * kWhite.l,
            w[0] * kBlack.a + w[1] * p.a + w[2] * s.a + w[3] * kWhite.a,
            w[0] * kBlack.b + w[1] * p.b + w[2] * s.b + w[3] * kWhite.b};
}

// The opponent point back to RGB (0..1), clipped to the gamut.
constexpr void Inverse(const Opp& q, double rgb[3]) {
    double qa = q.a - 128, qb = q.b - 128;
    // Find the tetrahedron whose hue wedge holds (a, b): the one where the point is a
    // non-negative mix of its primary and secondary corner.
    for (int first = 0; first < 3; ++first) {
        for (int second = 0; second < 3; ++second) {
            if (second == first) continue;
            Opp p = kPrimary[first];
            Opp s = Secondary(first, second);
            double pa = p.a - 128, pb = p.b - 128, sa = s.a - 128, sb = s.b - 128;
            double det = pa * sb - pb * sa;
            double alpha = (qa * sb - qb * sa) / det;
            double beta = (pa * qb - pb * qa) / det;
            const double slack = -1e-9;  // points on a shared face belong to both wedges
            if (alpha < slack || beta < slack) continue;
            double gamma = (q.l - alpha * p.l - beta * s.l) / 255.0;
            double u[3] = {};
            int third = 3 - first - second;
            u[first] = alpha + beta + gamma;
            u[second] = beta + gamma;
            u[third] = gamma;
            for (int c = 0; c < 3; ++c) {
                double v = u[c] < 0 ? 0 : u[c] > 1 ? 1 : u[c];
                rgb[c] = CurveInverse(v);
            }
            return;
        }
    }
    for (int c = 0; c < 3; ++c) rgb[c] = 0;  // not reached: the wedges cover every hue
}

constexpr std::array<uint8_t, kTableBytes> BuildForward() {
    std::array<uint8_t, kTableBytes> table{};
    for (int i3 = 0; i3 < kGrid; ++i3)
        for (int i2 = 0; i2 < kGrid; ++i2)
            for (int i1 = 0; i1 < kGrid; ++i1) {
                double u[3] = {Curve(i1 / 15.0), Curve(i2 / 15.0), Curve(i3 / 15.0)};
                Opp q = Forward(u);
                int at = i1 * kStride[0] + i2 * kStride[1] + i3 * kStride[2];
                table[size_t(at)] = ToByte(q.l);
                table[size_t(at + 1)] = ToByte(q.a);
                table[size_t(at + 2)] = ToByte(q.b);
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
                double rgb[3] = {};
                Inverse({17.0 * i1, 17.0 * i2, 17.0 * i3}, rgb);
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
