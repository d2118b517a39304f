// The light-direction pad: a disc on which a point sets where the light comes from. The
// middle is light straight from the viewer; the farther out, the lower the light; on and
// beyond the rim it skims the water. x grows to the right and y downwards, as on screen;
// z points at the viewer.
#pragma once

namespace tw::gimp {

struct LightDirection {
    float x, y, z;  // unit length
};

// The direction for a point (dx, dy) pixels from the pad's centre on a disc of `radius`
// pixels. With `straight` (Control held) the light comes straight from the viewer.
LightDirection LightFromPad(double dx, double dy, double radius, bool straight);

// Where the pad draws its marker for `light`, in pixels from the centre.
void PadPoint(const float light[3], double radius, double& dx, double& dy);

}  // namespace tw::gimp
