// The preset open dialog's picture pane: see preset_open_win32.h.
#include "ui/win32/preset_open_win32.h"

#include <commdlg.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <vector>

#include "params/render_params.h"
#include "settings/settings_file.h"
#include "ui/win32/system_dialogs_win32.h"

namespace tw {

namespace {

constexpr int kPictureArea = 123;

// The pane of the dialog that is up; file dialogs come one at a time.
PresetPane* gPane = nullptr;
HWND gPaneWindow = nullptr;

bool NamesAPresetFile(const std::string& path) {
    std::string lower(path);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(".q8r") != std::string::npos;
}

RECT PictureAreaRect(HWND pane) {
    RECT r{};
    HWND area = GetDlgItem(pane, kPictureArea);
    if (!area) return r;
    GetWindowRect(area, &r);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The picture centred in the area at the size of the last picture read (the ramp keeps
// that size too), clipped to the area.
void PaintPicture(HDC dc, const PresetPane& pane, const RECT& area) {
    const Picture& p = pane.picture;
    if (!pane.decoded || p.empty()) return;
    const int width = pane.last_width > 0 ? pane.last_width : p.width;
    const int height = pane.last_height > 0 ? pane.last_height : p.height;
    const int x = (area.left + area.right - width) / 2, y = (area.top + area.bottom - height) / 2;

    // A bottom-up 32-bit copy of the rows for StretchDIBits.
    std::vector<uint32_t> pixels(size_t(p.width) * size_t(p.height));
    for (int row = 0; row < p.height; ++row) {
        const uint8_t* from = p.pixel(0, row);
        uint32_t* to = &pixels[size_t(p.height - 1 - row) * size_t(p.width)];
        for (int col = 0; col < p.width; ++col, from += 3) to[col] = uint32_t(from[0]) << 16 | uint32_t(from[1]) << 8 | from[2];
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = p.width;
    info.bmiHeader.biHeight = p.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, x, y, width, height, 0, 0, p.width, p.height, pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    RestoreDC(dc, saved);
}

void RepaintArea(HWND pane) {
    const RECT area = PictureAreaRect(pane);
    InvalidateRect(pane, &area, TRUE);
}

UINT_PTR CALLBACK PaneHook(HWND pane, UINT message, WPARAM, LPARAM l) {
    switch (message) {
    case WM_INITDIALOG:
        gPaneWindow = pane;
        // The picture area only reserves its place; the pane paints there itself.
        ShowWindow(GetDlgItem(pane, kPictureArea), SW_HIDE);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(l);
        if (header->code != CDN_SELCHANGE || !gPane) return 0;
        // The explorer dialog is the pane's parent; a path longer than our buffers is
        // passed over, as the dialogs could not hand it back either.
        char path[kPathBufferSize] = {};
        const LRESULT length = SendMessageA(GetParent(pane), CDM_GETFILEPATH, kPathBufferSize, LPARAM(path));
        SelectPresetPath(*gPane, length > 0 && length <= kPathBufferSize ? std::string(path) : std::string());
        RepaintArea(pane);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(pane, &ps);
        if (gPane) PaintPicture(dc, *gPane, PictureAreaRect(pane));
        EndPaint(pane, &ps);
        return TRUE;
    }
    case WM_DESTROY:
        gPaneWindow = nullptr;
        return 0;
    default:
        return 0;
    }
}

}  // namespace

void SelectPresetPath(PresetPane& pane, const std::string& path) {
    pane.selected = path;
    ResetPictureToRamp(pane.picture);
    if (path.empty() || !NamesAPresetFile(path)) return;
    // Only the picture is read; the record is a throwaway one.
    auto scratch = std::make_unique<RenderParams>();
    Picture picture;
    bool found = false;
    ++pane.reads;
    // A file without a picture leaves the ramp (drawn once some picture was read).
    if (!ReadSettings(path, *scratch, ReadMode::ThumbnailOnly, &picture, &found) || !found || picture.empty())
        return;
    pane.picture = std::move(picture);
    pane.decoded = true;
    pane.last_width = pane.picture.width;
    pane.last_height = pane.picture.height;
}

int OpenPresetDialog(HINSTANCE module, HWND owner, char* file_name, char* file_title, char* folder,
                     const char* title) {
    if (FileDialogIsOpen()) return 0;
    PresetPane pane;
    ResetPictureToRamp(pane.picture);
    OpenDialogChild child;
    child.module = module;
    child.template_name = "FANCY_OPEN4";
    child.hook = PaneHook;
    gPane = &pane;
    const int result = open_file_dialog(module, owner, file_name, file_title, folder, kFilePresets, title, &child);
    gPane = nullptr;
    gPaneWindow = nullptr;
    return result;
}

const PresetPane* OpenPresetPane() { return gPane; }
HWND PresetPaneWindow() { return gPaneWindow; }

}  // namespace tw
