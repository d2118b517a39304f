// The dialog tests' hands and eyes: see dialog_driver.h.
#include "tests/windows/dialog_driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>

namespace tw::testing {

const char* const kDialogClass = "#32770";

namespace {

std::string WindowTitle(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, int(sizeof text));
    return text;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, int(sizeof name));
    return name;
}

bool Matches(HWND window, const WindowQuery& query) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return false;
    if (query.visible_only && !IsWindowVisible(window)) return false;
    if (std::find(query.except.begin(), query.except.end(), window) != query.except.end()) return false;
    if (!query.class_name.empty() && ClassOf(window) != query.class_name) return false;
    return query.title.empty() || WindowTitle(window) == query.title;
}

struct Search {
    const WindowQuery* query;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (!Matches(window, *search->query)) return TRUE;
    search->found = window;
    return FALSE;
}

struct ChildSearch {
    const char* class_name;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<ChildSearch*>(context);
    if (ClassOf(window) != search->class_name) return TRUE;
    search->found = window;
    return FALSE;
}

WPARAM KeyState(int button, MouseKeys keys, bool down) {
    WPARAM state = 0;
    if (down) state |= button == 1 ? MK_RBUTTON : MK_LBUTTON;
    if (keys.control) state |= MK_CONTROL;
    if (keys.shift) state |= MK_SHIFT;
    return state;
}

LPARAM At(int x, int y) { return MAKELPARAM(short(x), short(y)); }

}  // namespace

HWND FindProcessWindow(const WindowQuery& query) {
    Search search{&query, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(const WindowQuery& query, int timeout_ms, const std::atomic<bool>* stop) {
    const ULONGLONG end = GetTickCount64() + ULONGLONG(timeout_ms);
    for (;;) {
        if (HWND found = FindProcessWindow(query)) return found;
        if (GetTickCount64() >= end || (stop && *stop)) return nullptr;
        Sleep(20);
    }
}

bool WaitForWindowGone(HWND window, int timeout_ms) {
    const ULONGLONG end = GetTickCount64() + ULONGLONG(timeout_ms);
    while (IsWindow(window)) {
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
    return true;
}

HWND FindChildByClass(HWND parent, const char* class_name) {
    ChildSearch search{class_name, nullptr};
    EnumChildWindows(parent, MatchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void ClickButton(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

void PostCommand(HWND dialog, int id, int notification) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, notification), LPARAM(GetDlgItem(dialog, id)));
}

void PostKey(HWND window, UINT virtual_key) {
    const LPARAM scan = LPARAM(MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(window, WM_KEYDOWN, virtual_key, 1 | scan);
    PostMessageA(window, WM_KEYUP, virtual_key, LPARAM(1 | scan | (LPARAM(3) << 30)));
}

void PostChar(HWND window, char c) { PostMessageA(window, WM_CHAR, WPARAM(static_cast<unsigned char>(c)), 1); }

void SetEditText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

std::string GetText(HWND dialog, int id) {
    char text[1024] = {};
    GetDlgItemTextA(dialog, id, text, int(sizeof text));
    return text;
}

void SelectComboEntry(HWND dialog, int id, int index) {
    SendDlgItemMessageA(dialog, id, CB_SETCURSEL, WPARAM(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(GetDlgItem(dialog, id)));
}

void MousePress(HWND window, int x, int y, int button, MouseKeys keys) {
    SendMessageA(window, button == 1 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, KeyState(button, keys, true), At(x, y));
}

void MouseMove(HWND window, int x, int y, bool button_down, MouseKeys keys) {
    SendMessageA(window, WM_MOUSEMOVE, KeyState(0, keys, button_down), At(x, y));
}

void MouseRelease(HWND window, int x, int y, int button, MouseKeys keys) {
    SendMessageA(window, button == 1 ? WM_RBUTTONUP : WM_LBUTTONUP, KeyState(button, keys, false), At(x, y));
}

void MouseDrag(HWND window, POINT from, POINT to, int steps, MouseKeys keys) {
    MousePress(window, from.x, from.y, 0, keys);
    steps = std::max(steps, 1);
    for (int i = 1; i <= steps; ++i) {
        const int x = from.x + (to.x - from.x) * i / steps;
        const int y = from.y + (to.y - from.y) * i / steps;
        MouseMove(window, x, y, true, keys);
    }
    MouseRelease(window, to.x, to.y, 0, keys);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// ---- Captures -------------------------------------------------------------------------------

namespace {

BITMAPINFO TopDown32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void TakePixels(Capture& capture, const uint32_t* bits) {
    capture.pixels.assign(bits, bits + size_t(capture.width) * size_t(capture.height));
    for (uint32_t& pixel : capture.pixels) pixel &= 0xFFFFFF;
}

}  // namespace

Capture CaptureDC(HDC dc, int width, int height) {
    Capture capture;
    if (!dc || width <= 0 || height <= 0) return capture;
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory && section) {
        HGDIOBJ old = SelectObject(memory, section);
        if (BitBlt(memory, 0, 0, width, height, dc, 0, 0, SRCCOPY)) {
            GdiFlush();
            capture.width = width;
            capture.height = height;
            TakePixels(capture, static_cast<const uint32_t*>(bits));
        }
        SelectObject(memory, old);
    }
    if (section) DeleteObject(section);
    if (memory) DeleteDC(memory);
    return capture;
}

Capture CaptureClient(HWND window) {
    RECT client{};
    if (!GetClientRect(window, &client)) return {};
    HDC dc = GetDC(window);
    Capture capture = CaptureDC(dc, client.right, client.bottom);
    ReleaseDC(window, dc);
    return capture;
}

Capture CaptureBitmap(HBITMAP bitmap) {
    Capture capture;
    BITMAP description{};
    if (!bitmap || !GetObjectA(bitmap, sizeof description, &description)) return capture;
    const int width = description.bmWidth, height = std::abs(description.bmHeight);
    BITMAPINFO info = TopDown32(width, height);
    std::vector<uint32_t> bits(size_t(width) * size_t(height));
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, UINT(height), bits.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) return capture;
    capture.width = width;
    capture.height = height;
    TakePixels(capture, bits.data());
    return capture;
}

int ColourDistance(uint32_t a, uint32_t b) {
    return std::max({std::abs(Red(a) - Red(b)), std::abs(Green(a) - Green(b)), std::abs(Blue(a) - Blue(b))});
}

namespace {

RECT Clip(const Capture& capture, RECT r) {
    r.left = std::clamp<LONG>(r.left, 0, capture.width);
    r.right = std::clamp<LONG>(r.right, 0, capture.width);
    r.top = std::clamp<LONG>(r.top, 0, capture.height);
    r.bottom = std::clamp<LONG>(r.bottom, 0, capture.height);
    return r;
}

}  // namespace

double ShareOfColour(const Capture& capture, RECT rect, uint32_t colour, int tolerance) {
    rect = Clip(capture, rect);
    size_t total = 0, close = 0;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x) {
            ++total;
            if (ColourDistance(capture.at(x, y), colour) <= tolerance) ++close;
        }
    }
    return total ? double(close) / double(total) : 0.0;
}

uint32_t MeanColour(const Capture& capture, RECT rect) {
    rect = Clip(capture, rect);
    uint64_t r = 0, g = 0, b = 0, n = 0;
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        for (LONG x = rect.left; x < rect.right; ++x) {
            const uint32_t c = capture.at(x, y);
            r += uint64_t(Red(c));
            g += uint64_t(Green(c));
            b += uint64_t(Blue(c));
            ++n;
        }
    }
    if (n == 0) return 0;
    return Rgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n));
}

