// The dialog's smaller windows on Windows: the About box, the information box, the PSD
// export's size dialog and progress window, the message box the dialog uses for failures and
// refusals, and the system's file and colour dialogs as the dialog asks for them. The main
// dialog's view (DialogView) forwards to these one line each; every decision they show
// (the size dialog's fields, the file types' filters, the placement) lives in the portable
// model under ui/.
//
// At most one About, information, size and progress window is open at a time: asking for
// an open one again brings it to the top instead.
//
// Windows build only. Called on the host's thread. Templates and pictures come from the
// module holding this code (the plug-in, or a test program carrying the same resources).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "params/render_params.h"
#include "ui/dialog_view.h"
#include "ui/export_size.h"
#include "ui/file_dialogs.h"

namespace tw {

// The module whose resources these windows use: the one this code is linked into.
HINSTANCE AuxWindowsModule();
// Takes the templates and pictures from `module` instead (tests: the plug-in's module).
void UseAuxWindowsModule(HINSTANCE module);

// The About box (ABOUTBOX, picture 312); returns when it closes. Its button opens the README
// beside the module with the shell's "open" verb (a message says so when there is none).
// Placed over `owner` but not owned by it: like the information box it runs its own loop
// while the main dialog stays usable, so asking again only brings it to the top.
void ShowAboutBoxWindow(HWND owner);

// The information box (MORVO_INFO_BOX, bitmap 303, or its half-size twin 179 when that one's
// scale to the picture area is nearer 1: UseSingleSizePicture); returns when it closes. Not
// owned by `owner` (the main dialog stays usable beside it); it closes itself within a second
// after `owner` has been destroyed or hidden (timer 997). A null owner never closes it.
void ShowInfoWindow(HWND owner);

// The export size dialog (CHOOSEPSDWITHSIZE) over `dialog`, modal; true when the user
// pressed OK, which stored the size in `params`.
bool RunExportSizeWindow(HWND owner, ExportSizeDialog& dialog, RenderParams& params);

// The PSD export's progress window (MONDO_PROGRESS, "PSD file progress", "Rendering..." and
// the percentage), modeless.
void OpenProgressWindow(HWND owner);
void ShowProgressWindow(int per_mille);
void CloseProgressWindow();

// The window of `window` to the top, when it is open.
void BringAuxToTop(AuxWindow window);
// Closes the window of `window`, when it is open.
void CloseAuxWindow(AuxWindow window);
// The open window of `window`, or null (for tests and the main dialog's checks).
HWND AuxWindowHandle(AuxWindow window);

// A message the user must read (a failure, or the dialog's refusal), modal, with OK.
void ShowMessageWindow(HWND owner, const std::string& text);

// The system's file dialogs for `request` (its type chooses the filter; it starts in
// request.folder and proposes request.name). True, with request.path and request.folder set
// to the choice, when the user confirmed. The presets' open dialog shows the preset's picture
// beside the list (FANCY_OPEN4). Only one file dialog is open at a time; a second request
// while one is open returns false.
bool RunOpenFileWindow(HWND owner, FileRequest& request);
bool RunSaveFileWindow(HWND owner, FileRequest& request);

// The system's colour dialog starting at `colour`, with 16 custom colours kept while the
// module lives; on OK the choice, 8-bit components stored as v * 256.
bool PickSystemColourWindow(HWND owner, Rgb16& colour);

}  // namespace tw
