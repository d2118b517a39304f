// The two faces the dialog model talks through.
//
// DialogView is the window: the fields and lists that are windows of their own, the
// rectangles of the controls the dialog paints itself, repaints, timers, mouse capture, the
// cursor, posted messages, and the windows the dialog opens (About, information, export size,
// progress, the system's file and colour dialogs). The Win32 view (ui/win32/) implements it
// over a real dialog; the tests implement it with a fake that records what happened.
//
// DialogServices is the rest of the plug-in: the preview render into the shell's preview
// buffer, the pan drag's quick view of the unprocessed picture, the host's colour picker,
// renders of the settings at any size, the PSD export, opening a finished page, and the
// clock. The shell implements it over its ShellContext (shell/dialog_services.h).
//
// Both are interface classes: each has exactly two implementations (the real one and the
// tests' fake), and a call through them happens at the pace of mouse clicks.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "image/image_buffer.h"
#include "params/render_params.h"
#include "settings/picture.h"
#include "ui/control_geometry.h"
#include "ui/export_size.h"
#include "ui/file_dialogs.h"

namespace tw {

enum class CursorShape {
    kArrow,
    kWait,          // around renders and batches
    kPointingHand,  // over the preview
    kGrabbingHand,  // while the preview is dragged
};

// The dialog's other windows; at most one of each is open.
enum class AuxWindow {
    kAbout,
    kInfo,
    kExportSize,
    kProgress,  // the PSD export's "MONDO_PROGRESS"
};

// Where a long job reports how far it is, in thousandths.
using ProgressReport = std::function<void(int per_mille)>;

class DialogView {
public:
    virtual ~DialogView() = default;

    // ---- Controls that are windows of their own (fields, lists, buttons) ----
    // Writing a field raises the window's edit notification, which the model ignores while
    // it writes (it passes through DialogCommand with kEditChange as any other).
    virtual std::string FieldText(int id) = 0;
    virtual void SetFieldText(int id, const std::string& text) = 0;
    virtual void FillCombo(int id, std::span<const std::string> entries) = 0;
    virtual int ComboSelection(int id) = 0;  // -1: nothing selected
    virtual void SelectCombo(int id, int index) = 0;
    virtual void SetButtonText(int id, const std::string& text) = 0;  // the zoom readout
    virtual void EnableWindow(int id, bool enabled) = 0;

    // ---- Controls the dialog paints ----
    virtual PixelRect ControlRect(int id) = 0;  // client pixels
    virtual int32_t ClientWidth() = 0;     // for the drawing scale
    virtual void RepaintControl(int id) = 0;
    virtual void RepaintPreview() = 0;

    // ---- Timers, mouse, messages ----
    virtual void SetTimer(int id, int milliseconds) = 0;
    virtual void KillTimer(int id) = 0;
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    virtual void SetCursor(CursorShape shape) = 0;
    // Posts a click command (DialogCommand with kClicked) to the dialog itself.
    virtual void PostClick(int id) = 0;
    // Posts a mouse move at the mouse's present position, so that a press acts at once.
    virtual void PostMouseMove() = 0;
    // Lets waiting input through during a long job (the batch's stop request).
    virtual void ProcessPendingInput() = 0;
    virtual void EndDialog(int result) = 0;

    // ---- Other windows ----
    // The About and information boxes return when they close.
    virtual void ShowAbout() = 0;
    virtual void ShowInfo() = 0;
    // The size dialog over `dialog` (the model's ExportSizeDialog functions decide every
    // change); true when the user pressed OK, which stored the size in `params`.
    virtual bool RunExportSize(ExportSizeDialog& dialog, RenderParams& params) = 0;
    virtual void OpenProgress() = 0;
    virtual void ShowProgress(int per_mille) = 0;
    virtual void CloseProgress() = 0;
    virtual void BringToTop(AuxWindow window) = 0;
    virtual void CloseWindow(AuxWindow window) = 0;
    // The system's file dialogs; true, with request.path set, when the user confirmed.
    virtual bool OpenFileDialog(FileRequest& request) = 0;
    virtual bool SaveFileDialog(FileRequest& request) = 0;
    // The system's colour dialog starting at `colour`; on OK the choice, 8-bit components
    // stored as v * 256.
    virtual bool PickSystemColour(Rgb16& colour) = 0;
    // A failure the user must hear of (a settings file that could not be written or read).
    virtual void ShowMessage(const std::string& text) = 0;
};

// What the host's colour picker answered.
enum class HostColourAnswer {
    kConfirmed,    // `colour` holds the choice
    kCancelled,    // the user cancelled: nothing changes
    kUnavailable,  // the host has no colour services: ask the system's dialog
};

// The size of the preview frame a render fills at most.
struct PreviewRequest {
    int32_t frame_width = 0, frame_height = 0;
};

class DialogServices {
public:
    virtual ~DialogServices() = default;

    // Renders the region at RenderParams' zoom and pan into the preview buffer (a new
    // buffer each time). A host error is left pending for the shell.
    virtual void RenderPreview(const PreviewRequest& request) = 0;
    // The same region of the unprocessed picture, at once, for a pan drag.
    virtual void ShowSourcePreview(const PreviewRequest& request) = 0;
    // The preview buffer as it is; empty before the first render.
    virtual PlanarView PreviewPicture() = 0;
    // A host error left pending by a render; true once, clearing it.
    virtual bool TakePendingError() = 0;

    // The host's colour picker, prompting with `prompt`.
    virtual HostColourAnswer PickHostColour(Rgb16& colour, const std::string& prompt) = 0;
    // Renders `settings` over the picture at width x height into a new RGBA picture (the
    // caller destroys it); null with `error` set when it fails.
    virtual ImageBuffer* RenderPicture(const RenderParams& settings, int32_t width, int32_t height,
                                       const ProgressReport& progress, std::string& error) = 0;
    // Renders the current settings at width x height and writes them as a PSD file.
    virtual bool ExportPsd(const std::string& path, int32_t width, int32_t height,
                           const ProgressReport& progress, std::string& error) = 0;
    // Opens a finished page with the system's default handler.
    virtual void OpenDocument(const std::string& path) = 0;
    // Seconds of the clock, to seed the new-seed command's generator once.
    virtual uint32_t ClockSeed() = 0;
};

}  // namespace tw
