// The main dialog's window (template DISSOLVESANSPARAM): a DialogView over a real dialog.
// The dialog procedure forwards every message to the dialog's model (ui/dialog_model.h) and
// draws through DialogPainter; the smaller windows and the system dialogs it opens are
// ui/win32/aux_windows_win32.h's. Windows build only; runs on the host's thread.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>

#include "ui/dialog_model.h"
#include "ui/win32/dialog_painter_win32.h"

namespace tw {

class Win32DialogView final : public DialogView {
public:
    // The view of `dialog`, with templates and pictures from `module`. Bind the dialog to
    // this view (BindDialog) before Run.
    Win32DialogView(HINSTANCE module, Dialog& dialog);
    ~Win32DialogView() override;
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    // Runs the dialog modally, owned by `parent`; returns the id it ended with (kIdOk or
    // kIdCancel), or -1 when the window could not be made.
    int Run(HWND parent);
    HWND window() const { return window_; }

    // ---- DialogView ----
    std::string FieldText(int id) override;
    void SetFieldText(int id, const std::string& text) override;
    void FillCombo(int id, std::span<const std::string> entries) override;
    int ComboSelection(int id) override;
    void SelectCombo(int id, int index) override;
    void SetButtonText(int id, const std::string& text) override;
    void EnableWindow(int id, bool enabled) override;
    PixelRect ControlRect(int id) override;
    int32_t ClientWidth() override;
    void RepaintControl(int id) override;
    void RepaintPreview() override;
    void SetTimer(int id, int milliseconds) override;
    void KillTimer(int id) override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    void SetCursor(CursorShape shape) override;
    void PostClick(int id) override;
    void PostMouseMove() override;
    void ProcessPendingInput() override;
    void EndDialog(int result) override;
    void ShowAbout() override;
    void ShowInfo() override;
    bool RunExportSize(ExportSizeDialog& dialog, RenderParams& params) override;
    void OpenProgress() override;
    void ShowProgress(int per_mille) override;
    void CloseProgress() override;
    void BringToTop(AuxWindow window) override;
    void CloseWindow(AuxWindow window) override;
    bool OpenFileDialog(FileRequest& request) override;
    bool SaveFileDialog(FileRequest& request) override;
    bool PickSystemColour(Rgb16& colour) override;
    void ShowMessage(const std::string& text) override;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam);
    void Initialise();
    void Paint();
    HCURSOR CursorOf(CursorShape shape);

    HINSTANCE module_;
    Dialog& dialog_;
    HWND window_ = nullptr;
    HWND parent_ = nullptr;
    DialogPainter painter_;
    PixelRect rects_[kControlCount];
    std::vector<HICON> button_icons_;
    HBRUSH background_ = nullptr;
    CursorShape cursor_ = CursorShape::kArrow;
    POINT press_point_{};  // where the last press was, for the move a press posts
    bool releasing_ = false;  // ReleaseMouse is giving the capture back
};

// The main dialog window open now, or null (for tests and the information box).
HWND OpenMainDialogWindow();

}  // namespace tw
