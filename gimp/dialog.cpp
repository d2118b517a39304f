// The dialog: building a control for every row of the parameter table, keeping them and
// the parameter record in step, the preview's requests, deliveries, zoom and clicks, and
// Load, Save, dice and reset.
#include "gimp/dialog.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include "gimp/drawable_pixels.h"
#include "gimp/filter_apply.h"
#include "gimp/light_pad_widget.h"
#include "gimp/mnemonics.h"
#include "gimp/parameters.h"
#include "gimp/preview_renderer.h"
#include "params/settings_precision.h"
#include "platform/platform.h"
#include "settings/picture.h"
#include "settings/random_settings.h"
#include "settings/settings_file.h"
#include "ui/preview_zoom.h"

namespace tw::gimp {
namespace {

constexpr int kResponseReset = 1;
// The buttons' texts: the labels' mnemonics are chosen around theirs.
constexpr const char* kResetText = "_Reset";
constexpr const char* kCancelText = "_Cancel";
constexpr const char* kOkText = "_OK";
constexpr const char* kLoadText = "_Load\u2026";
constexpr const char* kSaveText = "_Save\u2026";
constexpr const char* kDiceText = "_Dice";
constexpr const char* kNewSeedText = "_New Seed";
// The largest preview pane; the plug-in's integer zoom fits the picture into it.
constexpr int kPaneWidth = 560, kPaneHeight = 440;
// How long the values must rest before a preview starts: a slider drag renders when the
// hand pauses, typing when the typist does.
constexpr guint kQuietMilliseconds = 120;
using Clock = std::chrono::steady_clock;

// The control of one table row: a slider's adjustment, or its widgets (a combo box, a colour
// button, a spin button, the light pad; the ripple centre's two spin buttons).
struct RowControl {
    const ParameterInfo* row = nullptr;
    GtkObject* adjustment = nullptr;
    GtkWidget* widgets[2] = {nullptr, nullptr};
};

struct Dialog {
    int32_t drawable = -1;
    RenderParams params{};
    bool is_float = false;

    GtkWidget* window = nullptr;
    GtkWidget* status = nullptr;
    std::vector<RowControl> controls;  // one per table row, made while the dialog is built
    std::map<const ParameterInfo*, std::string> labels;  // rows other than sliders: label and mnemonic
    // Set while the dialog writes its own controls, so their change signals are not
    // taken for the user's edits.
    bool updating = false;

    // The preview: the picture's size and layout (its pixels went to `document`, which the
    // renderer shares), its view, the renderer and what is shown.
    DrawablePixels picture;
    std::shared_ptr<const host::Document> document;
    int32_t width = 1, height = 1;
    PreviewView view;
    int32_t fit_zoom = 1;
    GtkWidget* area = nullptr;
    GtkWidget* zoom_in = nullptr;
    GtkWidget* zoom_out = nullptr;
    GtkWidget* zoom_label = nullptr;
    std::unique_ptr<PreviewRenderer> renderer;
    std::vector<uint8_t> shown;  // the newest delivered view, as the screen shows it
    int shown_width = 0, shown_height = 0, shown_planes = 3;
    guint quiet_timer = 0;
    std::string render_note;
    Clock::time_point changed_at{};
    bool change_pending = false;
    // A press in the preview: a click sets the ripple centre, a drag pans a zoomed view.
    bool pressed = false, dragged = false;
    double press_x = 0, press_y = 0;
    int32_t press_pan_x = 0, press_pan_y = 0;

    // Deliveries from the renderer's thread wait here for the user interface's thread.
    std::mutex delivery_mutex;
    std::unique_ptr<PreviewResult> delivered;
    guint delivery_source = 0;
};

// ---- Controls and the record --------------------------------------------------------------

GimpRGB ToGimp(const Rgb16& c) {
    GimpRGB rgb;
    gimp_rgb_set(&rgb, c.r / 65535.0, c.g / 65535.0, c.b / 65535.0);
    gimp_rgb_set_alpha(&rgb, 1.0);
    return rgb;
}

Rgb16 FromGimp(const GimpRGB& rgb) {
    auto word = [](double v) { return uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0)); };
    return Rgb16{word(rgb.r), word(rgb.g), word(rgb.b)};
}

void UpdateStatus(Dialog& d) {
    std::string text = d.params.settings_name;
    if (!d.render_note.empty()) text += "  \u2014  " + d.render_note;
    gtk_label_set_text(GTK_LABEL(d.status), text.c_str());
}

// Writes one control from the record.
void ShowControl(const Dialog& d, const RowControl& c) {
    const ParameterInfo& row = *c.row;
    switch (row.kind) {
        case ParameterKind::kSlider:
            gtk_adjustment_set_value(GTK_ADJUSTMENT(c.adjustment), ParameterComponent(d.params, row, 0));
            break;
        case ParameterKind::kStyle:
        case ParameterKind::kGlue:
            gimp_int_combo_box_set_active(GIMP_INT_COMBO_BOX(c.widgets[0]), gint(ParameterComponent(d.params, row, 0)));
            break;
        case ParameterKind::kColour: {
            const GimpRGB rgb = ToGimp(d.params.*row.colour);
            gimp_color_button_set_color(GIMP_COLOR_BUTTON(c.widgets[0]), &rgb);
            break;
        }
        case ParameterKind::kSeed:
        case ParameterKind::kPoint:
            for (int i = 0; i < row.components; ++i)
                gtk_spin_button_set_value(GTK_SPIN_BUTTON(c.widgets[i]), ParameterComponent(d.params, row, i));
            break;
        case ParameterKind::kDirection: LightPadSet(c.widgets[0], d.params.*row.vector); break;
    }
}

