// The preview's guides: the horizon and the waterline as lines across the picture and the
// ripple centre as a point, placed by the renderer's own set-up so they sit exactly where
// the water's geometry puts them (both lines turn with Spin).
#pragma once

#include <memory>

#include "params/render_params.h"

namespace tw {
struct NoiseTables;
}

namespace tw::gimp {

// A line through the picture, in pixel coordinates of a width x height picture (pixel i
// spans i..i+1); long enough to cross it whatever the spin, so the drawing clips it.
struct GuideLine {
    double x0, y0, x1, y1;
};

struct PreviewGuides {
    GuideLine horizon, waterline;
    double centre_x, centre_y;
};

class GuideGeometry {
public:
    GuideGeometry();
    ~GuideGeometry();
    GuideGeometry(const GuideGeometry&) = delete;
    GuideGeometry& operator=(const GuideGeometry&) = delete;

    PreviewGuides For(const RenderParams& params, int width, int height) const;

private:
    // The set-up reads the noise tables for its ripples; the guides do not depend on them.
    std::unique_ptr<NoiseTables> noise_;
};

}  // namespace tw::gimp
