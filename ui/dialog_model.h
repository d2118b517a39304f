// The main dialog's model: everything the dialog decides, without a window. It keeps the
// per-control store and the dialog's state, copies values between the controls and
// RenderParams, runs the commands, drags sliders, the pad and the preview, zooms and pans,
// and drives the memory dots, the undo store and the exports. The view (dialog_view.h)
// forwards the window's events to the functions at the end of this header and draws what
// the store and ui/control_geometry.h say.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "params/render_params.h"
#include "settings/dot_map.h"
#include "settings/picture.h"
#include "settings/undo_store.h"
#include "ui/control_table.h"
#include "ui/dialog_view.h"
#include "ui/preview_zoom.h"

namespace tw {

// Window-message values the model receives through DialogCommand.
constexpr int kClicked = 0;            // a button click, or a click the dialog posted itself
constexpr int kSelectionChange = 1;    // a combo box's new selection
constexpr int kEditChange = 0x300;     // a field's text changed

// The settle timer: a typed number waits one second of quiet before it is applied.
constexpr int kSettleTimer = 8064;
constexpr int kSettleMilliseconds = 1000;
// The information box checks every second whether the dialog still exists.
constexpr int kInfoTimer = 997;
constexpr int kInfoMilliseconds = 1000;

// The dialog's results: OK and Cancel end it with their ids.
constexpr int kDialogEndedOk = kIdOk;
constexpr int kDialogEndedCancel = kIdCancel;

// The memory dots' pressed bit: set while a dot is pressed and the mouse is over it.
constexpr int32_t kDotPressedBit = 2;

// What the store keeps for each control id.
struct ControlSlot {
    int32_t value = 0;
    int32_t min = 0, max = 100;  // sliders
    int32_t picture = -1, disabled_picture = -1, icon = -1, label = 0;
    float pad[3] = {0, 0, 1};   // the direction pad's direction
    Rgb16 colour{};             // a swatch's colour
};

// The new-seed command's numbers: the C run-time's generator, a copy of the dialog's own,
// seeded once when the dialog opens so that nothing else draws from it.
struct SeedGenerator {
    uint32_t state = 1;
    void Seed(uint32_t seed) { state = seed; }
    int Next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }
};

struct DialogState {
    intptr_t window = 0;      // the dialog's window; 0 once it has ended
    int32_t captured = -1;    // the control the mouse is captured for
    int16_t last_x = 0, last_y = 0;  // the mouse at the last drag step (x -999 after a press)
    int16_t mouse_x = 0, mouse_y = 0;
    bool moved = false;       // the preview was dragged since the press
    bool right_button = false;  // the last press was with the right button
    bool control_held = false;  // Control was held at the last press
    bool about_open = false, info_open = false, size_open = false, progress_open = false;
    bool file_dialog_open = false;  // one of the system's file dialogs is up
    bool busy = false;              // a preset refresh runs: OK and Cancel are ignored
    bool stop_requested = false;    // Cancel during a preset refresh asks it to stop
    bool gallery_running = false;
    int32_t result = 0;             // 0 while open, 1 after OK, 2 after Cancel
};

// The preview pane's state.
struct PreviewState {
    bool available = false;  // the host can deliver previews and the first render went well
    PixelRect pane;               // control 18
    PixelRect frame;              // where the picture is drawn at most
    int32_t fit_zoom = 1;
    PixelRect shown;              // the shown region, in zoomed pixels
};

// What the dialog needs to know of the host's picture.
struct DialogHost {
    ImageBounds bounds;       // the filter rectangle
    int32_t planes = 3;       // 1 grey, 3 colour
    bool float_image = false; // 32-bit floating point: the glue modes do not apply
    bool can_sample = true;   // the host can deliver subsampled pictures: zoom works
};

// Everything the dialog is bound to while it runs, owned elsewhere: the parameters and the
// enabled flags (in the host's blocks), the dots' keep flags, the view and the services.
struct DialogBinding {
    RenderParams* params = nullptr;
    uint8_t* enabled = nullptr;  // kControlCount flags
    DotKeepFlags* dot_keep = nullptr;  // the memory dots' keep flags: read at open, written at the end
    DialogView* view = nullptr;
    DialogServices* services = nullptr;
    DialogHost host;
};

struct DialogDots;  // the memory-dot ring and the preset batch, dialog_dots.cpp

