// The front end's adapter to the parameter table, its parser and the host's descriptor
// building.
#include "gimp/parameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "host/descriptor_settings.h"
#include "params/blend_mode_names.h"
#include "params/parameter_text.h"
#include "params/settings_precision.h"

namespace tw::gimp {
namespace {

// The shortest text that reads back as exactly `v` ("0.2", not "0.20000000000000001").
std::string Shortest(double v) {
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end.ptr);
}

// The same for a float, which the parser reads as a double and the record stores as a float
// again, to the same bits ("0.2" for 0.2f, not "0.20000000298023224").
std::string Shortest(float v) {
    char text[32];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end.ptr);
}

// Rows whose components the record stores as floats.
bool StoredAsFloat(const ParameterInfo& row) {
    return row.kind == ParameterKind::kSlider || row.kind == ParameterKind::kPoint ||
           row.kind == ParameterKind::kDirection;
}

// A component as the shortest exact text, and as the double that text means.
std::string ComponentText(const RenderParams& p, const ParameterInfo& row, int c) {
    const double v = ParameterComponent(p, row, c);
    return StoredAsFloat(row) ? Shortest(float(v)) : Shortest(v);
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string LowerName(const char* label) {
    std::string name(label);
    for (char& c : name) c = c == ' ' ? '-' : char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

constexpr char kAxis[3] = {'x', 'y', 'z'};

// Rows whose value is several plain numbers take one argument per number; the others one.
bool OneArgPerComponent(const ParameterInfo& row) {
    return row.kind == ParameterKind::kPoint || row.kind == ParameterKind::kDirection;
}

ArgKind KindOf(const ParameterInfo& row) {
    switch (row.kind) {
        case ParameterKind::kSlider:
        case ParameterKind::kPoint:
        case ParameterKind::kDirection: return ArgKind::kFloat;
        case ParameterKind::kStyle:
        case ParameterKind::kGlue:
        case ParameterKind::kSeed: return ArgKind::kInt;
        case ParameterKind::kColour: return ArgKind::kColour;
    }
    return ArgKind::kFloat;
}

std::string StyleList() {
    std::string list;
    for (const StyleName& style : kStyleNames)
        list += (list.empty() ? "" : ", ") + std::to_string(style.value) + " " + style.name;
    return list;
}

// The plain colour as GIMP's colour selector shows it: 0..255 per component (65535 / 255 = 257).
std::string PlainColour(const ParameterInfo& row) {
    return Number(row.plain[0] / 257) + ", " + Number(row.plain[1] / 257) + ", " + Number(row.plain[2] / 257);
}

// What the procedure browser says about one argument.
std::string Describe(const ParameterInfo& row, int component) {
    std::string text = row.label;
    if (component >= 0) text += std::string(" ") + kAxis[component];
    text += ": " + std::string(row.summary) + "; ";
    const std::string range = "from " + Number(row.min) + " to " + Number(row.max);
    switch (row.kind) {
        case ParameterKind::kSlider: return text + "a number " + range + " (plain " + Number(row.plain[0]) + ")";
        case ParameterKind::kStyle: return text + StyleList() + " (plain " + Number(row.plain[0]) + ")";
        case ParameterKind::kGlue:
            return text + "a mode number " + range + ", named in the procedure's help (plain " +
                   Number(row.plain[0]) + ", " + blendModeName(int(row.plain[0])) + ")";
        case ParameterKind::kColour: return text + "plain " + PlainColour(row) + " of 255";
        case ParameterKind::kSeed: return text + "a whole number " + range + " (plain " + Number(row.plain[0]) + ")";
        case ParameterKind::kPoint:
            return text + std::string(1, kAxis[component]) + " as a fraction " + range + " (plain " +
                   Number(row.plain[component]) + ")";
        case ParameterKind::kDirection:
            return text + std::string(1, kAxis[component]) +
                   " of a direction of any length, not all zero (plain " + Number(row.plain[component]) + ")";
    }
    return text;
}

std::vector<ProcedureArg> BuildArgs() {
    std::vector<ProcedureArg> args;
    for (const ParameterInfo& row : kParameters) {
        if (!OneArgPerComponent(row)) {
            args.push_back({KindOf(row), LowerName(row.label), Describe(row, -1), &row, -1});
            continue;
        }
        for (int c = 0; c < row.components; ++c)
            args.push_back({KindOf(row), LowerName(row.label) + "-" + kAxis[c], Describe(row, c), &row, c});
    }
    args.push_back({ArgKind::kText, "settings-file",
                    "A settings file (*.q8r) whose values are used instead of all the others; empty for none",
                    nullptr, -1});
    return args;
}

// Sets a whole row from text through the command line's parser, with its messages.
bool SetRowText(RenderParams& p, const ParameterInfo& row, const std::string& text, std::string& error) {
    return SetParameterValue(p, ParameterTarget{&row, -1, row.label}, text, error);
}

// One row's arguments into `p`: the parser checks them as the command line's --set does.
bool TakeRow(const ParameterInfo& row, const ArgValue* v, RenderParams& p, std::string& error) {
    switch (row.kind) {
        case ParameterKind::kSlider: return SetRowText(p, row, Shortest(v[0].number), error);
        case ParameterKind::kStyle:
        case ParameterKind::kSeed: return SetRowText(p, row, std::to_string(v[0].integer), error);
        case ParameterKind::kGlue:
            // The parser would also take a name and points to the command line's list; a
            // script passes a number, and the procedure's help has the names.
            if (v[0].integer < row.min || v[0].integer > row.max) {
                error = std::string(row.label) + " must be a mode number from " + Number(row.min) + " to " +
                        Number(row.max) + " (the procedure's help names them), not \"" +
                        std::to_string(v[0].integer) + "\"";
                return false;
            }
            return SetRowText(p, row, std::to_string(v[0].integer), error);
        case ParameterKind::kColour: {
            // GIMP's colours are fractions; the record keeps 16-bit components.
            const double* rgb = v[0].rgb;
            for (int c = 0; c < 3; ++c)
                if (!std::isfinite(rgb[c]) || rgb[c] < 0 || rgb[c] > 1) {
                    error = std::string(row.label) + " must be r,g,b with each component from 0 to 1, not \"" +
                            Shortest(rgb[0]) + "," + Shortest(rgb[1]) + "," + Shortest(rgb[2]) + "\"";
                    return false;
                }
            for (int c = 0; c < 3; ++c) SetParameterComponent(p, row, c, std::lround(rgb[c] * 65535.0));
            return true;
        }
        case ParameterKind::kPoint:
        case ParameterKind::kDirection: {
            std::string text;
            for (int c = 0; c < row.components; ++c) {
                if (c > 0) text += ',';
                text += Shortest(v[c].number);
            }
            return SetRowText(p, row, text, error);
        }
    }
    return false;
}

std::string Capitalised(const char* text) {
    std::string s(text);
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = char(s[0] - 'a' + 'A');
    return s;
}

}  // namespace

const std::vector<ProcedureArg>& ProcedureArgs() {
    static const std::vector<ProcedureArg> args = BuildArgs();
    return args;
}

std::vector<ArgValue> ArgsFromParams(const RenderParams& params) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    std::vector<ArgValue> values(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        const ProcedureArg& a = args[i];
        if (a.row == nullptr) continue;
        switch (a.kind) {
            case ArgKind::kFloat:
                // The decimal a script would write, which comes back as the same float.
                values[i].number = std::strtod(ComponentText(params, *a.row, std::max(a.component, 0)).c_str(), nullptr);
                break;
            case ArgKind::kInt: values[i].integer = int32_t(ParameterComponent(params, *a.row, 0)); break;
            case ArgKind::kColour:
                for (int c = 0; c < 3; ++c) values[i].rgb[c] = ParameterComponent(params, *a.row, c) / 65535.0;
                break;
            case ArgKind::kText: break;
        }
    }
    return values;
}

