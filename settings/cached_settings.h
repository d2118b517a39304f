// The settings of the last applied run, kept in "Tarnwell cached settings D" in the
// temporary folder so that the next start of the plug-in opens with them.
//
// The shell calls LoadCachedSettings at every start unless the host supplies recorded
// (scripted) parameters (hosts signed 'PSP8' or 'PSP9' always load it), and
// SaveCachedSettings once a run that applied the filter has been rendered into the host
// (the dialog ended with OK, or no dialog was shown) — never after Cancel or an error.
#pragma once

#include <string>

#include "params/render_params.h"

namespace tw {

std::string CachedSettingsPath();

// Reads the cached file on top of `params` (a full read: every field the file holds, then
// the legacy upgrade). False, leaving `params` alone, when there is no readable file, as
// on a first start.
bool LoadCachedSettings(RenderParams& params);

// Writes `params` without a picture. Like every write of the record it refreshes the
// legacy mirrors and sets `version` to 45. False when the file cannot be written.
bool SaveCachedSettings(RenderParams& params);

}  // namespace tw
