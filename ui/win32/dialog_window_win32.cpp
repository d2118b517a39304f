// The main dialog's window: message dispatch to the model, and the DialogView calls the
// model makes, each a small Win32 call or a forward to the smaller windows.
#include "ui/win32/dialog_window_win32.h"

#include <windowsx.h>

#include <algorithm>

#include "resources/artwork_ids.h"
#include "ui/dialog_layout.h"
#include "ui/win32/aux_windows_win32.h"
#include "ui/win32/dialog_context_win32.h"
#include "ui/win32/pictures_win32.h"
#include "ui/win32/placement_win32.h"

namespace tw {

namespace {

HWND gOpenDialog = nullptr;

// The icon size for a button: the largest drawn frame that leaves a border of 3 pixels
// around it, at least the smallest frame.
int IconSizeFor(const RECT& button) {
    const int room = std::min(button.right - button.left, button.bottom - button.top) - 6;
    int size = 16;
    for (int frame : {16, 20, 24, 32, 48})
        if (frame <= room) size = frame;
    return size;
}

PixelPoint PointOf(LPARAM lparam) { return {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}; }

}  // namespace

HWND OpenMainDialogWindow() { return gOpenDialog; }

Win32DialogView::Win32DialogView(HINSTANCE module, Dialog& dialog)
    : module_(module), dialog_(dialog), painter_(module) {}

Win32DialogView::~Win32DialogView() {
    for (HICON icon : button_icons_) DestroyIcon(icon);
    if (background_) DeleteObject(background_);
}

int Win32DialogView::Run(HWND parent) {
    parent_ = parent;
    const INT_PTR ended = RunModalDialog(module_, kMainDialogTemplate.name, parent, Procedure,
                                         reinterpret_cast<LPARAM>(this));
    window_ = nullptr;
    return ended == kIdOk || ended == kIdCancel ? static_cast<int>(ended) : -1;
}

INT_PTR CALLBACK Win32DialogView::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lparam);
        auto* view = reinterpret_cast<Win32DialogView*>(lparam);
        view->window_ = window;
        view->Initialise();
        return FALSE;  // the dialog sets no focus of its own
    }
    auto* view = reinterpret_cast<Win32DialogView*>(GetWindowLongPtrA(window, DWLP_USER));
    if (view == nullptr || view->window_ != window) return FALSE;
    return view->Handle(message, wparam, lparam);
}