bool ParamsFromArgs(const std::vector<ArgValue>& values, RenderParams& params, std::string& error) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    if (values.size() != args.size()) {
        error = "the procedure takes " + std::to_string(args.size()) + " filter values after the drawable, not " +
                std::to_string(values.size());
        return false;
    }
    RenderParams p = PlainParams();
    for (size_t i = 0; i < args.size(); ++i) {
        // Each row's arguments are side by side; the row is taken at its first.
        if (args[i].row == nullptr || args[i].component > 0) continue;
        if (!TakeRow(*args[i].row, &values[i], p, error)) return false;
    }
    params = p;
    return true;
}

std::string SettingsFileArg(const std::vector<ArgValue>& values) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    for (size_t i = 0; i < args.size() && i < values.size(); ++i)
        if (args[i].kind == ArgKind::kText) return values[i].text;
    return "";
}

std::string ProcedureHelp() {
    std::string help =
        "Draws lying water below a horizon: the drawable reflected in water seen from an altitude, with "
        "waves, ripples round a centre, light, glitter and " +
        std::to_string(kBlendModeCount) +
        " ways to lay the water over the picture. The real Tarnwell plug-in module renders it, as the "
        "tarnwell command does; only the selection changes. The values are the dialog's, by its labels. "
        "With a settings file (*.q8r) its values are used instead. " +
        std::string(RowOfKind(ParameterKind::kGlue).label) + " modes: ";
    const std::vector<std::string> names = GlueNames();
    const int first = int(RowOfKind(ParameterKind::kGlue).min);
    for (size_t i = 0; i < names.size(); ++i)
        help += (i ? ", " : "") + std::to_string(first + int(i)) + " " + names[i];
    return help + ".";
}

