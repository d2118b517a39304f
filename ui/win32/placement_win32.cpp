// Where the plug-in's dialogs appear: see placement_win32.h.
#include "ui/win32/placement_win32.h"

#include <algorithm>

namespace tw {

POINT DialogPlacementPoint(const PlacementInput& in) {
    const int client_width = in.owner_client.right - in.owner_client.left;
    const int client_height = in.owner_client.bottom - in.owner_client.top;
    const int cx = in.caption_button_width;
    int x = in.owner_client.left + std::max(0, client_width - in.dialog_width) / 2 -
            (in.has_system_menu ? cx : cx - cx / 3);
    int y = in.owner_client.top + std::max(0, client_height - in.dialog_height) / 3;
    if (x + in.dialog_width > in.screen_width) x = std::max(0, in.screen_width - in.dialog_width);
    if (y + in.dialog_height > in.screen_height) y = std::max(0, in.screen_height - in.dialog_height);
    // An owner partly off the left or top of the screen must not take the caption with it:
    // a dialog whose caption is off the screen cannot be moved back.
    return POINT{std::max(x, 0), std::max(y, 0)};
}

PlacementInput GatherPlacementInput(HWND dialog, HWND owner) {
    PlacementInput in;
    HWND over = owner ? owner : GetDesktopWindow();
    GetClientRect(over, &in.owner_client);
    MapWindowPoints(over, nullptr, reinterpret_cast<POINT*>(&in.owner_client), 2);
    in.caption_button_width = GetSystemMetrics(SM_CXSIZE);
    in.screen_width = GetSystemMetrics(SM_CXSCREEN);
    in.screen_height = GetSystemMetrics(SM_CYSCREEN);
    RECT own{};
    GetWindowRect(dialog, &own);
    in.dialog_width = own.right - own.left;
    in.dialog_height = own.bottom - own.top;
    in.has_system_menu = (GetWindowLongPtrA(dialog, GWL_STYLE) & WS_SYSMENU) != 0;
    return in;
}

void place_dialog(HWND dialog, HWND owner) {
    const POINT at = DialogPlacementPoint(GatherPlacementInput(dialog, owner));
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tw
