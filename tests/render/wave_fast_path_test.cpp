// The wave surface's fast paths (folded hash tables, paired crest evaluation) against a
// plain evaluation written straight from the formulas: the results must agree bit for bit,
// or renders would change with the speed work.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "render/noise.h"
#include "render/water_state.h"
#include "render_test_util.h"

namespace tw {
namespace {

// The lattice cell of a floor: floors too large for an integer, and non-finite ones, are cell 0.
int plainCell(float floored) {
    return std::fabs(floored) < 1e18f ? static_cast<int>(static_cast<int64_t>(floored) & 255) : 0;
}

// Gradient noise with the three chained permutation reads and the library floor. An
// infinite or NaN coordinate leaves a non-finite fraction, which counts as 0.
template <typename Fade>
float plainNoise(const NoiseTables& t, float x, float y, Fade fade) {
    const float flx = std::floor(x), fly = std::floor(y);
    const int X = plainCell(flx), Y = plainCell(fly);
    const float fx = std::isfinite(x - flx) ? x - flx : 0.0f, fy = std::isfinite(y - fly) ? y - fly : 0.0f;
    const int32_t* p = t.perm;
    const int h00 = p[p[p[X] + Y]] & 15, h01 = p[p[p[X] + Y + 1]] & 15;
    const int h10 = p[p[p[X + 1] + Y]] & 15, h11 = p[p[p[X + 1] + Y + 1]] & 15;
    const float g00 = t.gradX[h00] * fx + t.gradY[h00] * fy;
    const float g10 = t.gradX[h10] * (fx - 1) + t.gradY[h10] * fy;
    const float g01 = t.gradX[h01] * fx + t.gradY[h01] * (fy - 1);
    const float g11 = t.gradX[h11] * (fx - 1) + t.gradY[h11] * (fy - 1);
    const float sx = fade(fx), sy = fade(fy);
    const float a = g00 + (g10 - g00) * sx;
    const float b = g01 + (g11 - g01) * sx;
    return a + (b - a) * sy;
}
float plainCubic(const NoiseTables& t, float x, float y) {
    return plainNoise(t, x, y, [](float s) { return (3.0f - 2.0f * s) * s * s; });
}
float plainQuintic(const NoiseTables& t, float x, float y) {
    return plainNoise(t, x, y, [](float s) { return ((6.0f * s - 15.0f) * s + 10.0f) * s * s * s; });
}

// The height field octave by octave, through the one-crest bumpShape and the plain noise.
double plainWaveHeight(double x, double y, double z, const WaterState& s, int octaves) {
    double px = 0.75 * x, pz = z, qx = 0.73 * x, qz = z;
    const double shift = s.seed * 0.17 * 0.8;
    double g = 0.16, a = s.waveAmplitude, sum = 0;
    for (int k = 0; k < octaves; ++k) {
        if (s.octaveWeight[k] != 0) {
            double bx = (px + shift) * g, bz = (pz + shift) * g;
            double cx = (qx - shift) * g, cz = (qz - shift) * g;
            const double nb = plainCubic(*s.noise, static_cast<float>(bx), static_cast<float>(bz));
            const double nc = plainCubic(*s.noise, static_cast<float>(cx), static_cast<float>(cz));
            bx += nb;
            bz += nb;
            cx += nc;
            cz += nc;
            const double u = bumpShape(bx, bz, static_cast<float>(s.sharpness[k])) * s.shapeScale[k] + s.shapeOffset[k];
            const double v = bumpShape(cx, cz, static_cast<float>(s.sharpness[k])) * s.shapeScale[k] + s.shapeOffset[k];
            sum += (u + v) * a * s.octaveWeight[k];
        }
        const double npx = 1.6 * px - 1.2 * pz, npz = 1.6 * pz + 1.2 * px;
        const double nqx = 1.35 * qz - 1.45 * qx, nqz = -1.35 * qx - 1.45 * qz;
        px = npx;
        pz = npz;
        qx = nqx;
        qz = nqz;
        g *= 1.9;
        a *= s.octaveGain;
    }
    return y - (static_cast<float>(rippleHeight(x, z, s)) + sum);
}

// Points from a fixed integer hash, spread over small, negative and very large values.
double scatter(uint32_t i, double range) {
    uint32_t h = i * 0x9E3779B9u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return (static_cast<double>(h) / 4294967296.0 - 0.5) * 2 * range;
}

TEST(WaveFastPath, NoiseMatchesThePlainLookupsForEverySeedClass) {
    NoiseTables t;
    for (int seed : {0, 1, 255, 256, 1000, 2047}) {
        buildNoiseTables(t, seed);
        for (uint32_t i = 0; i < 4000; ++i) {
            const double range = i < 2000 ? 300.0 : 3.0e6;  // cells wrap every 256
            const float x = static_cast<float>(scatter(2 * i, range)), y = static_cast<float>(scatter(2 * i + 1, range));
            ASSERT_EQ(gradientNoiseCubic(t, x, y), plainCubic(t, x, y)) << "seed " << seed << " at " << x << ", " << y;
            ASSERT_EQ(gradientNoiseQuintic(t, x, y), plainQuintic(t, x, y)) << "seed " << seed;
        }
    }
}

// The wide kernels read a cell's four hashes from one entry; each must be the hash the
// chained permutation reads give for that corner, in the order the kernels unpack them.
TEST(WaveFastPath, CellCornersHoldTheChainedHashesOfEveryCell) {
    NoiseTables t;
    for (int seed : {0, 1, 255, 256, 1000, 2047}) {
        buildNoiseTables(t, seed);
        const int32_t* p = t.perm;
        int mismatches = 0;
        for (int X = 0; X < 256; ++X)
            for (int Y = 0; Y < 256; ++Y) {
                const int h00 = p[p[p[X] + Y]] & 15, h01 = p[p[p[X] + Y + 1]] & 15;
                const int h10 = p[p[p[X + 1] + Y]] & 15, h11 = p[p[p[X + 1] + Y + 1]] & 15;
                const int entry = t.cellCorners[X << 8 | Y];
                mismatches += entry != (h00 | h01 << 4 | h10 << 8 | h11 << 12);
            }
        EXPECT_EQ(mismatches, 0) << "seed " << seed;
    }
}

TEST(WaveFastPath, HeightFieldMatchesTheOctaveByOctaveSum) {
    for (int seed : {0, 7, 1999}) {
        RenderParams p = testing::plainParams(kStyleComplex);
        p.seed = seed;
        testing::StateFixture f;
        f.setup(p, 1920, 1080);
        WaterState& s = f.state;
        // Per-pixel weights as the footprint filter leaves them, one octave switched off.
        const double weights[5] = {1.0, 0.93, 0.6, 0.0, 0.21};
        for (int k = 0; k < 5; ++k) s.octaveWeight[k] = weights[k];
        for (uint32_t i = 0; i < 3000; ++i) {
            // Near water, far water, and distances where the domains exceed 2^51.
            const double range = i < 1000 ? 20.0 : (i < 2000 ? 5.0e4 : 1.0e16);
            const double x = scatter(3 * i, range), z = std::fabs(scatter(3 * i + 1, range));
            const double y = scatter(3 * i + 2, 1.5);
            for (int octaves : {4, 5}) {
                const double plain = plainWaveHeight(x, y, z, s, octaves);
                // Both the widest path this processor takes and the 128-bit one.
                for (double fast : {waveHeight(x, y, z, s, octaves), waveHeightNarrow(x, y, z, s, octaves)}) {
                    if (std::isnan(plain)) ASSERT_TRUE(std::isnan(fast));
                    else ASSERT_EQ(fast, plain) << "seed " << seed << " at " << x << ", " << z << ", octaves " << octaves;
                }
            }
        }
    }
}

// The lanes kernels this processor can run, the plain one included.
std::vector<WaveLanesPath> runnablePaths() {
    std::vector<WaveLanesPath> paths;
    for (WaveLanesPath path : {WaveLanesPath::kPlain, WaveLanesPath::kAvx2, WaveLanesPath::kAvx512})
        if (waveLanesPathSupported(path)) paths.push_back(path);
    return paths;
}
const char* pathName(WaveLanesPath path) {
    return path == WaveLanesPath::kAvx512 ? "avx512" : path == WaveLanesPath::kAvx2 ? "avx2" : "plain";
}

uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Runs every kernel on `lanes` and compares each used lane with the reference for its own
// weights: the same bits, or NaN where the reference is NaN. Lanes beyond the count must
// be left as they were. Returns how many used lanes had a reference that is not NaN.
int expectLanesMatch(WaterState& s, const WaveLanes& lanes, const double (*weights)[5], int octaves,
                     const std::string& what) {
    int numbers = 0;
    for (WaveLanesPath path : runnablePaths()) {
        double out[kWaveLanes];
        for (double& o : out) o = -12345.0;
        waveHeightLanesOn(path, s, lanes, octaves, out);
        for (int i = 0; i < kWaveLanes; ++i) {
            if (i >= lanes.count) {
                EXPECT_EQ(out[i], -12345.0) << pathName(path) << " wrote unused lane " << i << ", " << what;
                continue;
            }
            for (int k = 0; k < 5; ++k) s.octaveWeight[k] = weights[i][k];
            const double one = plainWaveHeight(lanes.x[i], lanes.y[i], lanes.z[i], s, octaves);
            if (std::isnan(one)) {
                EXPECT_TRUE(std::isnan(out[i])) << pathName(path) << " lane " << i << ", " << what;
            } else {
                numbers += path == WaveLanesPath::kPlain;
                EXPECT_EQ(bitsOf(out[i]), bitsOf(one))
                    << pathName(path) << " lane " << i << " of " << lanes.count << " gives " << out[i] << " not " << one
                    << " at " << lanes.x[i] << ", " << lanes.z[i] << ", octaves " << octaves << ", " << what;
            }
        }
    }
    return numbers;
}

struct LanesFixture {
    testing::StateFixture f;
    double weights[kWaveLanes][5];
    explicit LanesFixture(int seed, float pickY = 0.2f) {
        RenderParams p = testing::plainParams(kStyleComplex);
        p.seed = seed;
        p.pick_y = pickY;
        f.setup(p, 1920, 1080);
        // Every lane its own weights, including switched-off octaves, so a kernel that
        // shares one lane's weights or skips an octave for all lanes fails.
        for (int i = 0; i < kWaveLanes; ++i)
            for (int k = 0; k < 5; ++k) weights[i][k] = (i + k) % 4 == 3 ? 0.0 : 0.2 + 0.1 * ((i * 5 + k) % 9);
    }
    WaveLanes lanes(int count) const {
        WaveLanes l;
        l.count = count;
        for (int i = 0; i < kWaveLanes; ++i) {
            l.x[i] = l.y[i] = l.z[i] = 0;
            l.weight[i] = weights[i];
        }
        return l;
    }
};

TEST(WaveFastPath, EveryProcessorHasThePlainLanesKernel) {
    ASSERT_TRUE(waveLanesPathSupported(WaveLanesPath::kPlain));
    // The chosen kernel must be one of the runnable ones: its answers equal the plain ones.
    LanesFixture fx(5);
    WaveLanes l = fx.lanes(kWaveLanes);
    for (int i = 0; i < kWaveLanes; ++i) {
        l.x[i] = scatter(7 * i, 30.0);
        l.z[i] = std::fabs(scatter(7 * i + 1, 30.0));
    }
    double chosen[kWaveLanes], plain[kWaveLanes];
    waveHeightLanes(fx.f.state, l, 5, chosen);
    waveHeightLanesOn(WaveLanesPath::kPlain, fx.f.state, l, 5, plain);
    for (int i = 0; i < kWaveLanes; ++i) EXPECT_EQ(bitsOf(chosen[i]), bitsOf(plain[i])) << "lane " << i;
}

TEST(WaveFastPath, LanesMatchOnePointAtATimeWithTheirOwnWeights) {
    LanesFixture fx(321);
    for (uint32_t round = 0; round < 600; ++round) {
        const double range = round < 200 ? 20.0 : (round < 400 ? 5.0e4 : 1.0e16);
        WaveLanes lanes = fx.lanes(1 + static_cast<int>(round % kWaveLanes));
        for (int i = 0; i < kWaveLanes; ++i) {
            const uint32_t n = round * kWaveLanes + static_cast<uint32_t>(i);
            lanes.x[i] = scatter(3 * n, range);
            lanes.z[i] = std::fabs(scatter(3 * n + 1, range));
            lanes.y[i] = scatter(3 * n + 2, 1.5);
        }
        for (int octaves : {4, 5}) {
            expectLanesMatch(fx.f.state, lanes, fx.weights, octaves, "round " + std::to_string(round));
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(WaveFastPath, LanesMixInRangeAndOutOfRangeCoordinates) {
    // Neighbouring lanes on both sides of every limit a rounding trick would have: domains
    // beyond 2^22 in float, crest arguments beyond 2^51 in double, coordinates that are
    // infinite once narrowed to float, and plain near water.
    const double magnitudes[] = {3.0, 9.0e5, 3.0e7, 2.0e8, 7.0e15, 4.0e17, 1.0e19, 3.0e38, 1.0e39, 1.0e300};
    for (int seed : {0, 1234}) {
        LanesFixture fx(seed);
        for (uint32_t round = 0; round < 200; ++round) {
            WaveLanes lanes = fx.lanes(round < 100 ? kWaveLanes : 1 + static_cast<int>(round % kWaveLanes));
            for (int i = 0; i < kWaveLanes; ++i) {
                const uint32_t n = round * kWaveLanes + static_cast<uint32_t>(i);
                const double m = magnitudes[(n * 7 + round) % 10];
                const double near = scatter(5 * n, 15.0);
                lanes.x[i] = (n % 3 == 0) ? near : scatter(5 * n + 1, m);
                lanes.z[i] = (n % 3 == 1) ? std::fabs(near) : std::fabs(scatter(5 * n + 2, m));
                lanes.y[i] = scatter(5 * n + 3, 1.0);
            }
            for (int octaves : {4, 5})
                expectLanesMatch(fx.f.state, lanes, fx.weights, octaves, "seed " + std::to_string(seed));
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(WaveFastPath, LanesGiveNaNExactlyWhereOnePointAtATimeDoes) {
    LanesFixture fx(77);
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const double odd[] = {nan, inf, -inf, -0.0, 0.0, 1.0e308, -1.0e308, 5.0e-324};
    int finite = 0;
    for (uint32_t round = 0; round < 64; ++round) {
        WaveLanes lanes = fx.lanes(kWaveLanes);
        for (int i = 0; i < kWaveLanes; ++i) {
            const uint32_t n = round * kWaveLanes + static_cast<uint32_t>(i);
            lanes.x[i] = scatter(4 * n, 12.0);
            lanes.z[i] = std::fabs(scatter(4 * n + 1, 12.0));
            lanes.y[i] = scatter(4 * n + 2, 1.0);
            // One coordinate of some lanes odd; the others stay ordinary next to them.
            const double v = odd[(n + round) % 8];
            switch ((n * 3 + round) % 5) {
                case 0: lanes.x[i] = v; break;
                case 1: lanes.z[i] = v; break;
                case 2: lanes.y[i] = v; break;
                default: break;
            }
        }
        finite += expectLanesMatch(fx.f.state, lanes, fx.weights, 4 + static_cast<int>(round % 2), "round " + std::to_string(round));
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GT(finite, 100);  // the odd lanes must not spoil their neighbours
    // A non-finite weight poisons only its own lane, and only when its octave counts.
    double weights[kWaveLanes][5];
    std::memcpy(weights, fx.weights, sizeof weights);
    weights[2][1] = nan;
    weights[5][0] = inf;
    weights[6][4] = nan;  // the fifth octave: NaN at 5 octaves, ignored at 4
    WaveLanes lanes = fx.lanes(kWaveLanes);
    for (int i = 0; i < kWaveLanes; ++i) {
        lanes.x[i] = scatter(9 * i, 12.0);
        lanes.z[i] = std::fabs(scatter(9 * i + 1, 12.0));
        lanes.weight[i] = weights[i];
    }
    EXPECT_EQ(expectLanesMatch(fx.f.state, lanes, weights, 4, "weights"), 7);
    EXPECT_EQ(expectLanesMatch(fx.f.state, lanes, weights, 5, "weights"), 6);
}

// Points whose first-octave noise falls in the cells at the lattice's wrap, (255, 255) among
// them, where the wide kernels' hash reads reach past the last table entry.
TEST(WaveFastPath, LanesAtTheLatticeWrapMatch) {
    for (int seed : {3, 1500}) {
        LanesFixture fx(seed);
        const WaterState& s = fx.f.state;
        const double shift = s.seed * 0.17 * 0.8;
        // Cells -1 and 255 are the same cell; 0 and 256 too.
        const double cells[kWaveLanes][2] = {{-1, -1}, {255, 255}, {-1, 0}, {0, -1}, {255, 256}, {-257, -1}, {0, 0}, {511, 767}};
        for (double fraction : {0.5, 0.03, 0.97}) {
            WaveLanes lanes = fx.lanes(kWaveLanes);
            for (int i = 0; i < kWaveLanes; ++i) {
                // The first octave's P domain is ((0.75 x + shift) 0.16, (z + shift) 0.16).
                lanes.x[i] = ((cells[i][0] + fraction) / 0.16 - shift) / 0.75;
                lanes.z[i] = (cells[i][1] + fraction) / 0.16 - shift;
                lanes.y[i] = 0.1 * i;
                const float px = static_cast<float>((0.75 * lanes.x[i] + shift) * 0.16);
                const float pz = static_cast<float>((lanes.z[i] + shift) * 0.16);
                ASSERT_EQ(std::floor(px), cells[i][0]) << "lane " << i;
                ASSERT_EQ(std::floor(pz), cells[i][1]) << "lane " << i;
            }
            for (int octaves : {1, 4, 5})
                expectLanesMatch(fx.f.state, lanes, fx.weights, octaves, "seed " + std::to_string(seed));
        }
    }
}

TEST(WaveFastPath, LanesInsideTheRipplesMatch) {
    LanesFixture fx(902, 0.8f);  // the marker low in the picture, on the water
    WaterState& s = fx.f.state;
    ASSERT_GT(s.rippleRadius, 0);
    ASSERT_NE(s.rippleHeight, 0);
    int rippled = 0;
    for (uint32_t round = 0; round < 300; ++round) {
        WaveLanes lanes = fx.lanes(1 + static_cast<int>(round % kWaveLanes));
        for (int i = 0; i < kWaveLanes; ++i) {
            const uint32_t n = round * kWaveLanes + static_cast<uint32_t>(i);
            // Around the ripple centres, some lanes inside the ring and some outside.
            lanes.x[i] = s.rippleCentreWorld[0] + scatter(3 * n, 0.8 * s.rippleRadius);
            lanes.z[i] = s.rippleCentreWorld[2] + scatter(3 * n + 1, 0.8 * s.rippleRadius);
            lanes.y[i] = scatter(3 * n + 2, 0.5);
            rippled += i < lanes.count && rippleHeight(lanes.x[i], lanes.z[i], s) != 0;
        }
        for (int octaves : {4, 5}) expectLanesMatch(s, lanes, fx.weights, octaves, "round " + std::to_string(round));
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GT(rippled, 300);  // the ripple sum really was exercised
    // One lane among the ripples and the rest far from them, in every position: a kernel
    // that decides from some of the lanes whether any ripple is near loses that lane's.
    for (int inside = 0; inside < kWaveLanes; ++inside) {
        WaveLanes lanes = fx.lanes(kWaveLanes);
        for (int i = 0; i < kWaveLanes; ++i) {
            const double away = i == inside ? 0.0 : 40.0 * s.rippleRadius;
            lanes.x[i] = s.rippleCentreWorld[0] + 0.05 * s.rippleRadius * i + away;
            lanes.z[i] = s.rippleCentreWorld[2] + 0.03 * s.rippleRadius;
            lanes.y[i] = 0.1;
        }
        ASSERT_NE(rippleHeight(lanes.x[inside], lanes.z[inside], s), 0);
        expectLanesMatch(s, lanes, fx.weights, 4, "only lane " + std::to_string(inside) + " among the ripples");
    }
}

TEST(WaveFastPath, LanesAroundTheRippleRingsMatch) {
    LanesFixture fx(44, 0.8f);
    WaterState& s = fx.f.state;
    ASSERT_GT(s.rippleRadius, 0);
    const double R = s.rippleRadius;
    // Whole batches at one distance from the marker's world point, swept from inside the
    // rings to well beyond them along x, along z and diagonally: a kernel that gives up on
    // the ripples for a batch too early loses the ones at the rims.
    int rippled = 0;
    for (int step = 0; step < 300; ++step) {
        const double distance = R * (0.6 + 0.02 * step);
        for (int axis = 0; axis < 3; ++axis) {
            WaveLanes lanes = fx.lanes(kWaveLanes);
            for (int i = 0; i < kWaveLanes; ++i) {
                const double spread = 0.02 * R * (i - 3.5), side = i % 2 ? -1.0 : 1.0;
                const double along = side * distance, across = spread;
                lanes.x[i] = s.rippleCentreWorld[0] + (axis == 1 ? across : along);
                lanes.z[i] = s.rippleCentreWorld[2] + (axis == 0 ? across : along);
                lanes.y[i] = 0.2;
                rippled += rippleHeight(lanes.x[i], lanes.z[i], s) != 0;
            }
            expectLanesMatch(s, lanes, fx.weights, 4, "distance " + std::to_string(distance / R) + " radii");
            if (::testing::Test::HasFailure()) return;
        }
    }
    EXPECT_GT(rippled, 50);
}

TEST(WaveFastPath, LanesAtSignedZerosMatch) {
    // Seed 0 has no domain shift, so -0 coordinates reach the floors as -0.
    LanesFixture fx(0);
    WaveLanes lanes = fx.lanes(kWaveLanes);
    const double zeros[kWaveLanes][2] = {{-0.0, -0.0}, {0.0, -0.0}, {-0.0, 0.0}, {0.0, 0.0},
                                         {-1e-300, -0.0}, {-0.0, -1e-300}, {-1e-40, 1e-40}, {-2.0, -0.0}};
    for (int i = 0; i < kWaveLanes; ++i) {
        lanes.x[i] = zeros[i][0];
        lanes.z[i] = zeros[i][1];
        lanes.y[i] = i % 2 ? -0.0 : 0.0;
    }
    for (int octaves : {0, 1, 4, 5}) EXPECT_EQ(expectLanesMatch(fx.f.state, lanes, fx.weights, octaves, "zeros"), kWaveLanes);
}

TEST(WaveFastPath, LanesWithoutPointsOrOctavesTouchNothing) {
    LanesFixture fx(3);
    WaveLanes lanes = fx.lanes(0);
    for (WaveLanesPath path : runnablePaths()) {
        double out[kWaveLanes];
        for (double& o : out) o = 7.5;
        waveHeightLanesOn(path, fx.f.state, lanes, 5, out);
        for (double o : out) EXPECT_EQ(o, 7.5) << pathName(path);
    }
    // No octaves leaves y minus the ripples.
    lanes = fx.lanes(kWaveLanes);
    for (int i = 0; i < kWaveLanes; ++i) {
        lanes.x[i] = scatter(2 * i, 10.0);
        lanes.z[i] = std::fabs(scatter(2 * i + 1, 10.0));
        lanes.y[i] = 0.25 * i;
    }
    EXPECT_EQ(expectLanesMatch(fx.f.state, lanes, fx.weights, 0, "no octaves"), kWaveLanes);
}

}  // namespace
}  // namespace tw
