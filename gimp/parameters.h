// The GIMP front end's one view of the filter's parameters: the procedure's arguments, the
// dialog's groups of controls, the plain settings and the recorded action that hands a
// record to the plug-in. Everything here is built from the rows of the parameter table
// (params/parameter_table.h) and checked by its one parser (params/parameter_text.h), so a
// new row reaches the procedure and the dialog without a change here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/descriptor.h"
#include "params/parameter_table.h"
#include "params/render_params.h"

namespace tw::gimp {

// ---- The procedure ---------------------------------------------------------------------------

// What kind of value a procedure argument carries.
enum class ArgKind : uint8_t {
    kFloat,   // a slider, or one number of the ripple centre or the light
    kInt,     // Style, Glue, Seed
    kColour,  // a colour
    kText,    // the settings file
};

// One argument after run-mode, image and drawable, in the order the procedure takes them:
// one per table row in table order (the ripple centre and the light one per number), then
// the settings file.
struct ProcedureArg {
    ArgKind kind;
    std::string name;         // the row's label in lower case: "horizon", "center-x"
    std::string description;  // label, what it does, range and plain value
    const ParameterInfo* row;  // null for the settings file
    int component;             // the number of the row it carries; -1 for the whole value
};
const std::vector<ProcedureArg>& ProcedureArgs();

// A value as GIMP hands it over: the field of its kind is set.
struct ArgValue {
    double number = 0;          // kFloat
    int32_t integer = 0;        // kInt
    double rgb[3] = {0, 0, 0};  // kColour, each 0..1
    std::string text;           // kText
};

// The values of ProcedureArgs for `params`, so a script sees what a run would use.
std::vector<ArgValue> ArgsFromParams(const RenderParams& params);
// Turns the procedure's values into a parameter record on top of the plain settings, each
// checked by the command line's parser and kept in the precision a settings file keeps (the
// light in hundredths, the centre in 1/65536), as `--set` keeps them: a bad value gets the
// message `--set` gives for it ("Horizon must be a number from 0 to 100, not "150""), naming
// the glue's and the colours' GIMP forms where those differ. `params` is unchanged on
// failure. The settings file is not read here.
bool ParamsFromArgs(const std::vector<ArgValue>& values, RenderParams& params, std::string& error);
// The settings-file argument of `values` ("" when none was given).
std::string SettingsFileArg(const std::vector<ArgValue>& values);

// The procedure's help: what it does, with the glue modes by number and name.
std::string ProcedureHelp();

// ---- Records ---------------------------------------------------------------------------------

// A record holding exactly the plain settings, as a first start has.
RenderParams PlainParams();
// Sets the look back to the plain settings, keeping the name and working fields.
void ResetToPlain(RenderParams& params);
// The action that makes the plug-in render exactly `params`, as a recorded action does.
host::Descriptor ActionFor(const RenderParams& params);
// Sets `to` to the plain settings with every row's value taken from `from`, so a preview
// renders what the applied run will render.
void CopyRenderedValues(const RenderParams& from, RenderParams& to);
// Values the plug-in would not render as they are become the ones it renders (an unknown
// style is the simple one), in the precision a settings file keeps, so the dialog shows
// what renders.
void ClampToRanges(RenderParams& params);

// ---- The dialog --------------------------------------------------------------------------------

// One frame of the dialog and the rows it shows, in table order. The sliders fall into
// their frames by their place in the table; the other rows join the frame of what they
// shape (the style, the colours and the light the view; the seed and the centre the
// ripple); the glue has a row of its own without a frame (title null). Every row of the
// table is in exactly one group.
struct DialogGroup {
    const char* title;
    std::vector<const ParameterInfo*> rows;
};
std::vector<DialogGroup> DialogGroups();

// The row's tooltip: what it does, from the table.
std::string Tooltip(const ParameterInfo& row);

struct StyleChoice {
    int32_t value;
    std::string label;  // "Simple"
};
std::vector<StyleChoice> StyleChoices();
// The glue modes' names, the glue row's first mode first.
std::vector<std::string> GlueNames();

// The one row of a kind (the first, for the colours); never null for a kind in the table.
const ParameterInfo& RowOfKind(ParameterKind kind);

}  // namespace tw::gimp
