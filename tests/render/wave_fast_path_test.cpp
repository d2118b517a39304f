// The wave surface's fast paths (folded hash tables, paired crest evaluation) against a
// plain evaluation written straight from the formulas: the results must agree bit for bit,
// or renders would change with the speed work.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "render/noise.h"
#include "render/water_state.h"
#include "render_test_util.h"

namespace tw {
namespace {

// Gradient noise with the three chained permutation reads and the library floor.
template <typename Fade>
float plainNoise(const NoiseTables& t, float x, float y, Fade fade) {
    const float flx = std::floor(x), fly = std::floor(y);
    const int X = static_cast<int>(static_cast<int64_t>(flx) & 255);
    const int Y = static_cast<int>(static_cast<int64_t>(fly) & 255);
    const float fx = x - flx, fy = y - fly;
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

TEST(WaveFastPath, LanesMatchOnePointAtATimeWithTheirOwnWeights) {
    RenderParams p = testing::plainParams(kStyleComplex);
    p.seed = 321;
    testing::StateFixture f;
    f.setup(p, 1920, 1080);
    WaterState& s = f.state;
    // Every lane its own weights, including switched-off octaves, so a kernel that shares
    // one lane's weights or skips an octave for all lanes fails.
    double weights[kWaveLanes][5];
    for (int i = 0; i < kWaveLanes; ++i)
        for (int k = 0; k < 5; ++k) weights[i][k] = (i + k) % 4 == 3 ? 0.0 : 0.2 + 0.1 * ((i * 5 + k) % 9);
    for (uint32_t round = 0; round < 600; ++round) {
        const double range = round < 200 ? 20.0 : (round < 400 ? 5.0e4 : 1.0e16);
        WaveLanes lanes;
        lanes.count = 1 + static_cast<int>(round % kWaveLanes);
        for (int i = 0; i < kWaveLanes; ++i) {
            const uint32_t n = round * kWaveLanes + static_cast<uint32_t>(i);
            lanes.x[i] = scatter(3 * n, range);
            lanes.z[i] = std::fabs(scatter(3 * n + 1, range));
            lanes.y[i] = scatter(3 * n + 2, 1.5);
            lanes.weight[i] = weights[i];
        }
        for (int octaves : {4, 5}) {
            double out[kWaveLanes];
            waveHeightLanes(s, lanes, octaves, out);
            for (int i = 0; i < lanes.count; ++i) {
                for (int k = 0; k < 5; ++k) s.octaveWeight[k] = weights[i][k];
                const double one = plainWaveHeight(lanes.x[i], lanes.y[i], lanes.z[i], s, octaves);
                if (std::isnan(one)) ASSERT_TRUE(std::isnan(out[i]));
                else ASSERT_EQ(out[i], one) << "lane " << i << " of " << lanes.count << ", octaves " << octaves;
            }
        }
    }
}

}  // namespace
}  // namespace tw
