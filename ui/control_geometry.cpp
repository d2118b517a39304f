// Drawing and dragging arithmetic of the dialog's own controls.
#include "ui/control_geometry.h"

#include <algorithm>
#include <cmath>

namespace tw {

double DrawingScale(int32_t client_width) {
    return static_cast<double>(client_width) / kReferenceClientWidth;
}

int32_t KnobUnit(double s) {
    const double rounded = std::round(s * 100.0) / 100.0;
    // A knob must keep a size whatever the scale; below 1 the truncation would give 0.
    if (!(rounded >= 1.0)) return 1;
    return static_cast<int32_t>(std::min(rounded, 1000.0));
}

bool UseSingleSizePicture(int32_t single_width, int32_t target_width) {
    if (single_width <= 0 || target_width <= 0) return true;  // nothing to compare: keep it plain
    const double g = static_cast<double>(single_width) / target_width;
    return std::max(g, 1.0 / g) < std::max(2.0 * g, 1.0 / (2.0 * g));
}

PixelRect SliderKnob(const PixelRect& track, int32_t value, int32_t min, int32_t max, int32_t h) {
    const int64_t range = std::max<int64_t>(int64_t(max) - min, 1);
    const int64_t v = std::clamp<int64_t>(value, min, std::max(min, max)) - min;
    const int64_t start = int64_t(track.left) + h;
    const int64_t end = int64_t(track.right) - 12 * int64_t(h) - h;
    const int32_t left = static_cast<int32_t>(start + (end - start) * v / range);
    const int32_t top = track.top + h;
    return {left, top, left + 12 * h, top + track.height() - 2 * h};
}

int32_t SliderValueAt(const PixelRect& track, int32_t x, int32_t min, int32_t max) {
    const int64_t range = std::max<int64_t>(int64_t(max) - min, 1);
    const int64_t travel = std::max<int64_t>(int64_t(track.width()) - 14, 1);  // a track too narrow to drag
    const int64_t value = min + (int64_t(x) - track.left - 1) * range / travel;
    return static_cast<int32_t>(std::clamp<int64_t>(value, min, std::max(min, max)));
}

PixelRect PadSquare(const PixelRect& control) {
    return {control.left, control.top, control.right, control.top + control.width()};
}

double PadUnit(const PixelRect& control) { return control.width() / 85.0; }

Direction PadDirectionAt(const PixelRect& control, PixelPoint mouse, bool control_held) {
    const double u = PadUnit(control);
    if (!(u > 0)) return {0, 0, 1};  // a pad without width has no direction to offer
    const double dy = static_cast<int32_t>(mouse.y - (41 * u + control.top)) / u;
    const double dx = static_cast<int32_t>(mouse.x - (42 * u + control.left)) / u;
    const double d = std::max(33.0, std::sqrt(dx * dx + dy * dy));
    double x = dx / d, y = dy / d;
    if (control_held) x = y = 0;
    double z = std::sqrt(std::max(0.0, 1 - x * x - y * y));
    const double length = std::sqrt(x * x + y * y + z * z);
    if (length != 0) {
        x /= length;
        y /= length;
        z /= length;
    }
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

PadMarker PadMarkerFor(const PixelRect& control, const Direction& d) {
    const double u = PadUnit(control);
    PadMarker m;
    m.marker = {static_cast<int32_t>(static_cast<int32_t>(d.x * 33 * u) + control.left + 41 * u),
                static_cast<int32_t>(static_cast<int32_t>(d.y * 33 * u) + control.top + 41 * u)};
    m.line_from = {static_cast<int32_t>(42 * u + control.left), static_cast<int32_t>(control.top + 41 * u)};
    m.icon_side = static_cast<int32_t>(6 * u);
    m.icon_top_left = {static_cast<int32_t>(m.marker.x - 3 * u + u), static_cast<int32_t>(m.marker.y - 3 * u + u)};
    m.points_away = d.z < 0;
    return m;
}

PixelPoint LabelTextOrigin(const PixelRect& label, int32_t text_width, double s, LabelAlign align) {
    const int32_t lift = static_cast<int32_t>(2 * s);
    const int32_t top = label.top - lift;
    const int32_t bottom = label.bottom - 2 * lift;
    const int32_t text_height = 2 * static_cast<int32_t>(7 * s);
    const int32_t y = top + (bottom - text_height - top) / 2;
    if (align == LabelAlign::kCentre) return {label.left + 1 + (label.width() - 1 - text_width) / 2, y};
    return {label.left + label.width() - text_width, y};
}

PixelRect WellSquare(const PixelRect& control) {
    return {control.left, control.top, control.right, control.top + control.width()};
}

PixelRect WellPictureRect(const PixelRect& control) {
    const int32_t inset = control.width() * 4 / 96;
    const int32_t side = control.width() - 2 * inset;
    return {control.left + inset, control.top + inset, control.left + inset + side, control.top + inset + side};
}

}  // namespace tw
