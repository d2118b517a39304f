// The Win32 pieces the dialog's view calls, with real windows: the module's activation
// context around modal dialogs, the system's open, save and colour dialogs driven as a
// person would, and where place_dialog puts a dialog. Runs through scripts/wine-dialog.sh.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/windows/dialog_driver.h"
#include "ui/win32/dialog_context_win32.h"
#include "ui/win32/placement_win32.h"
#include "ui/win32/system_dialogs_win32.h"

namespace tw::testing {
namespace {

HINSTANCE PluginModule() {
    static HINSTANCE module = LoadLibraryExA(TARNWELL_PLUGIN_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

// ---- Activation context --------------------------------------------------------------------

class DialogContext : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(PluginModule(), nullptr);
        ReleaseDialogContext();
    }
    void TearDown() override { ReleaseDialogContext(); }
};

HANDLE CurrentContext() {
    HANDLE context = nullptr;
    GetCurrentActCtx(&context);
    return context;
}

TEST_F(DialogContext, TheModulesManifestGivesTheThemedCommonControls) {
    const HANDLE outside = CurrentContext();
    HANDLE inside = nullptr;
    {
        DialogContextScope scope(PluginModule());
        inside = CurrentContext();
        EXPECT_TRUE(HaveDialogContext());
    }
    EXPECT_NE(inside, outside) << "the module's context was active inside the scope";
    EXPECT_EQ(CurrentContext(), outside) << "and is gone after it";
    if (inside) ReleaseActCtx(inside);
    if (outside) ReleaseActCtx(outside);
    // Loaded inside the context, the library is the manifest's side-by-side version 6,
    // not the process's default one from the system folder.
    ASSERT_NE(CommonControlsLibrary(), nullptr);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(CommonControlsLibrary(), path, MAX_PATH);
    std::string lower(path);
    for (char& c : lower) c = char(tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(lower.find("winsxs"), std::string::npos) << path;
    EXPECT_NE(lower.find("common-controls_6595b64144ccf1df_6."), std::string::npos) << path;
}

TEST_F(DialogContext, TheLastErrorOfTheCallsInsideSurvivesLeavingIt) {
    {
        DialogContextScope scope(PluginModule());
        SetLastError(4242);
    }
    EXPECT_EQ(GetLastError(), 4242u);
    SetLastError(77);
    {
        DialogContextScope scope(PluginModule());  // entering keeps it too
        EXPECT_EQ(GetLastError(), 77u);
    }
}

TEST_F(DialogContext, AModuleWithoutAManifestUsesTheDefaultContext) {
    // The test program has no manifest at id 2.
    HINSTANCE self = GetModuleHandleA(nullptr);
    ASSERT_EQ(FindResourceA(self, MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24)), nullptr);
    const HANDLE outside = CurrentContext();
    {
        DialogContextScope scope(self);
        EXPECT_FALSE(HaveDialogContext());
        EXPECT_EQ(CurrentContext(), outside);
    }
    if (outside) ReleaseActCtx(outside);
}

struct ContextSeen {
    HANDLE in_dialog = nullptr;
};

INT_PTR CALLBACK NoteContext(HWND dialog, UINT message, WPARAM, LPARAM l) {
    if (message != WM_INITDIALOG) return FALSE;
    GetCurrentActCtx(&reinterpret_cast<ContextSeen*>(l)->in_dialog);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

INT_PTR CALLBACK EndOnCancel(HWND dialog, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_COMMAND && LOWORD(w) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    return message == WM_INITDIALOG ? NoteContext(dialog, message, w, l) : FALSE;
}

TEST_F(DialogContext, ModalDialogsRunInsideIt) {
    DialogTemplate t("Context probe", 100, 40);
    t.Add(0x80, IDCANCEL, "Cancel", 50, 20, 40, 14, WS_CHILD | WS_VISIBLE);
    ContextSeen seen;
    const HANDLE outside = CurrentContext();
    EXPECT_EQ(RunModalDialogIndirect(PluginModule(), t.data(), nullptr, EndOnCancel, LPARAM(&seen)), IDCANCEL);
    EXPECT_NE(seen.in_dialog, nullptr);
    EXPECT_NE(seen.in_dialog, outside);
    if (seen.in_dialog) ReleaseActCtx(seen.in_dialog);
    if (outside) ReleaseActCtx(outside);
    EXPECT_EQ(RunModalDialog(PluginModule(), "NO_SUCH_TEMPLATE", nullptr, EndOnCancel, 0), -1);
}

// ---- File dialogs ------------------------------------------------------------------------------

TEST(FileDialogTypes, EachDialogShowsOnlyItsTypesWithTheirFilters) {
    ASSERT_NE(FileDialogFilterFor(kFilePresets, true), nullptr);
    EXPECT_STREQ(FileDialogFilterFor(kFilePresets, true)->description, "Tarnwell presets (*.q8r)");
    EXPECT_STREQ(FileDialogFilterFor(kFilePresets, false)->pattern, "*.q8r");
    EXPECT_STREQ(FileDialogFilterFor(kFilePsd, true)->pattern, "*.psd");
    EXPECT_STREQ(FileDialogFilterFor(kFileHtml, true)->description, "HTML files (*.html)");
    EXPECT_STREQ(FileDialogFilterFor(kFileImages, false)->description, "All Image Files");
    for (int type : {kFilePsd, kFileHtml, kFileLDraw, kFileObj})
        EXPECT_EQ(FileDialogFilterFor(type, false), nullptr) << "open dialog, type " << type;
    for (int type : {kFileAll, kFileImages}) EXPECT_EQ(FileDialogFilterFor(type, true), nullptr) << "save, type " << type;
    for (int type : {-1, 8, 1000}) {
        EXPECT_EQ(FileDialogFilterFor(type, true), nullptr);
        EXPECT_EQ(FileDialogFilterFor(type, false), nullptr);
    }
}

TEST(FileDialogTypes, TheDefaultExtensionIsTheFirstPatterns) {
    EXPECT_EQ(DefaultExtension("*.q8r"), "q8r");
    EXPECT_EQ(DefaultExtension(FileDialogFilterFor(kFileImages, false)->pattern), "bmp");
    EXPECT_EQ(DefaultExtension("*.*"), "");
    EXPECT_EQ(DefaultExtension(""), "");
    EXPECT_EQ(DefaultExtension(nullptr), "");
}

// A fresh folder in the temporary folder, removed with what is in it.
class ScratchFolder {
public:
    ScratchFolder() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path_ = std::string(temp) + "tarnwell-dialogs-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount64()) + "\\";
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchFolder() {
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
    std::string File(const std::string& name, const char* content = "settings") const {
        const std::string file = path_ + name;
        if (FILE* f = std::fopen(file.c_str(), "wb")) {
            std::fputs(content, f);
            std::fclose(f);
        }
        return file;
    }

private:
    std::string path_;
};

WindowQuery DialogTitled(const std::string& title) {
    WindowQuery q;
    q.title = title;
    q.class_name = kDialogClass;
    return q;
}

// The buffers a caller hands a file dialog.
struct PathBuffers {
    char name[kPathBufferSize] = {};
    char title[kPathBufferSize] = {};
    char folder[kPathBufferSize] = {};
};

void Put(char* buffer, const std::string& text) {
    std::strncpy(buffer, text.c_str(), kPathBufferSize - 1);
    buffer[kPathBufferSize - 1] = 0;
}

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(PluginModule(), nullptr); }
    ScratchFolder scratch;
};

TEST_F(FileDialogs, OpenReturnsTheChosenFileAndRemembersItsFolder) {
    const std::string lake = scratch.File("lake.q8r");
    PathBuffers b;
    ModalActor actor(DialogTitled("Open a settings file"), [&](HWND d) { ChooseFileInDialog(d, lake); });
    EXPECT_EQ(open_file_dialog(PluginModule(), nullptr, b.name, b.title, b.folder, kFilePresets, "Open a settings file"), 1);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_STRCASEEQ(b.name, lake.c_str());
    EXPECT_STREQ(b.title, "lake.q8r");
    EXPECT_STRCASEEQ(b.folder, scratch.path().c_str()) << "the folder, with its separator";
    EXPECT_FALSE(FileDialogIsOpen());

    // The next dialog starts there: a bare name is found in that folder.
    const std::string pond = scratch.File("pond.q8r");
    b.name[0] = 0;
    ModalActor again(DialogTitled("Open a settings file"), [&](HWND d) { ChooseFileInDialog(d, "pond.q8r"); });
    EXPECT_EQ(open_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFilePresets, "Open a settings file"), 1);
    again.Join();
    EXPECT_STRCASEEQ(b.name, pond.c_str());
}

TEST_F(FileDialogs, TheProcessKeepsItsCurrentFolder) {
    char before[MAX_PATH] = {}, after[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, before);
    const std::string lake = scratch.File("lake.q8r");
    PathBuffers b;
    ModalActor actor(DialogTitled("Open a settings file"), [&](HWND d) { ChooseFileInDialog(d, lake); });
    ASSERT_EQ(open_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFilePresets, "Open a settings file"), 1);
    actor.Join();
    GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(after, before) << "a host's relative paths would point elsewhere after the dialog";
}

