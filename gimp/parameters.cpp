// The front end's adapter to the parameter table (kSliders and the plain values beside
// RenderParams), the glue-mode names and the host's descriptor building.
#include "gimp/parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/blend_modes.h"

namespace tw::gimp {
namespace {

// The sliders' groups as the Windows dialog shows them, by their table labels.
struct GroupLabels {
    const char* title;
    std::vector<const char*> labels;
};
const GroupLabels kGroups[] = {
    {"Water", {"Horizon", "Offset", "Perspective", "Altitude", "Spin"}},
    {"View", {"Waviness", "Complexity", "Brilliance", "Blur"}},
    {"Ripple", {"Size", "Height", "Undulation"}},
};

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string Range(double min, double max) { return "from " + Number(min) + " to " + Number(max); }

std::string LowerCase(const char* label) {
    std::string name(label);
    for (char& c : name) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

// The arguments after the sliders, in order.
enum Extra { kStyleArg, kGlueArg, kColorArg, kGlitterArg, kSeedArg, kCenterX, kCenterY,
             kLightX, kLightY, kLightZ, kSettingsArg, kExtraCount };

std::vector<ProcedureArg> BuildArgs() {
    std::vector<ProcedureArg> args;
    for (const SliderInfo& s : kSliders)
        args.push_back({ArgKind::kFloat, LowerCase(s.label),
                        std::string(s.label) + ", " + Range(s.min, s.max) + " (plain " + Number(s.plain) + ")"});
    args.push_back({ArgKind::kInt, "style", "Style: 1 simple (a displaced mirror), 2 complex (a ray-cast surface "
                                            "with glitter) (plain 2)"});
    args.push_back({ArgKind::kInt, "glue", "Glue: how the water is laid over the picture, 1 to " +
                                               std::to_string(kGlueModeCount) +
                                               " (plain 1, normal; the names are in the help)"});
    args.push_back({ArgKind::kColour, "color", "Color: the water's colour"});
    args.push_back({ArgKind::kColour, "glitter", "Glitter: the glitter's colour (complex style)"});
    args.push_back({ArgKind::kInt, "seed", "Seed: the ripple pattern, 0 to " + std::to_string(kMaxSeed) +
                                               " (plain " + std::to_string(kPlainSeed) + ")"});
    args.push_back({ArgKind::kFloat, "center-x", "Center x: the ripple centre as a fraction of the width, 0 to 1 "
                                                 "(plain " + Number(kPlainPickX) + ")"});
    args.push_back({ArgKind::kFloat, "center-y", "Center y: the ripple centre as a fraction of the height, 0 to 1 "
                                                 "(plain " + Number(kPlainPickY) + ")"});
    args.push_back({ArgKind::kFloat, "light-x", "Light x: the light's direction, right (any length, not all zero)"});
    args.push_back({ArgKind::kFloat, "light-y", "Light y: the light's direction, down"});
    args.push_back({ArgKind::kFloat, "light-z", "Light z: the light's direction, towards the viewer"});
    args.push_back({ArgKind::kText, "settings-file", "A settings file (*.q8r) whose values are used instead of "
                                                     "all the others; empty for none"});
    return args;
}

uint16_t Word(double fraction) { return uint16_t(std::lround(std::clamp(fraction, 0.0, 1.0) * 65535.0)); }

bool TakeColour(const ArgValue& v, const char* label, Rgb16& colour, std::string& error) {
    for (double c : v.rgb)
        if (!std::isfinite(c) || c < 0 || c > 1) {
            error = std::string(label) + " must be a colour with each component from 0 to 1, not " + Number(c);
            return false;
        }
    colour = Rgb16{Word(v.rgb[0]), Word(v.rgb[1]), Word(v.rgb[2])};
    return true;
}

bool TakeFraction(double v, const char* label, float& field, std::string& error) {
    if (!std::isfinite(v) || v < 0 || v > 1) {
        error = std::string(label) + " must be a fraction of the picture from 0 to 1, not " + Number(v);
        return false;
    }
    field = float(v);
    return true;
}

bool TakeLight(const ArgValue* v, RenderParams& p, bool exact, std::string& error) {
    double xyz[3];
    bool ok = true;
    for (int i = 0; i < 3; ++i) {
        xyz[i] = v[i].number;
        ok = ok && std::isfinite(xyz[i]) && std::fabs(xyz[i]) <= 1e6;
    }
    const double length = ok ? std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1] + xyz[2] * xyz[2]) : 0.0;
    if (!(length > 1e-9)) {
        error = "Light must be a direction x, y, z of three numbers, not all zero, not " + Number(xyz[0]) + ", " +
                Number(xyz[1]) + ", " + Number(xyz[2]);
        return false;
    }
    // The renderer expects a unit vector, as the dialog's direction pad makes. One that is
    // already unit length (the plain light, or last values handed back) is kept to the bit,
    // so it renders exactly as the record it came from.
    const bool unit = exact || std::fabs(length - 1) < 1e-6;
    for (int i = 0; i < 3; ++i) p.light_dir[i] = float(unit ? xyz[i] : xyz[i] / length);
    return true;
}

}  // namespace

