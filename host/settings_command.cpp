// `tarnwell settings show FILE` and `tarnwell settings save FILE`: what the dialog's Load
// and Save do, without the dialog.
#include "host/settings_command.h"

#include <cctype>
#include <cstdio>

#include "host/water_picture.h"
#include "params/blend_mode_names.h"
#include "params/parameter_text.h"
#include "platform/big_endian.h"
#include "platform/platform.h"
#include "settings/picture.h"
#include "settings/settings_file.h"

namespace tw::host {
namespace {

std::string SettingsHelp() {
    return "Usage: tarnwell settings show FILE [--json]\n"
           "       tarnwell settings save FILE [--from FILE] [--set LABEL=VALUE ...]\n"
           "                              [--picture IMAGE | --picture-as-is IMAGE]\n"
           "\n"
           "Reads or writes a Tarnwell settings file (*.q8r), the files the dialog's Load and\n"
           "Save buttons use.\n"
           "\n"
           "show  prints every value of FILE by its label, as the plug-in would load it (older\n"
           "      files are brought up to date). --json prints one JSON object instead.\n"
           "save  writes FILE from the plain settings, or from the file given with --from (its\n"
           "      picture too), then applies each --set in order. --picture IMAGE gives the file a\n"
           "      picture of the water, as the dialog's Save does: the settings are rendered over\n"
           "      IMAGE (PNG, JPEG or TIFF) as the dialog's preview shows them (IMAGE divided by\n"
           "      the smallest whole factor that fits the 647 x 492-pixel preview pane) and the\n"
           "      centred square of that becomes the 128 x 128 picture. --picture-as-is IMAGE\n"
           "      takes the centred square of IMAGE unchanged, for a picture already rendered.\n"
           "      FILE is written complete or not at all.\n"
           "\n"
           "Labels for --set (case, spaces, '-' and '_' do not matter), the same as show prints:\n" +
           ParameterHelp("  ") +
           "\n"
           "Options:\n"
           "  -h, --help   show this help\n"
           "\n"
           "Exit status: 0 done, 1 unreadable or unwritable file, 2 bad command line.\n";
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

// Any style but Complex renders as Simple, so it shows as Simple with its number.
std::string StyleName(int32_t style) {
    std::string name = style == kStyleComplex ? kStyleNames[1].name : kStyleNames[0].name;
    name[0] = char(std::toupper(static_cast<unsigned char>(name[0])));
    return name;
}

// A value as `settings show` prints it: in JSON exact numbers, the style's name and the
// glue's number; in text short numbers, the style and glue with name and number, and
// colours in 8 and 16 bits.
std::string ShownValue(const RenderParams& p, const ParameterInfo& row, bool json) {
    const int32_t whole = row.integer ? p.*row.integer : 0;
    switch (row.kind) {
    case ParameterKind::kSlider: return Number(p.*row.field, json);
    case ParameterKind::kSeed: return std::to_string(whole);
    case ParameterKind::kStyle:
        return json ? JsonString(StyleName(whole)) : StyleName(whole) + " (" + std::to_string(whole) + ")";
    case ParameterKind::kGlue: {
        const char* name = blendModeName(whole);
        if (json || !*name) return std::to_string(whole);
        return std::to_string(whole) + " (" + name + ")";
    }
    case ParameterKind::kColour: {
        const Rgb16& c = p.*row.colour;
        return json ? JsonString(Hex(c, true)) : Hex(c, false) + "  (" + Hex(c, true) + ")";
    }
    case ParameterKind::kPoint:
    case ParameterKind::kDirection: break;
    }
    std::string list;
    for (int c = 0; c < row.components; ++c) list += (c ? ", " : "") + Number(ParameterComponent(p, row, c), json);
    return json ? "[" + list + "]" : list;
}

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
         const std::string& picture_file, bool picture_as_is) {
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
        ParameterTarget target;
        std::string error;
        if (!SetParameterText(params, set, target, error)) {
            ReportError("settings save: --set " + error);
            return kExitUsage;
        }
    }
    std::string error;
    if (!picture_file.empty() && !SavedSettingsPicture(picture_file, !picture_as_is, params, holder, error)) {
        ReportError("settings save: " + error);
        return kExitFailure;
    }
    if (!WriteSettings(files[0], params, holder.empty() ? nullptr : &holder, !holder.empty())) {
        ReportError("cannot write '" + files[0] + "'");
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

std::string DescribeSettings(const RenderParams& p, const SettingsFacts& facts, bool json) {
    std::string out;
    if (json) {
        out = "{\"file\": " + JsonString(facts.file) + ", \"version\": " + std::to_string(p.version);
        for (const ParameterInfo& row : kParameters) out += ", " + JsonString(row.label) + ": " + ShownValue(p, row, true);
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
    for (const ParameterInfo& row : kParameters) line(row.label, ShownValue(p, row, false));
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
    bool json = false, picture_as_is = false;
    const std::string action = arguments[0];
    const std::string help = SettingsHelp();
    if (action == "-h" || action == "--help") {
        std::fputs(help.c_str(), stdout);
        return kExitOk;
    }
    if (action != "show" && action != "save") {
        ReportError("settings: unknown action '" + action + "'; expected show or save");
        return kExitUsage;
    }
    const bool show = action == "show";
    const OptionTable table{show ? "settings show" : "settings save", help.c_str(),
                            show ? std::vector<std::string>{"--json"} : std::vector<std::string>{},
                            show ? std::vector<std::string>{} : std::vector<std::string>{"--from", "--set", "--picture", "--picture-as-is"}};
    ScannedArguments scanned;
    if (int status = ScanArguments(Arguments(arguments.begin() + 1, arguments.end()), table, scanned); status >= 0)
        return status;
    files = scanned.files;
    for (const ScannedOption& option : scanned.options) {
        if (option.name == "--json") json = true;
        if (option.name == "--from") from = option.value;
        if (option.name == "--set") sets.push_back(option.value);
        if (option.name != "--picture" && option.name != "--picture-as-is") continue;
        if (!picture.empty() && picture_as_is != (option.name == "--picture-as-is")) {
            ReportError("settings save: give --picture or --picture-as-is, not both");
            return kExitUsage;
        }
        picture = option.value;
        picture_as_is = option.name == "--picture-as-is";
    }
    return action == "show" ? Show(files, json) : Save(files, from, sets, picture, picture_as_is);
}

}  // namespace tw::host
