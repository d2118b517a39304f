// `tarnwell settings show FILE` and `tarnwell settings save FILE`: what the dialog's Load
// and Save do, without the dialog.
#include "host/settings_command.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "platform/big_endian.h"
#include "platform/platform.h"
#include "render/blend_modes.h"
#include "settings/picture.h"
#include "settings/settings_file.h"

namespace tw::host {
namespace {

const char kSettingsHelp[] =
    "Usage: tarnwell settings show FILE [--json]\n"
    "       tarnwell settings save FILE [--from FILE] [--set LABEL=VALUE ...] [--picture IMAGE]\n"
    "\n"
    "Reads or writes a Tarnwell settings file (*.q8r), the files the dialog's Load and\n"
    "Save buttons use.\n"
    "\n"
    "show  prints every value of FILE by its label in the dialog, as the plug-in would load\n"
    "      it (older files are brought up to date). --json prints one JSON object instead.\n"
    "save  writes FILE from the plain settings, or from the file given with --from (its\n"
    "      picture too), then applies each --set in order. --picture IMAGE makes the file's\n"
    "      picture from the centred square of IMAGE (PNG, JPEG or TIFF), as the dialog\n"
    "      makes it from its preview. FILE is written complete or not at all.\n"
    "\n"
    "Labels for --set (case, spaces, '-' and '_' do not matter):\n"
    "  Horizon Offset Perspective Altitude Waviness Complexity Brilliance Blur Size Height\n"
    "  Undulation   0 to 100          Spin     -90 to 90\n"
    "  Style        Simple or Complex (or 1, 2)\n"
    "  Glue         blend mode name (see 'tarnwell blend --list') or 1 to 69\n"
    "  Seed         0 to 2047\n"
    "  Color, Glitter   r,g,b (0 to 255), #RRGGBB, or #RRRRGGGGBBBB for 16-bit channels\n"
    "  Light        x,y,z (a direction; it is normalised)\n"
    "  Center       x,y: the ripple centre as fractions of the width and height, 0 to 1\n"
    "  Pick X, Pick Y   the same, one at a time\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this help\n"
    "\n"
    "Exit status: 0 done, 1 unreadable or unwritable file, 2 bad command line.\n";

std::string Key(const std::string& label) {
    std::string key;
    for (char c : label)
        if (c != ' ' && c != '-' && c != '_') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseTriple(const std::string& text, double (&xyz)[3]) {
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string::npos)) return false;
        if (!ParseNumber(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start), xyz[i]))
            return false;
        start = comma + 1;
    }
    return true;
}

