// The dialog test harness proves itself on a small dialog made in memory: the prefix's fonts
// and DPI are what the dialog tests expect, and every kind of driving the real dialog's
// tests rely on (typing, combo choices, clicks, drags, keys through the dialog manager,
// captures, handle counts, a helper thread acting while the modal call blocks) reaches the
// dialog procedure and shows in the captured pixels. Runs through scripts/wine-dialog.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/windows/dialog_driver.h"

namespace tw::testing {
namespace {

constexpr int kPaintArea = 10, kField = 11, kChoice = 12;
constexpr uint32_t kChoiceColours[3] = {Rgb(200, 30, 30), Rgb(30, 160, 40), Rgb(40, 60, 210)};
constexpr uint32_t kMarkColour = Rgb(255, 255, 0);
const char* const kCaption = "Harness probe";

// Everything the probe's procedure heard, read by the test after the modal call.
struct ProbeLog {
    int edit_changes = 0;
    std::string field_text;
    int selection_changes = 0;
    int selection = 0;
    POINT press{-1, -1}, release{-1, -1};
    int moves_while_captured = 0;
    bool control_on_press = false;
    int commands_seen = 0;
};

COLORREF ToColorRef(uint32_t rgb) { return RGB(Red(rgb), Green(rgb), Blue(rgb)); }

void PaintProbe(HWND dialog, const ProbeLog& log) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    const RECT area = ControlRect(dialog, kPaintArea);
    HBRUSH fill = CreateSolidBrush(ToColorRef(kChoiceColours[log.selection]));
    FillRect(dc, &area, fill);
    DeleteObject(fill);
    if (log.release.x >= 0) {
        // A 6 x 6 mark where the last drag ended.
        const RECT mark{log.release.x - 3, log.release.y - 3, log.release.x + 3, log.release.y + 3};
        HBRUSH brush = CreateSolidBrush(ToColorRef(kMarkColour));
        FillRect(dc, &mark, brush);
        DeleteObject(brush);
    }
    EndPaint(dialog, &paint);
}

INT_PTR CALLBACK ProbeProc(HWND dialog, UINT message, WPARAM w, LPARAM l) {
    auto* log = reinterpret_cast<ProbeLog*>(GetWindowLongPtrA(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrA(dialog, DWLP_USER, l);
            for (const char* entry : {"Red", "Green", "Blue"})
                SendDlgItemMessageA(dialog, kChoice, CB_ADDSTRING, 0, LPARAM(entry));
            SendDlgItemMessageA(dialog, kChoice, CB_SETCURSEL, 0, 0);
            return TRUE;
        }
        case WM_PAINT:
            PaintProbe(dialog, *log);
            return TRUE;
        case WM_LBUTTONDOWN:
            log->press = {short(LOWORD(l)), short(HIWORD(l))};
            log->control_on_press = (w & MK_CONTROL) != 0;
            SetCapture(dialog);
            return TRUE;
        case WM_MOUSEMOVE:
            if (GetCapture() == dialog) ++log->moves_while_captured;
            return TRUE;
        case WM_LBUTTONUP:
            log->release = {short(LOWORD(l)), short(HIWORD(l))};
            ReleaseCapture();
            InvalidateRect(dialog, nullptr, FALSE);
            return TRUE;
        case WM_COMMAND: {
            ++log->commands_seen;
            const int id = LOWORD(w), code = HIWORD(w);
            if (id == kField && code == EN_CHANGE) {
                ++log->edit_changes;
                log->field_text = GetText(dialog, kField);
            } else if (id == kChoice && code == CBN_SELCHANGE) {
                ++log->selection_changes;
                log->selection = int(SendDlgItemMessageA(dialog, kChoice, CB_GETCURSEL, 0, 0));
                InvalidateRect(dialog, nullptr, FALSE);
            } else if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
                EndDialog(dialog, id);
            }
            return TRUE;
        }
        default:
            return FALSE;
    }
}

