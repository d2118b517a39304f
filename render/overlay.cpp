// Preview guides, composited with the over operator.
#include "render/overlay.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tw {
namespace {

void over(float (&c)[4], float r, float g, float b, float alpha) {
    if (!(alpha > 0)) return;
    const float a = std::clamp(c[3], 0.0f, 1.0f);
    const float k = alpha / (alpha + a - alpha * a);
    c[0] += (r - c[0]) * k;
    c[1] += (g - c[1]) * k;
    c[2] += (b - c[2]) * k;
    c[3] = a + (1 - a) * alpha;
}

// Opacity of a one-pixel-wide guide at distance delta (in preview pixels), dashed by g.
float lineOpacity(double delta, float dash) {
    if (!(delta < 1)) return 0;
    return static_cast<float>((1 - (3 - 2 * delta) * delta * delta) * dash);
}

}  // namespace

void applyPreviewOverlay(const WaterState& s, PixelRecord& rec, int32_t column, int32_t row) {
    const double w = s.imageWidth / s.previewStep;
    const float dash = std::clamp(static_cast<float>((std::sin(w * rec.planeX * 0.5) - 0.5) * 2), 0.0f, 1.0f);
    over(rec.colour, 1, 0, 1, lineOpacity(std::fabs(rec.planeY - s.horizonY) * w * 0.5, dash));
    over(rec.colour, 0, 1, 0, lineOpacity(std::fabs(rec.planeY - s.waterlineY) * w * 0.5, dash));

    const int64_t dr = std::llabs(static_cast<int64_t>(row) - s.markerY);
    const int64_t dc = std::llabs(static_cast<int64_t>(column) - s.markerX);
    if ((dr < 1 && dc < 6) || (dr < 6 && dc < 1)) over(rec.colour, 1, 1, 1, 0.75f);
    else if ((dr < 2 && dc < 7) || (dr < 7 && dc < 2)) over(rec.colour, 0, 0, 0, 0.75f);
}

}  // namespace tw
