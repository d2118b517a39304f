// The GIMP front end's one view of the filter's parameters: the procedure's arguments, the
// dialog's rows, the plain settings and the recorded action that hands a record to the
// plug-in. Everything here comes from the parameter table beside RenderParams and from the
// host's descriptor code; no other file of the front end reads either, so a change of the
// table is followed here alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/descriptor.h"
#include "params/render_params.h"

namespace tw::gimp {

// ---- The procedure ---------------------------------------------------------------------------

// What kind of value a procedure argument carries.
enum class ArgKind : uint8_t {
    kFloat,   // a slider, a ripple-centre fraction or a light component
    kInt,     // Style, Glue, Seed
    kColour,  // the water and glitter colours
    kText,    // the settings file
};

// One argument after run-mode, image and drawable, in the order the procedure takes them.
struct ProcedureArg {
    ArgKind kind;
    std::string name;         // the procedure's name for it: "horizon", "center-x"
    std::string description;  // label, range and plain value, for the procedure browser
};
const std::vector<ProcedureArg>& ProcedureArgs();

// A value as GIMP hands it over: the field of its kind is set.
struct ArgValue {
    double number = 0;       // kFloat
    int32_t integer = 0;     // kInt
    double rgb[3] = {0, 0, 0};  // kColour, each 0..1
    std::string text;        // kText
};

// The values of ProcedureArgs for `params`, so a script sees what a run would use.
std::vector<ArgValue> ArgsFromParams(const RenderParams& params);
// Turns the procedure's values into a parameter record on top of the plain settings.
// False with a message naming the parameter, its range and the value given when any is
// out of range, not a number, or of the wrong count. The settings file is not read here.
bool ParamsFromArgs(const std::vector<ArgValue>& values, RenderParams& params, std::string& error);
// The settings-file argument of `values` ("" when none was given).
std::string SettingsFileArg(const std::vector<ArgValue>& values);

// The procedure's help: what every argument means, with the 69 glue names.
std::string ProcedureHelp();

// The values of `params` as text, one "name value..." line per argument (colours as three
// fractions), exact to the bit, with the settings name last; and the way back, which checks
// every value as ParamsFromArgs does but keeps the light as it was written.
std::string ValuesText(const RenderParams& params);
bool ParamsFromValuesText(const std::string& text, RenderParams& params, std::string& error);

// ---- Records ---------------------------------------------------------------------------------

// A record holding exactly the plain settings, as a first start has.
RenderParams PlainParams();
// Sets the look back to the plain settings, keeping the name and working fields.
void ResetToPlain(RenderParams& params);
// The action that makes the plug-in render exactly `params`, as a recorded action does.
host::Descriptor ActionFor(const RenderParams& params);
// Sets `to` to the plain settings with exactly the values ActionFor hands over taken from
// `from`, so a preview renders what the applied run will render.
void CopyRenderedValues(const RenderParams& from, RenderParams& to);
// Values the plug-in would clamp are clamped here too, so the dialog shows what renders.
void ClampToRanges(RenderParams& params);

// ---- The dialog --------------------------------------------------------------------------------

// One slider row: its label, range, plain value and the digits the number shows.
struct SliderRow {
    int index;            // for SliderValue
    const char* label;
    double min, max, plain;
};
// The dialog's groups of sliders, in the order they are shown.
struct SliderGroup {
    const char* title;
    std::vector<SliderRow> rows;
};
std::vector<SliderGroup> SliderGroups();
float& SliderValue(RenderParams& params, int index);

struct StyleChoice {
    int32_t value;
    const char* label;
};
std::vector<StyleChoice> StyleChoices();     // Simple, Complex
std::vector<std::string> GlueNames();        // mode 1 first
int32_t MaxSeed();

}  // namespace tw::gimp
