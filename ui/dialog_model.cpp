// The dialog model's control framework, the transfer between controls and RenderParams,
// opening and ending the dialog.
#include "ui/dialog_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "params/blend_mode_names.h"
#include "params/parameter_table.h"
#include "params/settings_precision.h"
#include "ui/dialog_dots.h"
#include "ui/dialog_internal.h"

namespace tw {

namespace {

constexpr size_t kFieldTextLimit = 255;  // a field is read up to this many characters

bool InStore(int id) { return id >= 0 && id < kControlCount; }

int32_t Saturate(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

int ComboEntryCount(int id) { return id == kIdGlue ? kBlendModeCount : id == kIdStyle ? 2 : 0; }

}  // namespace

double ClampToSlider(const ControlSlot& slot, double v) {
    if (std::isnan(v)) v = 0;
    return std::clamp(v, static_cast<double>(slot.min), static_cast<double>(slot.max));
}

// ---- Numbers in fields ------------------------------------------------------------------------

std::string FormatFieldNumber(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

double ParseFieldNumber(const std::string& text) {
    const char* at = text.c_str();
    const char* end = at + text.size();
    while (at < end && (*at == ' ' || (*at >= '\t' && *at <= '\r'))) ++at;
    bool negative = false;
    if (at < end && (*at == '+' || *at == '-')) negative = *at++ == '-';
    if (at < end && (*at == '+' || *at == '-')) return 0;  // from_chars would take a second sign
    double value = 0;
    const std::from_chars_result read = std::from_chars(at, end, value, std::chars_format::general);
    if (read.ec == std::errc::result_out_of_range) {
        // As atof: beyond the largest double is infinite, below the smallest is 0.
        const std::string number(at, read.ptr);
        const size_t exponent = number.find_first_of("eE");
        const bool tiny = exponent != std::string::npos && number.compare(exponent + 1, 1, "-") == 0;
        value = tiny ? 0 : HUGE_VAL;
    } else if (read.ec != std::errc()) {
        return 0;
    }
    return negative ? -value : value;
}

// ---- Timers and names --------------------------------------------------------------------------

void ArmSettleTimer(Dialog& d) {
    d.view().SetTimer(kSettleTimer, kSettleMilliseconds);
    d.settle_armed = true;
}

void KillSettleTimer(Dialog& d) {
    d.view().KillTimer(kSettleTimer);
    d.settle_armed = false;
}

void RecordUndo(Dialog& d, UndoKind kind, bool keeps_current_dot) {
    if (kind == UndoKind::kNone) return;
    TakeSnapshot(d.undo, d.params(), kind == UndoKind::kWithFile);
    if (!keeps_current_dot) UnmarkCurrentDot(d);
}

void ShowSettingsName(Dialog& d, const char* name) {
    SetText(d.params().settings_name, name);
    redraw_control(d, kIdStatusLine);
}

void WriteField(Dialog& d, int field_id, const std::string& text) {
    // The window reports the write as an edit; the edit step must not take it for typing.
    const bool was_writing = d.writing;
    d.writing = true;
    d.view().SetFieldText(field_id, text);
    d.writing = was_writing;
    KillSettleTimer(d);
}

// ---- The control framework ---------------------------------------------------------------------

bool ControlEnabled(const Dialog& d, int id) { return InStore(id) && d.bind.enabled[id] != 0; }

void SetControlEnabled(Dialog& d, int id, bool enabled) {
    if (!InStore(id)) return;
    d.bind.enabled[id] = enabled ? 1 : 0;
    apply_enabled(d, id);
}

double read_control(Dialog& d, int id) {
    if (!InStore(id)) return 0;
    const ControlDescriptor desc = describe_control(id);
    switch (desc.kind) {
    case kKindSlider:
    case kKindNumericField: {
        ControlSlot& slot = d.controls[desc.main_id];
        std::string text = d.view().FieldText(desc.field_id);
        if (text.size() > kFieldTextLimit) text.resize(kFieldTextLimit);
        const double typed = ParseFieldNumber(text);
        const double value = ClampToSlider(slot, typed);
        if (value != typed) WriteField(d, desc.field_id, FormatFieldNumber(value));
        if (Saturate(value) != slot.value) {
            slot.value = Saturate(value);
            redraw_control(d, desc.main_id);
        }
        return value;
    }
    case kKindComboBox:
        d.controls[id].value = d.view().ComboSelection(id) + 1;
        return d.controls[id].value;
    default:
        // The dialog has no check boxes; every other kind keeps its value in the store.
        return d.controls[id].value;
    }
}

void write_control(Dialog& d, int id, double value) {
    if (!InStore(id)) return;
    const ControlDescriptor desc = describe_control(id);
    switch (desc.kind) {
    case kKindSlider:
    case kKindNumericField:
        d.controls[desc.main_id].value = Saturate(value);
        redraw_control(d, desc.main_id);
        WriteField(d, desc.field_id, FormatFieldNumber(value));
        break;
    case kKindComboBox: {
        // A value beyond the list (an old or damaged file) would select nothing, and reading
        // that back would store 0; the first entry is what the renderer makes of it anyway.
        int32_t entry = Saturate(value);
        if (entry < 1 || entry > ComboEntryCount(id)) entry = 1;
        d.controls[id].value = entry;
        const bool was_writing = d.writing;
        d.writing = true;
        d.view().SelectCombo(id, entry - 1);
        d.writing = was_writing;
        break;
    }
    default:
        d.controls[id].value = Saturate(value);
        redraw_control(d, id);
        break;
    }
}

void redraw_control(Dialog& d, int id) {
    if (id == kIdZoomReadout) return;  // a button with its own caption
    d.view().RepaintControl(id);
}

void apply_enabled(Dialog& d, int id) {
    if (IsWindowKind(describe_control(id).kind)) d.view().EnableWindow(id, ControlEnabled(d, id));
    else redraw_control(d, id);
}

void params_to_dialog(Dialog& d) {
    RenderParams& p = d.params();
    for (const ParameterInfo& row : kParameters) {
        switch (row.kind) {
        case ParameterKind::kSlider: write_control(d, row.control_id, p.*row.field); break;
        case ParameterKind::kStyle:
        case ParameterKind::kGlue: write_control(d, row.control_id, p.*row.integer); break;
        case ParameterKind::kColour:
            d.controls[row.control_id].colour = p.*row.colour;
            redraw_control(d, row.control_id);
            break;
        case ParameterKind::kDirection:
            std::memcpy(d.controls[row.control_id].pad, p.*row.vector, sizeof(float) * 3);
            redraw_control(d, row.control_id);
            break;
        case ParameterKind::kSeed:   // a button; the seed has no control to show it
        case ParameterKind::kPoint:  // the preview shows the centre itself
            break;
        }
    }
    redraw_control(d, kIdStatusLine);
}

void dialog_to_params(Dialog& d) {
    RenderParams& p = d.params();
    for (const ParameterInfo& row : kParameters) {
        switch (row.kind) {
        case ParameterKind::kSlider: p.*row.field = static_cast<float>(read_control(d, row.control_id)); break;
        case ParameterKind::kStyle:
        case ParameterKind::kGlue: p.*row.integer = static_cast<int32_t>(read_control(d, row.control_id)); break;
        case ParameterKind::kColour: p.*row.colour = d.controls[row.control_id].colour; break;
        case ParameterKind::kDirection:
            std::memcpy(p.*row.vector, d.controls[row.control_id].pad, sizeof(float) * 3);
            break;
        case ParameterKind::kSeed:
        case ParameterKind::kPoint: break;
        }
    }
    // What the preview renders must be what a save keeps, so that a saved look renders again.
    RoundToSettingsPrecision(p);
}

// ---- Opening and the dialog's life -----------------------------------------------------------------

Dialog::Dialog() : dots(std::make_unique<DialogDots>()) {}
Dialog::~Dialog() = default;

void BindDialog(Dialog& d, const DialogBinding& binding, uint32_t seed) {
    d.bind = binding;
    d.seeds.Seed(seed);
}

namespace {

void FillStore(Dialog& d) {
    for (int id = 0; id < kControlCount; ++id) {
        const ControlDescriptor desc = describe_control(id);
        ControlSlot& slot = d.controls[id];
        slot = ControlSlot{};
        slot.min = desc.min;
        slot.max = desc.max;
        slot.picture = desc.picture;
        slot.disabled_picture = desc.disabled_picture;
        slot.icon = desc.icon;
        slot.label = desc.label;
    }
}

void FillCombos(Dialog& d) {
    std::vector<std::string> modes;
    for (int mode = kFirstBlendMode; mode <= kLastBlendMode; ++mode) modes.emplace_back(blendModeName(mode));
    d.view().FillCombo(kIdGlue, modes);
    const std::string styles[] = {"Simple", "Complex"};
    d.view().FillCombo(kIdStyle, styles);
}

}  // namespace

void InitialiseDialog(Dialog& d, intptr_t window) {
    RenderParams& p = d.params();
    d.state = DialogState{};
    d.state.window = window;
    // Cancel puts back the record exactly as the dialog found it, working fields included.
    std::memcpy(&d.cancel_snapshot, &p, sizeof p);
    std::fill(d.bind.enabled, d.bind.enabled + kControlCount, uint8_t{1});
    p.render_mode = kRenderPreview;
    d.undo = UndoStore{};
    ResetPictureToRamp(d.holder);

    FillStore(d);
    FillCombos(d);
    params_to_dialog(d);
    dialog_to_params(d);  // every value clamped, every field in its canonical form
    TakeSnapshot(d.undo, p, true);

    // 32-bit floating-point pictures take no glue modes.
    if (d.bind.host.float_image)
        for (int id : {kIdGlue, kIdGlueLabel, kIdNextGlue}) SetControlEnabled(d, id, false);

    d.preview = PreviewState{};
    if (p.live_preview) fit_preview(d);
    RefreshZoomControls(d);
    OpenDots(d);
    KillSettleTimer(d);
}

bool InfoBoxShouldClose(const Dialog& d) { return d.state.window == 0; }

const char* StatusText(const Dialog& d) { return d.bind.params->settings_name; }

namespace {

void CloseAuxWindows(Dialog& d) {
    const std::pair<bool DialogState::*, AuxWindow> windows[] = {
        {&DialogState::about_open, AuxWindow::kAbout},
        {&DialogState::info_open, AuxWindow::kInfo},
        {&DialogState::size_open, AuxWindow::kExportSize},
        {&DialogState::progress_open, AuxWindow::kProgress},
    };
    for (const auto& [open, window] : windows) {
        if (!(d.state.*open)) continue;
        d.view().CloseWindow(window);
        d.state.*open = false;
    }
}

}  // namespace

// OK and Cancel (run by the click command when no preset batch runs).
void EndDialog(Dialog& d, int id) {
    KillSettleTimer(d);
    if (id == kIdOk) dialog_to_params(d);
    else std::memcpy(&d.params(), &d.cancel_snapshot, sizeof d.cancel_snapshot);
    d.state.window = 0;
    CloseAuxWindows(d);
    CloseDots(d, id != kIdOk);
    d.view().EndDialog(id);
    d.state.result = id == kIdOk ? 1 : 2;
}

}  // namespace tw
