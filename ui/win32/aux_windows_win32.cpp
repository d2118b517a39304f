// The dialog's smaller windows: see aux_windows_win32.h.
#include "ui/win32/aux_windows_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "resources/artwork_ids.h"
#include "ui/control_geometry.h"
#include "ui/win32/dialog_context_win32.h"
#include "ui/win32/pictures_win32.h"
#include "ui/win32/placement_win32.h"
#include "ui/win32/preset_open_win32.h"
#include "ui/win32/system_dialogs_win32.h"

namespace tw {

namespace {

constexpr int kAboutButton = 2;
constexpr int kAboutPictureArea = 222;
constexpr int kInfoPictureArea = 1;
constexpr UINT_PTR kInfoTimer = 997;
constexpr int kInfoHalfWidth = 726;  // bitmap 179, the half-size twin of 303
constexpr int kProgressStep = 100, kProgressPercent = 101;

HINSTANCE gModule = nullptr;

// The open window of each kind (index: AuxWindow), and what it is shown over.
HWND gWindows[4] = {};
HWND& Slot(AuxWindow window) { return gWindows[static_cast<int>(window)]; }

// The last percentage the progress window shows, so it is rewritten only on a change.
int gProgressShown = -1;

RECT ChildRect(HWND dialog, int id) {
    RECT r{};
    HWND control = GetDlgItem(dialog, id);
    if (!control) return r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Paints `bitmap` stretched over `area` with the system's smooth stretching.
void StretchPicture(HDC dc, HBITMAP bitmap, const RECT& area) {
    if (!bitmap) return;
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, source, 0, 0, info.bmWidth,
               std::abs(info.bmHeight), SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

// The white background both picture boxes have.
bool EraseWhite(HWND dialog, HDC dc) {
    RECT client;
    GetClientRect(dialog, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return true;
}

// ---- About ------------------------------------------------------------------------------------

struct PictureBox {
    HWND owner = nullptr;
    HBITMAP picture = nullptr;
    RECT area{};
};

// What both picture boxes draw: a white background and the picture stretched into its
// area. True, with the procedure's answer in `result`, when `message` was one of those.
bool PaintPictureBox(HWND dialog, const PictureBox* box, UINT message, WPARAM w, INT_PTR& result) {
    switch (message) {
    case WM_ERASEBKGND: result = EraseWhite(dialog, reinterpret_cast<HDC>(w)); return true;
    case WM_CTLCOLORDLG: result = reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH)); return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(dialog, &ps);
        if (box) StretchPicture(dc, box->picture, box->area);
        EndPaint(dialog, &ps);
        result = TRUE;
        return true;
    }
    default: return false;
    }
}

// The README shipped beside the module, in the forms it may come in ("" when none is there).
std::string ReadmeBesideModule() {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(AuxWindowsModule(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    std::string folder(path);
    folder.erase(folder.find_last_of("\\/") + 1);
    for (const char* name : {"README.html", "README.md", "README.txt", "README"}) {
        const std::string candidate = folder + name;
        const DWORD attributes = GetFileAttributesA(candidate.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return candidate;
    }
    return {};
}

void OpenReadme(HWND about) {
    const std::string readme = ReadmeBesideModule();
    if (readme.empty()) {
        ShowMessageWindow(about, "The README that comes with Tarnwell 2 was not found beside the plug-in.");
    } else if (!platform::OpenWithDefaultHandler(readme)) {
        ShowMessageWindow(about, "The README could not be opened: " + readme);
    }
}

INT_PTR CALLBACK AboutProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
    auto* box = reinterpret_cast<PictureBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (INT_PTR result = 0; PaintPictureBox(dialog, box, message, w, result)) return result;
    switch (message) {
    case WM_INITDIALOG: {
        box = reinterpret_cast<PictureBox*>(l);
        SetWindowLongPtrA(dialog, DWLP_USER, l);
        Slot(AuxWindow::kAbout) = dialog;
        place_dialog(dialog, box->owner);
        box->area = ChildRect(dialog, kAboutPictureArea);
        // The static only reserves the picture's place; the box paints there itself.
        ShowWindow(GetDlgItem(dialog, kAboutPictureArea), SW_HIDE);
        box->picture = load_picture(AuxWindowsModule(), TW_JPEG_ABOUT, "JPEG", box->area.right - box->area.left,
                                    box->area.bottom - box->area.top);
        return TRUE;
    }
    case WM_COMMAND:
        if (HIWORD(w) != BN_CLICKED) return FALSE;
        if (LOWORD(w) == kAboutButton) OpenReadme(dialog);
        EndDialog(dialog, LOWORD(w));
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, 1); return TRUE;
    case WM_DESTROY: Slot(AuxWindow::kAbout) = nullptr; return FALSE;
    default: return FALSE;
    }
}

// ---- Information ------------------------------------------------------------------------------

// The main dialog has gone once its window is destroyed or, ended but still waiting for
// this box's loop to return, hidden.
bool OwnerGone(HWND owner) { return owner && (!IsWindow(owner) || !IsWindowVisible(owner)); }

INT_PTR CALLBACK InfoProcedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
    auto* box = reinterpret_cast<PictureBox*>(GetWindowLongPtrA(dialog, DWLP_USER));
    if (INT_PTR result = 0; PaintPictureBox(dialog, box, message, w, result)) return result;
    switch (message) {
    case WM_INITDIALOG: {
        box = reinterpret_cast<PictureBox*>(l);
        SetWindowLongPtrA(dialog, DWLP_USER, l);
        Slot(AuxWindow::kInfo) = dialog;
        SetTimer(dialog, kInfoTimer, 1000, nullptr);
        place_dialog(dialog, box->owner);
        box->area = ChildRect(dialog, kInfoPictureArea);
        // The static shows bitmap 303 by itself; the box paints the better of the two
        // sizes over it, stretched smoothly, so the static is not needed.
        ShowWindow(GetDlgItem(dialog, kInfoPictureArea), SW_HIDE);
        const bool half = UseSingleSizePicture(kInfoHalfWidth, box->area.right - box->area.left);
        box->picture = LoadBitmapPicture(AuxWindowsModule(), half ? TW_BMP_INFO_HALF : TW_BMP_INFO);
        return TRUE;
    }
    case WM_TIMER:
        if (w != kInfoTimer) return FALSE;
        KillTimer(dialog, kInfoTimer);
        if (box && OwnerGone(box->owner)) EndDialog(dialog, 1);
        else SetTimer(dialog, kInfoTimer, 1000, nullptr);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(w) != BN_CLICKED) return FALSE;
        EndDialog(dialog, LOWORD(w));
        return TRUE;
    case WM_CLOSE: EndDialog(dialog, 1); return TRUE;
    case WM_DESTROY:
        KillTimer(dialog, kInfoTimer);
        Slot(AuxWindow::kInfo) = nullptr;
        return FALSE;
    default: return FALSE;
    }
}

// Runs a picture box; it has no parent window, so the main dialog stays usable beside it.
void RunPictureBox(AuxWindow kind, const char* template_name, DLGPROC procedure, HWND owner) {
    if (Slot(kind)) {
        BringAuxToTop(kind);
        return;
    }
    PictureBox box;
    box.owner = owner;
    const INT_PTR result =
        RunModalDialog(AuxWindowsModule(), template_name, nullptr, procedure, reinterpret_cast<LPARAM>(&box));
    Slot(kind) = nullptr;
    if (box.picture) DeleteObject(box.picture);
    if (result == -1) ShowMessageWindow(owner, std::string("The window ") + template_name + " could not be opened.");
}

// ---- Export size ------------------------------------------------------------------------------

class SizeWindow : public SizeDialogView {
public:
    SizeWindow(ExportSizeDialog& dialog, RenderParams& params, HWND owner)
        : dialog_(dialog), params_(params), owner_(owner) {}