TEST_F(FileDialogs, SaveAddsTheTypesExtensionAndAsksBeforeReplacing) {
    PathBuffers b;
    Put(b.folder, scratch.path());
    Put(b.name, "Tarnwell result");
    ModalActor actor(DialogTitled("Save a PSD file"), [&](HWND d) { ChooseFileInDialog(d, scratch.path() + "result"); });
    EXPECT_EQ(save_file_dialog(PluginModule(), nullptr, b.name, b.title, b.folder, kFilePsd, "Save a PSD file"), 1);
    actor.Join();
    EXPECT_STRCASEEQ(b.name, (scratch.path() + "result.psd").c_str());
    EXPECT_STREQ(b.title, "result.psd");

    // Saving over an existing page asks first; yes confirms.
    const std::string page = scratch.File("page.html", "<html></html>");
    HWND save_window = nullptr;
    bool prompted = false;
    ModalActor replace(DialogTitled("Save an HTML page"), [&](HWND d) {
        save_window = d;
        ChooseFileInDialog(d, page);
        prompted = ConfirmOverwritePrompt("Save an HTML page", d);
    });
    EXPECT_EQ(save_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFileHtml, "Save an HTML page"), 1);
    replace.Join();
    EXPECT_TRUE(prompted) << "no replace prompt came";
    EXPECT_STRCASEEQ(b.name, page.c_str());
}