struct Dialog {
    Dialog();
    ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    DialogBinding bind;
    DialogState state;
    ControlSlot controls[kControlCount];
    PreviewState preview;
    RenderParams cancel_snapshot{};  // RenderParams as the dialog opened: Cancel restores it
    UndoStore undo;
    Picture holder;                  // the settings picture Save, Load and the dots share
    SeedGenerator seeds;
    std::unique_ptr<DialogDots> dots;
    bool writing = false;            // the model writes a field or list itself
    bool settle_armed = false;

    RenderParams& params() { return *bind.params; }
    DialogView& view() { return *bind.view; }
    DialogServices& services() { return *bind.services; }
};

// ---- The control framework ---------------------------------------------------------------

// The control's value, refreshing the store where the value lives in a window: a slider's
// number field is read, clamped and rewritten when clamping changed it (12.5 stays 12.5
// here while the slider shows 12); a combo box gives its selected index + 1.
double read_control(Dialog& d, int id);
// Stores a value and shows it: a slider moves and its field shows the value ("%g"), a combo
// box selects entry value - 1, anything else is repainted.
void write_control(Dialog& d, int id, double value);
void redraw_control(Dialog& d, int id);
// Shows the control's enabled flag: windows are enabled or disabled, drawn controls repainted.
void apply_enabled(Dialog& d, int id);
bool ControlEnabled(const Dialog& d, int id);
void SetControlEnabled(Dialog& d, int id, bool enabled);

// Every value from the controls into RenderParams, and the other way.
void dialog_to_params(Dialog& d);
void params_to_dialog(Dialog& d);

// A number as a field shows it ("%g"), and as the C library's atof reads one: leading
// space, the longest number there is, 0 when there is none. Neither depends on the locale.
std::string FormatFieldNumber(double value);
double ParseFieldNumber(const std::string& text);

// The control under a point: the preview or an enabled control a press captures; -1.
int hit_test_controls(Dialog& d, PixelPoint p);

// ---- The preview ----------------------------------------------------------------------------

void fit_preview(Dialog& d);
void set_zoom(Dialog& d, int32_t n);
void zoom_out(Dialog& d);
void zoom_in(Dialog& d);
void zoom_actual(Dialog& d);
void render_preview(Dialog& d);
// Where paint_preview draws: the pane inset by 2 (with a black outline just outside it)
// and the top-left of the shown region, centred in it; the rest of the inner rectangle is
// white.
struct PreviewPaint {
    PixelRect inner;
    PixelPoint origin;
    int32_t width = 0, height = 0;  // the shown region
};
PreviewPaint PreviewLayout(const Dialog& d);
// The zoom buttons' enabled flags and the readout, from the zoom.
void RefreshZoomControls(Dialog& d);

// ---- Events from the view ------------------------------------------------------------------

// Binds the dialog to its parameters, flags, view and services; `seed` seeds the new-seed
// command's generator. Call before the window exists.
void BindDialog(Dialog& d, const DialogBinding& binding, uint32_t seed);
// The window exists (its handle): every initialisation step, up to the first preview, the
// opening undo state and the automatic memory dot. The view places the window itself.
void InitialiseDialog(Dialog& d, intptr_t window);
// WM_COMMAND: a click (kClicked), a combo box's selection change or a field's edit.
void DialogCommand(Dialog& d, int id, int code);
// WM_TIMER.
void DialogTimer(Dialog& d, int timer_id);
// Mouse buttons and moves, in client pixels, with the Control key's state.
void MousePress(Dialog& d, PixelPoint p, bool right_button, bool control_held);
void MouseMove(Dialog& d, PixelPoint p, bool control_held);
void MouseRelease(Dialog& d, PixelPoint p);

// The information box's timer: true when the dialog has gone and the box should close.
bool InfoBoxShouldClose(const Dialog& d);
// The status line's text.
const char* StatusText(const Dialog& d);

// The well's picture (88 x 88, null when it shows none) and the picture resource a dot is
// drawn with, for drawing.
const Picture* WellPicture(const Dialog& d);
int32_t DotPicture(const Dialog& d, int dot);

// The settings open dialog's picture pane: the selection moved to `path` (its hook calls
// this); the pane draws the dialog's picture holder as PresetPane says.
struct PresetPane;
enum class PaneChange : int32_t;
PaneChange PresetSelectionChanged(Dialog& d, PresetPane& pane, const std::string& path);

}  // namespace tw
