// The preview's guides where the water's geometry puts them.
#include <gtest/gtest.h>

#include <cmath>

#include "gimp/guides.h"
#include "gimp/parameters.h"

namespace tw::gimp {
namespace {

double Slope(const GuideLine& l) { return (l.y1 - l.y0) / (l.x1 - l.x0); }

// The height of a line where it crosses the picture's middle column.
double YAtMiddle(const GuideLine& l, double width) {
    return l.y0 + (width / 2 - l.x0) * (l.y1 - l.y0) / (l.x1 - l.x0);
}

TEST(Guides, PlainSettingsHorizonAndWaterlineAcrossTheMiddle) {
    GuideGeometry geometry;
    const RenderParams p = PlainParams();
    const PreviewGuides g = geometry.For(p, 400, 300);
    // Horizon 50 puts the line at 49.5% of the height (the slider's 0..100 spans 0..99%).
    EXPECT_NEAR(g.horizon.y0, 0.495 * 300, 1e-3);
    EXPECT_NEAR(g.horizon.y1, 0.495 * 300, 1e-3);
    EXPECT_LT(g.horizon.x0, 0);
    EXPECT_GT(g.horizon.x1, 400);  // long enough to cross the picture
    EXPECT_NEAR(YAtMiddle(g.waterline, 400), YAtMiddle(g.horizon, 400), 1e-3);  // Offset 0
    EXPECT_NEAR(g.centre_x, 0.5 * 400, 1e-3);
    EXPECT_NEAR(g.centre_y, 0.2 * 300, 1e-3);
}

TEST(Guides, OffsetLowersTheWaterlineAndSpinTurnsBoth) {
    GuideGeometry geometry;
    RenderParams p = PlainParams();
    p.offset = 50;
    const PreviewGuides g = geometry.For(p, 400, 300);
    EXPECT_NEAR(YAtMiddle(g.waterline, 400), (0.5 * (1 - 0.495) + 0.495) * 300, 1e-2);

    p.spin = 45;
    const PreviewGuides turned = geometry.For(p, 400, 300);
    EXPECT_NEAR(std::fabs(Slope(turned.horizon)), 1.0, 1e-6);
    EXPECT_NEAR(Slope(turned.horizon), Slope(turned.waterline), 1e-6);
    p.spin = -45;
    EXPECT_NEAR(Slope(geometry.For(p, 400, 300).horizon), -Slope(turned.horizon), 1e-6);
}

TEST(Guides, DegenerateSizesAndValuesStayFinite) {
    GuideGeometry geometry;
    RenderParams p = PlainParams();
    p.horizon = NAN;
    p.spin = 1e9f;
    for (const PreviewGuides& g : {geometry.For(p, 0, 0), geometry.For(p, 1, 5000)})
        for (double v : {g.horizon.x0, g.horizon.y0, g.waterline.x1, g.waterline.y1, g.centre_x, g.centre_y})
            EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
}  // namespace tw::gimp
