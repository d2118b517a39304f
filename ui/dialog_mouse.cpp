// The mouse on the dialog's own controls: which control a point hits, capture on a press,
// slider and pad drags, the memory dots' pressed look, hovering, and what a release does.
#include <algorithm>

#include "ui/control_geometry.h"
#include "ui/dialog_internal.h"

namespace tw {

namespace {

int16_t Short(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

int32_t CapturedKind(const Dialog& d) { return describe_control(d.state.captured).kind; }

void DragSlider(Dialog& d, PixelPoint p) {
    const int id = d.state.captured;
    const int32_t x = p.x - 4;  // the knob's grip
    if (x == d.state.last_x && p.y == d.state.last_y) return;
    ControlSlot& slot = d.controls[id];
    slot.value = SliderValueAt(d.view().ControlRect(id), x, slot.min, slot.max);
    redraw_control(d, id);
    WriteField(d, describe_control(id).field_id, FormatFieldNumber(slot.value));
    d.state.last_x = Short(x);
    d.state.last_y = Short(p.y);
}

void DragPad(Dialog& d, PixelPoint p, bool control_held) {
    if (p.x == d.state.last_x && p.y == d.state.last_y && !control_held) return;
    const int id = d.state.captured;
    const Direction dir = PadDirectionAt(d.view().ControlRect(id), p, control_held);
    ControlSlot& slot = d.controls[id];
    slot.pad[0] = dir.x;
    slot.pad[1] = dir.y;
    slot.pad[2] = dir.z;
    redraw_control(d, id);
    d.state.last_x = Short(p.x);
    d.state.last_y = Short(p.y);
}

// A pressed dot looks pressed only while the mouse stays over it.
void TrackDot(Dialog& d, PixelPoint p) {
    const int id = d.state.captured;
    int32_t& value = d.controls[id].value;
    const int32_t pressed = d.view().ControlRect(id).contains(p) ? kDotPressedBit : 0;
    if ((value & kDotPressedBit) == pressed) return;
    value = (value & ~kDotPressedBit) | pressed;
    redraw_control(d, id);
}

}  // namespace

int hit_test_controls(Dialog& d, PixelPoint p) {
    for (int id = 0; id < kControlCount; ++id) {
        if (!ControlEnabled(d, id)) continue;
        if (id != kIdPreview && !IsCapturableKind(describe_control(id).kind)) continue;
        if (d.view().ControlRect(id).contains(p)) return id;
    }
    return -1;
}

void MousePress(Dialog& d, PixelPoint p, bool right_button, bool control_held) {
    if (d.state.busy || d.state.captured != -1) return;  // a batch runs, or a drag is on
    d.state.right_button = right_button;
    // Both buttons record Control, so a right click never acts on a stale left click's key.
    d.state.control_held = control_held;
    const int id = hit_test_controls(d, p);
    if (id == kIdPreview) {
        PreviewPress(d, p);
        return;
    }
    if (id < 0) return;
    d.state.captured = id;
    d.view().CaptureMouse();
    d.state.moved = false;
    d.state.last_x = -999;  // the posted move always counts
    d.view().PostMouseMove();
}

void MouseMove(Dialog& d, PixelPoint p, bool control_held) {
    d.state.mouse_x = Short(p.x);
    d.state.mouse_y = Short(p.y);
    if (d.state.captured == -1) {
        if (d.state.busy) return;
        d.view().SetCursor(PreviewCursorAt(d, p) ? CursorShape::kPointingHand : CursorShape::kArrow);
        HoverDots(d, p);
        return;
    }
    if (d.state.captured == kIdPreview) {
        PreviewDrag(d, p);
        return;
    }
    switch (CapturedKind(d)) {
    case kKindSlider: DragSlider(d, p); break;
    case kKindDirectionPad: DragPad(d, p, control_held); break;
    case kKindMemoryDot: TrackDot(d, p); break;
    default: break;  // the About icon and the well act on release only
    }
}

void MouseRelease(Dialog& d, PixelPoint p) {
    const int id = d.state.captured;
    if (id == -1) return;
    d.view().ReleaseMouse();
    if (id == kIdPreview) {
        PreviewRelease(d, p);
        return;
    }
    const int32_t kind = describe_control(id).kind;
    if (kind == kKindMemoryDot && (d.controls[id].value & kDotPressedBit) != 0) {
        d.controls[id].value &= ~kDotPressedBit;
        redraw_control(d, id);
    }
    d.state.captured = -1;
    if (kind == kKindClickableIcon || kind == kKindMemoryDot || kind == kKindMemoryArea) {
        // Released anywhere, the press counts as a click: the command runs posted.
        d.view().PostClick(id);
        return;
    }
    // A slider or the pad: the drag's value is applied now, once.
    dialog_to_params(d);
    RecordUndo(d, UndoKind::kMemory);
    KillSettleTimer(d);
    render_preview(d);
}

}  // namespace tw
