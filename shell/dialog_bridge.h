// The seam between the shell and the plug-in's windows: everything the shell asks of a user
// interface goes through these five calls, and nothing else of the shell knows whether a
// dialog exists. Each build links exactly one implementation:
//   dialog_bridge_headless.cpp  no windows at all: the run goes ahead with the settings it
//                               has, and the refusal is printed on stderr;
//   dialog_bridge_win32.cpp     the Windows dialogs (brought by the dialog itself), chosen in
//                               shell/CMakeLists.txt for the Windows module: it binds a dialog
//                               model (ui/dialog_model.h) to ShellDialogServices and the Win32
//                               view (BindDialogToShell, shell/dialog_services.h) and runs the
//                               window, which ends with the model's OK or Cancel id.
// Progress of an offscreen render is not part of the seam: whoever starts the render passes
// its own progress callback (offscreen_session.h).
#pragma once

#include <cstdint>

#include "shell/plugin_shell.h"

namespace tw {

constexpr int kDialogAccepted = 3;      // the dialog's OK button
constexpr int kDialogUnavailable = -1;  // no dialog in this build: the run counts as accepted

// Runs the parameter dialog over the blocks `shell` holds locked (the source picture is not
// loaded yet; the preview and export renders load it). The dialog takes its opening undo
// snapshot itself, since the undo store is its own. Returns kDialogAccepted, another
// button's id for a cancel, or kDialogUnavailable.
int RunParameterDialog(const ShellContext& shell, intptr_t parent_window);

// The About box; returns when the user closes it.
void ShowAboutBox();

// Tells the user that the host cannot run the filter (kRefusalText of message_text.h).
void ShowRefusal();

// The wait cursor, on around a preview render and off after it.
void ShowWaitCursor(bool waiting);

}  // namespace tw
