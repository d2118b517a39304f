// What the shell does for the separately built parts while they are not linked in.
#include "shell/later_work.h"

#include <cstdio>

#include "shell/message_text.h"

namespace tw {

// The three scripting calls live in script_params.cpp.

void LoadCachedSettings(RenderParams&) {}
void SaveCachedSettings(const RenderParams&) {}
void TakeUndoSnapshot(const RenderParams&, GlobalState&) {}

void LoadMemoryDotMap(GlobalState&) {}
void WriteMemoryDotMap(GlobalState&) {}

int RunParameterDialog(GlobalState&, intptr_t) { return kDialogUnavailable; }
void ShowAboutBox() {}
namespace {
void (*gExportProgress)(void*, int) = nullptr;
void* gExportProgressContext = nullptr;
}  // namespace

void SetExportProgressHandler(void (*handler)(void*, int), void* context) {
    gExportProgress = handler;
    gExportProgressContext = context;
}
void ShowExportProgress(int per_mille) {
    if (gExportProgress != nullptr) gExportProgress(gExportProgressContext, per_mille);
}
void ShowWaitCursor(bool) {}

// Without the dialog resources the refusal still has to reach the user, who otherwise
// sees the filter do nothing without a word.
void ShowRefusal() { std::fprintf(stderr, "Tarnwell: %s\n", kRefusalText); }

}  // namespace tw