// Writes every control from the record.
void ShowParams(Dialog& d) {
    d.updating = true;
    for (const RowControl& c : d.controls) ShowControl(d, c);
    d.updating = false;
    UpdateStatus(d);
}

// Reads one control into the record.
void ReadControl(Dialog& d, const RowControl& c) {
    const ParameterInfo& row = *c.row;
    switch (row.kind) {
        case ParameterKind::kSlider:
            SetParameterComponent(d.params, row, 0, gtk_adjustment_get_value(GTK_ADJUSTMENT(c.adjustment)));
            break;
        case ParameterKind::kStyle:
        case ParameterKind::kGlue: {
            gint value = gint(ParameterComponent(d.params, row, 0));
            gimp_int_combo_box_get_active(GIMP_INT_COMBO_BOX(c.widgets[0]), &value);
            SetParameterComponent(d.params, row, 0, value);
            break;
        }
        case ParameterKind::kColour: {
            GimpRGB rgb;
            gimp_color_button_get_color(GIMP_COLOR_BUTTON(c.widgets[0]), &rgb);
            d.params.*row.colour = FromGimp(rgb);
            break;
        }
        case ParameterKind::kSeed:
        case ParameterKind::kPoint:
            for (int i = 0; i < row.components; ++i)
                SetParameterComponent(d.params, row, i, gtk_spin_button_get_value(GTK_SPIN_BUTTON(c.widgets[i])));
            break;
        case ParameterKind::kDirection: LightPadGet(c.widgets[0], d.params.*row.vector); break;
    }
    // An edit lands in the precision a settings file keeps (the light in hundredths, the
    // centre in 1/65536), so the preview renders what OK renders and the cached settings keep.
    RoundToSettingsPrecision(d.params);
}

const RowControl* ControlOfKind(const Dialog& d, ParameterKind kind) {
    for (const RowControl& c : d.controls)
        if (c.row->kind == kind) return &c;
    return nullptr;
}

gboolean OnQuiet(gpointer data);

// The values changed: whatever renders now is stale, and a new preview starts once the
// values have rested a moment.
void ValuesChanged(Dialog& d) {
    d.renderer->Stop();
    d.changed_at = Clock::now();
    d.change_pending = true;
    d.render_note = "waiting";
    UpdateStatus(d);
    if (d.quiet_timer) g_source_remove(d.quiet_timer);
    d.quiet_timer = g_timeout_add(kQuietMilliseconds, OnQuiet, &d);
}

// Any control's change signal: the control that sent it is read back into the record.
void OnEdited(gpointer source, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    if (d.updating) return;
    for (const RowControl& c : d.controls)
        if (source == c.adjustment || source == c.widgets[0] || source == c.widgets[1]) ReadControl(d, c);
    ValuesChanged(d);
}

void OnLight(void* data) {
    auto& d = *static_cast<Dialog*>(data);
    if (d.updating) return;
    if (const RowControl* light = ControlOfKind(d, ParameterKind::kDirection)) ReadControl(d, *light);
    ValuesChanged(d);
}

// A whole new look (dice, reset, load): every control, then one preview.
void NewLook(Dialog& d, const char* name) {
    if (name) SetText(d.params.settings_name, name);
    ClampToRanges(d.params);
    ShowParams(d);
    ValuesChanged(d);
}

// ---- The preview ---------------------------------------------------------------------------

void RequestPreview(Dialog& d) {
    ClampPreviewPan(d.view, d.width, d.height);
    d.render_note = "rendering\u2026";
    UpdateStatus(d);
    d.renderer->Request(d.params, d.view);
}

gboolean OnQuiet(gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    d.quiet_timer = 0;
    RequestPreview(d);
    return FALSE;
}

void ShowZoom(Dialog& d) {
    gtk_label_set_text(GTK_LABEL(d.zoom_label), ZoomReadout(d.view.zoom).c_str());
    gtk_widget_set_sensitive(d.zoom_in, d.view.zoom > 1);
    gtk_widget_set_sensitive(d.zoom_out, d.view.zoom < d.fit_zoom);
}

// Zooms by one of the plug-in's steps (every zoom-th pixel), keeping the middle in place as
// the plug-in's dialog does.
void Zoom(Dialog& d, int32_t zoom) {
    zoom = std::clamp(zoom, 1, d.fit_zoom);
    if (zoom == d.view.zoom) return;
    const int32_t from = d.view.zoom;
    const int32_t shown_x = std::min(d.width / from, d.view.pane_width);
    const int32_t shown_y = std::min(d.height / from, d.view.pane_height);
    d.view.pan_x = RecentredPan(d.view.pan_x, from, zoom, shown_x, d.view.pane_width);
    d.view.pan_y = RecentredPan(d.view.pan_y, from, zoom, shown_y, d.view.pane_height);
    d.view.zoom = zoom;
    ShowZoom(d);
    RequestPreview(d);
}

void OnZoomIn(GtkWidget*, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    Zoom(d, d.view.zoom - 1);
}

void OnZoomOut(GtkWidget*, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    Zoom(d, d.view.zoom + 1);
}