DialogTemplate ProbeTemplate() {
    DialogTemplate t(kCaption, 200, 120);
    // The paint area only reserves a rectangle: hidden, as the plug-in's own are.
    t.Add(0x82, kPaintArea, "", 10, 10, 100, 60, WS_CHILD | SS_SUNKEN);
    t.Add(0x81, kField, "12", 120, 10, 70, 14, WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    t.Add(0x85, kChoice, "", 120, 30, 70, 60, WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL);
    t.Add(0x80, IDOK, "OK", 90, 95, 45, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
    t.Add(0x80, IDCANCEL, "Cancel", 145, 95, 45, 14, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON);
    return t;
}

WindowQuery ProbeWindow() {
    WindowQuery q;
    q.title = kCaption;
    q.class_name = kDialogClass;
    return q;
}

INT_PTR RunProbe(ProbeLog& log) {
    const DialogTemplate t = ProbeTemplate();
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.data(), nullptr, ProbeProc, LPARAM(&log));
}

int ExpectedDpi() {
    const char* dpi = std::getenv("TARNWELL_DIALOG_DPI");
    return dpi ? std::atoi(dpi) : 0;
}

TEST(DialogHarness, ThePrefixHasTheDialogFontAndTheAskedDpi) {
    const int expected = ExpectedDpi();
    if (expected == 0) GTEST_SKIP() << "not run through scripts/wine-dialog.sh";
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(dpi, expected);

    // With Wine's raster MS Sans Serif installed the dialog base units are those of
    // Windows (6 x 13 at 96 DPI, 8 x 15 at 120); a stand-in font gives other units and
    // dialogs a third larger.
    struct Units { int x, y; } units{0, 0};
    ProbeLog log;
    ModalActor actor(ProbeWindow(), [&](HWND dialog) {
        RECT r{0, 0, 4, 8};
        MapDialogRect(dialog, &r);
        units = {r.right, r.bottom};
        CancelDialog(dialog);
    });
    EXPECT_EQ(RunProbe(log), IDCANCEL);
    actor.Join();
    ASSERT_TRUE(actor.found()) << "the probe dialog never appeared";
    if (expected == 96) {
        EXPECT_EQ(units.x, 6);
        EXPECT_EQ(units.y, 13);
    } else {
        EXPECT_EQ(units.x, 8);
        EXPECT_EQ(units.y, 15);
    }
}

// What the helper thread saw while the dialog was up.
struct Seen {
    uint32_t area_before = 0, area_after_choice = 0;
    double mark_share = 0;
    uint32_t beside_mark = 0;
    RECT area{};
    POINT from{}, to{};
};

TEST(DialogHarness, TypingChoosingDraggingAndCapturingReachTheDialog) {
    ProbeLog log;
    Seen seen;
    ModalActor actor(ProbeWindow(), [&](HWND dialog) {
        seen.area = ControlRect(dialog, kPaintArea);
        UpdateWindow(dialog);
        Capture first = CaptureClient(dialog);
        seen.area_before = MeanColour(first, seen.area);

        SetEditText(dialog, kField, "150");
        SelectComboEntry(dialog, kChoice, 2);
        UpdateWindow(dialog);
        seen.area_after_choice = MeanColour(CaptureClient(dialog), seen.area);

        // A drag inside the paint area, with Control held, ending 20 pixels down-right.
        seen.from = {seen.area.left + 20, seen.area.top + 20};
        seen.to = {seen.from.x + 20, seen.from.y + 20};
        MouseDrag(dialog, seen.from, seen.to, 5, MouseKeys{true, false});
        UpdateWindow(dialog);
        const Capture after = CaptureClient(dialog);
        seen.mark_share = ShareOfColour(after, RECT{seen.to.x - 2, seen.to.y - 2, seen.to.x + 2, seen.to.y + 2},
                                        kMarkColour, 8);
        seen.beside_mark = after.at(seen.to.x + 10, seen.to.y + 10);
        PostKey(dialog, VK_ESCAPE);
    });
    const INT_PTR ended = RunProbe(log);
    actor.Join();
    ASSERT_TRUE(actor.found()) << "the probe dialog never appeared";
    EXPECT_EQ(ended, IDCANCEL) << "Escape goes through the dialog manager as Cancel";

    EXPECT_GE(log.edit_changes, 1);
    EXPECT_EQ(log.field_text, "150");
    EXPECT_EQ(log.selection_changes, 1);
    EXPECT_EQ(log.selection, 2);
    EXPECT_EQ(log.press.x, seen.from.x);
    EXPECT_EQ(log.press.y, seen.from.y);
    EXPECT_TRUE(log.control_on_press);
    EXPECT_EQ(log.moves_while_captured, 5) << "the capture held through the drag";
    EXPECT_EQ(log.release.x, seen.to.x);
    EXPECT_EQ(log.release.y, seen.to.y);

    EXPECT_LE(ColourDistance(seen.area_before, kChoiceColours[0]), 2) << std::hex << seen.area_before;
    EXPECT_LE(ColourDistance(seen.area_after_choice, kChoiceColours[2]), 2) << std::hex << seen.area_after_choice;
    EXPECT_GT(seen.mark_share, 0.99) << "the mark is drawn where the drag ended";
    EXPECT_LE(ColourDistance(seen.beside_mark, kChoiceColours[2]), 2);
}

TEST(DialogHarness, EnterGivesTheDefaultButton) {
    ProbeLog log;
    ModalActor actor(ProbeWindow(), [](HWND dialog) { PostKey(dialog, VK_RETURN); });
    EXPECT_EQ(RunProbe(log), IDOK);
    actor.Join();
    EXPECT_TRUE(actor.found());
}

TEST(DialogHarness, CapturingManyTimesLeaksNoGdiHandles) {
    ProbeLog log;
    DWORD before = 0, after = 0;
    bool same_pixels = true;
    ModalActor actor(ProbeWindow(), [&](HWND dialog) {
        UpdateWindow(dialog);
        const Capture reference = CaptureClient(dialog);
        // The first capture may create objects the system keeps (cached brushes, DCs).
        before = GdiObjectCount();
        // The paint area only: the field's caret blinks.
        const RECT area = ControlRect(dialog, kPaintArea);
        const uint32_t colour = MeanColour(reference, area);
        for (int i = 0; i < 100; ++i) {
            InvalidateRect(dialog, nullptr, TRUE);
            UpdateWindow(dialog);
            const Capture again = CaptureClient(dialog);
            same_pixels = same_pixels && ShareOfColour(again, area, colour, 0) == 1.0;
        }
        after = GdiObjectCount();
        CancelDialog(dialog);
    });
    RunProbe(log);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_TRUE(same_pixels) << "repainting the same state gives the same pixels";
    if (before == 0) GTEST_SKIP() << "this system counts no GDI objects";
    EXPECT_LE(after, before + 2) << "GDI objects grew from " << before << " to " << after;
}

TEST(DialogHarness, TheGdiCountSeesObjectsMadeAndFreed) {
    // The leak checks are only as good as the count: it must move with real objects.
    const DWORD before = GdiObjectCount();
    if (before == 0) GTEST_SKIP() << "this system counts no GDI objects";
    std::vector<HBRUSH> brushes;
    for (int i = 0; i < 50; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 2 * i, 3 * i)));
    const DWORD with = GdiObjectCount();
    for (HBRUSH b : brushes) DeleteObject(b);
    const DWORD after = GdiObjectCount();
    EXPECT_EQ(with, before + 50);
    EXPECT_EQ(after, before);
}

