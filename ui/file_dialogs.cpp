// File-dialog filters and the name rules around them.
#include "ui/file_dialogs.h"

namespace tw {

namespace {

constexpr FileFilter kNone{nullptr, nullptr};
constexpr FileFilter kBitmaps{"Bitmap files (*.bmp)", "*.bmp"};
constexpr FileFilter kPresets{"Tarnwell presets (*.q8r)", "*.q8r"};

size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace

FileFilter SaveDialogFilter(FileDialogType type) {
    switch (type) {
    case kFileBitmap: return kBitmaps;
    case kFilePresets: return kPresets;
    case kFilePsd: return {"Photoshop files (*.psd)", "*.psd"};
    case kFileHtml: return {"HTML files (*.html)", "*.html"};
    case kFileLDraw: return {"LDraw files (*.ldr)", "*.ldr"};
    case kFileObj: return {"Wavefront files (*.obj)", "*.obj"};
    default: return kNone;
    }
}

FileFilter OpenDialogFilter(FileDialogType type) {
    switch (type) {
    case kFileBitmap: return kBitmaps;
    case kFilePresets: return kPresets;
    case kFileAll: return {"All files (*.*)", "*.*"};
    case kFileImages:
        return {"All Image Files", "*.bmp;*.dib;*.wdp;*.mdp;*.hdp;*.gif;*.png;*.jpg;*.jpeg;*.tif;*.ico"};
    default: return kNone;
    }
}

std::string DefaultExtension(const FileFilter& filter) {
    if (filter.pattern == nullptr) return "";
    std::string first(filter.pattern);
    first = first.substr(0, first.find(';'));
    if (first.rfind("*.", 0) == 0) first.erase(0, 2);
    return first == "*" ? "" : first;
}

std::string WithoutExtension(const std::string& name) {
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string NormalisedSettingsName(const std::string& name) {
    // A name that is all extension (".q8r") would leave nothing to propose either.
    const std::string stem = WithoutExtension(name);
    return (stem.empty() ? std::string("Tarnwell settings") : stem) + ".q8r";
}

std::string FolderOfPath(const std::string& path) {
    const size_t separator = LastSeparator(path);
    return separator == std::string::npos ? "" : path.substr(0, separator + 1);
}

std::string FileTitle(const std::string& path) {
    const size_t separator = LastSeparator(path);
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace tw
