// The dialog's smaller windows as a person reaches them from the main dialog inside
// Tarnwell.8bf, run from the substitute host (`tarnwell apply --dialog`): the PSD export from
// the size dialog through the save dialog to the file, written at the chosen size by the
// in-process render; the two web pages (button 40's presets page after the folder choice, and
// the memory dots' page from a right click on the memory area); the About box; the
// information box closing itself after the main dialog has ended.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "host/commands.h"
#include "host/picture.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/module_dialog_run.h"
#include "ui/control_table.h"

namespace tw::testing {
namespace {

WindowQuery Titled(const std::string& title) {
    WindowQuery q;
    q.title = title;
    q.class_name = kDialogClass;
    return q;
}

uint32_t BigEndian32(const unsigned char* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

class AuxWindowsFromTheMainDialog : public ModuleDialogRun {
protected:
    AuxWindowsFromTheMainDialog() : ModuleDialogRun("tarnwell-aux-module", 40, 50) {}
};

TEST_F(AuxWindowsFromTheMainDialog, APsdExportAsksTheSizeAndTheFileThenWritesIt) {
    const std::string psd = TempPath("Tarnwell result.psd");
    DeleteFileA(psd.c_str());
    std::string proposed;
    bool sized = false, saved = false;
    const int status = Apply([&](HWND d) {
        Settle(d);
        PostCommand(d, kIdExportPsd);
        if (HWND size = WaitForWindow(Titled("Export PSD image"), 10000)) {
            sized = true;
            ClickButton(size, 12);
            SetEditText(size, 3, "120");
            SetEditText(size, 4, "80");
            Sleep(200);
            SaveCaptureBmp(CaptureClient(size), TempPath("size.bmp"));  // for looking at a failure
            PostCommand(size, IDOK);
        }
        if (HWND save = WaitForWindow(Titled("Save a PSD file"), 10000)) {
            saved = true;
            Sleep(200);
            proposed = GetText(save, kFileNameField);
            ChooseFileInDialog(save, psd);
        }
        // The export runs on the dialog's thread; the main dialog answers again after it.
        // A small export may be over before its progress window is seen: kept only to look at.
        if (HWND progress = WaitForWindow(Titled("PSD file progress"), 3000)) {
            SaveCaptureBmp(CaptureClient(progress), TempPath("progress.bmp"));
        }
        for (int i = 0; i < 300 && GetFileAttributesA(psd.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
        Settle(d, 500);
        PostKey(d, VK_ESCAPE);
    });
    EXPECT_EQ(status, host::kExitCancelled);
    EXPECT_TRUE(sized) << "no size dialog";
    EXPECT_TRUE(saved) << "no save dialog";
    EXPECT_EQ(proposed, "Tarnwell result.psd");

    FILE* file = std::fopen(psd.c_str(), "rb");
    ASSERT_NE(file, nullptr) << "no PSD file written";
    unsigned char header[26] = {};
    EXPECT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    DeleteFileA(psd.c_str());
    EXPECT_EQ(std::memcmp(header, "8BPS", 4), 0);
    EXPECT_EQ(BigEndian32(header + 14), 80u) << "height";
    EXPECT_EQ(BigEndian32(header + 18), 120u) << "width";
    EXPECT_GT(size, 120 * 80 * 3) << "the pixels are there";
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST_F(AuxWindowsFromTheMainDialog, TheWebPagesAskForTheirFoldersAndFilesAndAreWritten) {
    // A folder with one preset for the presets page.
    const std::string folder = TempPath("presets\\");
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string preset = folder + "calm.q8r";
    if (FILE* f = std::fopen(preset.c_str(), "wb")) std::fclose(f);  // an empty file: listed, no picture
    const std::string presets_page = TempPath("presets page.html");
    const std::string dots_page = TempPath("dots page.html");
    std::string source_title, presets_name, dots_name;
    const int status = Apply([&](HWND d) {
        Settle(d);
        PostCommand(d, kIdPresetsPage);
        if (HWND source = WaitForWindow(Titled("Choose any file in the source folder"), 10000)) {
            source_title = "seen";
            ChooseFileInDialog(source, preset);
        }
        if (HWND save = WaitForWindow(Titled("Save an HTML page"), 10000)) {
            Sleep(200);
            presets_name = GetText(save, kFileNameField);
            ChooseFileInDialog(save, presets_page);
        }
        for (int i = 0; i < 100 && !Exists(presets_page); ++i) Sleep(100);
        Settle(d, 500);
        // A right click on the memory area: the page of the memory dots.
        const RECT well = ControlRect(d, kIdMemoryArea);
        const int x = (well.left + well.right) / 2, y = (well.top + well.bottom) / 2;
        PostMessageA(d, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(x, y));
        PostMessageA(d, WM_RBUTTONUP, 0, MAKELPARAM(x, y));
        if (HWND save = WaitForWindow(Titled("Save an HTML page"), 10000)) {
            Sleep(200);
            dots_name = GetText(save, kFileNameField);
            ChooseFileInDialog(save, dots_page);
        }
        for (int i = 0; i < 100 && !Exists(dots_page); ++i) Sleep(100);
        Settle(d, 500);
        PostCommand(d, IDCANCEL);
    });
    EXPECT_EQ(status, host::kExitCancelled);
    EXPECT_EQ(source_title, "seen") << "no folder choice";
    EXPECT_EQ(presets_name, "Tarnwell presets.html");
    EXPECT_EQ(dots_name, "Tarnwell memory dots.html");
    EXPECT_TRUE(Exists(presets_page));
    EXPECT_TRUE(Exists(dots_page));
    DeleteFileA(presets_page.c_str());
    DeleteFileA(dots_page.c_str());
    DeleteFileA(preset.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST_F(AuxWindowsFromTheMainDialog, AboutOpensOnceAndInfoClosesItselfAfterTheMainDialogEnds) {
    int abouts = 0;
    bool info_gone = false;
    const int status = Apply([&](HWND d) {
        Settle(d);
        PostCommand(d, kIdAbout);
        if (HWND about = WaitForWindow(Titled("About"), 10000)) {
            // A second click while it is up opens no second box.
            PostCommand(d, kIdAbout);
            Settle(d, 400);
            abouts = 0;
            for (HWND w = FindProcessWindow(Titled("About")); w;) {
                ++abouts;
                WindowQuery next = Titled("About");
                next.except.push_back(w);
                w = FindProcessWindow(next);
                if (abouts > 3) break;
            }
            PostMessageA(about, WM_CLOSE, 0, 0);
            WaitForWindowGone(about, 5000);
        }
        PostCommand(d, kIdInfo);
        HWND info = WaitForWindow(Titled("Info"), 10000);
        if (!info) return;
        // The main dialog is cancelled while the information box is up (its Cancel button:
        // keys go to the box that has the focus); the box follows it.
        PostCommand(d, IDCANCEL);
        info_gone = WaitForWindowGone(info, 3000);
    });
    EXPECT_EQ(abouts, 1);
    EXPECT_TRUE(info_gone) << "the information box outlived the main dialog";
    EXPECT_EQ(status, host::kExitCancelled);
}

}  // namespace
}  // namespace tw::testing
