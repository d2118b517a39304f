// The preview pane's arithmetic: which zoom fits the picture, which part of the picture the
// pane shows at a zoom, how zooming keeps the view's centre, how far the view may pan, the
// zoom readout, and where a click puts the ripple centre. Pure functions: the dialog model
// keeps the state, the shell's preview render uses ShownRegion to size the preview buffer.
//
// Units: a zoom n >= 1 shows every n-th pixel of the picture. `pan` is in full-resolution
// picture pixels (the picture coordinates of the top-left pixel shown). Pane and frame
// rectangles are in client pixels; shown regions in zoomed pixels.
#pragma once

#include <cstdint>
#include <string>

#include "ui/control_geometry.h"

namespace tw {

// The picture's bounds in the host's coordinates (the filter rectangle; top-left need not
// be 0), right and bottom exclusive.
struct ImageBounds {
    int32_t top = 0, left = 0, bottom = 0, right = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
};

// The pane inset by 2 pixels, then cut to the picture's width and height where the picture
// is smaller (keeping its top-left corner): where the picture is drawn at most.
PixelRect PreviewFrame(const PixelRect& pane, int32_t image_width, int32_t image_height);

// The smallest zoom at which a width x height picture fits a frame of frame_width x
// frame_height pixels (0: no limit); 1 when the host cannot sample.
int32_t FitZoom(int32_t width, int32_t height, int32_t frame_width, int32_t frame_height, bool can_sample);

// The part of the picture shown at `zoom`: each edge of the bounds divided by the zoom, cut
// to at most the frame's width and height (keeping the left and top edges; 0: no limit).
PixelRect ShownRegion(const ImageBounds& image, int32_t zoom, int32_t frame_width, int32_t frame_height);

// Moving from zoom `from` to zoom `to` keeps the picture point at the view's centre: the new
// pan along one axis, before clamping. `shown` is the shown region's extent at `from`,
// `frame` the frame's extent.
int32_t RecentredPan(int32_t pan, int32_t from, int32_t to, int32_t shown, int32_t frame);

// The pan along one axis kept so that the view stays inside a picture `extent` pixels long
// at `zoom`: 0 .. (extent / zoom - frame) * zoom, a negative limit counting as 0.
int32_t ClampedPan(int32_t pan, int32_t extent, int32_t zoom, int32_t frame);

// "100%", "50%", "33%", ...: 100 / zoom in whole percent.
std::string ZoomReadout(int32_t zoom);

// Where the shown region's top-left lands in the pane: centred in it.
PixelPoint ShownOrigin(const PixelRect& pane, int32_t shown_width, int32_t shown_height);

// The picture pixel under a click at `mouse`, kept inside the picture, and the ripple centre
// it makes as fractions of the picture's width and height.
struct RippleCentre {
    int32_t x = 0, y = 0;          // picture pixels
    float pick_x = 0, pick_y = 0;  // fractions 0..1
};
RippleCentre RippleCentreAt(PixelPoint mouse, PixelPoint shown_origin, int32_t zoom, int32_t pan_x, int32_t pan_y,
                            int32_t image_width, int32_t image_height);

}  // namespace tw
