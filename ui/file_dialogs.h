// What the dialog asks of the system's file dialogs: the dialog types and their filters, the
// request a command fills in, and the name and folder rules around them (the settings name
// Save proposes, the folder a chosen file leaves for the next dialog).
#pragma once

#include <cstdint>
#include <string>

namespace tw {

// The file-dialog types; each selects a filter.
enum FileDialogType : int32_t {
    kFileBitmap = 0,     // "Bitmap files (*.bmp)"
    kFilePresets = 1,    // "Tarnwell presets (*.q8r)"; the open dialog shows the preset's picture
    kFilePsd = 2,        // "Photoshop files (*.psd)"
    kFileHtml = 3,       // "HTML files (*.html)"
    kFileLDraw = 4,      // "LDraw files (*.ldr)"
    kFileAll = 5,        // "All files (*.*)"
    kFileObj = 6,        // "Wavefront files (*.obj)"
    kFileImages = 7,     // "All Image Files"
};

struct FileFilter {
    const char* description;
    const char* pattern;
};

// The filter of a type; null members for a type the dialog kind never takes.
FileFilter SaveDialogFilter(FileDialogType type);
FileFilter OpenDialogFilter(FileDialogType type);
// The first pattern without its leading "*."; empty when that leaves "*".
std::string DefaultExtension(const FileFilter& filter);

// One file dialog as a command asks for it. The view fills in `path` when the user
// confirms; `folder` is where it starts.
struct FileRequest {
    FileDialogType type = kFilePresets;
    const char* title = "";
    std::string folder;  // the starting folder (empty: the system's choice)
    std::string name;    // the proposed file name (save dialogs)
    std::string path;    // the chosen file
};

// Save's proposal: the settings name, "Tarnwell settings" when empty, cut at its last "."
// and given ".q8r".
std::string NormalisedSettingsName(const std::string& name);
// The name without the text from its last "." on.
std::string WithoutExtension(const std::string& name);
// The folder of a chosen path, with its trailing separator ("" for a bare name).
std::string FolderOfPath(const std::string& path);
// The file name of a path, extension included.
std::string FileTitle(const std::string& path);

}  // namespace tw
