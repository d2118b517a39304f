// The dialog's smaller windows with real windows under Wine: the About and information boxes
// (one of each; the information box closes itself once the main dialog is gone), the export
// size dialog over the model, the progress window, messages, the system's file dialogs as
// the dialog asks for them (the settings files' one with the preset's picture beside the
// list), the colour dialog, and the PSD export's windows in the order an export runs them,
// ending in a PSD file. Templates and pictures come from the plug-in module.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "export/psd_export.h"
#include "image/image_buffer.h"
#include "params/render_params.h"
#include "resources/artwork_ids.h"
#include "settings/settings_file.h"
#include "tests/windows/dialog_driver.h"
// After windows.h, which the driver brings.
#include <commctrl.h>
#include "ui/control_geometry.h"
#include "ui/win32/aux_windows_win32.h"
#include "ui/win32/pictures_win32.h"
#include "ui/win32/placement_win32.h"
#include "ui/win32/preset_open_win32.h"
#include "ui/win32/system_dialogs_win32.h"

namespace tw::testing {
namespace {

HINSTANCE PluginModule() {
    static HINSTANCE module = LoadLibraryExA(TARNWELL_PLUGIN_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

// Where failures leave their screenshots.
std::string ShotPath(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "tarnwell-aux-" + name + ".bmp";
}

WindowQuery Titled(const std::string& title) {
    WindowQuery q;
    q.title = title;
    q.class_name = kDialogClass;
    return q;
}

int CountWindows(const std::string& title) {
    struct Search {
        std::string title;
        int count = 0;
    } search{title};
    EnumWindows(
        [](HWND w, LPARAM l) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(l);
            DWORD process = 0;
            GetWindowThreadProcessId(w, &process);
            char text[128] = {};
            GetWindowTextA(w, text, sizeof text);
            if (process == GetCurrentProcessId() && IsWindowVisible(w) && s.title == text) ++s.count;
            return TRUE;
        },
        LPARAM(&search));
    return search.count;
}

// Every static's text of a window (a message box's message is one of them).
std::string StaticTexts(HWND window) {
    std::string all;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char class_name[32] = {}, text[512] = {};
        GetClassNameA(child, class_name, sizeof class_name);
        if (_stricmp(class_name, "Static") != 0) continue;
        GetWindowTextA(child, text, sizeof text);
        all += text;
        all += '\n';
    }
    return all;
}

// A plain top-level window standing in for the main dialog.
class OwnerWindow {
public:
    OwnerWindow(int x = 160, int y = 120, int width = 900, int height = 640) {
        window_ = CreateWindowExA(0, "Static", "Main dialog", WS_POPUP | WS_VISIBLE | WS_BORDER, x, y, width, height,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() {
        if (IsWindow(window_)) DestroyWindow(window_);
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// The capture of `window` once it has had time to paint.
Capture PaintedCapture(HWND window) {
    Sleep(300);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(200);
    return CaptureClient(window);
}

// A small block of the capture at (x, y), against a block of `reference` at (rx, ry).
int BlockDistance(const Capture& capture, int x, int y, const Capture& reference, int rx, int ry) {
    return ColourDistance(MeanColour(capture, RECT{x - 3, y - 3, x + 4, y + 4}),
                          MeanColour(reference, RECT{rx - 3, ry - 3, rx + 4, ry + 4}));
}

class AuxWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(PluginModule(), nullptr);
        UseAuxWindowsModule(PluginModule());
    }
};

// ---- About --------------------------------------------------------------------------------------

TEST_F(AuxWindows, AboutShowsItsPictureOnWhiteOnceAndItsButtonLooksForTheReadme) {
    OwnerWindow owner;
    HWND about = nullptr, second = nullptr;
    int windows_after_second_call = 0;
    Capture shot;
    RECT area{};
    std::string message;
    ModalActor actor(Titled("About"), [&](HWND d) {
        about = d;
        shot = PaintedCapture(d);
        area = ControlRect(d, 222);
        // Asking again while it is up brings this one forward; no second box.
        ShowAboutBoxWindow(owner.get());
        second = AuxWindowHandle(AuxWindow::kAbout);
        windows_after_second_call = CountWindows("About");
        // Its button looks for the README beside the module; the test folder has none.
        PostCommand(d, 2);
        if (HWND box = WaitForWindow(Titled("Tarnwell 2"), 5000)) {
            message = StaticTexts(box);
            PostCommand(box, IDOK);
        }
    });
    ShowAboutBoxWindow(owner.get());
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_EQ(second, about);
    EXPECT_EQ(windows_after_second_call, 1);
    EXPECT_EQ(AuxWindowHandle(AuxWindow::kAbout), nullptr) << "closed by its button";
    EXPECT_NE(message.find("README"), std::string::npos) << message;

    ASSERT_FALSE(shot.empty());
    SaveCaptureBmp(shot, ShotPath("about"));
    // The picture fills area 222 exactly as the decoder gives it at that size.
    const int w = area.right - area.left, h = area.bottom - area.top;
    ASSERT_GT(w, 100);
    HBITMAP picture = load_picture(PluginModule(), TW_JPEG_ABOUT, "JPEG", w, h);
    ASSERT_NE(picture, nullptr);
    const Capture reference = CaptureBitmap(picture);
    DeleteObject(picture);
    for (auto [fx, fy] : {std::pair{0.2, 0.3}, {0.5, 0.5}, {0.8, 0.7}, {0.35, 0.85}}) {
        const int x = int(w * fx), y = int(h * fy);
        EXPECT_LE(BlockDistance(shot, area.left + x, area.top + y, reference, x, y), 6) << fx << ", " << fy;
    }
    // Around it, white.
    EXPECT_GT(ShareOfColour(shot, RECT{0, 0, shot.width, area.top - 1}, Rgb(255, 255, 255), 2), 0.99);
}

TEST_F(AuxWindows, AWindowThatCannotBeMadeIsSaidNotSwallowed) {
    // The test program carries none of the templates.
    UseAuxWindowsModule(GetModuleHandleA(nullptr));
    std::string about, size;
    ModalActor first(Titled("Tarnwell 2"), [&](HWND d) {
        about = StaticTexts(d);
        PostCommand(d, IDOK);
    });
    ShowAboutBoxWindow(nullptr);
    first.Join();
    RenderParams params{};
    ExportSizeDialog dialog;
    ModalActor second(Titled("Tarnwell 2"), [&](HWND d) {
        size = StaticTexts(d);
        PostCommand(d, IDOK);
    });
    EXPECT_FALSE(RunExportSizeWindow(nullptr, dialog, params));
    second.Join();
    UseAuxWindowsModule(PluginModule());
    EXPECT_NE(about.find("ABOUTBOX could not be opened"), std::string::npos) << about;
    EXPECT_NE(size.find("could not be opened"), std::string::npos) << size;
    EXPECT_EQ(AuxWindowHandle(AuxWindow::kAbout), nullptr);
}

// ---- Information ----------------------------------------------------------------------------------

TEST_F(AuxWindows, InfoShowsTheBetterSizedPictureOnceAndClosesItselfAfterTheMainDialog) {
    auto owner = std::make_unique<OwnerWindow>();
    HWND owner_window = owner->get();
    Capture shot;
    RECT area{};
    int windows_after_second_call = 0;
    std::chrono::steady_clock::time_point owner_gone, box_gone;
    bool closed = false;
    ModalActor actor(Titled("Info"), [&](HWND d) {
        shot = PaintedCapture(d);
        area = ControlRect(d, 1);
        ShowInfoWindow(owner_window);
        windows_after_second_call = CountWindows("Info");
        // The main dialog is still there: the box stays over a few ticks of its timer.
        Sleep(2200);
        if (!IsWindow(d)) return;
        // Now it goes (its close request, handled on the test's thread).
        PostMessageA(owner_window, WM_CLOSE, 0, 0);
        for (int i = 0; i < 100 && IsWindow(owner_window); ++i) Sleep(10);
        owner_gone = std::chrono::steady_clock::now();
        closed = WaitForWindowGone(d, 3000);
        box_gone = std::chrono::steady_clock::now();
    });
    ShowInfoWindow(owner_window);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_EQ(windows_after_second_call, 1);
    ASSERT_TRUE(closed) << "the information box outlived the main dialog";
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(box_gone - owner_gone).count();
    EXPECT_LE(after, 1300) << "closed " << after << " ms after the main dialog went";
    EXPECT_EQ(AuxWindowHandle(AuxWindow::kInfo), nullptr);

    ASSERT_FALSE(shot.empty());
    SaveCaptureBmp(shot, ShotPath("info"));
    const int w = area.right - area.left, h = area.bottom - area.top;
    ASSERT_GT(w, 100);
    // The picture of the two whose scale to the area is nearer 1, stretched over it.
    const bool half = UseSingleSizePicture(726, w);
    HBITMAP picture = LoadBitmapPicture(PluginModule(), half ? TW_BMP_INFO_HALF : TW_BMP_INFO);
    ASSERT_NE(picture, nullptr);
    const Capture reference = CaptureBitmap(picture);
    DeleteObject(picture);
    int matching = 0;
    const std::pair<double, double> spots[] = {{0.1, 0.1}, {0.5, 0.5}, {0.9, 0.2}, {0.3, 0.8}, {0.7, 0.6}, {0.5, 0.1}};
    for (auto [fx, fy] : spots) {
        const int d = BlockDistance(shot, area.left + int(w * fx), area.top + int(h * fy), reference,
                                    int(reference.width * fx), int(reference.height * fy));
        if (d <= 24) ++matching;
    }
    EXPECT_GE(matching, 5) << "the box does not show the information picture";
}

TEST_F(AuxWindows, InfoWithoutAMainDialogStaysUntilClosed) {
    bool still_there = false;
    ModalActor actor(Titled("Info"), [&](HWND d) {
        Sleep(1500);
        still_there = IsWindow(d) != FALSE;
        PostMessageA(d, WM_CLOSE, 0, 0);
    });
    ShowInfoWindow(nullptr);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_TRUE(still_there);
}

// ---- Export size ----------------------------------------------------------------------------------

bool IsChecked(HWND d, int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; }

TEST_F(AuxWindows, TheSizeDialogShowsAndStoresWhatTheModelDecides) {
    OwnerWindow owner;
    RenderParams params{};
    params.psd_size_choice = 1;
    ExportSizeDialog size;
    size.input_width = 400;
    size.input_height = 300;
    std::string opened[2], after_proportions, after_typing;
    bool same_checked = false, custom_after_typing = false, owner_disabled = false;
    ModalActor actor(Titled("Export PSD image"), [&](HWND d) {
        same_checked = IsChecked(d, 10);
        opened[0] = GetText(d, 3);
        opened[1] = GetText(d, 4);
        owner_disabled = !IsWindowEnabled(owner.get());
        // "Same proportions" keeps the typed width and fits the height to it.
        SetEditText(d, 3, "200");
        ClickButton(d, 11);
        after_proportions = GetText(d, 4);
        // Typing while "Same size" is checked means a custom size.
        ClickButton(d, 10);
        SetEditText(d, 4, "1,234 px");
        custom_after_typing = IsChecked(d, 12) && !IsChecked(d, 10);
        SetEditText(d, 3, "99999");
        PostCommand(d, IDOK);
    });
    EXPECT_TRUE(RunExportSizeWindow(owner.get(), size, params));
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_TRUE(same_checked);
    EXPECT_EQ(opened[0], "400");
    EXPECT_EQ(opened[1], "300");
    EXPECT_TRUE(owner_disabled) << "the size dialog is modal over the main dialog";
    EXPECT_EQ(after_proportions, "150");
    EXPECT_TRUE(custom_after_typing);
    EXPECT_EQ(params.psd_size_choice, 3);
    EXPECT_EQ(params.psd_width, 30000) << "clamped";
    EXPECT_EQ(params.psd_height, 1234);
    EXPECT_EQ(AuxWindowHandle(AuxWindow::kExportSize), nullptr);

    // Escape (and the close box) is Cancel: nothing stored.
    RenderParams untouched{};
    ExportSizeDialog again;
    again.input_width = 10;
    again.input_height = 10;
    ModalActor cancel(Titled("Export PSD image"), [](HWND d) { PostMessageA(d, WM_CLOSE, 0, 0); });
    EXPECT_FALSE(RunExportSizeWindow(owner.get(), again, untouched));
    cancel.Join();
    ASSERT_TRUE(cancel.found());
    EXPECT_EQ(untouched.psd_width, 0);
    EXPECT_EQ(again.result, 2);
}

// ---- Progress ---------------------------------------------------------------------------------------

TEST_F(AuxWindows, TheProgressWindowCountsUpAndIsOneWindow) {
    OwnerWindow owner;
    OpenProgressWindow(owner.get());
    HWND progress = AuxWindowHandle(AuxWindow::kProgress);
    ASSERT_NE(progress, nullptr);
    char title[64] = {};
    GetWindowTextA(progress, title, sizeof title);
    EXPECT_STREQ(title, "PSD file progress");
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_EQ(GetText(progress, 100), "Rendering...");
    EXPECT_EQ(GetText(progress, 101), "0%");
    ShowProgressWindow(456);
    EXPECT_EQ(GetText(progress, 101), "45%");
    OpenProgressWindow(owner.get());  // a second request: the same window
    EXPECT_EQ(AuxWindowHandle(AuxWindow::kProgress), progress);
    EXPECT_EQ(CountWindows("PSD file progress"), 1);
    ShowProgressWindow(950);
    EXPECT_EQ(GetText(progress, 101), "95%");
    EXPECT_EQ(GetText(progress, 100), "Writing the file...");
    ShowProgressWindow(5000);
    EXPECT_EQ(GetText(progress, 101), "100%");
    CloseProgressWindow();
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_EQ(AuxWindowHandle(AuxWindow::kProgress), nullptr);
    ShowProgressWindow(10);  // nothing open: nothing happens
    CloseProgressWindow();
}

// ---- Messages ----------------------------------------------------------------------------------

TEST_F(AuxWindows, AMessageIsPlacedOverItsOwnerAndEndsWithOk) {
    OwnerWindow owner(300, 200, 700, 500);
    std::string text;
    RECT placed{};
    PixelPoint expected{};
    ModalActor actor(Titled("Tarnwell 2"), [&](HWND d) {
        Sleep(200);
        text = StaticTexts(d);
        GetWindowRect(d, &placed);
        expected = place_dialog(GatherPlacementInput(d, owner.get()));
        PostCommand(d, IDOK);
    });
    ShowMessageWindow(owner.get(), "The PSD file could not be written: disk full");
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_NE(text.find("The PSD file could not be written: disk full"), std::string::npos) << text;
    EXPECT_EQ(placed.left, expected.x);
    EXPECT_EQ(placed.top, expected.y);
}

// ---- File dialogs --------------------------------------------------------------------------------

// A fresh folder in the temporary folder, removed with its files.
class Scratch {
public:
    Scratch() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "tarnwell-aux-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64()) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~Scratch() {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path_ + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((path_ + found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path_.c_str());
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A settings file whose picture is one colour.
std::string PresetWithPicture(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
    auto params = std::make_unique<RenderParams>();
    SetPlainSettings(*params);
    Picture picture;
    AllocatePicture(picture, kPictureSide, kPictureSide);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            uint8_t* p = picture.pixel(x, y);
            p[0] = r, p[1] = g, p[2] = b;
        }
    EXPECT_TRUE(WriteSettings(path, *params, &picture, true));
    return path;
}

TEST(PresetPane, ASelectionShowsThePresetsPictureOrTheRamp) {
    Scratch scratch;
    const std::string red = PresetWithPicture(scratch.path() + "red.q8r", 220, 20, 20);
    auto params = std::make_unique<RenderParams>();
    SetPlainSettings(*params);
    const std::string bare = scratch.path() + "bare.q8r";
    ASSERT_TRUE(WriteSettings(bare, *params, nullptr, false));

    PresetPane pane;
    ResetPictureToRamp(pane.picture);
    SelectPresetPath(pane, bare);
    EXPECT_FALSE(pane.decoded) << "nothing is drawn before a picture was read";
    SelectPresetPath(pane, red);
    ASSERT_TRUE(pane.decoded);
    const uint8_t* centre = pane.picture.pixel(64, 64);
    EXPECT_NEAR(centre[0], 220, 12);
    EXPECT_NEAR(centre[1], 20, 12);
    // A file without a picture, a folder, another type: the ramp again, still drawn.
    for (const std::string& path : {bare, scratch.path(), scratch.path() + "notes.txt", std::string()}) {
        SelectPresetPath(pane, red);
        SelectPresetPath(pane, path);
        EXPECT_TRUE(pane.decoded);
        EXPECT_EQ(pane.picture.pixel(0, 10)[0], 255 - 10) << path;
    }
}

// Selects the first entry of the explorer dialog's file list, as a click on it would.
bool SelectFirstListEntry(HWND dialog) {
    HWND view = FindChildByClass(dialog, "SHELLDLL_DefView");
    HWND list = view ? FindChildByClass(view, "SysListView32") : nullptr;
    if (!list) return false;
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    return SendMessageA(list, LVM_SETITEMSTATE, 0, LPARAM(&item)) != FALSE;
}

TEST_F(AuxWindows, LoadsOpenDialogShowsThePresetsPictureAndReturnsTheChoice) {
    Scratch scratch;
    const std::string lake = PresetWithPicture(scratch.path() + "lake.q8r", 30, 60, 200);
    OwnerWindow owner;
    FileRequest request;
    request.type = kFilePresets;
    request.title = "Open a settings file";
    request.folder = scratch.path();
    Capture shot;
    RECT area{};
    HWND dialog_owner = nullptr;
    bool selected = false;
    ModalActor actor(Titled("Open a settings file"), [&](HWND d) {
        dialog_owner = GetWindow(d, GW_OWNER);
        Sleep(300);
        selected = SelectFirstListEntry(d);
        Sleep(400);
        if (HWND pane = PresetPaneWindow()) {
            shot = PaintedCapture(pane);
            area = ControlRect(pane, 123);
        }
        ChooseFileInDialog(d, lake);
    });
    EXPECT_TRUE(RunOpenFileWindow(owner.get(), request));
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_STRCASEEQ(request.path.c_str(), lake.c_str());
    EXPECT_STRCASEEQ(request.folder.c_str(), scratch.path().c_str());
    EXPECT_EQ(dialog_owner, owner.get()) << "the settings files' open dialog belongs to the main dialog";
    ASSERT_TRUE(selected) << "no file list to select in";
    ASSERT_FALSE(shot.empty()) << "no picture pane";
    SaveCaptureBmp(shot, ShotPath("preset-pane"));
    // The preset's blue picture, centred in area 123.
    const int cx = (area.left + area.right) / 2, cy = (area.top + area.bottom) / 2;
    EXPECT_LE(ColourDistance(MeanColour(shot, RECT{cx - 20, cy - 20, cx + 20, cy + 20}), Rgb(30, 60, 200)), 24);
}

TEST_F(AuxWindows, OtherOpenDialogsHaveNoOwnerAndNoPane) {
    Scratch scratch;
    const std::string any = scratch.path() + "picture.bmp";
    if (FILE* f = std::fopen(any.c_str(), "wb")) std::fclose(f);
    OwnerWindow owner;
    FileRequest request;
    request.type = kFileAll;
    request.title = "Choose a file";
    request.folder = scratch.path();
    HWND dialog_owner = reinterpret_cast<HWND>(1);
    HWND pane = reinterpret_cast<HWND>(1);
    ModalActor actor(Titled("Choose a file"), [&](HWND d) {
        dialog_owner = GetWindow(d, GW_OWNER);
        pane = PresetPaneWindow();
        ChooseFileInDialog(d, "picture.bmp");
    });
    EXPECT_TRUE(RunOpenFileWindow(owner.get(), request));
    actor.Join();
    EXPECT_EQ(dialog_owner, nullptr);
    EXPECT_EQ(pane, nullptr);
    EXPECT_STRCASEEQ(request.path.c_str(), any.c_str());
}

TEST_F(AuxWindows, SaveProposesTheNameInTheRememberedFolderAndCancelKeepsTheRequest) {
    Scratch scratch;
    OwnerWindow owner;
    FileRequest request;
    request.type = kFileHtml;
    request.title = "Save an HTML page";
    request.folder = scratch.path();
    request.name = "Tarnwell presets.html";
    std::string proposed;
    ModalActor actor(Titled("Save an HTML page"), [&](HWND d) {
        Sleep(200);
        proposed = GetText(d, kFileNameField);
        ChooseFileInDialog(d, "page");
    });
    EXPECT_TRUE(RunSaveFileWindow(owner.get(), request));
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_EQ(proposed, "Tarnwell presets.html");
    EXPECT_STRCASEEQ(request.path.c_str(), (scratch.path() + "page.html").c_str());

    FileRequest cancelled = request;
    cancelled.path.clear();
    ModalActor cancel(Titled("Save an HTML page"), [](HWND d) { CancelDialog(d); });
    EXPECT_FALSE(RunSaveFileWindow(owner.get(), cancelled));
    cancel.Join();
    EXPECT_TRUE(cancelled.path.empty());
    EXPECT_EQ(cancelled.folder, request.folder);
}

// ---- Colour ---------------------------------------------------------------------------------------

TEST_F(AuxWindows, TheColourDialogStartsAtTheColourAndGivesSixteenBitComponents) {
    Rgb16 colour{10 * 256, 20 * 256, 30 * 256 + 255};
    std::string shown;
    ModalActor actor(Titled("Color"), [&](HWND d) {
        shown = GetText(d, kColourRedField) + "," + GetText(d, kColourGreenField) + "," + GetText(d, kColourBlueField);
        ChooseColourInDialog(d, 200, 100, 5);
    });
    EXPECT_TRUE(PickSystemColourWindow(nullptr, colour));
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_EQ(shown, "10,20,30");
    EXPECT_EQ(colour.r, 200 * 256);
    EXPECT_EQ(colour.g, 100 * 256);
    EXPECT_EQ(colour.b, 5 * 256);

    ModalActor cancel(Titled("Color"), [](HWND d) { CancelDialog(d); });
    EXPECT_FALSE(PickSystemColourWindow(nullptr, colour));
    cancel.Join();
    EXPECT_EQ(colour.r, 200 * 256);
}

// ---- The PSD export's windows, in order -------------------------------------------------------------

uint32_t BigEndian32(const unsigned char* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

TEST_F(AuxWindows, APsdExportRunsSizeSaveAndProgressAndWritesTheFile) {
    Scratch scratch;
    OwnerWindow owner;
    RenderParams params{};
    ExportSizeDialog size;
    size.input_width = 640;
    size.input_height = 480;
    ModalActor sizing(Titled("Export PSD image"), [](HWND d) {
        ClickButton(d, 12);
        SetEditText(d, 3, "96");
        SetEditText(d, 4, "72");
        PostCommand(d, IDOK);
    });
    ASSERT_TRUE(RunExportSizeWindow(owner.get(), size, params));
    sizing.Join();
    ASSERT_EQ(params.psd_width, 96);
    ASSERT_EQ(params.psd_height, 72);

    FileRequest request;
    request.type = kFilePsd;
    request.title = "Save a PSD file";
    request.folder = scratch.path();
    request.name = "Tarnwell result.psd";
    std::string proposed;
    ModalActor saving(Titled("Save a PSD file"), [&](HWND d) {
        Sleep(200);
        proposed = GetText(d, kFileNameField);
        ChooseFileInDialog(d, proposed);
    });
    ASSERT_TRUE(RunSaveFileWindow(owner.get(), request));
    saving.Join();
    EXPECT_EQ(proposed, "Tarnwell result.psd");
    EXPECT_STRCASEEQ(request.path.c_str(), (scratch.path() + "Tarnwell result.psd").c_str());

    // The picture the export writes, with its progress shown as the writer reports it.
    ImageBuffer* image = createImageBuffer(params.psd_width, params.psd_height, kRgba8, false);
    ASSERT_NE(image, nullptr);
    OpenProgressWindow(owner.get());
    std::vector<std::string> seen;
    PsdExportRequest psd;
    psd.image = image;
    psd.progress = [](void* context, int per_mille) {
        ShowProgressWindow(per_mille);
        static_cast<std::vector<std::string>*>(context)->push_back(
            GetText(AuxWindowHandle(AuxWindow::kProgress), 101));
    };
    psd.context = &seen;
    std::string error;
    const bool written = ExportPsd(request.path, psd, error);
    CloseProgressWindow();
    destroyImageBuffer(image);
    ASSERT_TRUE(written) << error;
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "100%");

    FILE* file = std::fopen(request.path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    unsigned char header[26] = {};
    EXPECT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
    std::fclose(file);
    EXPECT_EQ(std::memcmp(header, "8BPS", 4), 0);
    EXPECT_EQ(BigEndian32(header + 14), 72u) << "height";
    EXPECT_EQ(BigEndian32(header + 18), 96u) << "width";
}

}  // namespace
}  // namespace tw::testing