TEST_F(FileDialogs, CancelChangesNothing) {
    PathBuffers b;
    Put(b.name, "Tarnwell settings");
    Put(b.folder, scratch.path());
    ModalActor actor(DialogTitled("Save a settings file"), [](HWND d) { CancelDialog(d); });
    EXPECT_EQ(save_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFilePresets, "Save a settings file"), 0);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_STREQ(b.folder, scratch.path().c_str());
    EXPECT_FALSE(FileDialogIsOpen());
}

TEST_F(FileDialogs, ASecondFileDialogIsRefusedWhileOneIsOpen) {
    PathBuffers b, second;
    bool open_inside = false;
    int second_result = -1;
    ModalActor actor(DialogTitled("Save a settings file"), [&](HWND d) {
        open_inside = FileDialogIsOpen();
        second_result = open_file_dialog(PluginModule(), nullptr, second.name, nullptr, second.folder, kFilePresets, "Second");
        CancelDialog(d);
    });
    EXPECT_EQ(save_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFilePresets, "Save a settings file"), 0);
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_TRUE(open_inside);
    EXPECT_EQ(second_result, 0);
    EXPECT_EQ(FindProcessWindow(DialogTitled("Second")), nullptr);
    EXPECT_FALSE(FileDialogIsOpen());
}

TEST_F(FileDialogs, TypesADialogDoesNotShowAreRefusedWithoutAWindow) {
    PathBuffers b;
    EXPECT_EQ(save_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFileAll, "x"), 0);
    EXPECT_EQ(open_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, kFilePsd, "x"), 0);
    EXPECT_EQ(open_file_dialog(PluginModule(), nullptr, b.name, nullptr, b.folder, 42, "x"), 0);
    EXPECT_EQ(open_file_dialog(PluginModule(), nullptr, nullptr, nullptr, b.folder, kFilePresets, "x"), 0);
    EXPECT_FALSE(FileDialogIsOpen());
}

