// A stand-in filter module for the host's side of `apply --dialog` under Wine: it writes
// down how the host runs it (the selectors, whether the dialog is asked for, the parent
// window it is given) and draws a known pattern into the parent window with the host's
// displayPixels, reading back what reached the screen. TARNWELL_PROBE_REPORT names the
// report file (one "key=value" a line); TARNWELL_PROBE_MODE chooses how start ends:
//   accept   fills the picture with grey 77 through advanceState (as a render after OK)
//   cancel   returns -128 (the user cancelled the dialog), touching nothing
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hostapi/filter_record.h"
#include "hostapi/host_constants.h"

namespace {

using namespace tw;

std::string gSelectors;

void Report(const std::string& line) {
    const char* path = std::getenv("TARNWELL_PROBE_REPORT");
    if (!path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

std::string Hex(COLORREF c) {
    char text[16];
    std::snprintf(text, sizeof text, "%02x%02x%02x", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}

void DescribeParent(const FilterRecord& r) {
    const intptr_t handle = r.platformData ? r.platformData->hwnd : 0;
    HWND parent = reinterpret_cast<HWND>(handle);
    Report("parent_given=" + std::to_string(handle != 0));
    if (!handle) return;
    DWORD process = 0;
    GetWindowThreadProcessId(parent, &process);
    char title[256] = {};
    GetWindowTextA(parent, title, sizeof title);
    Report("parent_is_window=" + std::to_string(IsWindow(parent) != FALSE));
    Report("parent_visible=" + std::to_string(IsWindowVisible(parent) != FALSE));
    Report("parent_top_level=" + std::to_string(GetAncestor(parent, GA_ROOT) == parent));
    Report("parent_same_process=" + std::to_string(process == GetCurrentProcessId()));
    Report("parent_title=" + std::string(title));
}

// A 4 x 3 planar RGB map: red rises along x, green along y, blue fixed; drawn at column 7,
// row 5 of the parent's client area, then read back from the screen.
void DrawPattern(const FilterRecord& r) {
    HWND parent = reinterpret_cast<HWND>(r.platformData ? r.platformData->hwnd : 0);
    if (!parent || !r.displayPixels) return;
    uint8_t planes[3][3][4];
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            planes[0][y][x] = uint8_t(40 + 60 * x);
            planes[1][y][x] = uint8_t(30 + 90 * y);
            planes[2][y][x] = 200;
        }
    PSPixelMap map{};
    map.version = 1;
    map.bounds = VRect{0, 0, 3, 4};
    map.imageMode = plugInModeRGBColor;
    map.rowBytes = 4;
    map.colBytes = 1;
    map.planeBytes = 12;
    map.baseAddr = planes;
    const VRect all{0, 0, 3, 4};
    HDC dc = GetDC(parent);
    const OSErr drawn = r.displayPixels(&map, &all, 5, 7, dc);
    Report("display_result=" + std::to_string(drawn));
    Report("pixel_0_0=" + Hex(GetPixel(dc, 7, 5)));
    Report("pixel_3_2=" + Hex(GetPixel(dc, 10, 7)));
    Report("pixel_outside=" + Hex(GetPixel(dc, 11, 5)));
    ReleaseDC(parent, dc);
}

int16_t FillGrey(FilterRecord* r) {
    r->inRect = Rect{0, 0, 0, 0};
    r->outRect = r->filterRect;
    r->outLoPlane = 0;
    r->outHiPlane = int16_t(r->planes - 1);
    if (OSErr e = r->advanceState()) return e;
    const int rows = r->filterRect.bottom - r->filterRect.top;
    const int bytes = (r->filterRect.right - r->filterRect.left) * r->planes;
    for (int y = 0; y < rows; ++y) std::memset(static_cast<uint8_t*>(r->outData) + y * r->outRowBytes, 77, size_t(bytes));
    r->outRect = Rect{0, 0, 0, 0};
    return noErr;
}

}  // namespace

extern "C" __declspec(dllexport) void PluginMain(int16_t selector, void* record, intptr_t*, int16_t* result) {
    *result = noErr;
    if (selector == filterSelectorAbout) return;
    auto* r = static_cast<FilterRecord*>(record);
    // The host keeps the module loaded from one run to the next: a run starts with the
    // parameters selector or, without it, with prepare.
    if (selector == filterSelectorParameters || (selector == filterSelectorPrepare && gSelectors != "1"))
        gSelectors.clear();
    if (!gSelectors.empty()) gSelectors += ',';
    gSelectors += std::to_string(selector);
    if (selector == filterSelectorFinish) Report("selectors=" + gSelectors);
    if (selector != filterSelectorStart) {
        if (selector == filterSelectorContinue) r->inRect = r->outRect = r->maskRect = Rect{0, 0, 0, 0};
        return;
    }
    const PIDescriptorParameters* scripting = r->descriptorParameters;
    Report("play_info=" + std::to_string(scripting ? scripting->playInfo : -1));
    Report("descriptor_given=" + std::to_string(scripting && scripting->descriptor));
    DescribeParent(*r);
    DrawPattern(*r);
    const char* mode = std::getenv("TARNWELL_PROBE_MODE");
    if (mode && std::strcmp(mode, "cancel") == 0) {
        Report("selectors=" + gSelectors);  // no finish follows a cancelled start
        *result = userCanceledErr;
        return;
    }
    *result = FillGrey(r);
}
