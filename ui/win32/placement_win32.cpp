// Where the plug-in's dialogs appear: see placement_win32.h.
#include "ui/win32/placement_win32.h"

namespace tw {

namespace {

PixelRect ToPixelRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

PlacementInput GatherPlacementInput(HWND dialog, HWND owner) {
    PlacementInput in;
    HWND over = owner ? owner : GetDesktopWindow();
    RECT client{};
    GetClientRect(over, &client);
    MapWindowPoints(over, nullptr, reinterpret_cast<POINT*>(&client), 2);
    in.owner_client = ToPixelRect(client);
    in.caption_button_width = GetSystemMetrics(SM_CXSIZE);
    RECT own{};
    GetWindowRect(dialog, &own);
    in.dialog_width = own.right - own.left;
    in.dialog_height = own.bottom - own.top;
    in.has_system_menu = (GetWindowLongPtrA(dialog, GWL_STYLE) & WS_SYSMENU) != 0;
    // The work area of the owner's monitor (without owner, the dialog's: the primary one).
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoA(MonitorFromWindow(owner ? owner : dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        in.screen = ToPixelRect(monitor.rcWork);
    } else {
        in.screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    return in;
}

void place_dialog(HWND dialog, HWND owner) {
    const PixelPoint at = place_dialog(GatherPlacementInput(dialog, owner));
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tw