// A plain top-level window to own dialogs, at a chosen place.
class OwnerWindow {
public:
    OwnerWindow(int x, int y, int width, int height) {
        window_ = CreateWindowExA(0, "Static", "Owner", WS_POPUP | WS_VISIBLE | WS_BORDER, x, y, width, height,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

RECT WindowRectOf(HWND w) {
    RECT r{};
    GetWindowRect(w, &r);
    return r;
}

// Waits until the dialog has settled where the hook put it.
RECT SettledRect(HWND dialog) {
    RECT last = WindowRectOf(dialog);
    for (int i = 0; i < 25; ++i) {
        Sleep(40);
        const RECT now = WindowRectOf(dialog);
        if (EqualRect(&now, &last)) return now;
        last = now;
    }
    return last;
}

TEST_F(FileDialogs, TheDialogIsCentredOverItsOwnerAndKeptOnTheScreen) {
    OwnerWindow owner(200, 150, 800, 600);
    PathBuffers b;
    RECT placed{};
    ModalActor actor(DialogTitled("Save a settings file"), [&](HWND d) {
        placed = SettledRect(d);
        CancelDialog(d);
    });
    save_file_dialog(PluginModule(), owner.get(), b.name, nullptr, b.folder, kFilePresets, "Save a settings file");
    actor.Join();
    ASSERT_TRUE(actor.found());
    const RECT o = WindowRectOf(owner.get());
    EXPECT_NEAR((placed.left + placed.right) / 2, (o.left + o.right) / 2, 1);
    EXPECT_NEAR((placed.top + placed.bottom) / 2, (o.top + o.bottom) / 2, 1);

    // An owner mostly off the screen's top-left corner does not take the dialog with it.
    OwnerWindow away(-700, -500, 800, 600);
    ModalActor second(DialogTitled("Save a settings file"), [&](HWND d) {
        placed = SettledRect(d);
        CancelDialog(d);
    });
    save_file_dialog(PluginModule(), away.get(), b.name, nullptr, b.folder, kFilePresets, "Save a settings file");
    second.Join();
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
}

// What the child template's hook heard.
struct ChildLog {
    LPARAM data = 0;
    bool saw_picture_area = false;
    bool saw_frame = false;
    int selection_changes = 0;
};
ChildLog* gChildLog = nullptr;

UINT_PTR CALLBACK ChildHook(HWND child, UINT message, WPARAM, LPARAM l) {
    if (message == WM_INITDIALOG) {
        gChildLog->data = reinterpret_cast<const OPENFILENAMEA*>(l)->lCustData;
        gChildLog->saw_picture_area = GetDlgItem(child, 123) != nullptr;
        gChildLog->saw_frame = GetDlgItem(child, 1119) != nullptr;
    } else if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(l)->code == CDN_SELCHANGE) {
        ++gChildLog->selection_changes;
    }
    return 0;
}

TEST_F(FileDialogs, OpenCarriesAChildTemplateAndItsHook) {
    const std::string lake = scratch.File("lake.q8r");
    ChildLog log;
    gChildLog = &log;
    OpenDialogChild child;
    child.module = GetModuleHandleA(nullptr);
    child.template_name = "TEST_OPEN_CHILD";
    child.hook = ChildHook;
    child.data = 0x5eed;
    PathBuffers b;
    Put(b.folder, scratch.path());
    OwnerWindow owner(100, 100, 900, 700);
    RECT placed{};
    ModalActor actor(DialogTitled("Open a settings file"), [&](HWND d) {
        placed = SettledRect(d);
        ChooseFileInDialog(d, lake);
    });
    EXPECT_EQ(open_file_dialog(PluginModule(), owner.get(), b.name, nullptr, b.folder, kFilePresets,
                               "Open a settings file", &child), 1);
    actor.Join();
    gChildLog = nullptr;
    EXPECT_EQ(log.data, 0x5eed);
    EXPECT_TRUE(log.saw_picture_area);
    EXPECT_TRUE(log.saw_frame);
    EXPECT_GE(log.selection_changes, 1);
    EXPECT_STRCASEEQ(b.name, lake.c_str());
    const RECT o = WindowRectOf(owner.get());
    EXPECT_NEAR((placed.left + placed.right) / 2, (o.left + o.right) / 2, 1) << "still centred with the child";
}

// ---- Colour dialog ---------------------------------------------------------------------------

TEST(ColourDialog, ChoosesAColourStartingFromTheCurrentOne) {
    ASSERT_NE(PluginModule(), nullptr);
    COLORREF colour = RGB(10, 20, 30);
    std::string shown[3];
    HWND owner = reinterpret_cast<HWND>(1);
    ModalActor actor(DialogTitled("Color"), [&](HWND d) {
        shown[0] = GetText(d, kColourRedField);
        shown[1] = GetText(d, kColourGreenField);
        shown[2] = GetText(d, kColourBlueField);
        owner = GetWindow(d, GW_OWNER);
        ChooseColourInDialog(d, 200, 100, 50);
    });
    EXPECT_TRUE(ChooseSystemColour(PluginModule(), colour));
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_EQ(colour, RGB(200, 100, 50));
    EXPECT_EQ(shown[0], "10");
    EXPECT_EQ(shown[1], "20");
    EXPECT_EQ(shown[2], "30");
    EXPECT_EQ(owner, nullptr) << "the colour dialog has no owner window";
}

TEST(ColourDialog, CancelKeepsTheColour) {
    COLORREF colour = RGB(1, 2, 3);
    ModalActor actor(DialogTitled("Color"), [](HWND d) { CancelDialog(d); });
    EXPECT_FALSE(ChooseSystemColour(PluginModule(), colour));
    actor.Join();
    ASSERT_TRUE(actor.found());
    EXPECT_EQ(colour, RGB(1, 2, 3));
}

TEST(ColourDialog, CustomColoursLastFromOneDialogToTheNext) {
    // The dialog's "add to custom colours" button (712) stores the colour in the array the
    // plug-in keeps; the next dialog starts with it.
    constexpr int kAddCustomColour = 712;
    COLORREF colour = RGB(0, 0, 0);
    ModalActor actor(DialogTitled("Color"), [&](HWND d) {
        SetDlgItemInt(d, kColourRedField, 90, FALSE);
        SetDlgItemInt(d, kColourGreenField, 160, FALSE);
        SetDlgItemInt(d, kColourBlueField, 250, FALSE);
        ClickButton(d, kAddCustomColour);
        CancelDialog(d);
    });
    ChooseSystemColour(PluginModule(), colour);
    actor.Join();
    ASSERT_TRUE(actor.found());
    bool kept = false;
    for (int i = 0; i < 16; ++i) kept = kept || CustomColours()[i] == RGB(90, 160, 250);
    EXPECT_TRUE(kept) << "the added colour is among the 16 the module keeps";
}

// ---- Placement -----------------------------------------------------------------------------

TEST(Placement, TheRuleCentresAcrossAndPutsAThirdAbove) {
    PlacementInput in;
    in.owner_client = PixelRect{100, 50, 900, 650};  // 800 x 600
    in.caption_button_width = 18;
    in.screen = PixelRect{0, 0, 1280, 1024};
    in.dialog_width = 400;
    in.dialog_height = 300;
    in.has_system_menu = true;
    PixelPoint p = place_dialog(in);
    EXPECT_EQ(p.x, 100 + 200 - 18);
    EXPECT_EQ(p.y, 50 + 100);
    in.has_system_menu = false;
    EXPECT_EQ(place_dialog(in).x, 100 + 200 - (18 - 6));

    // A dialog larger than the owner starts at the owner's corner, less the button.
    in.dialog_width = 1000;
    in.dialog_height = 700;
    p = place_dialog(in);
    EXPECT_EQ(p.x, 100 - 12);
    EXPECT_EQ(p.y, 50);

    // Off the right or bottom of the screen: pulled back onto it.
    in.owner_client = PixelRect{1000, 900, 1800, 1500};
    in.dialog_width = 400;
    in.dialog_height = 300;
    p = place_dialog(in);
    EXPECT_EQ(p.x, 1280 - 400);
    EXPECT_EQ(p.y, 1024 - 300);
    // Larger than the screen: its corner at the screen's.
    in.dialog_width = 2000;
    in.dialog_height = 1100;
    p = place_dialog(in);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    // Off the left or top: the caption stays on the screen.
    in.owner_client = PixelRect{-900, -700, -100, -100};
    in.dialog_width = 400;
    in.dialog_height = 300;
    p = place_dialog(in);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
}

TEST(Placement, PlaceDialogReadsTheOwnersClientAreaAndTheDialogsStyle) {
    OwnerWindow owner(150, 120, 820, 640);
    RECT client{};
    GetClientRect(owner.get(), &client);
    POINT corner{0, 0};
    ClientToScreen(owner.get(), &corner);
    const int cx = GetSystemMetrics(SM_CXSIZE);

    for (bool system_menu : {true, false}) {
        DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | (system_menu ? WS_SYSMENU : 0);
        DialogTemplate t("Placed", 120, 80, style);
        HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), t.data(), owner.get(),
                                                 [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
        ASSERT_NE(dialog, nullptr);
        const RECT before = WindowRectOf(dialog);
        place_dialog(dialog, owner.get());
        const RECT r = WindowRectOf(dialog);
        const int width = r.right - r.left, height = r.bottom - r.top;
        EXPECT_EQ(width, before.right - before.left) << "size kept";
        EXPECT_EQ(height, before.bottom - before.top) << "size kept";
        EXPECT_EQ(r.left, corner.x + (client.right - width) / 2 - (system_menu ? cx : cx - cx / 3)) << system_menu;
        EXPECT_EQ(r.top, corner.y + (client.bottom - height) / 3) << system_menu;
        DestroyWindow(dialog);
    }
}

}  // namespace
}  // namespace tw::testing