// Draws the newest render; the user interface's thread only.
void ShowDelivery(Dialog& d, PreviewResult& result) {
    if (result.generation != d.renderer->Newest()) return;  // newer values are on their way
    if (!result.ok) {
        d.render_note = result.error;
        UpdateStatus(d);
        return;
    }
    EncodeForDisplay(d.picture.layout, d.picture.format, result.image.pixels);
    d.shown = std::move(result.image.pixels);
    d.shown_width = result.image.width;
    d.shown_height = result.image.height;
    d.shown_planes = result.image.planes;
    gimp_preview_area_fill(GIMP_PREVIEW_AREA(d.area), 0, 0, d.view.pane_width, d.view.pane_height, 128, 128, 128);
    gimp_preview_area_draw(GIMP_PREVIEW_AREA(d.area), 0, 0, d.shown_width, d.shown_height,
                           d.shown_planes == 1 ? GIMP_GRAY_IMAGE : GIMP_RGB_IMAGE, d.shown.data(),
                           d.shown_width * d.shown_planes);
    char note[64];
    std::snprintf(note, sizeof note, "preview in %.2f s", result.seconds);
    d.render_note = note;
    UpdateStatus(d);
    TraceEvent("preview-render", result.seconds);
    if (d.change_pending) {
        d.change_pending = false;
        TraceEvent("preview", std::chrono::duration<double>(Clock::now() - d.changed_at).count());
    }
    // A checksum of what is shown lets a test see that the preview really changed.
    uint32_t sum = 2166136261u;
    for (uint8_t b : d.shown) sum = (sum ^ b) * 16777619u;
    TraceEvent("preview-pixels-" + std::to_string(sum), 0);
}

gboolean TakeDelivery(gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    std::unique_ptr<PreviewResult> result;
    {
        std::lock_guard<std::mutex> lock(d.delivery_mutex);
        result = std::move(d.delivered);
        d.delivery_source = 0;
    }
    if (result) ShowDelivery(d, *result);
    return FALSE;
}

// On the renderer's thread: keep the newest result and wake the user interface's thread.
void Deliver(Dialog& d, PreviewResult&& result) {
    std::lock_guard<std::mutex> lock(d.delivery_mutex);
    d.delivered = std::make_unique<PreviewResult>(std::move(result));
    if (d.delivery_source == 0) d.delivery_source = g_idle_add(TakeDelivery, &d);
}

void SetCursor(GtkWidget* area, GdkCursorType type) {
    GdkWindow* window = gtk_widget_get_window(area);
    if (!window) return;
    GdkCursor* cursor = gdk_cursor_new_for_display(gtk_widget_get_display(area), type);
    gdk_window_set_cursor(window, cursor);
    gdk_cursor_unref(cursor);
}

gboolean OnAreaPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
    d.pressed = true;
    d.dragged = false;
    d.press_x = event->x;
    d.press_y = event->y;
    d.press_pan_x = d.view.pan_x;
    d.press_pan_y = d.view.pan_y;
    return TRUE;
}

// A zoomed-in view follows the pointer while the button is held.
gboolean OnAreaMotion(GtkWidget* area, GdkEventMotion* event, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    if (!d.pressed || d.view.zoom >= d.fit_zoom) return FALSE;
    const double dx = event->x - d.press_x, dy = event->y - d.press_y;
    if (!d.dragged && std::hypot(dx, dy) < 3) return TRUE;
    if (!d.dragged) SetCursor(area, GDK_FLEUR);
    d.dragged = true;
    d.view.pan_x = d.press_pan_x - int32_t(std::lround(dx * d.view.zoom));
    d.view.pan_y = d.press_pan_y - int32_t(std::lround(dy * d.view.zoom));
    RequestPreview(d);
    gdk_event_request_motions(event);
    return TRUE;
}

// A click (no drag) puts the ripple centre where it was made.
gboolean OnAreaRelease(GtkWidget* area, GdkEventButton* event, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    if (event->button != 1 || !d.pressed) return FALSE;
    d.pressed = false;
    if (d.dragged) {
        SetCursor(area, GDK_CROSSHAIR);
        return TRUE;
    }
    const RowControl* centre = ControlOfKind(d, ParameterKind::kPoint);
    if (centre == nullptr) return TRUE;
    // The picture pixel under the click, as the plug-in's dialog finds it; the view is drawn
    // from the area's top-left corner.
    const RippleCentre at = RippleCentreAt(PixelPoint{int32_t(event->x), int32_t(event->y)}, PixelPoint{0, 0},
                                           d.view.zoom, d.view.pan_x, d.view.pan_y, d.width, d.height);
    const ParameterInfo& row = *centre->row;
    SetParameterComponent(d.params, row, 0, at.pick_x);
    SetParameterComponent(d.params, row, 1, at.pick_y);
    RoundToSettingsPrecision(d.params);
    d.updating = true;
    ShowControl(d, *centre);
    d.updating = false;
    ValuesChanged(d);
    return TRUE;
}

void OnAreaRealize(GtkWidget* area, gpointer) { SetCursor(area, GDK_CROSSHAIR); }

// ---- Settings files, dice, seed -----------------------------------------------------------

