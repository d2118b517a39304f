#include "params/parameter_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "params/blend_mode_names.h"
#include "params/name_matching.h"
#include "params/settings_precision.h"

namespace tw {
namespace {

std::string_view Trim(std::string_view s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t comma = text.find(',');
        parts.push_back(Trim(text.substr(0, comma)));
        if (comma == std::string_view::npos) return parts;
        text.remove_prefix(comma + 1);
    }
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

bool ParseWhole(std::string_view text, double min, double max, double& value) {
    return ParseNumber(text, value) && value == std::floor(value) && value >= min && value <= max;
}

// ---- Values by kind -------------------------------------------------------------------------
// Each reads `text` into `values` (one per component); false when the text is not a value of
// the row. Nothing is stored until the whole value has been read.

using Values = double[3];

bool ReadStyle(std::string_view text, Values& values) {
    for (const StyleName& style : kStyleNames)
        if (NormaliseName(text) == style.name || text == std::to_string(style.value)) {
            values[0] = style.value;
            return true;
        }
    return false;
}

bool ReadColour(std::string_view text, Values& values) {
    Rgb16 colour;
    if (!ParseColour(text, colour)) return false;
    values[0] = colour.r;
    values[1] = colour.g;
    values[2] = colour.b;
    return true;
}

bool ReadNumbers(std::string_view text, const ParameterInfo& row, Values& values) {
    const std::vector<std::string_view> parts = SplitCommas(text);
    if (parts.size() != size_t(row.components)) return false;
    for (int c = 0; c < row.components; ++c)
        if (!ParseNumber(parts[size_t(c)], values[c]) || values[c] < row.min || values[c] > row.max) return false;
    return true;
}

// Any direction but none, made a unit vector as the dialog's direction pad makes it.
bool ReadDirection(std::string_view text, Values& values) {
    const std::vector<std::string_view> parts = SplitCommas(text);
    if (parts.size() != 3) return false;
    for (int c = 0; c < 3; ++c)
        if (!ParseNumber(parts[size_t(c)], values[c])) return false;
    const double length = std::sqrt(values[0] * values[0] + values[1] * values[1] + values[2] * values[2]);
    if (!std::isfinite(length) || !(length > 1e-9)) return false;
    for (int c = 0; c < 3; ++c) values[c] = float(values[c] / length);
    return true;
}

bool ReadValue(const ParameterTarget& target, std::string_view text, Values& values) {
    const ParameterInfo& row = *target.parameter;
    if (target.component >= 0) {
        double v = 0;
        if (!ParseNumber(text, v) || v < row.min || v > row.max) return false;
        values[target.component] = v;
        return true;
    }
    switch (row.kind) {
    case ParameterKind::kSlider: return ReadNumbers(text, row, values);
    case ParameterKind::kSeed: return ParseWhole(text, row.min, row.max, values[0]);
    case ParameterKind::kStyle: return ReadStyle(text, values);
    case ParameterKind::kGlue: {
        const std::optional<int> mode = parseBlendMode(text);
        if (mode) values[0] = *mode;
        return mode.has_value();
    }
    case ParameterKind::kColour: return ReadColour(text, values);
    case ParameterKind::kPoint: return ReadNumbers(text, row, values);
    case ParameterKind::kDirection: return ReadDirection(text, values);
    }
    return false;
}

std::string UnknownLabel(std::string_view label) {
    const std::string typed = NormaliseName(label);
    struct Candidate {
        size_t distance;
        const char* name;
    };
    std::vector<Candidate> found;
    auto consider = [&](const char* name) {
        const size_t distance = NameDistance(typed, NormaliseName(name));
        if (!typed.empty() && CloseEnough(distance, typed.size())) found.push_back({distance, name});
    };
    for (const ParameterInfo& row : kParameters) {
        consider(row.label);
        for (const ParameterAlias& alias : row.aliases)
            if (alias.name) consider(alias.name);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.distance < b.distance; });
    std::vector<std::string> close;
    for (size_t i = 0; i < found.size() && i < 3; ++i) close.emplace_back(found[i].name);
    return "unknown setting \"" + std::string(label) + "\"" + DidYouMean(close) + " (labels: " + ParameterLabels() +
           ")";
}

// ---- Help -------------------------------------------------------------------------------

struct HelpEntry {
    std::string names, form;
};

void AddHelpEntry(std::vector<HelpEntry>& entries, const std::string& name, const std::string& form) {
    for (HelpEntry& entry : entries)
        if (entry.form == form) {
            entry.names += ", " + name;
            return;
        }
    entries.push_back({name, form});
}

// Words of `text` after `indent`, wrapped within 79 columns; later lines indented 4 more.
std::string Wrapped(std::string_view indent, const std::string& text) {
    std::string out, line(indent);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (line.size() > indent.size() + 4 && line.size() + 1 + word.size() > 79) {
            out += line + "\n";
            line = std::string(indent) + "    ";
        } else if (line.size() > indent.size() && line.back() != ' ') {
            line += ' ';
        }
        line += word;
        start = end + 1;
    }
    return out + line + "\n";
}

}  // namespace

