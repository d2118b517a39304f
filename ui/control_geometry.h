// The arithmetic of the dialog's drawn controls, as pure functions the view calls to draw
// and the model calls to drag: rectangles in client pixels, the drawing scale, the slider's
// knob and the value under the mouse, the direction pad's direction and marker, which of
// two pictures to stretch, where a label's text goes, and the memory well's square.
//
// Coordinates: client pixels of the dialog, x to the right and y down. A rectangle holds
// the pixels left <= x < right and top <= y < bottom. (The host's own Point and Rect, in
// hostapi/, are laid out for the host and named as it names them.)
#pragma once

#include <cstdint>

namespace tw {

struct PixelPoint {
    int32_t x = 0, y = 0;
};

struct PixelRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool contains(PixelPoint p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool operator==(const PixelRect&) const = default;
};

// ---- Scale ---------------------------------------------------------------------------------

// Every drawing size is multiplied by s = client width / 1006: the template is 671 dialog
// units wide, 1006 pixels with the template font at 96 dots per inch.
constexpr int kReferenceClientWidth = 1006;
double DrawingScale(int32_t client_width);

// The whole-number unit of slider drawing: s rounded to two decimals, then truncated
// (1 for every scale below 2, and never below 1).
int32_t KnobUnit(double s);

// ---- Pictures --------------------------------------------------------------------------------

// Between a picture and its double-size twin, whether to stretch the single-size one into a
// target `target_width` pixels wide: the one whose scale factor is closer to 1.
bool UseSingleSizePicture(int32_t single_width, int32_t target_width);

// ---- Sliders ---------------------------------------------------------------------------------

// The knob of a horizontal slider in `track` at `value` of min..max: 12h wide, the track's
// height less 2h, h below the top; it runs from track.left + h (min) to track.right - 13h
// (max). h is KnobUnit of the scale.
PixelRect SliderKnob(const PixelRect& track, int32_t value, int32_t min, int32_t max, int32_t h);

// The value under a mouse at `x` on a horizontal slider, clamped to min..max. `x` is the
// mouse's x less 4 (the knob's grip), as dragging uses it.
int32_t SliderValueAt(const PixelRect& track, int32_t x, int32_t min, int32_t max);

// ---- Direction pad ---------------------------------------------------------------------------

struct Direction {
    float x = 0, y = 0, z = 1;
};

// The pad is a square as wide as its control; lengths on it are in pad units of width / 85.
// Its centre is (42, 41) units from the top-left and the sphere's radius is 33 units.
PixelRect PadSquare(const PixelRect& control);
double PadUnit(const PixelRect& control);

// The light direction for a mouse at `mouse` on the pad: inside the circle it tilts with the
// distance from the centre, outside it lies on the rim (z = 0); with Control held it points
// straight at the viewer (0, 0, 1). Always of unit length.
Direction PadDirectionAt(const PixelRect& control, PixelPoint mouse, bool control_held);

// Where the pad draws its marker for a direction: a 2-pixel line from `line_from` to
// `marker`, blue or magenta (pointing away: z < 0), and the marker icon `icon_side` pixels
// square at `icon_top_left`.
struct PadMarker {
    PixelPoint line_from, marker, icon_top_left;
    int32_t icon_side = 0;
    bool points_away = false;
};
PadMarker PadMarkerFor(const PixelRect& control, const Direction& d);

// ---- Labels and the status line ----------------------------------------------------------------

// Where a label's text starts (its top-left), for a text `text_width` pixels wide at scale s:
// the rectangle is moved up by 2s with its bottom cut by 2s, then moved down to centre a
// text 2·int(7s) high; labels are right-aligned, the status line centred and one pixel in.
enum class LabelAlign { kRight, kCentre };
PixelPoint LabelTextOrigin(const PixelRect& label, int32_t text_width, double s, LabelAlign align);

// ---- Memory well ------------------------------------------------------------------------------

// The well is drawn square, as high as it is wide; the hovered dot's picture goes 4/96 of
// the width in on every side.
PixelRect WellSquare(const PixelRect& control);
PixelRect WellPictureRect(const PixelRect& control);

}  // namespace tw