GtkWidget* SettingsChooser(Dialog& d, bool save) {
    GtkWidget* chooser = gtk_file_chooser_dialog_new(
        save ? "Save a Settings File" : "Open a Settings File", GTK_WINDOW(d.window),
        save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL,
        save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_dialog_set_alternative_button_order(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT, GTK_RESPONSE_CANCEL, -1);
    gtk_dialog_set_default_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, "Tarnwell settings (*.q8r)");
    gtk_file_filter_add_pattern(filter, "*.q8r");
    gtk_file_filter_add_pattern(filter, "*.Q8R");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), filter);
    // The folder of the last settings file loaded or saved, as the plug-in's dialog keeps it.
    if (d.params.settings_folder[0])
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), d.params.settings_folder);
    GtkFileFilter* all = gtk_file_filter_new();
    gtk_file_filter_set_name(all, "All files");
    gtk_file_filter_add_pattern(all, "*");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(chooser), all);
    return chooser;
}

std::string ChosenFile(GtkWidget* chooser) {
    std::string path;
    if (gtk_dialog_run(GTK_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
        if (name) path = name;
        g_free(name);
    }
    gtk_widget_destroy(chooser);
    return path;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void RememberFolder(Dialog& d, const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) SetText(d.params.settings_folder, path.substr(0, slash + 1).c_str());
}

void OnLoad(GtkWidget*, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    const std::string path = ChosenFile(SettingsChooser(d, false));
    if (path.empty()) return;
    RenderParams loaded = d.params;
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes) || bytes.size() < 4 || !LoadSettings(path, loaded, nullptr)) {
        g_message("Tarnwell 2: \"%s\" is not a readable settings file.", path.c_str());
        return;
    }
    d.params = loaded;
    RememberFolder(d, path);
    NewLook(d, BaseName(path).c_str());
}

void OnSave(GtkWidget*, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    GtkWidget* chooser = SettingsChooser(d, true);
    std::string proposed = d.params.settings_name[0] ? d.params.settings_name : "Tarnwell settings";
    if (const size_t dot = proposed.find_last_of('.'); dot != std::string::npos && dot > 0) proposed.resize(dot);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), (proposed + ".q8r").c_str());
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(chooser), TRUE);
    const std::string path = ChosenFile(chooser);
    if (path.empty()) return;
    // The file carries a small picture of the look, as the plug-in's dialog saves it: the
    // water over the whole picture (not faded by the selection) at the fitted preview's
    // size, without the preview's guides.
    Picture holder;
    bool with_picture = false;
    host::Document whole = *d.document;
    whole.mask.clear();
    PreviewImage water;
    std::string error;
    if (RenderWaterPicture(whole, d.params, std::max(d.width / d.fit_zoom, 1), std::max(d.height / d.fit_zoom, 1),
                           water, error)) {
        EncodeForDisplay(d.picture.layout, d.picture.format, water.pixels);
        // The samples are interleaved, one or three to a pixel; the picture is made from planes.
        const size_t plane = size_t(water.width) * size_t(water.height);
        const size_t planes = size_t(water.planes);
        std::vector<uint8_t> planar(plane * planes);
        for (size_t i = 0; i < plane; ++i)
            for (size_t c = 0; c < planes; ++c) planar[c * plane + i] = water.pixels[i * planes + c];
        with_picture = CapturePicture(PlanarView{planar.data(), water.width, water.height, water.planes}, holder);
    }
    SetText(d.params.settings_name, BaseName(path).c_str());
    RememberFolder(d, path);
    RenderParams written = d.params;
    if (!WriteSettings(path, written, with_picture ? &holder : nullptr, with_picture)) {
        g_message("Tarnwell 2: cannot write the settings file \"%s\".", path.c_str());
        return;
    }
    if (!with_picture) d.render_note = "saved without a picture: " + (error.empty() ? "no picture" : error);
    UpdateStatus(d);
}

void OnDice(GtkWidget*, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    RandomizeSettings(d.params);
    NewLook(d, "random settings");
}

void OnNewSeed(GtkWidget*, gpointer data) {
    auto& d = *static_cast<Dialog*>(data);
    const ParameterInfo& seed = RowOfKind(ParameterKind::kSeed);
    SetParameterComponent(d.params, seed, 0, RandomInt(int(seed.min), int(seed.max)));
    NewLook(d, "random settings");
}

void Reset(Dialog& d) {
    ResetToPlain(d.params);
    NewLook(d, "plain settings");
}

// ---- Building the dialog ---------------------------------------------------------------------

GtkWidget* Frame(const char* title, GtkWidget* child) {
    GtkWidget* frame = gimp_frame_new(title);
    gtk_container_add(GTK_CONTAINER(frame), child);
    return frame;
}

GtkWidget* NewTable(int rows, int columns) {
    GtkWidget* table = gtk_table_new(rows, columns, FALSE);
    gtk_table_set_col_spacings(GTK_TABLE(table), 6);
    gtk_table_set_row_spacings(GTK_TABLE(table), 4);
    return table;
}

GtkWidget* LabelFor(const char* text, GtkWidget* widget) {
    GtkWidget* label = gtk_label_new_with_mnemonic(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0, 0.5);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), widget);
    return label;
}

GtkWidget* IconButton(const char* text, const char* icon, const char* tip, GCallback callback, Dialog& d) {
    GtkWidget* button = gtk_button_new_with_mnemonic(text);
    if (icon) gtk_button_set_image(GTK_BUTTON(button), gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_BUTTON));
    gimp_help_set_help_data(button, tip, nullptr);
    g_signal_connect(button, "clicked", callback, &d);
    return button;
}

