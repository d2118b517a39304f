// The calls the shell makes into parts of the product that are built separately: the
// dialogs, the cached settings and undo snapshots, scripting descriptors and the memory-dot
// map. Each call here does nothing of its own until that part is linked in; none of them
// pretends to have done its work.
#pragma once

#include <cstdint>

#include "params/render_params.h"
#include "shell/global_state.h"

namespace tw {

constexpr int kDialogAccepted = 3;     // the dialog's OK button
constexpr int kDialogUnavailable = -1; // no dialog in this build: the run counts as accepted

// True when scripting parameters will supply the settings (a descriptor reader opens).
bool ScriptingWillSupplyParameters();
// Reads recorded parameters into `params` and decides `show_dialog`; returns a host code.
int16_t ReadScriptingParameters(RenderParams& params, GlobalState& globals);
// Records the current parameters as the host's descriptor; returns a host code.
int16_t WriteScriptingParameters(const RenderParams& params);

// The last-used settings between runs are settings/cached_settings.h's.
void TakeUndoSnapshot(const RenderParams& params, GlobalState& globals);

// The memory-dot map in the temporary folder (the dots themselves live in the dialog).
void LoadMemoryDotMap(GlobalState& globals);
void WriteMemoryDotMap(GlobalState& globals);

// Dialogs. RunParameterDialog returns kDialogAccepted, another button's id for a cancel,
// or kDialogUnavailable.
int RunParameterDialog(GlobalState& globals, intptr_t parent_window);
void ShowAboutBox();
// The refusal shown when the host cannot run the filter.
void ShowRefusal();
// The export's progress window, in thousandths.
void ShowExportProgress(int per_mille);
// Without the dialog, where ShowExportProgress reports instead (a command's progress bar);
// null for nowhere.
void SetExportProgressHandler(void (*handler)(void* context, int per_mille), void* context);
// The dialog's wait cursor around a preview render.
void ShowWaitCursor(bool waiting);

}  // namespace tw