bool SaveCaptureBmp(const Capture& capture, const std::string& path) {
    if (capture.empty()) return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const uint32_t stride = (uint32_t(capture.width) * 3 + 3) / 4 * 4;
    const uint32_t image = stride * uint32_t(capture.height);
    uint8_t header[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) header[at + i] = uint8_t(v >> (8 * i));
    };
    put32(2, 54 + image);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(capture.width));
    put32(22, uint32_t(capture.height));  // bottom-up rows
    header[26] = 1;
    header[28] = 24;
    put32(34, image);
    bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
    std::vector<uint8_t> row(stride, 0);
    for (int y = capture.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < capture.width; ++x) {
            const uint32_t c = capture.at(x, y);
            row[size_t(x) * 3] = uint8_t(Blue(c));
            row[size_t(x) * 3 + 1] = uint8_t(Green(c));
            row[size_t(x) * 3 + 2] = uint8_t(Red(c));
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && ok;
}

RECT ControlRect(HWND dialog, int id) {
    RECT r{};
    HWND control = GetDlgItem(dialog, id);
    if (!control || !GetWindowRect(control, &r)) return RECT{};
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT DialogUnitsToPixels(HWND dialog, RECT units) {
    MapDialogRect(dialog, &units);
    return units;
}

// ---- Common dialogs -----------------------------------------------------------------------------

void ChooseFileInDialog(HWND dialog, const std::string& path) {
    SetDlgItemTextA(dialog, kFileNameField, path.c_str());
    PostCommand(dialog, IDOK);
}

bool ConfirmOverwritePrompt(const std::string& title, HWND save_dialog, int timeout_ms) {
    WindowQuery query;
    query.title = title;
    query.class_name = kDialogClass;
    query.except = {save_dialog};
    HWND prompt = WaitForWindow(query, timeout_ms);
    if (!prompt) return false;
    PostCommand(prompt, IDYES);
    return true;
}

void ChooseColourInDialog(HWND dialog, int red, int green, int blue) {
    SetDlgItemInt(dialog, kColourRedField, UINT(red), FALSE);
    SetDlgItemInt(dialog, kColourGreenField, UINT(green), FALSE);
    SetDlgItemInt(dialog, kColourBlueField, UINT(blue), FALSE);
    PostCommand(dialog, IDOK);
}

void CancelDialog(HWND dialog) { PostCommand(dialog, IDCANCEL); }

namespace {

// One entry of the GDI handle table the system maps into every process (the PEB's
// GdiSharedHandleTable, 65536 entries of 24 bytes on 64-bit systems).
struct GdiHandleEntry {
    uint64_t object;
    uint16_t process_id;
    uint16_t lock_and_count;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t user_pointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);
constexpr size_t kGdiHandleEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;  // in the 64-bit PEB
constexpr size_t kTebPebOffset = 0x60;       // in the 64-bit TEB

// Wine's GetGuiResources counts nothing, but its table holds a type for every live object
// of the process (and none for freed ones), so the live entries can be counted there.
DWORD CountLiveTableEntries() {
    // The thread's TEB holds its own address at gs:0x30.
    uint64_t teb_address = 0;
    __asm__("movq %%gs:0x30, %0" : "=r"(teb_address));
    const auto* teb = reinterpret_cast<const uint8_t*>(teb_address);
    const uint8_t* peb = *reinterpret_cast<const uint8_t* const*>(teb + kTebPebOffset);
    if (!peb) return 0;
    const auto* table = *reinterpret_cast<const GdiHandleEntry* const*>(peb + kPebGdiTableOffset);
    if (!table) return 0;
    const auto process = uint16_t(GetCurrentProcessId());
    DWORD live = 0;
    for (size_t i = 0; i < kGdiHandleEntries; ++i) {
        const GdiHandleEntry& e = table[i];
        if (e.type != 0 && (e.process_id == 0 || e.process_id == process)) ++live;
    }
    return live;
}

}  // namespace

DWORD GdiObjectCount() {
    const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    return counted != 0 ? counted : CountLiveTableEntries();
}
DWORD UserObjectCount() { return GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS); }