// The label of a row other than a slider: the table's label with its chosen mnemonic.
const char* RowLabel(const Dialog& d, const ParameterInfo& row) { return d.labels.at(&row).c_str(); }

// A slider row (GIMP's scale and number) for each slider of a frame.
GtkWidget* SliderTable(Dialog& d, const std::vector<const ParameterInfo*>& sliders, GtkSizeGroup* labels) {
    GtkWidget* table = NewTable(int(sliders.size()), 3);
    int line = 0;
    for (const ParameterInfo* row : sliders) {
        const std::string label = std::string(row->label) + ":";
        const double page = (row->max - row->min) / 10;
        GtkObject* adjustment = gimp_scale_entry_new(GTK_TABLE(table), 0, line++, label.c_str(), 180, 6,
                                                     ParameterComponent(d.params, *row, 0), row->min, row->max, 1,
                                                     page, 1, TRUE, 0, 0, Tooltip(*row).c_str(), nullptr);
        g_signal_connect(adjustment, "value-changed", G_CALLBACK(OnEdited), &d);
        gtk_size_group_add_widget(labels, GTK_WIDGET(GIMP_SCALE_ENTRY_LABEL(adjustment)));
        RowControl control;
        control.row = row;
        control.adjustment = adjustment;
        d.controls.push_back(control);
    }
    return table;
}

GtkWidget* Spin(double value, double min, double max, double step, int digits, Dialog& d) {
    GtkObject* adjustment = gtk_adjustment_new(value, min, max, step, step * 10, 0);
    GtkWidget* spin = gimp_spin_button_new(&adjustment, value, min, max, step, step * 10, 0, 1, guint(digits));
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(spin), TRUE);
    g_signal_connect(spin, "value-changed", G_CALLBACK(OnEdited), &d);
    return spin;
}

GtkWidget* Combo(Dialog& d, const std::vector<std::string>& names, int first_value) {
    GtkWidget* combo = gimp_int_combo_box_new(nullptr, 0, nullptr);
    for (size_t i = 0; i < names.size(); ++i)
        gimp_int_combo_box_append(GIMP_INT_COMBO_BOX(combo), GIMP_INT_STORE_VALUE, gint(first_value + int(i)),
                                  GIMP_INT_STORE_LABEL, names[i].c_str(), -1);
    g_signal_connect(combo, "changed", G_CALLBACK(OnEdited), &d);
    return combo;
}

// The control of a row other than a slider, by its kind, with the row's range and tooltip.
RowControl MakeControl(Dialog& d, const ParameterInfo& row) {
    RowControl control;
    control.row = &row;
    GtkWidget*& widget = control.widgets[0];
    std::string tip = Tooltip(row);
    switch (row.kind) {
        case ParameterKind::kSlider: break;  // SliderTable's
        case ParameterKind::kStyle: {
            std::vector<std::string> names;
            for (const StyleChoice& choice : StyleChoices()) names.push_back(choice.label);
            widget = Combo(d, names, StyleChoices().front().value);
            break;
        }
        case ParameterKind::kGlue:
            widget = Combo(d, GlueNames(), int(row.min));
            gtk_combo_box_set_wrap_width(GTK_COMBO_BOX(widget), 3);
            // As in the plug-in's own dialog: float images get the water without a glue mode.
            if (d.is_float) tip = "Floating-point images take the water as it is rendered";
            break;
        case ParameterKind::kColour: {
            const GimpRGB rgb = ToGimp(d.params.*row.colour);
            const std::string title = std::string("Tarnwell 2: ") + row.label;
            widget = gimp_color_button_new(title.c_str(), 56, 20, &rgb, GIMP_COLOR_AREA_FLAT);
            gimp_color_button_set_update(GIMP_COLOR_BUTTON(widget), TRUE);
            g_signal_connect(widget, "color-changed", G_CALLBACK(OnEdited), &d);
            break;
        }
        case ParameterKind::kSeed:
            widget = Spin(ParameterComponent(d.params, row, 0), row.min, row.max, 1, 0, d);
            break;
        case ParameterKind::kPoint:
            for (int c = 0; c < 2; ++c)
                control.widgets[c] = Spin(ParameterComponent(d.params, row, c), row.min, row.max, 0.01, 3, d);
            gimp_help_set_help_data(control.widgets[1], (tip + " (down the picture)").c_str(), nullptr);
            tip += " (across the picture); a click in the preview sets it too";
            break;
        case ParameterKind::kDirection:
            widget = LightPadNew(84, OnLight, &d);
            tip += ": the middle is light from the viewer, the rim light skimming the water. Click or drag; "
                   "Ctrl-click for light from the viewer.";
            break;
    }
    gimp_help_set_help_data(widget, tip.c_str(), nullptr);
    return control;
}

