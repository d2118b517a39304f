// The preview pane in the dialog: fitting the picture, zooming with the view's centre kept,
// panning by dragging (the unprocessed picture while the mouse moves, the water on release)
// and setting the ripple centre with a click.
#include <algorithm>

#include "params/settings_precision.h"
#include "ui/dialog_internal.h"

namespace tw {

namespace {

bool CanZoom(const Dialog& d) { return d.preview.available && d.bind.host.can_sample; }

PreviewRequest Request(const Dialog& d) { return {d.preview.frame.width(), d.preview.frame.height()}; }

int32_t ImageWidth(const Dialog& d) { return d.bind.host.bounds.width(); }
int32_t ImageHeight(const Dialog& d) { return d.bind.host.bounds.height(); }

void ClampPan(Dialog& d, int32_t zoom) {
    RenderParams& p = d.params();
    p.pan_x = ClampedPan(p.pan_x, ImageWidth(d), zoom, d.preview.frame.width());
    p.pan_y = ClampedPan(p.pan_y, ImageHeight(d), zoom, d.preview.frame.height());
}

// Keeps the picture point at the view's centre while the zoom goes from `from` to `to`.
void Recentre(Dialog& d, int32_t from, int32_t to) {
    RenderParams& p = d.params();
    p.pan_x = RecentredPan(p.pan_x, from, to, d.preview.shown.width(), d.preview.frame.width());
    p.pan_y = RecentredPan(p.pan_y, from, to, d.preview.shown.height(), d.preview.frame.height());
    ClampPan(d, to);
}

void SetRippleCentre(Dialog& d, PixelPoint p) {
    RenderParams& params = d.params();
    const PixelPoint origin = ShownOrigin(d.preview.pane, d.preview.shown.width(), d.preview.shown.height());
    const RippleCentre c = RippleCentreAt(p, origin, params.zoom, params.pan_x, params.pan_y, ImageWidth(d),
                                          ImageHeight(d));
    params.preview_centre_x = c.x;
    params.preview_centre_y = c.y;
    params.pick_x = c.pick_x;
    params.pick_y = c.pick_y;
    RoundToSettingsPrecision(params);  // the centre a save keeps is the centre that renders
}

int16_t Short(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

}  // namespace

void set_zoom(Dialog& d, int32_t n) {
    n = d.bind.host.can_sample ? std::max(n, 1) : 1;
    d.preview.shown = ShownRegion(d.bind.host.bounds, n, d.preview.frame.width(), d.preview.frame.height());
    d.params().zoom = n;
}

void fit_preview(Dialog& d) {
    RenderParams& p = d.params();
    d.preview.pane = d.view().ControlRect(kIdPreview);
    d.preview.frame = PreviewFrame(d.preview.pane, ImageWidth(d), ImageHeight(d));
    // Fitted to the frame the picture is drawn in, not to the whole pane, so that the
    // fitted view shows every pixel.
    d.preview.fit_zoom = FitZoom(ImageWidth(d), ImageHeight(d), d.preview.pane.width() - 4,
                                 d.preview.pane.height() - 4, d.bind.host.can_sample);
    p.pan_x = p.pan_y = 0;
    set_zoom(d, d.preview.fit_zoom);
    d.view().SetCursor(CursorShape::kWait);
    if (d.services().TakePendingError()) {
        p.live_preview = 0;
    } else {
        d.preview.available = true;
        render_preview(d);
    }
    d.view().SetCursor(CursorShape::kArrow);
}

void render_preview(Dialog& d) {
    if (!d.preview.available) return;  // no preview in this host: the pane stays empty
    d.view().SetCursor(CursorShape::kWait);
    set_zoom(d, d.params().zoom);
    d.params().render_mode = kRenderPreview;
    d.services().RenderPreview(Request(d));
    d.view().SetCursor(CursorShape::kArrow);
    d.view().RepaintPreview();
}

void zoom_out(Dialog& d) {
    if (!CanZoom(d)) return;
    RenderParams& p = d.params();
    if (p.zoom >= d.preview.fit_zoom) return;
    Recentre(d, p.zoom, p.zoom + 1);
    ++p.zoom;
    if (p.zoom == d.preview.fit_zoom) p.pan_x = p.pan_y = 0;
}

void zoom_in(Dialog& d) {
    if (!CanZoom(d)) return;
    RenderParams& p = d.params();
    if (p.zoom < 2) return;
    Recentre(d, p.zoom, p.zoom - 1);
    --p.zoom;
}

void zoom_actual(Dialog& d) {
    if (!CanZoom(d)) return;
    RenderParams& p = d.params();
    Recentre(d, p.zoom, 1);
    p.zoom = 1;
}

void RefreshZoomControls(Dialog& d) {
    const int32_t zoom = d.params().zoom;
    SetControlEnabled(d, kIdZoomOut, CanZoom(d) && zoom < d.preview.fit_zoom);
    SetControlEnabled(d, kIdZoomIn, CanZoom(d) && zoom > 1);
    d.view().SetButtonText(kIdZoomReadout, ZoomReadout(zoom));
}

PreviewPaint PreviewLayout(const Dialog& d) {
    const PixelRect& pane = d.preview.pane;
    PreviewPaint paint;
    paint.inner = {pane.left + 2, pane.top + 2, pane.right - 2, pane.bottom - 2};
    paint.width = d.preview.shown.width();
    paint.height = d.preview.shown.height();
    paint.origin = ShownOrigin(paint.inner, paint.width, paint.height);
    return paint;
}

bool PreviewCursorAt(const Dialog& d, PixelPoint p) { return d.preview.available && d.preview.pane.contains(p); }

// ---- The mouse on the preview -----------------------------------------------------------------

void PreviewPress(Dialog& d, PixelPoint p) {
    if (!d.preview.available) return;
    if (d.params().zoom == d.preview.fit_zoom) {
        // The whole picture shows: nothing to pan, the press places the ripple centre.
        SetRippleCentre(d, p);
        KillSettleTimer(d);
        RecordUndo(d, UndoKind::kMemory);
        render_preview(d);
        return;
    }
    d.state.captured = kIdPreview;
    d.view().CaptureMouse();
    d.state.last_x = Short(p.x);
    d.state.last_y = Short(p.y);
    d.state.moved = false;
    d.view().SetCursor(CursorShape::kPointingHand);
}

void PreviewDrag(Dialog& d, PixelPoint p) {
    RenderParams& params = d.params();
    const int32_t dx = params.zoom * (p.x - d.state.last_x);
    const int32_t dy = params.zoom * (p.y - d.state.last_y);
    d.state.last_x = Short(p.x);
    d.state.last_y = Short(p.y);
    if (dx == 0 && dy == 0) return;
    params.pan_x -= dx;
    params.pan_y -= dy;
    d.state.moved = true;
    ClampPan(d, params.zoom);
    d.view().SetCursor(CursorShape::kGrabbingHand);
    d.services().ShowSourcePreview(Request(d));
    d.view().RepaintPreview();
}

void PreviewRelease(Dialog& d, PixelPoint p) {
    d.state.captured = -1;
    d.view().SetCursor(CursorShape::kPointingHand);
    if (!d.state.moved) {
        SetRippleCentre(d, p);
        dialog_to_params(d);
        RecordUndo(d, UndoKind::kMemory);
    }
    render_preview(d);
}

}  // namespace tw
