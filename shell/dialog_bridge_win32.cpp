// The dialog seam in the Windows module: the main dialog over the shell's locked blocks,
// the About box, the refusal and the wait cursor, as windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>

#include "settings/dot_map.h"
#include "shell/dialog_bridge.h"
#include "shell/dialog_services.h"
#include "shell/global_state.h"
#include "shell/message_text.h"
#include "ui/win32/aux_windows_win32.h"
#include "ui/win32/dialog_window_win32.h"

namespace tw {

namespace {

HINSTANCE Module() { return static_cast<HINSTANCE>(gPluginInstance); }

}  // namespace

int RunParameterDialog(const ShellContext& shell, intptr_t parent_window) {
    // The model is large (a slot per control, the undo store, the dots' pictures): it lives
    // on the heap rather than on the host's stack.
    auto dialog = std::make_unique<Dialog>();
    ShellDialogServices services(shell);
    Win32DialogView view(Module(), *dialog);
    BindDialogToShell(*dialog, shell, services, view);
    const int ended = view.Run(reinterpret_cast<HWND>(parent_window));
    // OK leaves the map to the run's end; a cancelled run has no end to save it in.
    if (ended != kDialogAccepted) SaveDotMap(shell.globals->dot_keep);
    // A dialog that could not even open counts as a cancel: nothing is rendered with
    // settings the user never saw.
    return ended < 0 ? kIdCancel : ended;
}

void ShowAboutBox() { ShowAboutBoxWindow(GetActiveWindow()); }

void ShowRefusal() { ShowMessageWindow(GetActiveWindow(), kRefusalText); }

void ShowWaitCursor(bool waiting) { SetCursor(LoadCursorA(nullptr, waiting ? IDC_WAIT : IDC_ARROW)); }

}  // namespace tw