    void SetFieldText(int id, const std::string& text) override { SetDlgItemTextA(window_, id, text.c_str()); }
    void CheckRadio(int id) override { CheckRadioButton(window_, kSizeSameSize, kSizeCustom, id); }
    void Close(int result) override { EndDialog(window_, result); }

    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM w, LPARAM l) {
        auto* self = reinterpret_cast<SizeWindow*>(GetWindowLongPtrA(dialog, DWLP_USER));
        if (message == WM_INITDIALOG) {
            self = reinterpret_cast<SizeWindow*>(l);
            SetWindowLongPtrA(dialog, DWLP_USER, l);
            self->window_ = dialog;
            Slot(AuxWindow::kExportSize) = dialog;
            place_dialog(dialog, self->owner_);
            OpenExportSize(self->dialog_, *self, self->params_, self->dialog_.input_width,
                           self->dialog_.input_height);
            return TRUE;
        }
        if (!self) return FALSE;
        switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(w), code = HIWORD(w);
            if ((id == kSizeWidth || id == kSizeHeight) && code == EN_CHANGE) {
                HWND field = reinterpret_cast<HWND>(l);
                char text[64] = {};
                GetWindowTextA(field, text, sizeof text);
                ExportSizeEdited(self->dialog_, *self, id, text, GetFocus() == field);
                return TRUE;
            }
            if (code == BN_CLICKED && (id == kSizeOk || id == kSizeCancel || id == kSizeSameSize ||
                                       id == kSizeSameProportions || id == kSizeCustom)) {
                ExportSizeClicked(self->dialog_, *self, id, self->params_);
                return TRUE;
            }
            return FALSE;
        }
        case WM_CLOSE: ExportSizeClicked(self->dialog_, *self, kSizeCancel, self->params_); return TRUE;
        case WM_DESTROY: Slot(AuxWindow::kExportSize) = nullptr; return FALSE;
        default: return FALSE;
        }
    }

