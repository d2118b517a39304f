// Zoom, pan and ripple-centre arithmetic of the preview pane.
#include "ui/preview_zoom.h"

#include <algorithm>
#include <cmath>

namespace tw {

namespace {

int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }

}  // namespace

PixelRect PreviewFrame(const PixelRect& pane, int32_t image_width, int32_t image_height) {
    PixelRect frame{pane.left + 2, pane.top + 2, pane.right - 2, pane.bottom - 2};
    if (image_width < frame.width()) frame.right = frame.left + std::max(image_width, 0);
    if (image_height < frame.height()) frame.bottom = frame.top + std::max(image_height, 0);
    return frame;
}

int32_t FitZoom(int32_t width, int32_t height, int32_t frame_width, int32_t frame_height, bool can_sample) {
    if (!can_sample || width < 1 || height < 1) return 1;
    const int64_t shown_w = frame_width > 0 ? std::min(width, frame_width) : width;
    const int64_t shown_h = frame_height > 0 ? std::min(height, frame_height) : height;
    return static_cast<int32_t>(std::max(CeilDiv(width, shown_w), CeilDiv(height, shown_h)));
}

PixelRect ShownRegion(const ImageBounds& image, int32_t zoom, int32_t frame_width, int32_t frame_height) {
    const int32_t n = std::max(zoom, 1);
    PixelRect region{image.left / n, image.top / n, image.right / n, image.bottom / n};
    if (frame_width > 0 && region.width() > frame_width) region.right = region.left + frame_width;
    if (frame_height > 0 && region.height() > frame_height) region.bottom = region.top + frame_height;
    return region;
}

int32_t RecentredPan(int32_t pan, int32_t from, int32_t to, int32_t shown, int32_t frame) {
    const int64_t a = std::max(from, 1), b = std::max(to, 1);
    const int64_t kept = static_cast<int64_t>(std::trunc(0.5 * a * (shown + 2 * (pan / a))));
    const int64_t moved = pan + kept - (b * (frame + 2 * (pan / b))) / 2;
    return static_cast<int32_t>(std::clamp<int64_t>(moved, INT32_MIN, INT32_MAX));
}

int32_t ClampedPan(int32_t pan, int32_t extent, int32_t zoom, int32_t frame) {
    const int64_t n = std::max(zoom, 1);
    const int64_t limit = std::max<int64_t>((extent / n - frame) * n, 0);
    return static_cast<int32_t>(std::clamp<int64_t>(pan, 0, limit));
}

std::string ZoomReadout(int32_t zoom) { return std::to_string(100 / std::max(zoom, 1)) + "%"; }

PixelPoint ShownOrigin(const PixelRect& pane, int32_t shown_width, int32_t shown_height) {
    PixelPoint origin{pane.left, pane.top};
    if (shown_width < pane.width()) origin.x += (pane.width() - shown_width) / 2;
    if (shown_height < pane.height()) origin.y += (pane.height() - shown_height) / 2;
    return origin;
}

RippleCentre RippleCentreAt(PixelPoint mouse, PixelPoint shown_origin, int32_t zoom, int32_t pan_x, int32_t pan_y,
                            int32_t image_width, int32_t image_height) {
    RippleCentre c;
    const int64_t n = std::max(zoom, 1);
    // A click on the white margin beside a small picture puts the centre on the nearest
    // edge rather than outside the picture, where no ripple would ever show.
    const int64_t x = (int64_t(mouse.x) - shown_origin.x) * n + pan_x;
    const int64_t y = (int64_t(mouse.y) - shown_origin.y) * n + pan_y;
    c.x = static_cast<int32_t>(std::clamp<int64_t>(x, 0, std::max(image_width - 1, 0)));
    c.y = static_cast<int32_t>(std::clamp<int64_t>(y, 0, std::max(image_height - 1, 0)));
    if (image_width > 0) c.pick_x = static_cast<float>(c.x) / static_cast<float>(image_width);
    if (image_height > 0) c.pick_y = static_cast<float>(c.y) / static_cast<float>(image_height);
    return c;
}

}  // namespace tw
