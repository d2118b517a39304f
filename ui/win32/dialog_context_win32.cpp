// The plug-in's activation context: see dialog_context_win32.h.
#include "ui/win32/dialog_context_win32.h"

#include <commctrl.h>

namespace tw {

namespace {

// Resource id 2 is ISOLATIONAWARE_MANIFEST_RESOURCE_ID: the manifest a DLL uses for itself.
constexpr WORD kModuleManifestId = 2;

// Made once and kept while the module is loaded.
HANDLE gContext = INVALID_HANDLE_VALUE;
bool gContextTried = false;
HMODULE gCommonControls = nullptr;
bool gCommonControlsTried = false;

HANDLE MakeContext(HINSTANCE module) {
    if (!module || !FindResourceA(module, MAKEINTRESOURCEA(kModuleManifestId), MAKEINTRESOURCEA(24)))
        return INVALID_HANDLE_VALUE;
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return INVALID_HANDLE_VALUE;
    ACTCTXA context{};
    context.cbSize = sizeof context;
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
    context.lpSource = path;
    context.lpResourceName = MAKEINTRESOURCEA(kModuleManifestId);
    context.hModule = module;
    return CreateActCtxA(&context);
}

// The controls' window classes are registered by the library that is loaded inside the
// context; loading it there is what gives the dialog the manifest's version.
void LoadCommonControls() {
    if (gCommonControlsTried) return;
    gCommonControlsTried = true;
    gCommonControls = LoadLibraryA("comctl32.dll");
    if (!gCommonControls) return;
    using Init = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (auto init = LookUpFunction<Init>(gCommonControls, "InitCommonControlsEx")) {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        init(&classes);
    }
}

}  // namespace

void InitDialogContext(HINSTANCE module) {
    if (gContextTried) return;
    gContextTried = true;
    gContext = MakeContext(module);
}

bool HaveDialogContext() { return gContext != INVALID_HANDLE_VALUE; }

void ReleaseDialogContext() {
    if (gContext != INVALID_HANDLE_VALUE) ReleaseActCtx(gContext);
    gContext = INVALID_HANDLE_VALUE;
    gContextTried = false;
}

DialogContextScope::DialogContextScope(HINSTANCE module) {
    const DWORD error = GetLastError();
    InitDialogContext(module);
    if (gContext != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(gContext, &cookie_) != FALSE;
    LoadCommonControls();
    SetLastError(error);
}

DialogContextScope::~DialogContextScope() {
    const DWORD error = GetLastError();
    if (active_) DeactivateActCtx(0, cookie_);
    SetLastError(error);
}

HMODULE CommonControlsLibrary() { return gCommonControls; }

INT_PTR RunModalDialog(HINSTANCE module, const char* template_name, HWND parent, DLGPROC procedure,
                       LPARAM parameter) {
    DialogContextScope scope(module);
    return DialogBoxParamA(module, template_name, parent, procedure, parameter);
}

INT_PTR RunModalDialogIndirect(HINSTANCE module, const DLGTEMPLATE* dialog_template, HWND parent,
                               DLGPROC procedure, LPARAM parameter) {
    DialogContextScope scope(module);
    return DialogBoxIndirectParamA(module, dialog_template, parent, procedure, parameter);
}

}  // namespace tw
