// The dialog's commands: clicks on its buttons (and the clicks it posts itself), combo box
// selections, typing in a number field, and the settle timer. A click runs the handlers in
// a fixed order, each looking only at its own ids; then the values are read back, the undo
// state the command calls for is recorded and the preview rendered when something changed.
#include "params/blend_mode_names.h"
#include "settings/random_settings.h"
#include "settings/settings_file.h"
#include "ui/dialog_internal.h"

namespace tw {

bool AskForFile(Dialog& d, FileRequest& request, bool save) {
    if (d.state.file_dialog_open) return false;
    d.state.file_dialog_open = true;
    const bool confirmed = save ? d.view().SaveFileDialog(request) : d.view().OpenFileDialog(request);
    d.state.file_dialog_open = false;
    return confirmed && !request.path.empty();
}

namespace {

constexpr int kSeedMask = 0x7FF;

// ---- 1. Colour swatches ----

CommandOutcome PickColour(Dialog& d, int id) {
    ControlSlot& slot = d.controls[id];
    Rgb16 colour = slot.colour;
    bool confirmed = false;
    switch (d.services().PickHostColour(colour, label_text(slot.label))) {
    case HostColourAnswer::kConfirmed: confirmed = true; break;
    case HostColourAnswer::kCancelled: break;
    case HostColourAnswer::kUnavailable: confirmed = d.view().PickSystemColour(colour); break;
    }
    if (!confirmed) return {};  // a cancel changes nothing and records nothing
    slot.colour = colour;
    redraw_control(d, id);
    return {true, UndoKind::kMemory};
}

// ---- 3. Files and exports ----

CommandOutcome SaveSettingsFile(Dialog& d) {
    RenderParams& p = d.params();
    if (d.state.file_dialog_open) return {};
    CapturePicture(d.services().PreviewPicture(), d.holder);  // no preview: the holder as it is
    const std::string name = NormalisedSettingsName(p.settings_name);
    ShowSettingsName(d, name.c_str());
    FileRequest request;
    request.type = kFilePresets;
    request.title = "Save a settings file";
    request.folder = p.settings_folder;
    request.name = WithoutExtension(name);
    if (!AskForFile(d, request, true)) return {};
    if (!WriteSettings(request.path, p, &d.holder, true)) {
        d.view().ShowMessage("The settings could not be saved to " + request.path + ".");
        return {};
    }
    SetText(p.settings_folder, FolderOfPath(request.path).c_str());
    ShowSettingsName(d, FileTitle(request.path).c_str());
    return {};
}

CommandOutcome LoadSettingsFile(Dialog& d) {
    RenderParams& p = d.params();
    FileRequest request;
    request.type = kFilePresets;
    request.title = "Open a settings file";
    request.folder = p.settings_folder;
    if (!AskForFile(d, request, false)) return {};
    SetText(p.settings_folder, FolderOfPath(request.path).c_str());
    // Read into a copy: a file that cannot be read must not leave the plain settings behind.
    RenderParams loaded = p;
    if (!LoadSettings(request.path, loaded, &d.holder)) {
        d.view().ShowMessage("The settings file " + request.path + " could not be read.");
        return {};
    }
    CopySettingsFields(loaded, p);
    ShowSettingsName(d, FileTitle(request.path).c_str());
    params_to_dialog(d);
    return {true, UndoKind::kWithFile};
}

CommandOutcome ExportPsdFile(Dialog& d) {
    if (d.state.size_open) {
        d.view().BringToTop(AuxWindow::kExportSize);
        return {};
    }
    if (d.state.progress_open) {
        d.view().BringToTop(AuxWindow::kProgress);
        return {};
    }
    RenderParams& p = d.params();
    ExportSizeDialog size;
    size.input_width = d.bind.host.bounds.width();
    size.input_height = d.bind.host.bounds.height();
    d.state.size_open = true;
    const bool sized = d.view().RunExportSize(size, p);
    d.state.size_open = false;
    if (!sized || d.state.window == 0) return {};
    // The size dialog's choice is final: the export takes psd_width x psd_height.
    FileRequest request;
    request.type = kFilePsd;
    request.title = "Save a PSD file";
    request.folder = p.export_text[0];
    request.name = "Tarnwell result.psd";
    if (!AskForFile(d, request, true)) return {};
    SetText(p.export_text[0], FolderOfPath(request.path).c_str());

    d.state.progress_open = true;
    d.view().OpenProgress();
    d.view().SetCursor(CursorShape::kWait);
    std::string error;
    const bool written = d.services().ExportPsd(request.path, p.psd_width, p.psd_height,
                                                [&d](int per_mille) { d.view().ShowProgress(per_mille); }, error);
    d.view().SetCursor(CursorShape::kArrow);
    d.view().CloseProgress();
    d.state.progress_open = false;
    if (!written) d.view().ShowMessage("The PSD file could not be written: " + error);
    return {};
}

// ---- 4. About and information ----

void ShowAbout(Dialog& d) {
    if (d.state.about_open) return;
    d.state.about_open = true;
    d.view().ShowAbout();
    d.state.about_open = false;
}

void ShowInfo(Dialog& d) {
    if (d.state.info_open) {
        d.view().BringToTop(AuxWindow::kInfo);
        return;
    }
    d.state.info_open = true;
    d.view().ShowInfo();
    d.state.info_open = false;
}

// ---- 5.-8. Values ----

CommandOutcome UndoCommand(Dialog& d) {
    if (!Undo(d.undo, d.params())) return {};
    params_to_dialog(d);
    UnmarkCurrentDot(d);
    return {true, UndoKind::kNone};
}

CommandOutcome NextGlueMode(Dialog& d) {
    int32_t& glue = d.params().glue_mode;
    glue = glue >= kLastBlendMode || glue < kFirstBlendMode ? kFirstBlendMode : glue + 1;
    params_to_dialog(d);
    return {true, UndoKind::kMemory};
}

CommandOutcome Dice(Dialog& d) {
    RandomizeSettings(d.params());
    ShowSettingsName(d, "random settings");
    params_to_dialog(d);
    return {true, UndoKind::kMemory};
}

CommandOutcome NewSeed(Dialog& d) {
    d.params().seed = d.seeds.Next() & kSeedMask;
    ShowSettingsName(d, "random settings");
    params_to_dialog(d);
    return {true, UndoKind::kMemory};
}

CommandOutcome PlainSettings(Dialog& d) {
    SetPlainSettings(d.params());
    ShowSettingsName(d, "plain settings");
    params_to_dialog(d);
    return {true, UndoKind::kMemory};
}

// The handlers in their order; each looks only at its own ids.
CommandOutcome RunHandlers(Dialog& d, int id) {
    switch (id) {
    case kIdWaterColour:
    case kIdGlitterColour: return PickColour(d, id);
    case kIdZoomOut:
    case kIdZoomIn:
    case kIdZoomReadout:
        if (id == kIdZoomOut) zoom_out(d);
        else if (id == kIdZoomIn) zoom_in(d);
        else zoom_actual(d);
        set_zoom(d, d.params().zoom);
        RefreshZoomControls(d);
        return {d.preview.available, UndoKind::kNone};
    case kIdSave: return SaveSettingsFile(d);
    case kIdLoad: return LoadSettingsFile(d);
    case kIdExportPsd: return ExportPsdFile(d);
    case kIdMemoryArea: return DotCommand(d, id);
    case kIdPresetsPage: return PresetsPageCommand(d);
    case kIdAbout: ShowAbout(d); return {};
    case kIdInfo: ShowInfo(d); return {};
    case kIdUndo: return UndoCommand(d);
    case kIdNextGlue: return NextGlueMode(d);
    case kIdDice: return Dice(d);
    case kIdNewSeed: return NewSeed(d);
    case kIdReset: return PlainSettings(d);
    default:
        if (DotOfControl(id) >= 0) return DotCommand(d, id);
        return {};
    }
}

// Typing in a number field moves its slider at once; the value is applied after a second
// of quiet.
void NumericFieldEdited(Dialog& d, int id) {
    if (d.writing) return;  // the dialog's own write, not typing
    const ControlDescriptor desc = describe_control(id);
    ControlSlot& slot = d.controls[desc.main_id];
    slot.value = static_cast<int32_t>(ClampToSlider(slot, ParseFieldNumber(d.view().FieldText(id))));
    redraw_control(d, desc.main_id);
    ArmSettleTimer(d);
}

void ComboSelected(Dialog& d, int id) {
    if (d.writing) return;
    d.controls[id].value = d.view().ComboSelection(id) + 1;
    dialog_to_params(d);
    RecordUndo(d, UndoKind::kMemory);
    KillSettleTimer(d);
    render_preview(d);
}

}  // namespace

void RunClickCommand(Dialog& d, int id) {
    // Whatever was typed a moment ago counts before the command acts on the settings.
    if (d.settle_armed) dialog_to_params(d);
    const CommandOutcome outcome = RunHandlers(d, id);
    if (d.state.window == 0) return;  // the dialog ended meanwhile (OK in a nested window)
    dialog_to_params(d);
    RecordUndo(d, outcome.undo, outcome.keeps_current_dot);
    KillSettleTimer(d);
    if (outcome.changed) render_preview(d);
    if (id == kIdOk || id == kIdCancel) EndDialog(d, id);
}

void DialogCommand(Dialog& d, int id, int code) {
    if (d.state.window == 0) return;  // ended: late messages change nothing
    const int32_t kind = describe_control(id).kind;
    if (code == kSelectionChange && kind == kKindComboBox) {
        if (!d.state.busy) ComboSelected(d, id);
        return;
    }
    if (code == kEditChange) {
        if (kind == kKindNumericField && !d.state.busy) NumericFieldEdited(d, id);
        return;
    }
    if (code != kClicked) return;
    if (d.state.busy) {
        // A preset batch runs and the event loop turned: nothing may change the settings it
        // is working through. Cancel asks it to stop instead.
        if (id == kIdCancel) d.state.stop_requested = true;
        return;
    }
    RunClickCommand(d, id);
}

void DialogTimer(Dialog& d, int timer_id) {
    if (timer_id != kSettleTimer || d.state.window == 0) return;
    dialog_to_params(d);
    RecordUndo(d, UndoKind::kMemory);
    KillSettleTimer(d);
    render_preview(d);
}

}  // namespace tw
