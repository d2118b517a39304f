// Parameters as text: the one parser behind every `--set LABEL=VALUE` of the command line
// (apply, export-psd, settings save) and the help lines that say what it accepts. Labels
// are the table's (params/parameter_table.h) and their aliases; letter case, spaces,
// underscores and word-joining hyphens do not matter ("pick_x", "Pick-X", "PICK X").
#pragma once

#include <string>
#include <string_view>

#include "params/parameter_table.h"

namespace tw {

// What a label names: a row, and the one component an alias such as "Pick X" stands for.
struct ParameterTarget {
    const ParameterInfo* parameter = nullptr;  // null: the label names nothing
    int component = -1;                        // -1: the whole value
    const char* name = nullptr;                // the label or alias, as the table spells it
};

// The parameter a label or alias names.
ParameterTarget FindParameter(std::string_view label);

// Sets one parameter from "LABEL=VALUE". On success `params` holds the new value, in the
// precision a settings file keeps it (params/settings_precision.h), and `target` says what
// was set. On failure `params` is unchanged and `error` is one line: the
// form and range the label takes, or for an unknown label the close ones and all of them.
bool SetParameterText(RenderParams& params, std::string_view assignment, ParameterTarget& target,
                      std::string& error);
// The same for a label already found.
bool SetParameterValue(RenderParams& params, const ParameterTarget& target, std::string_view value,
                       std::string& error);

// What a target's value may be, for messages and help: "a number from 0 to 100".
std::string ValueForm(const ParameterTarget& target);
// Every label in table order, comma-separated.
std::string ParameterLabels();
// Lines for a command's --help: the labels and aliases grouped by the values they take,
// each line starting with `indent` and kept within 79 columns.
std::string ParameterHelp(std::string_view indent);

// A finite decimal number with nothing but spaces around it.
bool ParseNumber(std::string_view text, double& value);
// "r,g,b" with whole components 0..255 or "#rrggbb" (8-bit components, stored as v * 256),
// or "#rrrrggggbbbb" (16-bit components as they are).
bool ParseColour(std::string_view text, Rgb16& colour);

}  // namespace tw
