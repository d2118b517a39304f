// The dialog seam in a build without windows: the filter runs with the settings it was given
// (cached, recorded or plain), as an editor replaying an action without its dialog would.
#include <cstdio>

#include "shell/dialog_bridge.h"
#include "shell/message_text.h"

namespace tw {

int RunParameterDialog(const ShellContext&, intptr_t) { return kDialogUnavailable; }

void ShowAboutBox() {}

// The refusal still has to reach the user, who otherwise sees the filter do nothing
// without a word.
void ShowRefusal() { std::fprintf(stderr, "Tarnwell: %s\n", kRefusalText); }

void ShowWaitCursor(bool) {}

}  // namespace tw