const std::vector<ProcedureArg>& ProcedureArgs() {
    static const std::vector<ProcedureArg> args = BuildArgs();
    return args;
}

std::vector<ArgValue> ArgsFromParams(const RenderParams& params) {
    std::vector<ArgValue> values(ProcedureArgs().size());
    for (int i = 0; i < kSliderCount; ++i) values[size_t(i)].number = params.*kSliders[i].field;
    ArgValue* extra = values.data() + kSliderCount;
    extra[kStyleArg].integer = params.style == kStyleSimple ? kStyleSimple : kStyleComplex;
    extra[kGlueArg].integer = params.glue_mode;
    const Rgb16* colours[2] = {&params.color, &params.glitter_color};
    for (int c = 0; c < 2; ++c) {
        extra[kColorArg + c].rgb[0] = colours[c]->r / 65535.0;
        extra[kColorArg + c].rgb[1] = colours[c]->g / 65535.0;
        extra[kColorArg + c].rgb[2] = colours[c]->b / 65535.0;
    }
    extra[kSeedArg].integer = params.seed;
    extra[kCenterX].number = params.pick_x;
    extra[kCenterY].number = params.pick_y;
    for (int i = 0; i < 3; ++i) extra[kLightX + i].number = params.light_dir[i];
    return values;
}

namespace {

// The procedure's values into a record; with `exact` the light is kept as given.
bool FromArgs(const std::vector<ArgValue>& values, bool exact, RenderParams& params, std::string& error) {
    if (values.size() != ProcedureArgs().size()) {
        error = "the procedure takes " + std::to_string(ProcedureArgs().size()) + " filter values after the "
                "drawable, not " + std::to_string(values.size());
        return false;
    }
    RenderParams p = PlainParams();
    for (int i = 0; i < kSliderCount; ++i) {
        const SliderInfo& s = kSliders[i];
        const double v = values[size_t(i)].number;
        if (!std::isfinite(v) || v < s.min || v > s.max) {
            error = std::string(s.label) + " must be a number " + Range(s.min, s.max) + ", not " + Number(v);
            return false;
        }
        p.*s.field = float(v);
    }
    const ArgValue* extra = values.data() + kSliderCount;
    const int32_t style = extra[kStyleArg].integer;
    if (style != kStyleSimple && style != kStyleComplex) {
        error = "Style must be 1 (simple) or 2 (complex), not " + std::to_string(style);
        return false;
    }
    p.style = style;
    const int32_t glue = extra[kGlueArg].integer;
    if (glue < 1 || glue > kGlueModeCount) {
        error = "Glue must be a mode from 1 to " + std::to_string(kGlueModeCount) + ", not " + std::to_string(glue) +
                " (the procedure's help lists the names)";
        return false;
    }
    p.glue_mode = glue;
    if (!TakeColour(extra[kColorArg], "Color", p.color, error) ||
        !TakeColour(extra[kGlitterArg], "Glitter", p.glitter_color, error))
        return false;
    const int32_t seed = extra[kSeedArg].integer;
    if (seed < 0 || seed > kMaxSeed) {
        error = "Seed must be a whole number from 0 to " + std::to_string(kMaxSeed) + ", not " + std::to_string(seed);
        return false;
    }
    p.seed = seed;
    if (!TakeFraction(extra[kCenterX].number, "Center x", p.pick_x, error) ||
        !TakeFraction(extra[kCenterY].number, "Center y", p.pick_y, error) ||
        !TakeLight(extra + kLightX, p, exact, error))
        return false;
    params = p;
    return true;
}

}  // namespace

bool ParamsFromArgs(const std::vector<ArgValue>& values, RenderParams& params, std::string& error) {
    return FromArgs(values, false, params, error);
}

std::string ValuesText(const RenderParams& params) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    const std::vector<ArgValue> values = ArgsFromParams(params);
    std::string text;
    char number[40];
    for (size_t i = 0; i < args.size(); ++i) {
        const ArgValue& v = values[i];
        if (args[i].kind == ArgKind::kText) continue;  // a settings file is never part of a record
        text += args[i].name;
        if (args[i].kind == ArgKind::kColour) {
            for (double c : v.rgb) {
                std::snprintf(number, sizeof number, " %.17g", c);
                text += number;
            }
        } else if (args[i].kind == ArgKind::kInt) {
            std::snprintf(number, sizeof number, " %d", int(v.integer));
            text += number;
        } else {
            std::snprintf(number, sizeof number, " %.9g", v.number);  // every float to the bit
            text += number;
        }
        text += "\n";
    }
    text += "name ";
    text += params.settings_name;
    text += '\n';
    return text;
}

