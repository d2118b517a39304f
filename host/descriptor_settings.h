// Parameters as an editor records them: `--set LABEL=VALUE` settings and whole records
// (from a settings file or the dice) turned into the descriptor items a recorded action
// carries, so that `tarnwell apply` hands them to the plug-in the way an editor replays an
// action. The labels and values are read by the one parser of params/parameter_text.h.
#pragma once

#include <string>

#include "host/descriptor.h"
#include "params/render_params.h"

namespace tw::host {

// Adds one "label=value" setting as the keys an editor would record for it: a slider's
// float key, the 8-bit and full-colour keys of a colour, 'GLUE', and so on; an alias of one
// component ("Pick X") adds that component's key only. A later setting of the same key
// replaces the earlier one. False with the parser's one-line reason; `descriptor` is then
// unchanged.
bool AddSetting(Descriptor& descriptor, const std::string& assignment, std::string& error);
// Adds every parameter of `params` as the keys the plug-in itself records, so the plug-in
// renders exactly that record: how a settings file or random settings reach it.
void AddParameters(Descriptor& descriptor, const RenderParams& params);

}  // namespace tw::host
