// The system's open, save and colour dialogs as the plug-in uses them. Comdlg32.dll is not
// imported: it is loaded the first time one of these is asked for, and its three functions
// are looked up by name and kept. Every call runs inside the plug-in's activation context
// (dialog_context_win32.h) with the thread's last-error value kept across it. A library
// or function that cannot be found counts as a cancel.
//
// Windows build only. Called on the host's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <commdlg.h>

#include <string>

#include "ui/file_dialogs.h"

namespace tw {

// Every path buffer these dialogs fill holds this many bytes, the terminator included.
constexpr int kPathBufferSize = 260;

// The type a file dialog is asked for is one of the model's (kFile..., ui/file_dialogs.h);
// it chooses the filter.
struct FileDialogFilter {
    const char* description;
    const char* pattern;  // one or more "*.ext" joined by ';'
};
// The filter of `type` in the save (or open) dialog, as the model's SaveDialogFilter and
// OpenDialogFilter give it; null for a type that dialog never shows (and for numbers that
// are no type).
const FileDialogFilter* FileDialogFilterFor(int type, bool save);
// The extension a typed name without one gets: the first pattern without its "*.";
// empty when that leaves "*".
std::string DefaultExtension(const char* pattern);

// The child template and hook of the preset open dialog: the template is found in
// `module`; `hook` hears every message of it (after the dialog has been centred) and
// `data` arrives as the OPENFILENAME's lCustData.
struct OpenDialogChild {
    HINSTANCE module = nullptr;
    const char* template_name = nullptr;
    LPOFNHOOKPROC hook = nullptr;
    LPARAM data = 0;
};

// The save dialog: `file_name` (kPathBufferSize bytes) holds the proposed name and gets
// the chosen path; `file_title` (the same size, or null) gets the name alone; `folder`
// (the same size) is where the dialog starts and, when confirmed, becomes the chosen
// file's folder with its trailing separator. Owned by `owner`. Prompts before replacing a
// file. Returns 1 when confirmed, 0 for a cancel, a failure, a type the save dialog does
// not show, or while another file dialog is open.
int save_file_dialog(HINSTANCE module, HWND owner, char* file_name, char* file_title, char* folder, int type,
                     const char* title);
// The open dialog, the same way; the file must exist. With `child`, the dialog carries
// that template and hook (the preset open dialog).
int open_file_dialog(HINSTANCE module, HWND owner, char* file_name, char* file_title, char* folder, int type,
                     const char* title, const OpenDialogChild* child = nullptr);
// True while one of the two file dialogs is up; callers open no second one then (the two
// functions refuse it themselves as well).
bool FileDialogIsOpen();

// The system colour dialog, without an owner, starting at `colour`; the 16 custom colours
// it shows live as long as the module. True, with `colour` set, when the user chose one.
bool ChooseSystemColour(HINSTANCE module, COLORREF& colour);
// The custom colours (16), for tests.
const COLORREF* CustomColours();

}  // namespace tw
