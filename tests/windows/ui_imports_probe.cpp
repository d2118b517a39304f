// Links every Win32 piece of the dialog's view into one module, so the import check sees
// what they will add to Tarnwell.8bf once the view calls them.
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
        case 9: return reinterpret_cast<void*>(&place_dialog);
        case 10: return reinterpret_cast<void*>(&ReleaseDialogContext);
        default: return nullptr;
    }
}