// "#RRGGBB" (8-bit channels, stored as v * 256 like the dialog's colour picker) or
// "#RRRRGGGGBBBB" (16-bit channels as they are).
bool ParseColour(const std::string& text, Rgb16& colour) {
    double rgb[3];
    if (ParseTriple(text, rgb)) {  // r,g,b with 8-bit channels, like apply's --set
        for (double c : rgb)
            if (c < 0 || c > 255 || c != std::floor(c)) return false;
        colour = {uint16_t(int(rgb[0]) << 8), uint16_t(int(rgb[1]) << 8), uint16_t(int(rgb[2]) << 8)};
        return true;
    }
    if (text.size() != 7 && text.size() != 13) return false;
    if (text[0] != '#' || !std::all_of(text.begin() + 1, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    const size_t digits = (text.size() - 1) / 3;
    uint16_t v[3];
    for (int i = 0; i < 3; ++i) {
        const unsigned long n = std::strtoul(text.substr(1 + i * digits, digits).c_str(), nullptr, 16);
        v[i] = static_cast<uint16_t>(digits == 2 ? n << 8 : n);
    }
    colour = {v[0], v[1], v[2]};
    return true;
}

std::string Number(double v, bool exact) {
    char text[40];
    std::snprintf(text, sizeof text, exact ? "%.9g" : "%g", v);
    return text;
}

std::string Hex(const Rgb16& c, bool wide) {
    char text[20];
    if (wide)
        std::snprintf(text, sizeof text, "#%04X%04X%04X", c.r, c.g, c.b);
    else
        std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r >> 8, c.g >> 8, c.b >> 8);
    return text;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const char* StyleName(int32_t style) { return style == kStyleComplex ? "Complex" : "Simple"; }

// ---- show ---------------------------------------------------------------------------------

int Show(const std::vector<std::string>& files, bool json) {
    if (files.size() != 1) {
        ReportError("settings show: needs exactly one settings file (see 'tarnwell settings --help')");
        return kExitUsage;
    }
    static RenderParams params;
    ResetParams(params);
    tw::Picture holder;
    SettingsFacts facts;
    facts.file = files[0];
    if (!LoadSettings(files[0], params, &holder)) {
        ReportError("cannot read '" + files[0] + "'");
        return kExitFailure;
    }
    // The format has no magic number; its first word, the version, is the only hint. A file
    // of a later version loads as the current one, so look at the word itself.
    std::vector<uint8_t> bytes;
    int32_t stored = params.version;
    if (platform::ReadWholeFile(files[0], bytes) && bytes.size() >= 4)
        BigEndianReader(bytes).getI32(stored);
    if (stored < 0 || stored > 1000)
        ReportError("warning: '" + files[0] + "' does not look like a settings file (version " +
                    std::to_string(stored) + ")");
    // A picture is decoded only when the file really has one; the holder starts empty.
    facts.picture = !holder.empty();
    facts.picture_width = holder.width;
    facts.picture_height = holder.height;
    std::fputs(DescribeSettings(params, facts, json).c_str(), stdout);
    return kExitOk;
}

// ---- save ---------------------------------------------------------------------------------

int Save(const std::vector<std::string>& files, const std::string& from, const std::vector<std::string>& sets,
         const std::string& picture_file) {
    if (files.size() != 1) {
        ReportError("settings save: needs exactly one file to write (see 'tarnwell settings --help')");
        return kExitUsage;
    }
    static RenderParams params;
    ResetParams(params);
    tw::Picture holder;
    if (!from.empty() && !LoadSettings(from, params, &holder)) {
        ReportError("cannot read '" + from + "'");
        return kExitFailure;
    }
    for (const std::string& set : sets) {
        const size_t equals = set.find('=');
        std::string error;
        if (equals == std::string::npos) {
            ReportError("settings save: --set needs LABEL=VALUE (got '" + set + "')");
            return kExitUsage;
        }
        if (!SetSettingsValue(params, set.substr(0, equals), set.substr(equals + 1), error)) {
            ReportError("settings save: " + error);
            return kExitUsage;
        }
    }
    if (!picture_file.empty()) {
        Picture image;
        std::string error;
        std::vector<uint8_t> planes;
        int plane_count = 0;
        if (!ReadPicture(picture_file, image, error)) {
            ReportError(error);
            return kExitFailure;
        }
        if (!PlanesFromPicture(image, planes, plane_count) ||
            !CapturePicture(PlanarView{planes.data(), image.width, image.height, plane_count}, holder)) {
            ReportError("cannot make a picture from '" + picture_file + "'");
            return kExitFailure;
        }
    }
    if (!WriteSettings(files[0], params, holder.empty() ? nullptr : &holder, !holder.empty())) {
        ReportError("cannot write '" + files[0] + "'");
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

bool SetSettingsValue(RenderParams& params, const std::string& label, const std::string& value,
                      std::string& error) {
    const std::string key = Key(label);
    double number = 0;
    const bool numeric = ParseNumber(value, number);
    auto out_of_range = [&](const char* range) {
        error = label + " needs " + range + " (got '" + value + "')";
        return false;
    };
    for (const SliderInfo& s : kSliders) {
        if (Key(s.label) != key) continue;
        if (!numeric || number < s.min || number > s.max)
            return out_of_range(s.min < 0 ? "a number from -90 to 90" : "a number from 0 to 100");
        params.*s.field = static_cast<float>(number);
        return true;
    }
    if (key == "style") {
        const std::string v = Key(value);
        if (v == "simple" || v == "1") params.style = kStyleSimple;
        else if (v == "complex" || v == "2") params.style = kStyleComplex;
        else return out_of_range("Simple or Complex");
        return true;
    }
    if (key == "glue") {
        const std::optional<int> mode = parseBlendMode(value);
        if (!mode) return out_of_range("a mode name (see 'tarnwell blend --list') or a number from 1 to 69");
        params.glue_mode = *mode;
        return true;
    }
    if (key == "seed") {
        if (!numeric || number != std::floor(number) || number < 0 || number > kMaxSeed)
            return out_of_range("a whole number from 0 to 2047");
        params.seed = static_cast<int32_t>(number);
        return true;
    }
    if (key == "color" || key == "colour" || key == "glitter") {
        Rgb16 colour;
        if (!ParseColour(value, colour)) return out_of_range("r,g,b (0 to 255), #RRGGBB or #RRRRGGGGBBBB");
        (key == "glitter" ? params.glitter_color : params.color) = colour;
        return true;
    }
    if (key == "light") {
        double xyz[3];
        if (!ParseTriple(value, xyz)) return out_of_range("x,y,z");
        const double length = std::sqrt(xyz[0] * xyz[0] + xyz[1] * xyz[1] + xyz[2] * xyz[2]);
        if (!(length > 1e-9) || !std::isfinite(length)) return out_of_range("a direction that is not zero");
        for (int i = 0; i < 3; ++i) params.light_dir[i] = static_cast<float>(xyz[i] / length);
        return true;
    }
    if (key == "center" || key == "centre") {  // the ripple centre as x,y, like apply's --set
        const size_t comma = value.find(',');
        double x = 0, y = 0;
        if (comma == std::string::npos || !ParseNumber(value.substr(0, comma), x) ||
            !ParseNumber(value.substr(comma + 1), y) || x < 0 || x > 1 || y < 0 || y > 1)
            return out_of_range("x,y with both fractions from 0 to 1");
        params.pick_x = static_cast<float>(x);
        params.pick_y = static_cast<float>(y);
        return true;
    }
    if (key == "pickx" || key == "picky") {
        if (!numeric || number < 0 || number > 1) return out_of_range("a fraction from 0 to 1");
        (key == "pickx" ? params.pick_x : params.pick_y) = static_cast<float>(number);
        return true;
    }
    error = "unknown label '" + label + "' (see 'tarnwell settings --help')";
    return false;
}

std::string DescribeSettings(const RenderParams& p, const SettingsFacts& facts, bool json) {
    std::string out;
    if (json) {
        out = "{\"file\": " + JsonString(facts.file) + ", \"version\": " + std::to_string(p.version);
        for (const SliderInfo& s : kSliders) out += ", " + JsonString(s.label) + ": " + Number(p.*s.field, true);
        out += ", \"Style\": " + JsonString(StyleName(p.style)) + ", \"Glue\": " + std::to_string(p.glue_mode);
        out += ", \"Seed\": " + std::to_string(p.seed);
        out += ", \"Color\": " + JsonString(Hex(p.color, true)) + ", \"Glitter\": " + JsonString(Hex(p.glitter_color, true));
        out += ", \"Light\": [" + Number(p.light_dir[0], true) + ", " + Number(p.light_dir[1], true) + ", " +
               Number(p.light_dir[2], true) + "]";
        out += ", \"Pick X\": " + Number(p.pick_x, true) + ", \"Pick Y\": " + Number(p.pick_y, true);
        out += ", \"picture\": ";
        out += facts.picture ? "{\"width\": " + std::to_string(facts.picture_width) +
                                   ", \"height\": " + std::to_string(facts.picture_height) + "}"
                             : "null";
        return out + "}\n";
    }
    auto line = [&](const std::string& label, const std::string& value) {
        char text[128];
        std::snprintf(text, sizeof text, "%-12s %s\n", label.c_str(), value.c_str());
        out += text;
    };
    if (!facts.file.empty()) {  // a record that came from a file
        line("File", facts.file);
        line("Version", std::to_string(p.version));
        line("Picture", facts.picture ? std::to_string(facts.picture_width) + " x " +
                                            std::to_string(facts.picture_height)
                                      : "none");
    }
    for (const SliderInfo& s : kSliders) line(s.label, Number(p.*s.field, false));
    line("Style", std::string(StyleName(p.style)) + " (" + std::to_string(p.style) + ")");
    const char* glue = blendModeName(p.glue_mode);
    line("Glue", std::to_string(p.glue_mode) + (*glue ? std::string(" (") + glue + ")" : std::string()));
    line("Seed", std::to_string(p.seed));
    line("Color", Hex(p.color, false) + "  (" + Hex(p.color, true) + ")");
    line("Glitter", Hex(p.glitter_color, false) + "  (" + Hex(p.glitter_color, true) + ")");
    line("Light", Number(p.light_dir[0], false) + ", " + Number(p.light_dir[1], false) + ", " +
                      Number(p.light_dir[2], false));
    line("Pick X", Number(p.pick_x, false));
    line("Pick Y", Number(p.pick_y, false));
    return out;
}

bool PlanesFromPicture(const Picture& picture, std::vector<uint8_t>& planes, int& plane_count) {
    if (picture.width <= 0 || picture.height <= 0 || picture.channels <= 0) return false;
    const int colours = picture.ColourChannels();
    plane_count = colours >= 3 ? 3 : 1;
    const size_t pixels = size_t(picture.width) * size_t(picture.height);
    planes.assign(pixels * size_t(plane_count), 0);
    for (size_t i = 0; i < pixels; ++i) {
        for (int c = 0; c < plane_count; ++c) {
            const size_t sample = i * size_t(picture.channels) + size_t(c);
            uint8_t v;
            if (picture.bits == 8) {
                v = picture.data[sample];
            } else if (picture.bits == 16) {
                v = static_cast<uint8_t>(reinterpret_cast<const uint16_t*>(picture.data.data())[sample] >> 8);
            } else {
                const float f = reinterpret_cast<const float*>(picture.data.data())[sample];
                v = static_cast<uint8_t>(f > 0 ? (f < 1 ? f * 255.0f : 255.0f) : 0.0f);
            }
            planes[size_t(c) * pixels + i] = v;
        }
    }
    return true;
}

int RunSettings(const Arguments& arguments) {
    if (arguments.empty()) {
        ReportError("settings: needs 'show' or 'save' (see 'tarnwell settings --help')");
        return kExitUsage;
    }
    std::vector<std::string> files, sets;
    std::string from, picture;
    bool json = false;
    const std::string action = arguments[0];
    if (action == "-h" || action == "--help") {
        std::fputs(kSettingsHelp, stdout);
        return kExitOk;
    }
    if (action != "show" && action != "save") {
        ReportError("settings: unknown action '" + action + "'; expected show or save");
        return kExitUsage;
    }
    const bool show = action == "show";
    const OptionTable table{show ? "settings show" : "settings save", kSettingsHelp,
                            show ? std::vector<std::string>{"--json"} : std::vector<std::string>{},
                            show ? std::vector<std::string>{} : std::vector<std::string>{"--from", "--set", "--picture"}};
    ScannedArguments scanned;
    if (int status = ScanArguments(Arguments(arguments.begin() + 1, arguments.end()), table, scanned); status >= 0)
        return status;
    files = scanned.files;
    for (const ScannedOption& option : scanned.options) {
        if (option.name == "--json") json = true;
        if (option.name == "--from") from = option.value;
        if (option.name == "--picture") picture = option.value;
        if (option.name == "--set") sets.push_back(option.value);
    }
    return action == "show" ? Show(files, json) : Save(files, from, sets, picture);
}

}  // namespace tw::host
