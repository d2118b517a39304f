// The command line's terminal: a progress bar on stderr (only when stderr is a terminal,
// so logs and pipes stay clean) and Ctrl-C, which asks the running filter to stop.
#pragma once

#include <cstdint>
#include <string>

namespace tw::host {

struct ProgressBar {
    bool enabled = false;
    int shown_percent = -1;  // what is on screen; -1 nothing yet
    std::string label;
};

bool StderrIsTerminal();

void StartProgress(ProgressBar& bar, const std::string& label, bool quiet);
// Redraws only when the whole percentage changes. Totals of 0 or less count as no news.
void ShowProgress(ProgressBar& bar, int32_t done, int32_t total);
// Clears the bar's line so messages that follow start on a clean line.
void EndProgress(ProgressBar& bar);
// The text of the bar for a percentage, e.g. "rendering [#####     ]  50%".
std::string ProgressLine(const std::string& label, int percent);

// After this, the first Ctrl-C only sets a flag; a second one ends the program at once.
void InstallInterruptHandler();
void RemoveInterruptHandler();
bool Interrupted();

}  // namespace tw::host