void Win32DialogView::Initialise() {
    gOpenDialog = window_;
    background_ = CreateSolidBrush(kDialogColour);
    // The dialog paints its own surface; its child windows keep theirs.
    SetWindowLongPtrA(window_, GWL_STYLE, GetWindowLongPtrA(window_, GWL_STYLE) | WS_CLIPCHILDREN);
    for (int id = 0; id < kControlCount; ++id) {
        rects_[id] = {};
        HWND control = GetDlgItem(window_, id);
        if (control == nullptr) continue;
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        rects_[id] = {r.left, r.top, r.right, r.bottom};
    }
    place_dialog(window_, parent_);
    // Icon buttons show their icon instead of the template's caption.
    for (int id = 0; id < kControlCount; ++id) {
        const ControlDescriptor desc = describe_control(id);
        if (desc.kind != kKindIconButton || desc.icon < 0) continue;
        HWND button = GetDlgItem(window_, id);
        if (button == nullptr) continue;
        RECT r;
        GetClientRect(button, &r);
        HICON icon = LoadIconPicture(module_, desc.icon, IconSizeFor(r));
        SetWindowTextA(button, "");
        if (icon == nullptr) continue;
        button_icons_.push_back(icon);
        SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
    InitialiseDialog(dialog_, reinterpret_cast<intptr_t>(window_));
}

INT_PTR Win32DialogView::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
    Dialog& d = dialog_;
    switch (message) {
    case WM_PAINT:
        Paint();
        return TRUE;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window_, &client);
        FillRect(reinterpret_cast<HDC>(wparam), &client, background_);
        SetWindowLongPtrA(window_, DWLP_MSGRESULT, 1);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
        // The visible statics (the About mark) and the buttons' corners sit on the dialog colour.
        SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
        SetBkColor(reinterpret_cast<HDC>(wparam), kDialogColour);
        return reinterpret_cast<INT_PTR>(background_);
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
        const int id = static_cast<int>(item->CtlID);
        if (id < 0 || id >= kControlCount || describe_control(id).kind != kKindColourSwatch) return FALSE;
        SwatchState state;
        state.enabled = ControlEnabled(d, id) && (item->itemState & ODS_DISABLED) == 0;
        state.pressed = (item->itemState & ODS_SELECTED) != 0;
        state.focused = (item->itemState & ODS_FOCUS) != 0;
        painter_.DrawSwatch(item->hDC, item->rcItem, d.controls[id].colour, state);
        return TRUE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wparam);
        const int code = HIWORD(wparam);
        // The dialog manager's Enter and Escape: OK (the default button's id, 3) and Cancel.
        if (id == IDOK) id = kIdOk;
        if (d.state.window == 0) return TRUE;  // ended: late notifications change nothing
        DialogCommand(d, id, code);
        return TRUE;
    }
    case WM_TIMER:
        if (d.state.window != 0) DialogTimer(d, static_cast<int>(wparam));
        return TRUE;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        press_point_ = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
        MousePress(d, PointOf(lparam), message == WM_RBUTTONDOWN, (wparam & MK_CONTROL) != 0);
        return TRUE;
    case WM_MOUSEMOVE:
        MouseMove(d, PointOf(lparam), (wparam & MK_CONTROL) != 0);
        return TRUE;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        MouseRelease(d, PointOf(lparam));
        return TRUE;
    case WM_CAPTURECHANGED:
        // Another window took the mouse in the middle of a drag (a system dialog, a switch
        // to another program): the drag ends there, as a release would end it, rather than
        // leaving the dialog deaf to every later press.
        if (!releasing_ && d.state.captured != -1 && reinterpret_cast<HWND>(lparam) != window_)
            MouseRelease(d, {d.state.mouse_x, d.state.mouse_y});
        return TRUE;
    case WM_SETCURSOR:
        // Over the dialog's own surface the model's cursor; over child windows theirs.
        if (reinterpret_cast<HWND>(wparam) == window_ && LOWORD(lparam) == HTCLIENT) {
            ::SetCursor(CursorOf(cursor_));
            SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        if (gOpenDialog == window_) gOpenDialog = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void Win32DialogView::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    const RECT& u = ps.rcPaint;
    const int w = u.right - u.left, h = u.bottom - u.top;
    if (w > 0 && h > 0) {
        // Drawn off screen and copied once, so a drag does not flicker.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP surface = CreateCompatibleBitmap(dc, w, h);
        if (memory != nullptr && surface != nullptr) {
            HGDIOBJ old = SelectObject(memory, surface);
            SetViewportOrgEx(memory, -u.left, -u.top, nullptr);
            painter_.Paint(memory, u, dialog_, rects_, ClientWidth());
            SetViewportOrgEx(memory, 0, 0, nullptr);
            BitBlt(dc, u.left, u.top, w, h, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
        } else {
            painter_.Paint(dc, u, dialog_, rects_, ClientWidth());
        }
        if (surface) DeleteObject(surface);
        if (memory) DeleteDC(memory);
    }
    EndPaint(window_, &ps);
}

HCURSOR Win32DialogView::CursorOf(CursorShape shape) {
    switch (shape) {
    case CursorShape::kWait: return LoadCursorA(nullptr, IDC_WAIT);
    case CursorShape::kPointingHand:
        if (HCURSOR c = LoadCursorPicture(module_, TW_CURSOR_POINT)) return c;
        break;
    case CursorShape::kGrabbingHand:
        if (HCURSOR c = LoadCursorPicture(module_, TW_CURSOR_GRAB)) return c;
        break;
    case CursorShape::kArrow: break;
    }
    return LoadCursorA(nullptr, IDC_ARROW);
}

// ---- Controls that are windows --------------------------------------------------------------

std::string Win32DialogView::FieldText(int id) {
    char text[256] = {};
    GetDlgItemTextA(window_, id, text, sizeof text);
    return text;
}

void Win32DialogView::SetFieldText(int id, const std::string& text) { SetDlgItemTextA(window_, id, text.c_str()); }

void Win32DialogView::FillCombo(int id, std::span<const std::string> entries) {
    HWND combo = GetDlgItem(window_, id);
    SendMessageA(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& e : entries) SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.c_str()));
}

