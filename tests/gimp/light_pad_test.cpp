// The light pad's directions: the middle, inside the disc, on and beyond the rim, Control.
#include <gtest/gtest.h>

#include <cmath>

#include "gimp/light_pad.h"

namespace tw::gimp {
namespace {

double Length(const LightDirection& d) { return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z); }

TEST(LightPad, MiddleAndControlGiveLightFromTheViewer) {
    for (const LightDirection& d : {LightFromPad(0, 0, 40, false), LightFromPad(25, -7, 40, true)}) {
        EXPECT_FLOAT_EQ(d.x, 0);
        EXPECT_FLOAT_EQ(d.y, 0);
        EXPECT_FLOAT_EQ(d.z, 1);
    }
}

TEST(LightPad, InsideTheDiscTheLightTilts) {
    const LightDirection d = LightFromPad(20, 0, 40, false);
    EXPECT_NEAR(d.x, 0.5, 1e-6);
    EXPECT_NEAR(d.y, 0, 1e-6);
    EXPECT_NEAR(d.z, std::sqrt(0.75), 1e-6);
    const LightDirection down = LightFromPad(0, 10, 40, false);
    EXPECT_GT(down.y, 0);  // screen y grows downwards, and so does the light's
}

TEST(LightPad, OnAndBeyondTheRimTheLightSkims) {
    for (double far : {40.0, 41.0, 400.0, 1e9}) {
        const LightDirection d = LightFromPad(-far * 0.6, far * 0.8, 40, false);
        EXPECT_NEAR(d.z, 0, 1e-6) << far;
        EXPECT_NEAR(d.x, -0.6, 1e-6) << far;
        EXPECT_NEAR(d.y, 0.8, 1e-6) << far;
    }
}

TEST(LightPad, DirectionsAreUnitLengthAndTheMarkerFindsThemAgain) {
    for (int i = 0; i < 50; ++i) {
        const double dx = std::cos(i) * i, dy = std::sin(i * 1.3) * i * 0.7;
        const LightDirection d = LightFromPad(dx, dy, 40, false);
        EXPECT_NEAR(Length(d), 1, 1e-6);
        const float light[3] = {d.x, d.y, d.z};
        double px = 0, py = 0;
        PadPoint(light, 40, px, py);
        const double r = std::hypot(dx, dy);
        const double scale = r > 40 ? 40 / r : 1;  // beyond the rim the marker sits on it
        EXPECT_NEAR(px, dx * scale, 1e-3) << i;
        EXPECT_NEAR(py, dy * scale, 1e-3) << i;
    }
}

TEST(LightPad, DegenerateInputIsSafe) {
    const LightDirection d = LightFromPad(NAN, 3, 40, false);
    EXPECT_FLOAT_EQ(d.z, 1);
    const LightDirection e = LightFromPad(3, 4, 0, false);
    EXPECT_FLOAT_EQ(e.z, 1);
    const float zero[3] = {0, 0, 0};
    double px = 5, py = 5;
    PadPoint(zero, 40, px, py);
    EXPECT_EQ(px, 0);
    EXPECT_EQ(py, 0);
}

}  // namespace
}  // namespace tw::gimp
