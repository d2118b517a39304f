// Drawing the progress bar.
#include <algorithm>
#include <cstdio>

#include "host/terminal.h"

namespace tw::host {

namespace {
constexpr int kBarWidth = 30;
}

std::string ProgressLine(const std::string& label, int percent) {
    percent = std::clamp(percent, 0, 100);
    int filled = percent * kBarWidth / 100;
    std::string line = label + " [" + std::string(size_t(filled), '#') +
                       std::string(size_t(kBarWidth - filled), ' ') + "] ";
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    return line + number;
}

void StartProgress(ProgressBar& bar, const std::string& label, bool quiet) {
    bar.enabled = !quiet && StderrIsTerminal();
    bar.shown_percent = -1;
    bar.label = label;
}

void ShowProgress(ProgressBar& bar, int32_t done, int32_t total) {
    if (!bar.enabled || total <= 0) return;
    int64_t percent = int64_t(std::clamp(done, 0, total)) * 100 / total;
    if (percent == bar.shown_percent) return;
    bar.shown_percent = int(percent);
    std::fprintf(stderr, "\r%s", ProgressLine(bar.label, int(percent)).c_str());
    std::fflush(stderr);
}

void EndProgress(ProgressBar& bar) {
    if (bar.enabled && bar.shown_percent >= 0) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
    }
    bar.shown_percent = -1;
}

}  // namespace tw::host