int Win32DialogView::ComboSelection(int id) {
    const LRESULT i = SendDlgItemMessageA(window_, id, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? -1 : static_cast<int>(i);
}

void Win32DialogView::SelectCombo(int id, int index) { SendDlgItemMessageA(window_, id, CB_SETCURSEL, index, 0); }

void Win32DialogView::SetButtonText(int id, const std::string& text) { SetDlgItemTextA(window_, id, text.c_str()); }

void Win32DialogView::EnableWindow(int id, bool enabled) {
    if (HWND control = GetDlgItem(window_, id)) ::EnableWindow(control, enabled ? TRUE : FALSE);
}

// ---- Drawn controls ---------------------------------------------------------------------------

PixelRect Win32DialogView::ControlRect(int id) { return id >= 0 && id < kControlCount ? rects_[id] : PixelRect{}; }

int32_t Win32DialogView::ClientWidth() {
    RECT r{};
    GetClientRect(window_, &r);
    return r.right - r.left;
}

void Win32DialogView::RepaintControl(int id) {
    if (id < 0 || id >= kControlCount || window_ == nullptr) return;
    HWND control = GetDlgItem(window_, id);
    if (control != nullptr && IsWindowVisible(control)) {  // a swatch: the button draws itself
        InvalidateRect(control, nullptr, FALSE);
        return;
    }
    const PixelRect p = DialogPainter::PaintedRect(id, rects_[id]);
    const RECT r{p.left, p.top, p.right, p.bottom};
    InvalidateRect(window_, &r, FALSE);
}

void Win32DialogView::RepaintPreview() {
    if (window_ == nullptr) return;
    const PixelRect p = DialogPainter::PaintedRect(kIdPreview, rects_[kIdPreview]);
    const RECT r{p.left, p.top, p.right, p.bottom};
    InvalidateRect(window_, &r, FALSE);
    // A render ran to its end before this message: show it now, not after the next input.
    UpdateWindow(window_);
}

// ---- Timers, mouse, messages --------------------------------------------------------------------

void Win32DialogView::SetTimer(int id, int milliseconds) { ::SetTimer(window_, id, milliseconds, nullptr); }
void Win32DialogView::KillTimer(int id) { ::KillTimer(window_, id); }
void Win32DialogView::CaptureMouse() { SetCapture(window_); }
void Win32DialogView::ReleaseMouse() {
    releasing_ = true;  // the capture change this causes is the release itself
    if (GetCapture() == window_) ReleaseCapture();
    releasing_ = false;
}

void Win32DialogView::SetCursor(CursorShape shape) {
    cursor_ = shape;
    ::SetCursor(CursorOf(shape));
}

void Win32DialogView::PostClick(int id) { PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void Win32DialogView::PostMouseMove() {
    // At the press's own point: the press acts where it happened, even when it came as a
    // message rather than from the mouse itself.
    WPARAM keys = 0;
    if (GetKeyState(VK_CONTROL) < 0 || dialog_.state.control_held) keys |= MK_CONTROL;
    PostMessageA(window_, WM_MOUSEMOVE, keys, MAKELPARAM(press_point_.x, press_point_.y));
}

void Win32DialogView::ProcessPendingInput() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (window_ == nullptr || !IsDialogMessageA(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void Win32DialogView::EndDialog(int result) {
    if (gOpenDialog == window_) gOpenDialog = nullptr;
    ::EndDialog(window_, result);
}

// ---- Other windows: the smaller windows' own functions -----------------------------------------

void Win32DialogView::ShowAbout() { ShowAboutBoxWindow(window_); }
void Win32DialogView::ShowInfo() { ShowInfoWindow(window_); }
bool Win32DialogView::RunExportSize(ExportSizeDialog& dialog, RenderParams& params) {
    return RunExportSizeWindow(window_, dialog, params);
}
void Win32DialogView::OpenProgress() { OpenProgressWindow(window_); }
void Win32DialogView::ShowProgress(int per_mille) { ShowProgressWindow(per_mille); }
void Win32DialogView::CloseProgress() { CloseProgressWindow(); }
void Win32DialogView::BringToTop(AuxWindow window) { BringAuxToTop(window); }
void Win32DialogView::CloseWindow(AuxWindow window) { CloseAuxWindow(window); }
bool Win32DialogView::OpenFileDialog(FileRequest& request) { return RunOpenFileWindow(window_, request); }
bool Win32DialogView::SaveFileDialog(FileRequest& request) { return RunSaveFileWindow(window_, request); }
bool Win32DialogView::PickSystemColour(Rgb16& colour) { return PickSystemColourWindow(window_, colour); }
void Win32DialogView::ShowMessage(const std::string& text) { ShowMessageWindow(window_, text); }

}  // namespace tw
