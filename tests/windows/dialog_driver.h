// Driving real windows from a test, as a person would but without one: find a window,
// click, type, drag, choose in combo boxes and in the system's file and colour dialogs,
// capture what a window shows and read its pixels, and count GDI handles. Runs under Wine
// on a virtual X screen (scripts/wine-dialog.sh) as well as on Windows.
//
// Modal calls block the test's thread, so whatever acts on a modal window runs on a
// helper thread (ModalActor) that waits for the window to appear, acts, and is joined
// after the modal call has returned.
//
// Coordinates are client coordinates of the window named; never hard-code pixels derived
// from dialog units: compute them with MapDialogRect or from a control's window rectangle
// (dialog scaling differs between Wine, Windows and DPI settings).
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tw::testing {

// ---- Finding windows -----------------------------------------------------------------------

// What a window must be to match: an exact title and/or class name (empty: any), shown,
// and not one of `except`. Only top-level windows of this process are searched.
struct WindowQuery {
    std::string title;
    std::string class_name;
    std::vector<HWND> except;
    bool visible_only = true;
};

// The first matching top-level window of this process, or null.
HWND FindProcessWindow(const WindowQuery& query);
// Waits up to `timeout_ms` for a matching window; null when none came (or when `stop`
// was set while waiting).
HWND WaitForWindow(const WindowQuery& query, int timeout_ms = 10000, const std::atomic<bool>* stop = nullptr);
// Waits until `window` is gone (destroyed); false after `timeout_ms`.
bool WaitForWindowGone(HWND window, int timeout_ms = 10000);
// A child window (any depth) of the given class, or null.
HWND FindChildByClass(HWND parent, const char* class_name);

// The dialog's class name "#32770" (common dialogs and message boxes share it).
extern const char* const kDialogClass;

// ---- Acting on controls ---------------------------------------------------------------------

// A button click as the button itself reports it (WM_COMMAND with BN_CLICKED), sent.
void ClickButton(HWND dialog, int id);
// Posts a command to the dialog (for buttons that end a modal loop: posting lets the
// sender go on while the dialog closes).
void PostCommand(HWND dialog, int id, int notification = BN_CLICKED);
// A key pressed and released, posted to `window` (for a dialog: through its manager, so
// Enter gives the default button and Escape IDCANCEL).
void PostKey(HWND window, UINT virtual_key);
// A character typed into a focused control.
void PostChar(HWND window, char c);
// Sets an edit control's text (the dialog hears EN_CHANGE before this returns).
void SetEditText(HWND dialog, int id, const std::string& text);
std::string GetText(HWND dialog, int id);
// Selects entry `index` of a combo box and tells the dialog, as a person's choice would:
// CB_SETCURSEL sends no notification of its own.
void SelectComboEntry(HWND dialog, int id, int index);

// ---- The mouse, at client coordinates ----------------------------------------------------

struct MouseKeys {
    bool control = false;
    bool shift = false;
};
// Sent (the handler has run when these return); `button` is 0 left, 1 right.
void MousePress(HWND window, int x, int y, int button = 0, MouseKeys keys = {});
void MouseMove(HWND window, int x, int y, bool button_down, MouseKeys keys = {});
void MouseRelease(HWND window, int x, int y, int button = 0, MouseKeys keys = {});
// Press at `from`, moves in `steps` steps, release at `to`.
void MouseDrag(HWND window, POINT from, POINT to, int steps = 4, MouseKeys keys = {});
// Runs the message queue of this thread until it is empty (for posted messages that a
// window of this thread must handle before the test looks).
void PumpMessages();

// ---- Seeing what a window shows ----------------------------------------------------------

// A window's client area as it is on the screen, copied by BitBlt from the window's device
// context (this sees child controls and WM_PAINT drawing; PrintWindow does not).
struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom
    bool empty() const { return pixels.empty(); }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};
Capture CaptureClient(HWND window);
// The same from any device context (a memory DC's bitmap, for example).
Capture CaptureDC(HDC dc, int width, int height);
// A bitmap's pixels, read with GetDIBits.
Capture CaptureBitmap(HBITMAP bitmap);

