// The editor's document window, for runs that show the plug-in's dialog: a plain
// top-level window showing the picture, whose handle the plug-in gets as its dialog's
// parent, and the drawing behind the host's displayPixels procedure. Only the Windows
// build has windows; elsewhere none can be opened and displayPixels draws nowhere.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/document.h"
#include "hostapi/filter_record.h"

namespace tw::host {

// True in a build that can open windows (and so show the plug-in's dialog).
bool HostHasWindows();

class HostWindow {
public:
    HostWindow();
    ~HostWindow();  // closes the window
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Opens and shows a window titled `title` with `document`'s picture, fitted to the
    // screen's work area. False with `error` set when it cannot be made.
    bool Open(const std::string& title, const Document& document, std::string& error);
    // The window's handle (an HWND on Windows); 0 when none is open.
    intptr_t handle() const;
    // Handles the messages waiting for the window, so it keeps drawing and answering
    // while the plug-in renders after its dialog has closed.
    void Pump();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// displayPixels' drawing: `rect` of `map` into the device context `device` (an HDC on
// Windows) with its top-left corner at (column, row). Without a device (and on systems
// without windows) the map is only checked.
OSErr DrawPixelMap(const PSPixelMap& map, const VRect& rect, int32_t row, int32_t column, void* device);

}  // namespace tw::host