bool ParamsFromValuesText(const std::string& text, RenderParams& params, std::string& error) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    std::vector<ArgValue> values(args.size());
    std::vector<bool> seen(args.size(), false);
    std::string name = "plain settings";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "name") {
            name = rest;
            continue;
        }
        size_t i = 0;
        while (i < args.size() && args[i].name != key) ++i;
        if (i == args.size() || args[i].kind == ArgKind::kText) {
            error = "unknown value \"" + key + "\"";
            return false;
        }
        ArgValue& v = values[i];
        const char* at = rest.c_str();
        char* next = nullptr;
        const int count = args[i].kind == ArgKind::kColour ? 3 : 1;
        double numbers[3] = {0, 0, 0};
        for (int n = 0; n < count; ++n) {
            numbers[n] = std::strtod(at, &next);
            if (next == at) {
                error = "\"" + key + "\" has no number";
                return false;
            }
            at = next;
        }
        v.number = numbers[0];
        v.integer = int32_t(numbers[0]);
        for (int n = 0; n < 3; ++n) v.rgb[n] = numbers[n];
        seen[i] = true;
    }
    for (size_t i = 0; i < args.size(); ++i)
        if (!seen[i] && args[i].kind != ArgKind::kText) {  // a record has every value
            error = "no value for \"" + args[i].name + "\"";
            return false;
        }
    RenderParams p{};
    if (!FromArgs(values, true, p, error)) return false;
    SetText(p.settings_name, name.c_str());
    params = p;
    return true;
}

std::string SettingsFileArg(const std::vector<ArgValue>& values) {
    const size_t at = size_t(kSliderCount + kSettingsArg);
    return at < values.size() ? values[at].text : std::string();
}

std::string ProcedureHelp() {
    std::string help =
        "Draws lying water below a horizon: the drawable reflected in water seen from an altitude, with "
        "waves, ripples round a centre, light, glitter and 69 ways to lay the water over the picture. "
        "The real Tarnwell plug-in module renders it, as the tarnwell command does; only the selection "
        "changes. The values are the dialog's, by its labels. With a settings file (*.q8r) its values "
        "are used instead. Glue modes: ";
    const std::vector<std::string> names = GlueNames();
    for (size_t i = 0; i < names.size(); ++i) help += (i ? ", " : "") + std::to_string(i + 1) + " " + names[i];
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
    for (const SliderInfo& s : kSliders) to.*s.field = from.*s.field;
    to.color = from.color;
    to.glitter_color = from.glitter_color;
    to.glue_mode = from.glue_mode;
    to.seed = from.seed;
    to.pick_x = from.pick_x;
    to.pick_y = from.pick_y;
    std::memcpy(to.light_dir, from.light_dir, sizeof to.light_dir);
    to.style = from.style;
}

void ClampToRanges(RenderParams& p) {
    for (const SliderInfo& s : kSliders) {
        float& v = p.*s.field;
        v = std::isfinite(v) ? std::clamp(v, s.min, s.max) : s.plain;
    }
    if (p.style != kStyleSimple) p.style = kStyleComplex;  // what the renderer does with others
    if (p.glue_mode < 1 || p.glue_mode > kGlueModeCount) p.glue_mode = 1;
    p.seed = std::clamp(p.seed, 0, kMaxSeed);
    p.pick_x = std::isfinite(p.pick_x) ? std::clamp(p.pick_x, 0.0f, 1.0f) : kPlainPickX;
    p.pick_y = std::isfinite(p.pick_y) ? std::clamp(p.pick_y, 0.0f, 1.0f) : kPlainPickY;
    const float* l = p.light_dir;
    const float length = std::sqrt(l[0] * l[0] + l[1] * l[1] + l[2] * l[2]);
    if (!std::isfinite(length) || !(length > 1e-6f)) std::memcpy(p.light_dir, kPlainLightDir, sizeof p.light_dir);
}

std::vector<SliderGroup> SliderGroups() {
    std::vector<SliderGroup> groups;
    for (const GroupLabels& wanted : kGroups) {
        SliderGroup group{wanted.title, {}};
        for (const char* label : wanted.labels) {
            const SliderInfo* s = FindSlider(label);
            if (s == nullptr) continue;
            group.rows.push_back({int(s - kSliders), s->label, s->min, s->max, s->plain});
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

float& SliderValue(RenderParams& params, int index) { return params.*kSliders[index].field; }

std::vector<StyleChoice> StyleChoices() { return {{kStyleSimple, "Simple"}, {kStyleComplex, "Complex"}}; }

std::vector<std::string> GlueNames() {
    std::vector<std::string> names;
    for (int mode = 1; mode <= kGlueModeCount; ++mode) names.emplace_back(blendModeName(mode));
    return names;
}

int32_t MaxSeed() { return kMaxSeed; }

}  // namespace tw::gimp