// ---- ModalActor ------------------------------------------------------------------------------

ModalActor::ModalActor(WindowQuery query, std::function<void(HWND)> act, int timeout_ms) {
    // Under Wine, the window system sets itself up (display driver, built-in classes) on
    // the first call that needs it, once per process, and may load modules while doing
    // so. When that first call came from this thread while the caller's thread was
    // making its first dialog (loading the common controls, whose start registers
    // classes while it holds the loader lock), each waited for the other for good: the
    // first main-dialog test of a run hung now and then with no window on the screen. So
    // the caller makes the calls this thread will make, once, before it starts; and the
    // constructor returns only once the thread runs, so that its own start (the loader
    // telling every module about the new thread) is over before the caller's window.
    GetDesktopWindow();
    FindProcessWindow(query);
    std::promise<void> running;
    std::future<void> started = running.get_future();
    thread_ = std::thread([this, &running, query = std::move(query), act = std::move(act), timeout_ms] {
        running.set_value();
        HWND window = WaitForWindow(query, timeout_ms, &stop_);
        if (!window) return;
        window_ = window;
        found_ = true;
        act(window);
    });
    started.wait();
}

ModalActor::~ModalActor() { Join(); }

void ModalActor::Join() {
    if (thread_.joinable()) thread_.join();
}

void ModalActor::StopWaiting() {
    stop_ = true;
    Join();
}

// ---- DialogTemplate ---------------------------------------------------------------------------

namespace {

void PutString(std::vector<WORD>& words, const std::string& text) {
    // The templates' strings are UTF-16; the tests use plain ASCII.
    for (unsigned char c : text) words.push_back(WORD(c));
    words.push_back(0);
}

void PutLong(std::vector<WORD>& words, DWORD value) {
    words.push_back(LOWORD(value));
    words.push_back(HIWORD(value));
}

}  // namespace

DialogTemplate::DialogTemplate(const std::string& caption, short width, short height, DWORD style) {
    PutLong(words_, style);
    PutLong(words_, 0);  // extended style
    count_at_ = words_.size();
    words_.push_back(0);  // control count, raised by Add
    words_.push_back(0);  // x
    words_.push_back(0);  // y
    words_.push_back(WORD(width));
    words_.push_back(WORD(height));
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the dialog class
    PutString(words_, caption);
    if (style & DS_SETFONT) {
        words_.push_back(8);
        PutString(words_, "MS Sans Serif");
    }
}

void DialogTemplate::Item(int id, short x, short y, short width, short height, DWORD style) {
    if (words_.size() % 2) words_.push_back(0);  // items start on 4-byte boundaries
    PutLong(words_, style);
    PutLong(words_, 0);
    words_.push_back(WORD(x));
    words_.push_back(WORD(y));
    words_.push_back(WORD(width));
    words_.push_back(WORD(height));
    words_.push_back(WORD(id));
    ++words_[count_at_];
}

DialogTemplate& DialogTemplate::Add(WORD class_atom, int id, const std::string& text, short x, short y,
                                    short width, short height, DWORD style) {
    Item(id, x, y, width, height, style);
    words_.push_back(0xFFFF);
    words_.push_back(class_atom);
    PutString(words_, text);
    words_.push_back(0);  // no creation data
    return *this;
}

DialogTemplate& DialogTemplate::Add(const std::string& class_name, int id, const std::string& text, short x,
                                    short y, short width, short height, DWORD style) {
    Item(id, x, y, width, height, style);
    PutString(words_, class_name);
    PutString(words_, text);
    words_.push_back(0);
    return *this;
}

const DLGTEMPLATE* DialogTemplate::data() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

}  // namespace tw::testing
