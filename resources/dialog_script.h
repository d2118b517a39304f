// The dialog templates of the resource script, written from the layout tables in
// ui/dialog_layout.h so that each control's class, rectangle and style is said only there.
// The build's resource generator writes the text to dialogs.rc, which Tarnwell.rc includes.
#pragma once

#include <span>
#include <string>

#include "ui/dialog_layout.h"

namespace tw::resources {

// One DIALOGEX statement for `dialog`, with one CONTROL line per control in table order
// (which is the Tab order).
std::string DialogTemplateScript(const DialogTemplate& dialog);

// Every template, with the preprocessor lines the resource compiler needs first.
std::string DialogScript(std::span<const DialogTemplate* const> dialogs);

}  // namespace tw::resources
