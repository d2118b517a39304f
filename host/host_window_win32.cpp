// The document window and displayPixels' drawing on Windows: see host_window.h.
#include "host/host_window.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>

#include "host/pixel_map.h"
#include "hostapi/host_constants.h"

namespace tw::host {

struct HostWindow::Impl {
    HWND window = nullptr;
    ScreenRows picture;  // the document as it was when the window opened
};

namespace {

const char kWindowClass[] = "TarnwellHostDocument";

BITMAPINFO RowsInfo(const ScreenRows& rows) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = rows.width;
    info.bmiHeader.biHeight = -rows.height;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Where the picture goes in the client area: as large as fits with its proportions kept,
// centred. (The window may be wider than the picture: windows have a smallest width.)
RECT PictureRect(const RECT& client, const ScreenRows& picture) {
    const double scale = std::min(double(client.right) / std::max(picture.width, 1),
                                  double(client.bottom) / std::max(picture.height, 1));
    const LONG width = std::max(LONG(picture.width * scale + 0.5), LONG(1));
    const LONG height = std::max(LONG(picture.height * scale + 0.5), LONG(1));
    const LONG left = (client.right - width) / 2, top = (client.bottom - height) / 2;
    return RECT{left, top, left + width, top + height};
}

void PaintDocument(HWND window, const HostWindow::Impl* impl) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    GetClientRect(window, &client);
    // The editor's grey around the picture, then the picture.
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
    if (impl && !impl->picture.bytes.empty()) {
        const RECT at = PictureRect(client, impl->picture);
        const BITMAPINFO info = RowsInfo(impl->picture);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, at.left, at.top, at.right - at.left, at.bottom - at.top, 0, 0, impl->picture.width,
                      impl->picture.height, impl->picture.bytes.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK DocumentProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    auto* impl = reinterpret_cast<HostWindow::Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(l)->lpCreateParams));
            break;
        case WM_ERASEBKGND:
            return 1;  // the picture covers the whole client area
        case WM_PAINT:
            PaintDocument(window, impl);
            return 0;
        case WM_CLOSE:
            return 0;  // the document stays open while the filter runs, as in an editor
        default:
            break;
    }
    return DefWindowProcA(window, message, w, l);
}

bool RegisterDocumentClass() {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(GetModuleHandleA(nullptr), kWindowClass, &existing)) return true;
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = DocumentProcedure;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    c.lpszClassName = kWindowClass;
    return RegisterClassExA(&c) != 0;
}

// The client size that shows the picture whole within most of the work area.
SIZE FittedClientSize(int width, int height, const RECT& work) {
    const double room_w = 0.8 * (work.right - work.left), room_h = 0.8 * (work.bottom - work.top);
    const double scale = std::min({1.0, room_w / std::max(width, 1), room_h / std::max(height, 1)});
    return SIZE{std::max(LONG(width * scale), LONG(1)), std::max(LONG(height * scale), LONG(1))};
}

}  // namespace

bool HostHasWindows() { return true; }

HostWindow::HostWindow() : impl_(std::make_unique<Impl>()) {}

HostWindow::~HostWindow() {
    if (impl_->window) DestroyWindow(impl_->window);
}

bool HostWindow::Open(const std::string& title, const Document& document, std::string& error) {
    if (impl_->window) return true;
    if (OSErr e = PixelMapToScreenRows(DocumentPixelMap(document), VRect{0, 0, document.height, document.width},
                                       impl_->picture)) {
        error = "cannot show the picture (error " + std::to_string(e) + ")";
        return false;
    }
    if (!RegisterDocumentClass()) {
        error = "cannot register the document window (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    RECT work{0, 0, 1024, 768};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const SIZE client = FittedClientSize(document.width, document.height, work);
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRect(&frame, style, FALSE);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int x = work.left + std::max(0, int(work.right - work.left - width) / 2);
    const int y = work.top + std::max(0, int(work.bottom - work.top - height) / 2);
    impl_->window = CreateWindowExA(0, kWindowClass, title.c_str(), style, x, y, width, height, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), impl_.get());
    if (!impl_->window) {
        error = "cannot open the document window (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    ShowWindow(impl_->window, SW_SHOWNORMAL);
    UpdateWindow(impl_->window);
    SetForegroundWindow(impl_->window);
    Pump();
    return true;
}

intptr_t HostWindow::handle() const { return reinterpret_cast<intptr_t>(impl_->window); }

void HostWindow::Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

OSErr DrawPixelMap(const PSPixelMap& map, const VRect& rect, int32_t row, int32_t column, void* device) {
    if (!device) return CheckPixelMap(map);
    ScreenRows rows;
    if (OSErr e = PixelMapToScreenRows(map, rect, rows)) return e;
    if (rows.bytes.empty()) return noErr;
    const BITMAPINFO info = RowsInfo(rows);
    const int drawn = SetDIBitsToDevice(static_cast<HDC>(device), column, row, DWORD(rows.width), DWORD(rows.height),
                                        0, 0, 0, UINT(rows.height), rows.bytes.data(), &info, DIB_RGB_COLORS);
    return drawn > 0 ? noErr : paramErr;
}

}  // namespace tw::host