// The rows of a frame after its sliders, placed by kind: a combo box or spin button across
// the frame (the seed with New Seed beside it, the centre as x by y), then the light pad at
// the left of the colour buttons.
GtkWidget* ExtrasTable(Dialog& d, const std::vector<const ParameterInfo*>& rows, GtkSizeGroup* labels) {
    GtkWidget* table = NewTable(int(rows.size()) + 1, 4);
    const auto fill = GtkAttachOptions(GTK_EXPAND | GTK_FILL);
    guint line = 0;
    std::vector<const RowControl*> colours;
    const RowControl* light = nullptr;
    for (const ParameterInfo* row : rows) {
        d.controls.push_back(MakeControl(d, *row));
        const RowControl& c = d.controls.back();
        if (row->kind == ParameterKind::kColour || row->kind == ParameterKind::kDirection) continue;
        GtkWidget* label = LabelFor(RowLabel(d, *row), c.widgets[0]);
        gtk_size_group_add_widget(labels, label);
        gtk_table_attach(GTK_TABLE(table), label, 0, 1, line, line + 1, GTK_FILL, GTK_FILL, 0, 0);
        if (row->kind == ParameterKind::kSeed) {
            gtk_table_attach(GTK_TABLE(table), c.widgets[0], 1, 2, line, line + 1, GTK_FILL, GTK_FILL, 0, 0);
            GtkWidget* new_seed = IconButton(kNewSeedText, GIMP_ICON_VIEW_REFRESH, "A new ripple pattern",
                                             G_CALLBACK(OnNewSeed), d);
            gtk_table_attach(GTK_TABLE(table), new_seed, 2, 4, line, line + 1, GTK_FILL, GTK_FILL, 0, 0);
        } else if (row->kind == ParameterKind::kPoint) {
            gtk_table_attach(GTK_TABLE(table), c.widgets[0], 1, 2, line, line + 1, GTK_FILL, GTK_FILL, 0, 0);
            gtk_table_attach(GTK_TABLE(table), gtk_label_new("\u00d7"), 2, 3, line, line + 1, GTK_SHRINK, GTK_FILL,
                             0, 0);
            gtk_table_attach(GTK_TABLE(table), c.widgets[1], 3, 4, line, line + 1, GTK_FILL, GTK_FILL, 0, 0);
        } else {
            gtk_table_attach(GTK_TABLE(table), c.widgets[0], 1, 4, line, line + 1, fill, GTK_FILL, 0, 0);
        }
        ++line;
    }
    // Pointers into d.controls are taken once it has stopped growing for this table.
    for (size_t i = d.controls.size() - rows.size(); i < d.controls.size(); ++i) {
        if (d.controls[i].row->kind == ParameterKind::kColour) colours.push_back(&d.controls[i]);
        if (d.controls[i].row->kind == ParameterKind::kDirection) light = &d.controls[i];
    }
    const guint span = guint(std::max<size_t>(colours.size(), 2));
    if (light != nullptr) {
        GtkWidget* label = LabelFor(RowLabel(d, *light->row), light->widgets[0]);
        gtk_misc_set_alignment(GTK_MISC(label), 0.0, 0.0);
        gtk_size_group_add_widget(labels, label);
        gtk_table_attach(GTK_TABLE(table), label, 0, 1, line, line + span, GTK_FILL, GTK_FILL, 0, 0);
        gtk_table_attach(GTK_TABLE(table), light->widgets[0], 1, 2, line, line + span, GTK_SHRINK, GTK_SHRINK, 0, 0);
    }
    for (size_t i = 0; i < colours.size(); ++i) {
        const guint at = line + guint(i);
        GtkWidget* label = LabelFor(RowLabel(d, *colours[i]->row), colours[i]->widgets[0]);
        gtk_misc_set_alignment(GTK_MISC(label), 1.0, 0.5);
        gtk_table_attach(GTK_TABLE(table), label, 2, 3, at, at + 1, fill, GTK_SHRINK, 0, 0);
        gtk_table_attach(GTK_TABLE(table), colours[i]->widgets[0], 3, 4, at, at + 1, GTK_SHRINK, GTK_SHRINK, 0, 0);
    }
    return table;
}

// Rows without a frame (the glue): a label and its control on a line each.
GtkWidget* UnframedRows(Dialog& d, const std::vector<const ParameterInfo*>& rows, GtkSizeGroup* labels) {
    GtkWidget* box = gtk_vbox_new(FALSE, 6);
    for (const ParameterInfo* row : rows) {
        d.controls.push_back(MakeControl(d, *row));
        GtkWidget* widget = d.controls.back().widgets[0];
        GtkWidget* line = gtk_hbox_new(FALSE, 6);
        GtkWidget* label = LabelFor(RowLabel(d, *row), widget);
        gtk_size_group_add_widget(labels, label);
        gtk_box_pack_start(GTK_BOX(line), label, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(line), widget, TRUE, TRUE, 0);
        if (row->kind == ParameterKind::kGlue) {
            gtk_widget_set_sensitive(label, !d.is_float);
            gtk_widget_set_sensitive(widget, !d.is_float);
        }
        gtk_box_pack_start(GTK_BOX(box), line, FALSE, FALSE, 0);
    }
    return box;
}

GtkWidget* FileButtons(Dialog& d) {
    GtkWidget* row = gtk_hbox_new(TRUE, 6);
    gtk_box_pack_start(GTK_BOX(row), IconButton(kLoadText, GIMP_ICON_DOCUMENT_OPEN,
                                                "Load a settings file (*.q8r)", G_CALLBACK(OnLoad), d),
                       TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(row), IconButton(kSaveText, GIMP_ICON_DOCUMENT_SAVE,
                                                "Save these settings as a file (*.q8r)", G_CALLBACK(OnSave), d),
                       TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(row), IconButton(kDiceText, GIMP_ICON_VIEW_REFRESH,
                                                "Random settings: a new look for the water", G_CALLBACK(OnDice), d),
                       TRUE, TRUE, 0);
    return row;
}