private:
    ExportSizeDialog& dialog_;
    RenderParams& params_;
    HWND owner_;
    HWND window_ = nullptr;
};

// ---- Progress ---------------------------------------------------------------------------------

INT_PTR CALLBACK ProgressProcedure(HWND dialog, UINT message, WPARAM, LPARAM l) {
    switch (message) {
    case WM_INITDIALOG:
        place_dialog(dialog, reinterpret_cast<HWND>(l));
        return TRUE;
    case WM_CLOSE: return TRUE;  // the export closes it when it is done
    case WM_DESTROY: Slot(AuxWindow::kProgress) = nullptr; return FALSE;
    default: return FALSE;
    }
}

// ---- Messages ---------------------------------------------------------------------------------

// The message box is the system's; a hook on this thread places it as our dialogs are
// placed when it is first activated.
HHOOK gMessageHook = nullptr;
HWND gMessageOwner = nullptr;

LRESULT CALLBACK PlaceMessageBox(int code, WPARAM w, LPARAM l) {
    if (code == HCBT_ACTIVATE && gMessageHook) {
        HWND box = reinterpret_cast<HWND>(w);
        char class_name[16] = {};
        GetClassNameA(box, class_name, sizeof class_name);
        if (std::strcmp(class_name, "#32770") == 0) {
            place_dialog(box, gMessageOwner);
            UnhookWindowsHookEx(gMessageHook);
            gMessageHook = nullptr;
            return 0;
        }
    }
    return CallNextHookEx(nullptr, code, w, l);
}

void CopyInto(char* buffer, const std::string& text) {
    std::strncpy(buffer, text.c_str(), kPathBufferSize - 1);
    buffer[kPathBufferSize - 1] = 0;
}

}  // namespace

HINSTANCE AuxWindowsModule() {
    if (!gModule) {
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&AuxWindowsModule), &gModule);
    }
    return gModule;
}

void UseAuxWindowsModule(HINSTANCE module) { gModule = module; }

void ShowAboutBoxWindow(HWND owner) { RunPictureBox(AuxWindow::kAbout, "ABOUTBOX", AboutProcedure, owner); }

void ShowInfoWindow(HWND owner) { RunPictureBox(AuxWindow::kInfo, "MORVO_INFO_BOX", InfoProcedure, owner); }

bool RunExportSizeWindow(HWND owner, ExportSizeDialog& dialog, RenderParams& params) {
    if (Slot(AuxWindow::kExportSize)) {
        BringAuxToTop(AuxWindow::kExportSize);
        return false;
    }
    SizeWindow window(dialog, params, owner);
    const INT_PTR result = RunModalDialog(AuxWindowsModule(), "CHOOSEPSDWITHSIZE", owner, SizeWindow::Procedure,
                                          reinterpret_cast<LPARAM>(&window));
    Slot(AuxWindow::kExportSize) = nullptr;
    if (result == -1) {
        ShowMessageWindow(owner, "The export size dialog could not be opened.");
        return false;
    }
    return result == kSizeOk && dialog.result == kSizeOk;
}

