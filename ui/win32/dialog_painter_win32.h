// Everything the main dialog draws itself: the background, sliders, labels and the status
// line, the group headings, the direction pad, the memory well and its dots, the colour
// swatches and the preview pane. What to draw and where comes from the dialog's model
// (ui/dialog_model.h) and ui/control_geometry.h; this only turns it into GDI calls.
//
// Pictures are decoded once per size and kept until the painter goes, so a repaint during
// a drag costs no decoding; fonts are made and deleted for each use. Windows build only.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "ui/dialog_model.h"

namespace tw {

// The dialog's colours.
constexpr COLORREF kDialogColour = RGB(226, 226, 226);
constexpr COLORREF kFaceColour = RGB(222, 222, 222);
constexpr COLORREF kDisabledTextColour = RGB(140, 140, 140);
constexpr COLORREF kDirectionLineColour = RGB(67, 109, 186);
constexpr COLORREF kDirectionAwayColour = RGB(255, 0, 255);

// How a swatch button is drawn.
struct SwatchState {
    bool enabled = true, pressed = false, focused = false;
};

class DialogPainter {
public:
    explicit DialogPainter(HINSTANCE module) : module_(module) {}
    ~DialogPainter();
    DialogPainter(const DialogPainter&) = delete;
    DialogPainter& operator=(const DialogPainter&) = delete;

    // Paints every drawn control whose painted rectangle meets `update`, and the preview,
    // over the dialog colour. `rects` holds each control's rectangle in client pixels; the
    // drawing scale comes from the client's width.
    void Paint(HDC dc, const RECT& update, Dialog& d, const PixelRect (&rects)[kControlCount],
               int32_t client_width);
    // The rectangle control `id` paints into (the pad and the well are squares that may
    // reach beyond their control's rectangle; the preview includes its outline).
    static PixelRect PaintedRect(int id, const PixelRect& control);

    // An owner-drawn colour swatch.
    void DrawSwatch(HDC dc, const RECT& rect, const Rgb16& colour, const SwatchState& state);

    // The pictures decoded so far (for the handle-leak test's arithmetic and for tests).
    size_t CachedPictures() const { return bitmaps_.size() + icons_.size(); }

private:
    HBITMAP Jpeg(int id, int width, int height);
    HBITMAP Bitmap(int id);
    HICON Icon(int id, int size);

    void PaintControl(HDC dc, Dialog& d, int id, const PixelRect& r, double s);
    void PaintSlider(HDC dc, const Dialog& d, int id, const PixelRect& r, double s);
    void PaintLabel(HDC dc, const char* text, const PixelRect& r, double s, bool enabled, bool status);
    void PaintPad(HDC dc, const Dialog& d, int id, const PixelRect& r);
    void PaintWell(HDC dc, const Dialog& d, const PixelRect& r);
    void PaintStretched(HDC dc, HBITMAP bitmap, const PixelRect& r);
    void PaintPreview(HDC dc, Dialog& d);

    HINSTANCE module_;
    // Decoded pictures by (resource id, width, height); width 0 for a bitmap at its own size.
    std::map<std::tuple<int, int, int>, HBITMAP> bitmaps_;
    std::map<std::pair<int, int>, HICON> icons_;
    std::vector<uint8_t> preview_rows_;  // the preview's row-padded copy, reused
};

}  // namespace tw