GtkWidget* ZoomButton(const char* icon, const char* tip, GCallback callback, Dialog& d) {
    GtkWidget* button = gtk_button_new();
    gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
    gtk_container_add(GTK_CONTAINER(button), gtk_image_new_from_icon_name(icon, GTK_ICON_SIZE_MENU));
    gimp_help_set_help_data(button, tip, nullptr);
    g_signal_connect(button, "clicked", callback, &d);
    return button;
}

GtkWidget* PreviewColumn(Dialog& d) {
    GtkWidget* column = gtk_vbox_new(FALSE, 6);
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_IN);
    d.area = gimp_preview_area_new();
    gtk_widget_set_size_request(d.area, d.view.pane_width, d.view.pane_height);
    gtk_widget_add_events(d.area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON1_MOTION_MASK |
                                      GDK_POINTER_MOTION_HINT_MASK);
    g_signal_connect(d.area, "button-press-event", G_CALLBACK(OnAreaPress), &d);
    g_signal_connect(d.area, "motion-notify-event", G_CALLBACK(OnAreaMotion), &d);
    g_signal_connect(d.area, "button-release-event", G_CALLBACK(OnAreaRelease), &d);
    g_signal_connect(d.area, "realize", G_CALLBACK(OnAreaRealize), nullptr);
    gimp_help_set_help_data(d.area, "Click to put the ripple centre there; drag to move a zoomed-in view. "
                                    "The horizon is magenta, the waterline green.", nullptr);
    gtk_container_add(GTK_CONTAINER(frame), d.area);
    // The frame keeps the pane's size; it does not grow with the dialog.
    GtkWidget* holder = gtk_alignment_new(0.5, 0.0, 0.0, 0.0);
    gtk_container_add(GTK_CONTAINER(holder), frame);
    gtk_box_pack_start(GTK_BOX(column), holder, FALSE, FALSE, 0);

    GtkWidget* row = gtk_hbox_new(FALSE, 2);
    d.status = gtk_label_new("");
    gtk_misc_set_alignment(GTK_MISC(d.status), 0.0, 0.5);
    gtk_label_set_ellipsize(GTK_LABEL(d.status), PANGO_ELLIPSIZE_END);
    gimp_label_set_attributes(GTK_LABEL(d.status), PANGO_ATTR_STYLE, PANGO_STYLE_ITALIC, -1);
    gtk_box_pack_start(GTK_BOX(row), d.status, TRUE, TRUE, 0);
    d.zoom_out = ZoomButton(GIMP_ICON_ZOOM_OUT, "Zoom out", G_CALLBACK(OnZoomOut), d);
    d.zoom_label = gtk_label_new("");
    gtk_label_set_width_chars(GTK_LABEL(d.zoom_label), 5);
    d.zoom_in = ZoomButton(GIMP_ICON_ZOOM_IN, "Zoom in", G_CALLBACK(OnZoomIn), d);
    gtk_box_pack_start(GTK_BOX(row), d.zoom_out, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), d.zoom_label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), d.zoom_in, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 0);
    ShowZoom(d);
    return column;
}

// Every row other than a slider gets a mnemonic that no button has and no other row.
void ChooseLabels(Dialog& d, const std::vector<DialogGroup>& groups) {
    std::vector<const ParameterInfo*> rows;
    std::vector<std::string> texts;
    for (const DialogGroup& group : groups)
        for (const ParameterInfo* row : group.rows)
            if (row->kind != ParameterKind::kSlider) {
                rows.push_back(row);
                texts.push_back(std::string(row->label) + ":");
            }
    const std::string taken =
        MnemonicLetters({kResetText, kCancelText, kOkText, kLoadText, kSaveText, kDiceText, kNewSeedText});
    const std::vector<std::string> labels = WithMnemonics(texts, taken);
    for (size_t i = 0; i < rows.size(); ++i) d.labels[rows[i]] = labels[i];
}

