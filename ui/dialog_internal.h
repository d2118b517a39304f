// What the dialog model's files share among themselves; not for the view.
#pragma once

#include "ui/dialog_model.h"

namespace tw {

// The undo state a step records (none, in memory, in memory and in the undo file).
enum class UndoKind { kNone = 0, kMemory = 1, kWithFile = 2 };

// What a command handler did, for the steps after the handlers.
struct CommandOutcome {
    bool changed = false;          // render the preview again
    UndoKind undo = UndoKind::kNone;
    bool keeps_current_dot = false;  // a dot recall: the dot it made current stays current
};

void ArmSettleTimer(Dialog& d);
void KillSettleTimer(Dialog& d);
// Records an undo state; after anything but a dot recall the current dot goes back to
// filled, since the settings no longer match it.
void RecordUndo(Dialog& d, UndoKind kind, bool keeps_current_dot = false);
// Sets the settings name and shows it on the status line.
void ShowSettingsName(Dialog& d, const char* name);
// Writes a field without the edit step arming the settle timer.
void WriteField(Dialog& d, int field_id, const std::string& text);
// A slider's number clamped to its range; a number that is none (NaN) counts as 0, as
// letters do.
double ClampToSlider(const ControlSlot& slot, double v);
// Runs one of the system's file dialogs (never two at once); true when a file was chosen.
bool AskForFile(Dialog& d, FileRequest& request, bool save);
// OK and Cancel.
void EndDialog(Dialog& d, int id);

// The preview's mouse handling (dialog_preview.cpp).
void PreviewPress(Dialog& d, PixelPoint p);
void PreviewDrag(Dialog& d, PixelPoint p);
void PreviewRelease(Dialog& d, PixelPoint p);
bool PreviewCursorAt(const Dialog& d, PixelPoint p);

// The memory dots and the preset batch (dialog_dots.cpp).
void OpenDots(Dialog& d);
void CloseDots(Dialog& d, bool cancelled);
CommandOutcome DotCommand(Dialog& d, int id);
CommandOutcome PresetsPageCommand(Dialog& d);
void HoverDots(Dialog& d, PixelPoint p);
void UnmarkCurrentDot(Dialog& d);

// The commands (dialog_commands.cpp).
void RunClickCommand(Dialog& d, int id);

}  // namespace tw
