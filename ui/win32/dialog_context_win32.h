// The plug-in's own activation context, so its dialogs get the common controls its manifest
// asks for whatever the host process uses. Made once from the module's manifest resource
// (the isolation-aware id 2); every modal dialog call and every common dialog runs inside
// it, and the common-controls library is loaded inside it the first time it is entered.
// A module without that manifest uses the process's default context.
//
// Windows build only. Called on the host's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tw {

// Makes the context from `module`'s manifest, once (later calls do nothing). Every scope
// below calls it with the module it was given; calling it early only moves the work.
void InitDialogContext(HINSTANCE module);
// True once a context of the module's own exists (false: none was made, or the module
// has no manifest at id 2, so the default context serves).
bool HaveDialogContext();
// Releases the context (at module unload); a later InitDialogContext makes it again.
void ReleaseDialogContext();

// Activates the module's context for its lifetime. On leaving, the thread's last-error
// value is the one the calls inside left, not the context switch's.
class DialogContextScope {
public:
    explicit DialogContextScope(HINSTANCE module);
    ~DialogContextScope();
    DialogContextScope(const DialogContextScope&) = delete;
    DialogContextScope& operator=(const DialogContextScope&) = delete;

private:
    ULONG_PTR cookie_ = 0;
    bool active_ = false;
};

// The common-controls library loaded inside the context (null before the first scope or
// when it could not be loaded). With the module's manifest it is the side-by-side copy of
// version 6, not the process's default one.
HMODULE CommonControlsLibrary();

// Modal dialogs from the module's templates, run inside the context; the results are
// those of DialogBoxParamA and DialogBoxIndirectParamA (-1 when the dialog cannot be made).
INT_PTR RunModalDialog(HINSTANCE module, const char* template_name, HWND parent, DLGPROC procedure,
                       LPARAM parameter);
INT_PTR RunModalDialogIndirect(HINSTANCE module, const DLGTEMPLATE* dialog_template, HWND parent,
                               DLGPROC procedure, LPARAM parameter);

// A function of a library loaded at run time, as its real type (null when missing).
template <typename Function>
Function LookUpFunction(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace tw
