// No windows in this build: the dialog needs the Windows one (see host_window.h).
#include "host/host_window.h"

#include "host/pixel_map.h"

namespace tw::host {

struct HostWindow::Impl {};

bool HostHasWindows() { return false; }

HostWindow::HostWindow() = default;
HostWindow::~HostWindow() = default;

bool HostWindow::Open(const std::string&, const Document&, std::string& error) {
    error = "this build of tarnwell has no windows";
    return false;
}

intptr_t HostWindow::handle() const { return 0; }

void HostWindow::Pump() {}

OSErr DrawPixelMap(const PSPixelMap& map, const VRect&, int32_t, int32_t, void*) { return CheckPixelMap(map); }

}  // namespace tw::host
