#include "gimp/light_pad.h"

#include <algorithm>
#include <cmath>

namespace tw::gimp {

LightDirection LightFromPad(double dx, double dy, double radius, bool straight) {
    if (straight || !(radius > 0) || !std::isfinite(dx) || !std::isfinite(dy)) return {0, 0, 1};
    // Inside the disc the light tilts with the distance; outside, it lies on the rim.
    const double d = std::max(radius, std::hypot(dx, dy));
    double x = dx / d, y = dy / d;
    double z = std::sqrt(std::max(0.0, 1 - x * x - y * y));
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length > 0) {
        x /= length;
        y /= length;
        z /= length;
    }
    return {float(x), float(y), float(z)};
}

void PadPoint(const float light[3], double radius, double& dx, double& dy) {
    const double x = light[0], y = light[1], z = light[2];
    const double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length)) {
        dx = dy = 0;
        return;
    }
    dx = x / length * radius;
    dy = y / length * radius;
}

}  // namespace tw::gimp
