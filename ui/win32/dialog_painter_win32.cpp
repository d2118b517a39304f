// The main dialog's drawing in GDI.
#include "ui/win32/dialog_painter_win32.h"

#include <algorithm>
#include <cstring>

#include "resources/artwork_ids.h"
#include "ui/control_geometry.h"
#include "ui/dialog_layout.h"
#include "ui/win32/pictures_win32.h"

namespace tw {

namespace {

RECT ToRect(const PixelRect& r) { return {r.left, r.top, r.right, r.bottom}; }

bool Meets(const PixelRect& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom && a.width() > 0 &&
           a.height() > 0;
}

void Fill(HDC dc, const PixelRect& r, COLORREF colour) {
    const RECT rect = ToRect(r);
    SetDCBrushColor(dc, colour);
    FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

// A one-pixel frame: top and left in `light`, bottom and right in `dark`.
void Bevel(HDC dc, const RECT& r, COLORREF light, COLORREF dark) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    Fill(dc, {r.left, r.top, r.right - 1, r.top + 1}, light);
    Fill(dc, {r.left, r.top, r.left + 1, r.bottom - 1}, light);
    Fill(dc, {r.left, r.bottom - 1, r.right, r.bottom}, dark);
    Fill(dc, {r.right - 1, r.top, r.right, r.bottom}, dark);
}

void Frame(HDC dc, const RECT& r, COLORREF colour) { Bevel(dc, r, colour, colour); }

// A drawing font of the dialog: made for one use, deleted by the caller.
HFONT MakeFont(const FontSpec& spec, double s) {
    return CreateFontA(FontHeight(spec, s), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       spec.antialiased ? ANTIALIASED_QUALITY : DEFAULT_QUALITY, DEFAULT_PITCH, spec.face);
}

}  // namespace

DialogPainter::~DialogPainter() {
    for (auto& [key, bitmap] : bitmaps_) DeleteObject(bitmap);
    for (auto& [key, icon] : icons_) DestroyIcon(icon);
}

HBITMAP DialogPainter::Jpeg(int id, int width, int height) {
    if (width <= 0 || height <= 0) return nullptr;
    const auto key = std::make_tuple(id, width, height);
    if (auto it = bitmaps_.find(key); it != bitmaps_.end()) return it->second;
    HBITMAP bitmap = load_picture(module_, id, TW_JPEG_TYPE, width, height);
    bitmaps_[key] = bitmap;  // a missing picture is remembered too, and not asked for again
    return bitmap;
}

HBITMAP DialogPainter::Bitmap(int id) {
    const auto key = std::make_tuple(id, 0, 0);
    if (auto it = bitmaps_.find(key); it != bitmaps_.end()) return it->second;
    HBITMAP bitmap = LoadBitmapPicture(module_, id);
    bitmaps_[key] = bitmap;
    return bitmap;
}

HICON DialogPainter::Icon(int id, int size) {
    if (size <= 0) return nullptr;
    const auto key = std::make_pair(id, size);
    if (auto it = icons_.find(key); it != icons_.end()) return it->second;
    HICON icon = LoadIconPicture(module_, id, size);
    icons_[key] = icon;
    return icon;
}

PixelRect DialogPainter::PaintedRect(int id, const PixelRect& control) {
    const int32_t kind = describe_control(id).kind;
    if (id == kIdPreview) return {control.left - 1, control.top - 1, control.right + 1, control.bottom + 1};
    if (kind == kKindDirectionPad) {
        const PixelRect square = PadSquare(control);
        return {std::min(control.left, square.left), std::min(control.top, square.top),
                std::max(control.right, square.right), std::max(control.bottom, square.bottom)};
    }
    if (kind == kKindMemoryArea) {
        const PixelRect square = WellSquare(control);
        return {std::min(control.left, square.left), std::min(control.top, square.top),
                std::max(control.right, square.right), std::max(control.bottom, square.bottom)};
    }
    return control;
}

void DialogPainter::Paint(HDC dc, const RECT& update, Dialog& d, const PixelRect (&rects)[kControlCount],
                          int32_t client_width) {
    SetDCBrushColor(dc, kDialogColour);
    FillRect(dc, &update, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    const double s = DrawingScale(client_width);
    if (d.preview.available && Meets(PaintedRect(kIdPreview, rects[kIdPreview]), update)) PaintPreview(dc, d);
    for (int id = 0; id < kControlCount; ++id) {
        if (id == kIdPreview) continue;
        const PixelRect painted = PaintedRect(id, rects[id]);
        if (!Meets(painted, update)) continue;
        PaintControl(dc, d, id, rects[id], s);
    }
}

void DialogPainter::PaintControl(HDC dc, Dialog& d, int id, const PixelRect& r, double s) {
    const ControlDescriptor desc = describe_control(id);
    const bool enabled = ControlEnabled(d, id);
    switch (desc.kind) {
    case kKindSlider: PaintSlider(dc, d, id, r, s); break;
    case kKindLabel:
        if (id == kIdStatusLine) PaintLabel(dc, StatusText(d), r, s, true, true);
        else PaintLabel(dc, label_text(d.controls[id].label), r, s, enabled, false);
        break;
    case kKindHeaderImage: PaintStretched(dc, Jpeg(desc.picture, r.width(), r.height()), r); break;
    case kKindDirectionPad: PaintPad(dc, d, id, r); break;
    case kKindMemoryArea: PaintWell(dc, d, r); break;
    case kKindMemoryDot: {
        const int dot = DotOfControl(id);
        PaintStretched(dc, Jpeg(DotPicture(d, dot), r.width(), r.height()), r);
        break;
    }
    default: break;  // windows of their own draw themselves
    }
}

void DialogPainter::PaintStretched(HDC dc, HBITMAP bitmap, const PixelRect& r) {
    if (bitmap == nullptr || r.width() <= 0 || r.height() <= 0) return;
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    SetStretchBltMode(dc, COLORONCOLOR);
    if (info.bmWidth == r.width() && std::abs(info.bmHeight) == r.height())
        BitBlt(dc, r.left, r.top, r.width(), r.height(), source, 0, 0, SRCCOPY);
    else
        StretchBlt(dc, r.left, r.top, r.width(), r.height(), source, 0, 0, info.bmWidth, std::abs(info.bmHeight),
                   SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

void DialogPainter::PaintSlider(HDC dc, const Dialog& d, int id, const PixelRect& r, double s) {
    const ControlSlot& slot = d.controls[id];
    if (!ControlEnabled(d, id)) {
        Fill(dc, {r.left, r.top, r.right - 1, r.bottom - 1}, kFaceColour);
        Frame(dc, ToRect(r), kDisabledTextColour);
        return;
    }
    PaintStretched(dc, Bitmap(slot.picture), r);
    const int32_t h = KnobUnit(s);
    const PixelRect knob = SliderKnob(r, slot.value, slot.min, slot.max, h);
    const bool single = UseSingleSizePicture(12, knob.width());
    PaintStretched(dc, Bitmap(single ? TW_BMP_KNOB : TW_BMP_KNOB_DOUBLE), knob);
}

void DialogPainter::PaintLabel(HDC dc, const char* text, const PixelRect& r, double s, bool enabled, bool status) {
    Fill(dc, r, kDialogColour);
    HFONT font = MakeFont(kLabelFont, s);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? RGB(0, 0, 0) : kDisabledTextColour);
    const int length = static_cast<int>(std::strlen(text));
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, length, &extent);
    const PixelPoint at = LabelTextOrigin(r, extent.cx, s, status ? LabelAlign::kCentre : LabelAlign::kRight);
    const RECT clip = ToRect(r);
    ExtTextOutA(dc, at.x, at.y, ETO_CLIPPED, &clip, text, length, nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
}

void DialogPainter::PaintPad(HDC dc, const Dialog& d, int id, const PixelRect& r) {
    const ControlDescriptor desc = describe_control(id);
    const PixelRect square = PadSquare(r);
    PaintStretched(dc, Jpeg(desc.picture, square.width(), square.height()), square);
    if (!ControlEnabled(d, id)) return;
    const ControlSlot& slot = d.controls[id];
    const PadMarker m = PadMarkerFor(r, Direction{slot.pad[0], slot.pad[1], slot.pad[2]});
    HPEN pen = CreatePen(PS_SOLID, 2, m.points_away ? kDirectionAwayColour : kDirectionLineColour);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, m.line_from.x, m.line_from.y, nullptr);
    LineTo(dc, m.marker.x, m.marker.y);
    SelectObject(dc, old);
    DeleteObject(pen);
    if (HICON icon = Icon(TW_ICON_PAD_MARKER, m.icon_side))
        DrawIconEx(dc, m.icon_top_left.x, m.icon_top_left.y, icon, m.icon_side, m.icon_side, 0, nullptr, DI_NORMAL);
}

void DialogPainter::PaintWell(HDC dc, const Dialog& d, const PixelRect& r) {
    const PixelRect square = WellSquare(r);
    PaintStretched(dc, Bitmap(TW_BMP_MEMORY_WELL), square);
    const Picture* picture = WellPicture(d);
    if (picture == nullptr || picture->empty()) return;
    const PixelRect inner = WellPictureRect(r);
    // The thumbnail is RGB; a DIB row is BGR, padded to four bytes.
    const int stride = (picture->width * 3 + 3) & ~3;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * picture->height);
    for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x) {
            const uint8_t* p = picture->pixel(x, y);
            uint8_t* q = rows.data() + static_cast<size_t>(y) * stride + x * 3;
            q[0] = p[2];
            q[1] = p[1];
            q[2] = p[0];
        }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture->width;
    info.bmiHeader.biHeight = -picture->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, inner.left, inner.top, inner.width(), inner.height(), 0, 0, picture->width, picture->height,
                  rows.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

void DialogPainter::PaintPreview(HDC dc, Dialog& d) {
    const PreviewPaint layout = PreviewLayout(d);
    const PixelRect& inner = layout.inner;
    if (inner.width() <= 0 || inner.height() <= 0) return;
    Frame(dc, {inner.left - 1, inner.top - 1, inner.right + 1, inner.bottom + 1}, RGB(0, 0, 0));

    const PlanarView view = d.services().PreviewPicture();
    const int w = std::min(view.width, layout.width), h = std::min(view.height, layout.height);
    int saved = SaveDC(dc);
    if (view.data != nullptr && w > 0 && h > 0 && view.planes > 0) {
        const int stride = (w * 3 + 3) & ~3;
        preview_rows_.assign(static_cast<size_t>(stride) * h, 0);
        const size_t plane = static_cast<size_t>(view.width) * view.height;
        const bool colour = view.planes >= 3;
        for (int y = 0; y < h; ++y) {
            const size_t row = static_cast<size_t>(y) * view.width;
            uint8_t* q = preview_rows_.data() + static_cast<size_t>(y) * stride;
            const uint8_t* red = view.data + row;
            const uint8_t* green = view.data + (colour ? plane : 0) + row;
            const uint8_t* blue = view.data + (colour ? 2 * plane : 0) + row;
            for (int x = 0; x < w; ++x, q += 3) {
                q[0] = blue[x];
                q[1] = green[x];
                q[2] = red[x];
            }
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, layout.origin.x, layout.origin.y, w, h, 0, 0, 0, h, preview_rows_.data(), &info,
                          DIB_RGB_COLORS);
        ExcludeClipRect(dc, layout.origin.x, layout.origin.y, layout.origin.x + w, layout.origin.y + h);
    }
    Fill(dc, inner, RGB(255, 255, 255));
    RestoreDC(dc, saved);
}

void DialogPainter::DrawSwatch(HDC dc, const RECT& rect, const Rgb16& colour, const SwatchState& state) {
    RECT r = rect;
    if (!state.enabled) {
        Fill(dc, {r.left, r.top, r.right, r.bottom}, kFaceColour);
        Frame(dc, r, kDisabledTextColour);
        return;
    }
    if (state.focused) {
        Frame(dc, r, RGB(0, 0, 0));
        InflateRect(&r, -1, -1);
    }
    Fill(dc, {r.left, r.top, r.right, r.bottom}, kFaceColour);
    const COLORREF outer_light = state.pressed ? RGB(0, 0, 0) : RGB(240, 240, 240);
    const COLORREF inner_light = state.pressed ? RGB(128, 128, 128) : RGB(255, 255, 255);
    Bevel(dc, r, outer_light, RGB(0, 0, 0));
    RECT in = r;
    InflateRect(&in, -1, -1);
    Bevel(dc, in, inner_light, RGB(128, 128, 128));
    RECT fill = rect;
    const int inset = state.focused ? 3 : 2;
    InflateRect(&fill, -inset, -inset);
    Fill(dc, {fill.left, fill.top, fill.right, fill.bottom}, RGB(colour.r >> 8, colour.g >> 8, colour.b >> 8));
    if (state.focused) {
        RECT focus = rect;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

}  // namespace tw
