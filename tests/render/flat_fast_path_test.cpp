// The Simple style's fast paths: the batch of quintic noise its displacement takes in wide
// lanes, and the displacement built on it, against one point at a time and against the
// octave-by-octave sum written straight from the formula. They must agree bit for bit, or
// Simple renders would change with the speed work.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "render/noise.h"

namespace tw {
namespace {

std::vector<WaveLanesPath> runnablePaths() {
    std::vector<WaveLanesPath> paths;
    for (WaveLanesPath path : {WaveLanesPath::kPlain, WaveLanesPath::kAvx2, WaveLanesPath::kAvx512})
        if (waveLanesPathSupported(path)) paths.push_back(path);
    return paths;
}
const char* pathName(WaveLanesPath path) {
    return path == WaveLanesPath::kAvx512 ? "avx512" : path == WaveLanesPath::kAvx2 ? "avx2" : "plain";
}

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Points from a fixed integer hash, spread over -range..range.
float scatter(uint32_t i, double range) {
    uint32_t h = i * 0x9E3779B9u + 0x1234567u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return static_cast<float>((static_cast<double>(h) / 4294967296.0 - 0.5) * 2 * range);
}

// Every kernel on the batch: each used point the bits of gradientNoiseQuintic, and the
// slots beyond the count untouched.
void expectBatchMatches(const NoiseTables& t, const float* x, const float* y, int count, const std::string& what) {
    for (WaveLanesPath path : runnablePaths()) {
        float out[kNoiseBatch + 2];
        for (float& o : out) o = -777.0f;
        quinticNoiseBatchOn(path, t, x, y, count, out);
        for (int i = 0; i < kNoiseBatch + 2; ++i) {
            if (i >= count) {
                EXPECT_EQ(out[i], -777.0f) << pathName(path) << " wrote slot " << i << " of " << count << ", " << what;
                continue;
            }
            const float one = gradientNoiseQuintic(t, x[i], y[i]);
            EXPECT_EQ(bitsOf(out[i]), bitsOf(one)) << pathName(path) << " point " << i << " of " << count << " at "
                                                   << x[i] << ", " << y[i] << " gives " << out[i] << " not " << one
                                                   << ", " << what;
        }
    }
}

TEST(FlatFastPath, NoiseBatchesMatchOnePointAtATimeForEveryCount) {
    NoiseTables t;
    for (int seed : {0, 255, 1841, 2047}) {
        buildNoiseTables(t, seed);
        for (uint32_t round = 0; round < 400; ++round) {
            // Near the origin, across many cells, and where floats are whole numbers.
            const double range = round < 150 ? 40.0 : round < 300 ? 3.0e4 : 5.0e7;
            float x[kNoiseBatch], y[kNoiseBatch];
            for (int i = 0; i < kNoiseBatch; ++i) {
                x[i] = scatter(round * 64 + 2 * i, range);
                y[i] = scatter(round * 64 + 2 * i + 1, range);
            }
            expectBatchMatches(t, x, y, 1 + static_cast<int>(round % kNoiseBatch), "seed " + std::to_string(seed));
            if (::testing::Test::HasFailure()) return;
        }
    }
}

TEST(FlatFastPath, NoiseBatchesKeepOddCoordinatesToTheirOwnPoints) {
    NoiseTables t;
    buildNoiseTables(t, 600);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    // Signed zeros and values just below whole numbers (whose floors must not round up),
    // the lattice wrap, floats beyond the 32-bit and 64-bit integer ranges, and non-finite.
    const float odd[] = {-0.0f, 0.0f, -1.0f, 255.0f, 256.0f, -256.5f, 0.99999994f, -0.99999994f, -1e-30f,
                         3.0e9f, -3.0e9f, 5.0e18f, 2.0e38f, inf, -inf, nan};
    constexpr int kOdd = sizeof odd / sizeof odd[0];
    for (uint32_t round = 0; round < 96; ++round) {
        float x[kNoiseBatch], y[kNoiseBatch];
        for (int i = 0; i < kNoiseBatch; ++i) {
            const uint32_t n = round * kNoiseBatch + static_cast<uint32_t>(i);
            x[i] = scatter(2 * n, 20.0);
            y[i] = scatter(2 * n + 1, 20.0);
            if (n % 3 == 0) x[i] = odd[(n / 3 + round) % kOdd];
            if (n % 5 == 1) y[i] = odd[(n / 5 + 2 * round) % kOdd];
        }
        expectBatchMatches(t, x, y, round < 48 ? kNoiseBatch : 1 + static_cast<int>(round % kNoiseBatch),
                           "round " + std::to_string(round));
        if (::testing::Test::HasFailure()) return;
    }
    // Every cell of the lattice's last column and row, where the hash read reaches the end
    // of the table.
    for (int edge = 0; edge < 256; edge += kNoiseBatch) {
        float x[kNoiseBatch], y[kNoiseBatch];
        for (int i = 0; i < kNoiseBatch; ++i) {
            x[i] = 255.5f;
            y[i] = static_cast<float>(edge + i) + 0.25f;
        }
        expectBatchMatches(t, x, y, kNoiseBatch, "column 255");
        expectBatchMatches(t, y, x, kNoiseBatch, "row 255");
    }
}

// The displacement written straight from its formula, one noise call at a time.
Displacement plainDisplacement(const NoiseTables& t, float x, float z, float octaves) {
    if (!(octaves >= 1.0f)) octaves = 1.0f;
    if (octaves > 8.0f) octaves = 8.0f;
    constexpr float c = 0.7771459f, s = 0.6293203f;
    float dx = 0, dz = 0, a = x, b = z;
    for (int i = 1; static_cast<float>(i) < octaves; ++i) {
        dx += gradientNoiseQuintic(t, c * a - s * b, s * a + c * b);
        a += 25.0764f;
        b += 723.453f;
        dz += gradientNoiseQuintic(t, c * a - s * b, s * a + c * b);
        b = (b + 65.81998f) * 1.7134f;
        a = (a + 44.8452f) * 1.7134f;
    }
    const float f = octaves - std::floor(octaves);
    if (f > 0) {
        dx += gradientNoiseQuintic(t, a, b) * f;
        dz += gradientNoiseQuintic(t, a + 13.0764f, b + 623.453f) * f;
    }
    return {dx, dz};
}

TEST(FlatFastPath, DisplacementMatchesTheOctaveByOctaveSumOnEveryPath) {
    NoiseTables t;
    buildNoiseTables(t, 1841);
    // Every octave count the sliders give (whole and fractional, the 16-point maximum among
    // them) and hostile ones that must be clamped alike.
    const float counts[] = {1.01f, 1.5f, 2.0f, 3.37f, 5.0f, 6.2f, 7.0f, 7.01f, 7.99f, 8.0f, 1e9f, 0.5f, -3.0f,
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    for (float octaves : counts) {
        for (uint32_t i = 0; i < 300; ++i) {
            const double range = i < 200 ? 60.0 : 4.0e6;
            const float x = scatter(2 * i, range), z = scatter(2 * i + 1, range);
            const Displacement plain = plainDisplacement(t, x, z, octaves);
            const Displacement chosen = flatDisplacement(t, x, z, octaves);
            ASSERT_EQ(bitsOf(chosen.dx), bitsOf(plain.dx)) << "octaves " << octaves << " at " << x << ", " << z;
            ASSERT_EQ(bitsOf(chosen.dz), bitsOf(plain.dz)) << "octaves " << octaves << " at " << x << ", " << z;
            for (WaveLanesPath path : runnablePaths()) {
                const Displacement d = flatDisplacementOn(path, t, x, z, octaves);
                ASSERT_EQ(bitsOf(d.dx), bitsOf(plain.dx)) << pathName(path) << ", octaves " << octaves;
                ASSERT_EQ(bitsOf(d.dz), bitsOf(plain.dz)) << pathName(path) << ", octaves " << octaves;
            }
        }
    }
}

// Several positions side by side, each lane with its own position: every kernel gives each
// the bits of the displacement taken alone, whatever the count, and leaves the slots
// beyond the count alone.
TEST(FlatFastPath, DisplacementLanesMatchOnePositionAtATime) {
    NoiseTables t;
    buildNoiseTables(t, 77);
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (float octaves : {1.01f, 2.0f, 4.5f, 7.01f, 8.0f, 50.0f, -1.0f}) {
        for (uint32_t round = 0; round < 120; ++round) {
            const double range = round < 60 ? 80.0 : 2.0e6;
            const int count = 1 + static_cast<int>(round % kWaveLanes);
            float x[kWaveLanes], z[kWaveLanes];
            for (int i = 0; i < kWaveLanes; ++i) {
                x[i] = scatter(round * 32 + 2 * i, range);
                z[i] = scatter(round * 32 + 2 * i + 1, range);
            }
            // Now and then a lane far out or not a number, next to ordinary ones.
            if (round % 7 == 3) x[round % count] = round % 2 ? nan : 3.0e9f;
            if (round % 11 == 5) z[(round / 2) % count] = round % 2 ? -inf : -7.0e18f;
            for (WaveLanesPath path : runnablePaths()) {
                Displacement out[kWaveLanes + 1];
                for (Displacement& d : out) d = {-5.0f, -5.0f};
                flatDisplacementLanesOn(path, t, x, z, count, octaves, out);
                for (int i = 0; i < kWaveLanes + 1; ++i) {
                    if (i >= count) {
                        EXPECT_EQ(out[i].dx, -5.0f) << pathName(path) << " wrote slot " << i << " of " << count;
                        continue;
                    }
                    const Displacement one = plainDisplacement(t, x[i], z[i], octaves);
                    ASSERT_EQ(bitsOf(out[i].dx), bitsOf(one.dx))
                        << pathName(path) << " lane " << i << " of " << count << ", octaves " << octaves;
                    ASSERT_EQ(bitsOf(out[i].dz), bitsOf(one.dz))
                        << pathName(path) << " lane " << i << " of " << count << ", octaves " << octaves;
                }
            }
            if (::testing::Test::HasFailure()) return;
        }
    }
}

}  // namespace
}  // namespace tw
