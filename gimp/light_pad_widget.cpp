#include "gimp/light_pad_widget.h"

#include <algorithm>
#include <cmath>

#include <gdk/gdkkeysyms.h>

#include "gimp/light_pad.h"

namespace tw::gimp {
namespace {

constexpr const char* kStateKey = "tarnwell-light-pad";
constexpr double kPi = 3.14159265358979323846;

struct PadState {
    float light[3] = {0, 0, 1};
    LightChanged changed = nullptr;
    void* context = nullptr;
};

PadState* StateOf(GtkWidget* pad) { return static_cast<PadState*>(g_object_get_data(G_OBJECT(pad), kStateKey)); }

// The disc's centre and radius inside the widget, leaving room for the marker at the rim.
void Geometry(GtkWidget* pad, double& cx, double& cy, double& radius) {
    GtkAllocation a;
    gtk_widget_get_allocation(pad, &a);
    cx = a.width / 2.0;
    cy = a.height / 2.0;
    radius = std::max(4.0, std::min(a.width, a.height) / 2.0 - 5.0);
}

gboolean OnExpose(GtkWidget* pad, GdkEventExpose*, gpointer) {
    const PadState* state = StateOf(pad);
    double cx, cy, r;
    Geometry(pad, cx, cy, r);
    cairo_t* cr = gdk_cairo_create(gtk_widget_get_window(pad));

    // A pale sphere lit from the upper left, as the light usually is.
    cairo_pattern_t* shade = cairo_pattern_create_radial(cx - r * 0.35, cy - r * 0.4, r * 0.1, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(shade, 0, 0.98, 0.99, 1.0);
    cairo_pattern_add_color_stop_rgb(shade, 1, 0.70, 0.76, 0.86);
    cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
    cairo_set_source(cr, shade);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(shade);
    cairo_set_source_rgb(cr, 0.35, 0.40, 0.50);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    // Faint cross hairs through the middle: light from the viewer.
    cairo_set_source_rgba(cr, 0.35, 0.40, 0.50, 0.35);
    cairo_move_to(cr, cx - r, cy + 0.5);
    cairo_line_to(cr, cx + r, cy + 0.5);
    cairo_move_to(cr, cx + 0.5, cy - r);
    cairo_line_to(cr, cx + 0.5, cy + r);
    cairo_stroke(cr);

    double dx = 0, dy = 0;
    PadPoint(state->light, r, dx, dy);
    const bool behind = state->light[2] < 0;
    if (behind) cairo_set_source_rgb(cr, 1, 0, 1);
    else cairo_set_source_rgb(cr, 67 / 255.0, 109 / 255.0, 186 / 255.0);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, cx, cy);
    cairo_line_to(cr, cx + dx, cy + dy);
    cairo_stroke(cr);
    cairo_arc(cr, cx + dx, cy + dy, 4, 0, 2 * kPi);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.15, 0.25, 0.45);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);

    if (gtk_widget_has_focus(pad)) {
        GtkAllocation a;
        gtk_widget_get_allocation(pad, &a);
        gtk_paint_focus(gtk_widget_get_style(pad), gtk_widget_get_window(pad), GTK_STATE_NORMAL, nullptr, pad,
                        "tarnwell-light-pad", 0, 0, a.width, a.height);
    }
    cairo_destroy(cr);
    return TRUE;
}

void SetFromPointer(GtkWidget* pad, double x, double y, GdkModifierType modifiers) {
    PadState* state = StateOf(pad);
    double cx, cy, r;
    Geometry(pad, cx, cy, r);
    const LightDirection d = LightFromPad(x - cx, y - cy, r, (modifiers & GDK_CONTROL_MASK) != 0);
    state->light[0] = d.x;
    state->light[1] = d.y;
    state->light[2] = d.z;
    gtk_widget_queue_draw(pad);
    if (state->changed) state->changed(state->context);
}

gboolean OnPress(GtkWidget* pad, GdkEventButton* event, gpointer) {
    if (event->button != 1) return FALSE;
    gtk_widget_grab_focus(pad);
    SetFromPointer(pad, event->x, event->y, GdkModifierType(event->state));
    return TRUE;
}

gboolean OnMotion(GtkWidget* pad, GdkEventMotion* event, gpointer) {
    if (!(event->state & GDK_BUTTON1_MASK)) return FALSE;
    SetFromPointer(pad, event->x, event->y, GdkModifierType(event->state));
    gdk_event_request_motions(event);  // one update per drawn frame, not per pointer sample
    return TRUE;
}

// The arrow keys move the light a little; Home brings it to the viewer.
gboolean OnKey(GtkWidget* pad, GdkEventKey* event, gpointer) {
    PadState* state = StateOf(pad);
    double cx, cy, r;
    Geometry(pad, cx, cy, r);
    double dx = 0, dy = 0;
    PadPoint(state->light, r, dx, dy);
    const double step = std::max(1.0, r / 16);
    switch (event->keyval) {
        case GDK_KEY_Left: dx -= step; break;
        case GDK_KEY_Right: dx += step; break;
        case GDK_KEY_Up: dy -= step; break;
        case GDK_KEY_Down: dy += step; break;
        case GDK_KEY_Home: dx = dy = 0; break;
        default: return FALSE;
    }
    SetFromPointer(pad, cx + dx, cy + dy, GdkModifierType(0));
    return TRUE;
}

}  // namespace

GtkWidget* LightPadNew(int size, LightChanged changed, void* context) {
    GtkWidget* pad = gtk_drawing_area_new();
    auto* state = new PadState;
    state->changed = changed;
    state->context = context;
    g_object_set_data_full(G_OBJECT(pad), kStateKey, state, [](gpointer p) { delete static_cast<PadState*>(p); });
    gtk_widget_set_size_request(pad, size, size);
    gtk_widget_set_can_focus(pad, TRUE);
    gtk_widget_add_events(pad, GDK_BUTTON_PRESS_MASK | GDK_BUTTON1_MOTION_MASK | GDK_POINTER_MOTION_HINT_MASK |
                                   GDK_KEY_PRESS_MASK);
    g_signal_connect(pad, "expose-event", G_CALLBACK(OnExpose), nullptr);
    g_signal_connect(pad, "button-press-event", G_CALLBACK(OnPress), nullptr);
    g_signal_connect(pad, "motion-notify-event", G_CALLBACK(OnMotion), nullptr);
    g_signal_connect(pad, "key-press-event", G_CALLBACK(OnKey), nullptr);
    return pad;
}

void LightPadSet(GtkWidget* pad, const float light[3]) {
    PadState* state = StateOf(pad);
    for (int i = 0; i < 3; ++i) state->light[i] = light[i];
    gtk_widget_queue_draw(pad);
}

void LightPadGet(GtkWidget* pad, float light[3]) {
    const PadState* state = StateOf(pad);
    for (int i = 0; i < 3; ++i) light[i] = state->light[i];
}

}  // namespace tw::gimp
