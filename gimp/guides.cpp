#include "gimp/guides.h"

#include <algorithm>

#include "render/noise.h"
#include "render/water_state.h"

namespace tw::gimp {

GuideGeometry::GuideGeometry() : noise_(new NoiseTables) { buildNoiseTables(*noise_, 0); }

GuideGeometry::~GuideGeometry() = default;

PreviewGuides GuideGeometry::For(const RenderParams& params, int width, int height) const {
    const int w = std::max(width, 1), h = std::max(height, 1);
    WaterState s;
    setupWaterState(s, params, *noise_, PassImage{w, h}, nullptr, TileRect{0, 0, h, w});
    // Plane y is constant along each guide; plane x runs across it. The plane spans at
    // most `span` in y and the picture's diagonal in x, so twice that reaches past every edge.
    const double reach = 2.0 * std::max<double>({s.span, 1.0, s.aspect, 1.0 / s.aspect});
    auto line = [&](double plane_y) {
        const Plane2 a = planeToImage(s, -reach, plane_y);
        const Plane2 b = planeToImage(s, reach, plane_y);
        return GuideLine{a.x * w, a.y * h, b.x * w, b.y * h};
    };
    return {line(s.horizonY), line(s.waterlineY), double(s.pickX) * w, double(s.pickY) * h};
}

}  // namespace tw::gimp
