// Links every Win32 piece of the dialog's view into one module, so the import check sees
// what they will add to Tarnwell.8bf once the view calls them.
#include "ui/win32/aux_windows_win32.h"
#include "ui/win32/dialog_context_win32.h"
#include "ui/win32/pictures_win32.h"
#include "ui/win32/placement_win32.h"
#include "ui/win32/system_dialogs_win32.h"

extern "C" __declspec(dllexport) void* TarnwellViewPieces(int which) {
    using namespace tw;
    switch (which) {
        case 0: return reinterpret_cast<void*>(&load_picture);
        case 1: return reinterpret_cast<void*>(&LoadBitmapPicture);
        case 2: return reinterpret_cast<void*>(&LoadIconPicture);
        case 3: return reinterpret_cast<void*>(&LoadCursorPicture);
        case 4: return reinterpret_cast<void*>(&RunModalDialog);
        case 5: return reinterpret_cast<void*>(&RunModalDialogIndirect);
        case 6: return reinterpret_cast<void*>(&save_file_dialog);
        case 7: return reinterpret_cast<void*>(&open_file_dialog);
        case 8: return reinterpret_cast<void*>(&ChooseSystemColour);
        case 9: return reinterpret_cast<void*>(static_cast<void (*)(HWND, HWND)>(&place_dialog));
        case 10: return reinterpret_cast<void*>(&ReleaseDialogContext);
        // The dialog's smaller windows and the file dialogs as the dialog asks for them.
        case 11: return reinterpret_cast<void*>(&ShowAboutBoxWindow);
        case 12: return reinterpret_cast<void*>(&ShowInfoWindow);
        case 13: return reinterpret_cast<void*>(&RunExportSizeWindow);
        case 14: return reinterpret_cast<void*>(&OpenProgressWindow);
        case 15: return reinterpret_cast<void*>(&ShowMessageWindow);
        case 16: return reinterpret_cast<void*>(&RunOpenFileWindow);
        case 17: return reinterpret_cast<void*>(&RunSaveFileWindow);
        case 18: return reinterpret_cast<void*>(&PickSystemColourWindow);
        default: return nullptr;
    }
}