void Build(Dialog& d) {
    // No Help button: GIMP's manual has no page for this filter, and the tooltips explain.
    d.window = gimp_dialog_new("Tarnwell 2", "tarnwell", nullptr, GtkDialogFlags(0), nullptr, nullptr, kResetText,
                               kResponseReset, kCancelText, GTK_RESPONSE_CANCEL, kOkText, GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_alternative_button_order(GTK_DIALOG(d.window), kResponseReset, GTK_RESPONSE_OK,
                                            GTK_RESPONSE_CANCEL, -1);
    gtk_dialog_set_default_response(GTK_DIALOG(d.window), GTK_RESPONSE_OK);
    gimp_window_set_transient(GTK_WINDOW(d.window));

    GtkWidget* main = gtk_hbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(main), 12);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(d.window))), main, TRUE, TRUE, 0);

    // The preview with the last frame (the ripple's) under it on the left; the other frames
    // and the rows without a frame on the right. Each column's labels share one width, so
    // its sliders line up.
    GtkWidget* left = PreviewColumn(d);
    GtkWidget* right = gtk_vbox_new(FALSE, 12);
    gtk_box_pack_start(GTK_BOX(main), left, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(main), right, TRUE, TRUE, 0);
    GtkSizeGroup* left_labels = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
    GtkSizeGroup* right_labels = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
    const std::vector<DialogGroup> groups = DialogGroups();
    ChooseLabels(d, groups);
    const DialogGroup* last_frame = nullptr;
    for (const DialogGroup& group : groups)
        if (group.title != nullptr) last_frame = &group;
    std::vector<const ParameterInfo*> unframed;
    for (const DialogGroup& group : groups) {
        if (group.title == nullptr) {
            unframed.insert(unframed.end(), group.rows.begin(), group.rows.end());
            continue;
        }
        const bool under_preview = &group == last_frame;
        GtkSizeGroup* labels = under_preview ? left_labels : right_labels;
        std::vector<const ParameterInfo*> sliders, others;
        for (const ParameterInfo* row : group.rows) (row->kind == ParameterKind::kSlider ? sliders : others).push_back(row);
        GtkWidget* body = gtk_vbox_new(FALSE, 6);
        if (!sliders.empty()) gtk_box_pack_start(GTK_BOX(body), SliderTable(d, sliders, labels), FALSE, FALSE, 0);
        if (!others.empty()) gtk_box_pack_start(GTK_BOX(body), ExtrasTable(d, others, labels), FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(under_preview ? left : right), Frame(group.title, body), FALSE, FALSE, 0);
    }
    gtk_box_pack_start(GTK_BOX(right), UnframedRows(d, unframed, right_labels), FALSE, FALSE, 0);
    gtk_box_pack_end(GTK_BOX(right), FileButtons(d), FALSE, FALSE, 0);
    g_object_unref(left_labels);
    g_object_unref(right_labels);
}

// For the dialog test and the benchmark: where the controls they drive are on the screen.
void TraceLayout(Dialog& d) {
    auto place = [](const char* name, GtkWidget* widget) {
        GdkWindow* window = gtk_widget_get_window(widget);
        if (!window) return;
        gint x = 0, y = 0;
        gdk_window_get_origin(window, &x, &y);
        GtkAllocation a;
        gtk_widget_get_allocation(widget, &a);
        if (!gtk_widget_get_has_window(widget)) {
            x += a.x;
            y += a.y;
        }
        TraceEvent(std::string("widget-") + name + " " + std::to_string(x) + " " + std::to_string(y) + " " +
                       std::to_string(a.width) + " " + std::to_string(a.height),
                   0);
    };
    place("preview", d.area);
    // Each slider's number field by its label in lower case: "widget-horizon".
    for (const RowControl& c : d.controls) {
        if (c.row->kind != ParameterKind::kSlider) continue;
        std::string name = c.row->label;
        for (char& ch : name) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        place(name.c_str(), GTK_WIDGET(GIMP_SCALE_ENTRY_SPINBUTTON(c.adjustment)));
    }
    place("ok", gtk_dialog_get_widget_for_response(GTK_DIALOG(d.window), GTK_RESPONSE_OK));
}

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer data) {
    TraceLayout(*static_cast<Dialog*>(data));
    return FALSE;
}

}  // namespace

bool RunDialog(int32_t drawable, RenderParams& params) {
    gimp_ui_init("tarnwell", TRUE);
    Dialog d;
    d.drawable = drawable;
    d.params = params;
    ClampToRanges(d.params);
    std::string error;
    if (!ReadDrawable(drawable, d.picture, error)) {
        g_message("Tarnwell 2: %s", error.c_str());
        return false;
    }
    ReadSelection(drawable, d.picture.document);
    d.is_float = d.picture.layout.kind == SampleKind::kFloat;
    platform::SeedRandom(unsigned(platform::ClockSeconds()));

    // The preview fits the whole picture into the pane at the plug-in's integer zoom; the
    // pane keeps that size when the user zooms in.
    d.width = d.picture.document.width;
    d.height = d.picture.document.height;
    // The plug-in's dialog fits its preview the same way; the substitute host's sessions
    // can sample, so the preview may zoom out.
    d.fit_zoom = FitZoom(d.width, d.height, kPaneWidth, kPaneHeight, true);
    d.view.zoom = d.fit_zoom;
    d.view.pane_width = std::max(d.width / d.fit_zoom, 1);
    d.view.pane_height = std::max(d.height / d.fit_zoom, 1);
    d.renderer = std::make_unique<PreviewRenderer>([&d](PreviewResult&& r) { Deliver(d, std::move(r)); });
    d.document = std::make_shared<const host::Document>(std::move(d.picture.document));
    d.renderer->SetPicture(d.document);

    Build(d);
    ShowParams(d);
    g_signal_connect(d.window, "map-event", G_CALLBACK(OnMapped), &d);
    gtk_widget_show_all(d.window);
    RequestPreview(d);

    bool accepted = false;
    for (;;) {
        const gint response = gimp_dialog_run(GIMP_DIALOG(d.window));
        if (response == kResponseReset) {
            Reset(d);
            continue;
        }
        accepted = response == GTK_RESPONSE_OK;
        break;
    }
    // Nothing may reach the dialog after this: the renderer stops first, then whatever is
    // still queued for the user interface's thread is dropped.
    d.renderer.reset();
    if (d.quiet_timer) g_source_remove(d.quiet_timer);
    {
        std::lock_guard<std::mutex> lock(d.delivery_mutex);
        if (d.delivery_source) g_source_remove(d.delivery_source);
        d.delivery_source = 0;
    }
    gtk_widget_destroy(d.window);
    if (accepted) params = d.params;
    return accepted;
}

}  // namespace tw::gimp
