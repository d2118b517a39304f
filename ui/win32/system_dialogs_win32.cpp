// The system's file and colour dialogs: see system_dialogs_win32.h.
#include "ui/win32/system_dialogs_win32.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "ui/win32/dialog_context_win32.h"

namespace tw {

namespace {

using FileDialogProc = BOOL(WINAPI*)(LPOPENFILENAMEA);
using ColourDialogProc = BOOL(WINAPI*)(LPCHOOSECOLORA);

// Loaded on first use and kept while the module is loaded.
struct CommonDialogLibrary {
    bool tried = false;
    HMODULE module = nullptr;
    FileDialogProc open = nullptr;
    FileDialogProc save = nullptr;
    ColourDialogProc colour = nullptr;
};
CommonDialogLibrary gCommonDialogs;

// Set while a file dialog is up: a second one would have to share the first one's hook.
std::atomic<bool> gFileDialogOpen{false};
// The child template of the file dialog that is up, whose hook hears what ours hears.
const OpenDialogChild* gChild = nullptr;

// What the colour dialog's custom colours start as: white, as the system's own dialog.
COLORREF gCustomColours[16] = {
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

// Called inside the activation context, so the library binds to the context's controls.
void LoadCommonDialogs() {
    CommonDialogLibrary& lib = gCommonDialogs;
    if (lib.tried) return;
    lib.tried = true;
    lib.module = LoadLibraryA("Comdlg32.dll");
    if (!lib.module) return;
    lib.open = LookUpFunction<FileDialogProc>(lib.module, "GetOpenFileNameA");
    lib.save = LookUpFunction<FileDialogProc>(lib.module, "GetSaveFileNameA");
    lib.colour = LookUpFunction<ColourDialogProc>(lib.module, "ChooseColorA");
}

// Centres a file dialog over its owner (or the screen), its top-left corner kept on the
// screen so its caption can always be grabbed.
void CentreOverOwner(HWND dialog) {
    RECT over{}, own{};
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner || !GetWindowRect(owner, &over)) GetWindowRect(GetDesktopWindow(), &over);
    if (!GetWindowRect(dialog, &own)) return;
    const int width = own.right - own.left, height = own.bottom - own.top;
    const int x = std::max<int>(0, over.left + (over.right - over.left - width) / 2);
    const int y = std::max<int>(0, over.top + (over.bottom - over.top - height) / 2);
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The explorer-style dialog calls its hook for its child dialog; the dialog itself is that
// child's parent, and its size is final once it says it is initialised.
UINT_PTR CALLBACK FileDialogHook(HWND child, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(l)->code == CDN_INITDONE) {
        CentreOverOwner(GetParent(child));
    }
    if (gChild && gChild->hook) return gChild->hook(child, message, w, l);
    return 0;
}

// "Description\0pattern\0\0".
std::string FilterText(const FileDialogFilter& filter) {
    std::string text = filter.description;
    text += '\0';
    text += filter.pattern;
    text += '\0';
    text += '\0';
    return text;
}

void CopyPath(char* to, const char* from) {
    std::strncpy(to, from, kPathBufferSize - 1);
    to[kPathBufferSize - 1] = 0;
}

int RunFileDialog(HINSTANCE module, bool save, HWND owner, char* file_name, char* file_title, char* folder,
                  int type, const char* title, const OpenDialogChild* child) {
    const FileDialogFilter* filter = FileDialogFilterFor(type, save);
    if (!filter || !file_name || !folder) return 0;
    bool expected = false;
    if (!gFileDialogOpen.compare_exchange_strong(expected, true)) return 0;

    const std::string filter_text = FilterText(*filter);
    const std::string extension = DefaultExtension(filter->pattern);
    char start_folder[kPathBufferSize];
    CopyPath(start_folder, folder);
    file_name[kPathBufferSize - 1] = 0;

    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter_text.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file_name;
    request.nMaxFile = kPathBufferSize;
    request.lpstrFileTitle = file_title;
    request.nMaxFileTitle = file_title ? kPathBufferSize : 0;
    request.lpstrInitialDir = start_folder[0] ? start_folder : nullptr;
    request.lpstrTitle = title;
    request.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    // No change of the process's current folder: the host may still use relative paths.
    request.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_NOCHANGEDIR |
                    (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
    request.lpfnHook = FileDialogHook;
    if (child && child->template_name) {
        request.Flags |= OFN_ENABLETEMPLATE;
        request.hInstance = child->module;
        request.lpTemplateName = child->template_name;
    }
    request.lCustData = child ? child->data : 0;

    gChild = child;
    BOOL confirmed = FALSE;
    {
        DialogContextScope scope(module);
        LoadCommonDialogs();
        const FileDialogProc show = save ? gCommonDialogs.save : gCommonDialogs.open;
        if (show) confirmed = show(&request);
    }
    gChild = nullptr;
    gFileDialogOpen = false;
    if (!confirmed) return 0;

    // The chosen file's folder, with its separator, is where the next dialog starts.
    CopyPath(folder, file_name);
    if (request.nFileOffset < kPathBufferSize) folder[request.nFileOffset] = 0;
    return 1;
}

}  // namespace

const FileDialogFilter* FileDialogFilterFor(int type, bool save) {
    constexpr int kTypes = kFileImages + 1;
    if (type < 0 || type >= kTypes) return nullptr;
    // The model's filters, kept where a pointer to them stays valid.
    static const auto table = [] {
        std::array<std::array<FileDialogFilter, kTypes>, 2> rows{};
        for (int t = 0; t < kTypes; ++t) {
            const FileFilter s = SaveDialogFilter(FileDialogType(t)), o = OpenDialogFilter(FileDialogType(t));
            rows[1][t] = {s.description, s.pattern};
            rows[0][t] = {o.description, o.pattern};
        }
        return rows;
    }();
    const FileDialogFilter& filter = table[save ? 1 : 0][type];
    return filter.pattern ? &filter : nullptr;
}

std::string DefaultExtension(const char* pattern) {
    if (!pattern) return {};
    std::string first(pattern, std::strcspn(pattern, ";"));
    if (first.compare(0, 2, "*.") == 0) first.erase(0, 2);
    return first == "*" ? std::string() : first;
}

int save_file_dialog(HINSTANCE module, HWND owner, char* file_name, char* file_title, char* folder, int type,
                     const char* title) {
    return RunFileDialog(module, true, owner, file_name, file_title, folder, type, title, nullptr);
}

int open_file_dialog(HINSTANCE module, HWND owner, char* file_name, char* file_title, char* folder, int type,
                     const char* title, const OpenDialogChild* child) {
    return RunFileDialog(module, false, owner, file_name, file_title, folder, type, title, child);
}

bool FileDialogIsOpen() { return gFileDialogOpen; }

bool ChooseSystemColour(HINSTANCE module, COLORREF& colour) {
    CHOOSECOLORA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = nullptr;
    request.rgbResult = colour;
    request.lpCustColors = gCustomColours;
    request.Flags = CC_RGBINIT;
    BOOL chosen = FALSE;
    {
        DialogContextScope scope(module);
        LoadCommonDialogs();
        if (gCommonDialogs.colour) chosen = gCommonDialogs.colour(&request);
    }
    if (chosen) colour = request.rgbResult & 0xFFFFFF;
    return chosen != FALSE;
}

const COLORREF* CustomColours() { return gCustomColours; }

}  // namespace tw
