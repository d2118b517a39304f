// The open dialog of settings files with the preset's picture beside the list: the system's
// open dialog carrying the child template FANCY_OPEN4 (frame 1119, where the system puts its
// own controls, and the picture area 123) and a hook that reads the picture of the file
// under the selection and paints it centred in the picture area.
//
// The pane reads into a picture of its own, not the dialog's picture holder: browsing and
// then cancelling leaves the dialog's picture as it was.
//
// Windows build only. Called on the host's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "settings/picture.h"

namespace tw {

// What the pane shows while its dialog is up.
struct PresetPane {
    Picture picture;           // the ramp, or the picture of the last file read
    bool decoded = false;      // a picture was read since the dialog opened: paint it
    int last_width = 0, last_height = 0;  // the size of the last picture read
    std::string selected;      // the file under the selection ("" for none)
    int reads = 0;             // files read, for tests
};

// The open dialog of settings files with the picture pane, from `module`'s FANCY_OPEN4,
// owned by `owner`. `file_name`, `file_title` (or null) and `folder` are kPathBufferSize
// bytes, as open_file_dialog takes them. 1 when the user chose a file.
int OpenPresetDialog(HINSTANCE module, HWND owner, char* file_name, char* file_title, char* folder,
                     const char* title);

// The pane of the preset dialog that is up (null when none is), for tests.
const PresetPane* OpenPresetPane();
// The pane's child dialog window (null when none is up), for tests.
HWND PresetPaneWindow();

// The pane's reaction to a selection of `path` (may be empty): back to the ramp, then the
// picture of a ".q8r" file when it has one. Exposed for tests; the hook calls it.
void SelectPresetPath(PresetPane& pane, const std::string& path);

}  // namespace tw
