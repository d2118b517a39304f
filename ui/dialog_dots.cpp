// The memory dots, the well and the two gallery pages in the dialog, and the preset batch
// started from the well. The ring (settings/memory_dots.h) decides what a click or a hover
// does; this file gives it the dialog's settings, picture holder and preview, and turns its
// outcome into repaints, names, undo states and renders.
#include <memory>

#include "export/gallery.h"
#include "ui/dialog_dots.h"
#include "ui/dialog_internal.h"

namespace tw {

namespace {

MemoryDotRing& Ring(Dialog& d) { return d.dots->ring; }

DotContext Context(Dialog& d) { return {&d.params(), &d.holder, d.services().PreviewPicture()}; }

void Repaint(Dialog& d, const DotOutcome& outcome) {
    for (int dot = 0; dot < kMemoryDotCount; ++dot)
        if ((outcome.repaint_dots & DotBit(dot)) != 0) redraw_control(d, kIdFirstDot + dot);
    if (outcome.repaint_well) redraw_control(d, kIdMemoryArea);
}

std::string ExportFolder(Dialog& d) { return d.params().export_text[0]; }

// Asks where an HTML page goes; remembers the folder for the next export.
bool AskForPage(Dialog& d, const char* default_name, std::string& path) {
    FileRequest request;
    request.type = kFileHtml;
    request.title = "Save an HTML page";
    request.folder = ExportFolder(d);
    request.name = default_name;
    if (!AskForFile(d, request, true)) return false;
    SetText(d.params().export_text[0], FolderOfPath(request.path).c_str());
    path = request.path;
    return true;
}

void FinishPage(Dialog& d, bool written, const std::string& path, const GalleryReport& report) {
    if (written) d.services().OpenDocument(path);
    else d.view().ShowMessage("The page could not be written: " + report.error);
}

// Every dot that shows filled, full-size renders over the picture.
void MemoryDotsPage(Dialog& d) {
    if (d.state.gallery_running) return;
    std::string path;
    if (!AskForPage(d, "Tarnwell memory dots.html", path)) return;
    bool shown[kMemoryDotCount];
    for (int dot = 0; dot < kMemoryDotCount; ++dot) shown[dot] = Ring(d).state[dot] != kDotEmpty;
    const int32_t width = d.bind.host.bounds.width(), height = d.bind.host.bounds.height();
    const DotRenderer render = [&d, width, height](const RenderParams& settings, std::string& error) {
        return d.services().RenderPicture(settings, width, height, {}, error);
    };
    d.state.gallery_running = true;
    d.view().SetCursor(CursorShape::kWait);
    GalleryReport report;
    const bool written = WriteMemoryDotsPage(path, shown, render, nullptr, report);
    d.view().SetCursor(CursorShape::kArrow);
    d.state.gallery_running = false;
    FinishPage(d, written, path, report);
}

// The batch that re-renders the pictures of a folder of presets with the dialog's preview.
void RefreshPresets(Dialog& d) {
    PresetRefreshServices services;
    services.choose_file = [&d](std::string& chosen) {
        FileRequest request;
        request.type = kFilePresets;
        request.title = "Choose any file in the source folder";
        request.folder = d.dots->refresh.source_folder;
        if (!AskForFile(d, request, false)) return false;
        chosen = request.path;
        return true;
    };
    services.batch_running = [&d](bool running) {
        d.state.busy = running;
        d.state.stop_requested = false;
        d.view().SetCursor(running ? CursorShape::kWait : CursorShape::kArrow);
    };
    services.show_values = [&d](const RenderParams&) {
        params_to_dialog(d);
        d.view().ProcessPendingInput();
    };
    services.render_preview = [&d](const RenderParams&, PlanarView& preview) {
        render_preview(d);
        d.view().SetCursor(CursorShape::kWait);
        preview = d.services().PreviewPicture();
        return preview.data != nullptr;
    };
    services.stop_requested = [&d] {
        d.view().ProcessPendingInput();
        return d.state.stop_requested;
    };
    services.clear_stop = [&d] { d.state.stop_requested = false; };
    RefreshPresetPictures(d.dots->refresh, d.params(), d.holder, services);
    // The user's settings are back (under the last file's name): show them.
    params_to_dialog(d);
}

}  // namespace

void OpenDots(Dialog& d) {
    DotContext context = Context(d);
    Repaint(d, OpenDotRing(Ring(d), *d.bind.dot_keep, context));
}

void CloseDots(Dialog& d, bool cancelled) {
    std::copy(std::begin(Ring(d).keep), std::end(Ring(d).keep), *d.bind.dot_keep);
    // A run that applies the filter writes the map when it finishes; a cancelled one now.
    if (cancelled) SaveDotMap(Ring(d).keep);
}

void UnmarkCurrentDot(Dialog& d) {
    DotOutcome outcome;
    outcome.repaint_dots = ReleaseCurrentDot(Ring(d));
    Repaint(d, outcome);
}

void HoverDots(Dialog& d, PixelPoint p) {
    for (int dot = 0; dot < kMemoryDotCount; ++dot) {
        if (!d.view().ControlRect(kIdFirstDot + dot).contains(p)) continue;
        DotContext context = Context(d);
        Repaint(d, HandleDotInput(Ring(d), DotInput::kHover, dot, false, context));
    }
}

CommandOutcome DotCommand(Dialog& d, int id) {
    const bool right = d.state.right_button, control = d.state.control_held;
    DotInput input;
    int dot = -1;
    if (id == kIdMemoryArea) {
        input = right ? DotInput::kWellRightClick : DotInput::kWellLeftClick;
    } else {
        input = right ? DotInput::kRightClick : DotInput::kLeftClick;
        dot = DotOfControl(id);
    }
    DotContext context = Context(d);
    const DotOutcome outcome = HandleDotInput(Ring(d), input, dot, control, context);
    Repaint(d, outcome);
    switch (outcome.event) {
    case DotEvent::kRecalled:
        // The recalled settings (named "dot N") reach the controls; the dot stays current.
        redraw_control(d, kIdStatusLine);
        params_to_dialog(d);
        return {true, UndoKind::kWithFile, true};
    case DotEvent::kGalleryRequested: MemoryDotsPage(d); return {};
    case DotEvent::kRefreshRequested: RefreshPresets(d); return {true, UndoKind::kNone};
    default: return {};  // a store, a clear or an unkept dot leaves the settings alone
    }
}

CommandOutcome PresetsPageCommand(Dialog& d) {
    if (d.state.gallery_running) return {};
    RenderParams& p = d.params();
    FileRequest source;
    source.type = kFilePresets;
    source.title = "Choose any file in the source folder";
    source.folder = p.gallery_folder;
    if (!AskForFile(d, source, false)) return {};
    const std::string folder = FolderOfPath(source.path);
    SetText(p.gallery_folder, folder.c_str());
    std::string path;
    if (!AskForPage(d, "Tarnwell presets.html", path)) return {};
    d.state.gallery_running = true;
    d.view().SetCursor(CursorShape::kWait);
    GalleryReport report;
    const bool written = WritePresetsPage(folder.empty() ? "." : folder, path, report);
    d.view().SetCursor(CursorShape::kArrow);
    d.state.gallery_running = false;
    FinishPage(d, written, path, report);
    return {};
}

const Picture* WellPicture(const Dialog& d) {
    const Picture& well = d.dots->ring.well;
    return well.empty() ? nullptr : &well;
}

int32_t DotPicture(const Dialog& d, int dot) {
    if (dot < 0 || dot >= kMemoryDotCount) return DotPictureId(d.dots->ring, -1, false);
    const bool pressed = (d.controls[kIdFirstDot + dot].value & kDotPressedBit) != 0;
    return DotPictureId(d.dots->ring, dot, pressed);
}

PaneChange PresetSelectionChanged(Dialog& d, PresetPane& pane, const std::string& path) {
    return SelectPresetPath(pane, path, d.holder);
}

}  // namespace tw