void OpenProgressWindow(HWND owner) {
    if (Slot(AuxWindow::kProgress)) {
        BringAuxToTop(AuxWindow::kProgress);
        return;
    }
    HWND window = nullptr;
    {
        DialogContextScope scope(AuxWindowsModule());
        window = CreateDialogParamA(AuxWindowsModule(), "MONDO_PROGRESS", owner, ProgressProcedure,
                                    reinterpret_cast<LPARAM>(owner));
    }
    if (!window) return;  // the export goes on without it
    Slot(AuxWindow::kProgress) = window;
    gProgressShown = -1;
    SetDlgItemTextA(window, kProgressStep, "Rendering...");
    ShowProgressWindow(0);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
}

void ShowProgressWindow(int per_mille) {
    HWND window = Slot(AuxWindow::kProgress);
    if (!window) return;
    const int percent = std::clamp(per_mille, 0, 1000) / 10;
    if (percent == gProgressShown) return;
    // The render takes the first nine tenths; the rest is writing the file.
    if (gProgressShown < 90 && percent >= 90) SetDlgItemTextA(window, kProgressStep, "Writing the file...");
    gProgressShown = percent;
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percent);
    SetDlgItemTextA(window, kProgressPercent, text);
    // The export runs on this thread: paint now rather than when it is over, and look at
    // the queue so the system does not take the plug-in's windows for hung meanwhile.
    UpdateWindow(window);
    MSG waiting;
    PeekMessageA(&waiting, nullptr, 0, 0, PM_NOREMOVE);
}

void CloseProgressWindow() {
    if (HWND window = Slot(AuxWindow::kProgress)) DestroyWindow(window);
    Slot(AuxWindow::kProgress) = nullptr;
    gProgressShown = -1;
}

void BringAuxToTop(AuxWindow window) {
    HWND w = Slot(window);
    if (!w) return;
    SetWindowPos(w, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(w);
}

void CloseAuxWindow(AuxWindow window) {
    HWND w = Slot(window);
    if (!w) return;
    if (window == AuxWindow::kProgress) CloseProgressWindow();
    else EndDialog(w, kSizeCancel);  // the modal boxes end as their close box ends them
}

HWND AuxWindowHandle(AuxWindow window) { return Slot(window); }

void ShowMessageWindow(HWND owner, const std::string& text) {
    gMessageOwner = owner;
    gMessageHook = SetWindowsHookExA(WH_CBT, PlaceMessageBox, nullptr, GetCurrentThreadId());
    {
        DialogContextScope scope(AuxWindowsModule());
        MessageBoxA(owner, text.c_str(), "Tarnwell 2", MB_OK | MB_ICONWARNING);
    }
    if (gMessageHook) UnhookWindowsHookEx(gMessageHook);
    gMessageHook = nullptr;
    gMessageOwner = nullptr;
}

bool RunOpenFileWindow(HWND owner, FileRequest& request) {
    char name[kPathBufferSize], title[kPathBufferSize], folder[kPathBufferSize];
    CopyInto(name, request.name);
    CopyInto(folder, request.folder);
    title[0] = 0;
    // Only the settings files' open dialog is owned by the main dialog (it carries the
    // picture pane); the others have no owner.
    const int confirmed = request.type == kFilePresets
                              ? OpenPresetDialog(AuxWindowsModule(), owner, name, title, folder, request.title)
                              : open_file_dialog(AuxWindowsModule(), nullptr, name, title, folder, request.type,
                                                 request.title);
    if (!confirmed) return false;
    request.path = name;
    request.folder = folder;
    return true;
}

bool RunSaveFileWindow(HWND owner, FileRequest& request) {
    char name[kPathBufferSize], title[kPathBufferSize], folder[kPathBufferSize];
    CopyInto(name, request.name);
    CopyInto(folder, request.folder);
    title[0] = 0;
    if (!save_file_dialog(AuxWindowsModule(), owner, name, title, folder, request.type, request.title)) return false;
    request.path = name;
    request.folder = folder;
    return true;
}

bool PickSystemColourWindow(HWND, Rgb16& colour) {
    COLORREF chosen = RGB(colour.r >> 8, colour.g >> 8, colour.b >> 8);
    if (!ChooseSystemColour(AuxWindowsModule(), chosen)) return false;
    colour = {uint16_t(GetRValue(chosen) * 256), uint16_t(GetGValue(chosen) * 256), uint16_t(GetBValue(chosen) * 256)};
    return true;
}

}  // namespace tw
