// The shell's calls into the separately built parts: the memory-dot map, and what the
// dialog will do while it is not built (nothing, saying so where a user would wait).
#include "shell/later_work.h"

#include <cstdio>

#include "settings/dot_map.h"
#include "shell/message_text.h"

namespace tw {

// The three scripting calls live in script_params.cpp.

void TakeUndoSnapshot(const RenderParams&, GlobalState&) {}

// A missing or unreadable map leaves the flags as they are: no dot is lost for it.
void LoadMemoryDotMap(GlobalState& globals) { LoadDotMap(globals.dot_keep); }
void WriteMemoryDotMap(GlobalState& globals) { SaveDotMap(globals.dot_keep); }

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