constexpr uint32_t Rgb(int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }
inline int Red(uint32_t c) { return int(c >> 16 & 0xFF); }
inline int Green(uint32_t c) { return int(c >> 8 & 0xFF); }
inline int Blue(uint32_t c) { return int(c & 0xFF); }
// The largest difference of the three channels.
int ColourDistance(uint32_t a, uint32_t b);
// How many pixels of `rect` (client coordinates, clipped to the capture) lie within
// `tolerance` of `colour`, as a share of the rectangle's pixels.
double ShareOfColour(const Capture& capture, RECT rect, uint32_t colour, int tolerance);
// The mean colour of a rectangle.
uint32_t MeanColour(const Capture& capture, RECT rect);
// Writes the capture as a 24-bit BMP (for looking at a failure); false when it cannot.
bool SaveCaptureBmp(const Capture& capture, const std::string& path);

// A control's rectangle in its parent's client coordinates.
RECT ControlRect(HWND dialog, int id);
// Dialog units to pixels of this dialog (MapDialogRect).
RECT DialogUnitsToPixels(HWND dialog, RECT units);

// ---- The system's common dialogs -------------------------------------------------------------

// The file-name field of the open and save dialogs (cmb13), a ComboBoxEx32 with an edit.
constexpr int kFileNameField = 0x47c;
// The hidden red, green and blue edits of the colour dialog.
constexpr int kColourRedField = 706, kColourGreenField = 707, kColourBlueField = 708;

// Types a path into an open or save dialog and confirms it.
void ChooseFileInDialog(HWND dialog, const std::string& path);
// Confirms the "replace the file?" prompt a save dialog may show (another #32770 window
// with the save dialog's title, other than the save dialog itself); false if none came.
bool ConfirmOverwritePrompt(const std::string& title, HWND save_dialog, int timeout_ms = 5000);
// Sets the colour dialog's colour and confirms it.
void ChooseColourInDialog(HWND dialog, int red, int green, int blue);
// Closes any dialog as its Cancel button does.
void CancelDialog(HWND dialog);

// ---- Resources ---------------------------------------------------------------------------

// GDI objects this process holds now, for leak checks: take the count, repeat the work
// many times, compare. GetGuiResources where it counts (Windows); under Wine, where it
// gives 0, the live entries of the process's GDI handle table (stock objects included,
// so only differences mean anything). 0 when neither can be had.
DWORD GdiObjectCount();
DWORD UserObjectCount();

// ---- Acting on a modal window from a second thread ------------------------------------------

// Starts a thread that waits for a window matching `query`, then calls `act` with it.
// Construct it just before the blocking call, then call Join() after it returns; the
// destructor joins too. When no window came within the timeout, `act` is not called and
// found() is false: the test should report that rather than hang (the blocking call then
// usually needs closing; the actor cancels a window it found but could not act on).
class ModalActor {
public:
    ModalActor(WindowQuery query, std::function<void(HWND)> act, int timeout_ms = 10000);
    ~ModalActor();
    ModalActor(const ModalActor&) = delete;
    ModalActor& operator=(const ModalActor&) = delete;
    void Join();
    // Stops waiting for a window that has not come (for calls that may or may not show
    // one), then joins.
    void StopWaiting();
    bool found() const { return found_.load(); }
    HWND window() const { return window_.load(); }

private:
    std::atomic<bool> found_{false};
    std::atomic<bool> stop_{false};
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

// ---- Small dialogs made in memory ------------------------------------------------------------

// A dialog template built in memory, for tests that need a window of their own (no
// resources): DialogBoxIndirectParam and CreateDialogIndirectParam take data().
class DialogTemplate {
public:
    // Size and position in dialog units; font "MS Sans Serif" 8 as the plug-in's dialogs.
    DialogTemplate(const std::string& caption, short width, short height,
                   DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
    // A control of a predefined class (0x80 button, 0x81 edit, 0x82 static, 0x85 combo
    // box) or of a named class.
    DialogTemplate& Add(WORD class_atom, int id, const std::string& text, short x, short y,
                        short width, short height, DWORD style);
    DialogTemplate& Add(const std::string& class_name, int id, const std::string& text, short x,
                        short y, short width, short height, DWORD style);
    const DLGTEMPLATE* data() const;

private:
    std::vector<WORD> words_;
    size_t count_at_ = 0;
    void Item(int id, short x, short y, short width, short height, DWORD style);
};

}  // namespace tw::testing