ParameterTarget FindParameter(std::string_view label) {
    const std::string key = NormaliseName(label);
    for (const ParameterInfo& row : kParameters) {
        if (NormaliseName(row.label) == key) return {&row, -1, row.label};
        for (const ParameterAlias& alias : row.aliases)
            if (alias.name && NormaliseName(alias.name) == key) return {&row, alias.component, alias.name};
    }
    return {};
}

bool SetParameterValue(RenderParams& params, const ParameterTarget& target, std::string_view value,
                       std::string& error) {
    const ParameterInfo& row = *target.parameter;
    Values values{};
    const std::string_view text = Trim(value);
    if (!ReadValue(target, text, values)) {
        error = std::string(target.name) + " must be " + ValueForm(target) + ", not \"" + std::string(value) + "\"";
        if (row.kind == ParameterKind::kGlue && target.component < 0) error += DidYouMean(closeBlendModeNames(text));
        return false;
    }
    for (int c = 0; c < row.components; ++c)
        if (target.component < 0 || target.component == c) SetParameterComponent(params, row, c, values[c]);
    RoundToSettingsPrecision(params);  // what renders is what a saved file keeps
    return true;
}

bool SetParameterText(RenderParams& params, std::string_view assignment, ParameterTarget& target,
                      std::string& error) {
    const size_t eq = assignment.find('=');
    if (eq == std::string_view::npos) {
        error = "a setting is written label=value, not \"" + std::string(assignment) + "\"";
        return false;
    }
    const std::string_view label = Trim(assignment.substr(0, eq));
    target = FindParameter(label);
    if (!target.parameter) {
        error = UnknownLabel(label);
        return false;
    }
    return SetParameterValue(params, target, assignment.substr(eq + 1), error);
}

std::string ValueForm(const ParameterTarget& target) {
    const ParameterInfo& row = *target.parameter;
    const std::string range = "from " + Number(row.min) + " to " + Number(row.max);
    if (target.component >= 0) return "one number of " + std::string(row.label) + ", " + range;
    switch (row.kind) {
    case ParameterKind::kSlider: return "a number " + range;
    case ParameterKind::kSeed: return "a whole number " + range;
    case ParameterKind::kStyle: {
        std::string form;
        for (const StyleName& style : kStyleNames)
            form += (form.empty() ? "" : " or ") + std::string(style.name) + " (" + std::to_string(style.value) + ")";
        return form;
    }
    case ParameterKind::kGlue: return "a mode name (see 'tarnwell blend --list') or a number " + range;
    case ParameterKind::kColour: return "r,g,b with each component from 0 to 255, #rrggbb, or #rrrrggggbbbb";
    case ParameterKind::kPoint:
        return "x,y with each a fraction of the picture " + range + " (kept in steps of 1/65536)";
    case ParameterKind::kDirection: return "a direction x,y,z of three numbers, not all zero (kept in hundredths)";
    }
    return "";
}

std::string ParameterLabels() {
    std::string labels;
    for (const ParameterInfo& row : kParameters) labels += (labels.empty() ? "" : ", ") + std::string(row.label);
    return labels;
}

std::string ParameterHelp(std::string_view indent) {
    std::vector<HelpEntry> entries;
    for (const ParameterInfo& row : kParameters) {
        std::string name = row.label;
        for (const ParameterAlias& alias : row.aliases)
            if (alias.name && alias.component < 0) name += " (or " + std::string(alias.name) + ")";
        AddHelpEntry(entries, name, ValueForm({&row, -1, row.label}));
        for (const ParameterAlias& alias : row.aliases)
            if (alias.name && alias.component >= 0)
                AddHelpEntry(entries, alias.name, ValueForm({&row, alias.component, alias.name}));
    }
    std::string help;
    for (const HelpEntry& entry : entries) help += Wrapped(indent, entry.names + ": " + entry.form);
    return help;
}

bool ParseNumber(std::string_view text, double& value) {
    const std::string t(Trim(text));
    if (t.empty()) return false;
    char* end = nullptr;
    value = std::strtod(t.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

bool ParseColour(std::string_view text, Rgb16& colour) {
    const std::string_view t = Trim(text);
    uint16_t v[3];
    if (!t.empty() && t[0] == '#') {
        const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
        if ((t.size() != 7 && t.size() != 13) || !std::all_of(t.begin() + 1, t.end(), hex)) return false;
        const size_t digits = (t.size() - 1) / 3;
        for (size_t i = 0; i < 3; ++i) {
            const unsigned long n = std::strtoul(std::string(t.substr(1 + i * digits, digits)).c_str(), nullptr, 16);
            v[i] = uint16_t(digits == 2 ? n << 8 : n);
        }
    } else {
        const std::vector<std::string_view> parts = SplitCommas(t);
        if (parts.size() != 3) return false;
        for (size_t i = 0; i < 3; ++i) {
            double c = 0;
            if (!ParseWhole(parts[i], 0, 255, c)) return false;
            v[i] = uint16_t(int(c) << 8);
        }
    }
    colour = {v[0], v[1], v[2]};
    return true;
}

}  // namespace tw