TEST(DialogHarness, AnActorThatFindsNothingGivesUpInsteadOfHanging) {
    WindowQuery nothing;
    nothing.title = "No such window anywhere";
    bool acted = false;
    ModalActor actor(nothing, [&](HWND) { acted = true; }, 200);
    actor.Join();
    EXPECT_FALSE(actor.found());
    EXPECT_FALSE(acted);
}

TEST(DialogHarness, InMemoryTemplatesMakeTheControlsTheyDescribe) {
    ProbeLog log;
    struct Controls { std::string edit_class, combo_class, ok_text; bool paint_visible = true; int entries = 0; } c;
    ModalActor actor(ProbeWindow(), [&](HWND dialog) {
        char name[64] = {};
        GetClassNameA(GetDlgItem(dialog, kField), name, sizeof name);
        c.edit_class = name;
        GetClassNameA(GetDlgItem(dialog, kChoice), name, sizeof name);
        c.combo_class = name;
        c.ok_text = GetText(dialog, IDOK);
        c.paint_visible = IsWindowVisible(GetDlgItem(dialog, kPaintArea)) != FALSE;
        c.entries = int(SendDlgItemMessageA(dialog, kChoice, CB_GETCOUNT, 0, 0));
        CancelDialog(dialog);
    });
    RunProbe(log);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_STRCASEEQ(c.edit_class.c_str(), "Edit");
    EXPECT_STRCASEEQ(c.combo_class.c_str(), "ComboBox");
    EXPECT_EQ(c.ok_text, "OK");
    EXPECT_FALSE(c.paint_visible);
    EXPECT_EQ(c.entries, 3);
}

TEST(DialogHarness, CapturesSaveAsBitmapsForLookingAtFailures) {
    Capture c;
    c.width = 3;
    c.height = 2;
    c.pixels = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), 0, Rgb(1, 2, 3), 0xFFFFFF};
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "tarnwell-capture-test.bmp";
    ASSERT_TRUE(SaveCaptureBmp(c, path));
    HBITMAP loaded = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(loaded, nullptr);
    const Capture back = CaptureBitmap(loaded);
    DeleteObject(loaded);
    DeleteFileA(path.c_str());
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.pixels, c.pixels);
}

}  // namespace
}  // namespace tw::testing