RenderParams PlainParams() {
    RenderParams p;
    std::memset(&p, 0, sizeof p);
    ResetParams(p);
    SetText(p.settings_name, "plain settings");
    return p;
}

void ResetToPlain(RenderParams& params) { SetPlainSettings(params); }

host::Descriptor ActionFor(const RenderParams& params) {
    host::Descriptor action;
    host::AddParameters(action, params);
    return action;
}

void CopyRenderedValues(const RenderParams& from, RenderParams& to) {
    SetPlainSettings(to);
    for (const ParameterInfo& row : kParameters)
        for (int c = 0; c < row.components; ++c) SetParameterComponent(to, row, c, ParameterComponent(from, row, c));
}

void ClampToRanges(RenderParams& p) {
    const ParameterInfo* light = nullptr;
    for (const ParameterInfo& row : kParameters) {
        switch (row.kind) {
            case ParameterKind::kSlider:
            case ParameterKind::kPoint:
                for (int c = 0; c < row.components; ++c) {
                    const double v = ParameterComponent(p, row, c);
                    SetParameterComponent(p, row, c, std::isfinite(v) ? std::clamp(v, double(row.min), double(row.max))
                                                                      : double(row.plain[c]));
                }
                break;
            case ParameterKind::kStyle: {
                // The renderer draws the complex style for its own value and the simple one
                // for any other.
                const double v = ParameterComponent(p, row, 0);
                if (v != double(kStyleComplex)) SetParameterComponent(p, row, 0, kStyleSimple);
                break;
            }
            case ParameterKind::kGlue: {
                const double v = ParameterComponent(p, row, 0);
                if (v < row.min || v > row.max) SetPlainValue(p, row);
                break;
            }
            case ParameterKind::kSeed:
                SetParameterComponent(p, row, 0, std::clamp(ParameterComponent(p, row, 0), double(row.min),
                                                            double(row.max)));
                break;
            case ParameterKind::kColour: break;  // every 16-bit value is a colour
            case ParameterKind::kDirection: light = &row; break;  // after the rounding below
        }
    }
    RoundToSettingsPrecision(p);
    // The light needs a length to be made unit length from, also in the hundredths a file
    // keeps it in; the plain light is already in them.
    if (light != nullptr) {
        double sum = 0;
        for (int c = 0; c < 3; ++c) sum += ParameterComponent(p, *light, c) * ParameterComponent(p, *light, c);
        if (!std::isfinite(sum) || !(std::sqrt(sum) > 1e-6)) SetPlainValue(p, *light);
    }
}

std::vector<DialogGroup> DialogGroups() {
    // The sliders from each of these to the next belong to one frame.
    struct Frame {
        const char* title;
        const char* first_slider;
    };
    static constexpr Frame kFrames[] = {{"Water", "Horizon"}, {"View", "Waviness"}, {"Ripple", "Size"}};
    std::vector<DialogGroup> groups;
    for (const Frame& frame : kFrames) groups.push_back({frame.title, {}});
    groups.push_back({nullptr, {}});  // the glue
    DialogGroup& view = groups[1];
    DialogGroup& ripple = groups[2];
    size_t frame = 0;
    for (const ParameterInfo& row : kParameters) {
        switch (row.kind) {
            case ParameterKind::kSlider:
                while (frame + 1 < std::size(kFrames) && std::strcmp(row.label, kFrames[frame + 1].first_slider) == 0)
                    ++frame;
                groups[frame].rows.push_back(&row);
                break;
            case ParameterKind::kStyle:
            case ParameterKind::kColour:
            case ParameterKind::kDirection: view.rows.push_back(&row); break;
            case ParameterKind::kSeed:
            case ParameterKind::kPoint: ripple.rows.push_back(&row); break;
            case ParameterKind::kGlue: groups.back().rows.push_back(&row); break;
        }
    }
    return groups;
}

std::string Tooltip(const ParameterInfo& row) { return Capitalised(row.summary); }

std::vector<StyleChoice> StyleChoices() {
    std::vector<StyleChoice> choices;
    for (const StyleName& style : kStyleNames) choices.push_back({style.value, Capitalised(style.name)});
    return choices;
}

std::vector<std::string> GlueNames() {
    const ParameterInfo& glue = RowOfKind(ParameterKind::kGlue);
    std::vector<std::string> names;
    for (int mode = int(glue.min); mode <= int(glue.max); ++mode) names.emplace_back(blendModeName(mode));
    return names;
}

const ParameterInfo& RowOfKind(ParameterKind kind) {
    for (const ParameterInfo& row : kParameters)
        if (row.kind == kind) return row;
    return kParameters[0];  // not reached: every kind has a row (the front end's tests check)
}

}  // namespace tw::gimp
