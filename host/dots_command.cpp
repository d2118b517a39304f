// `tarnwell dots list|show N|clear N`: the dialog's memory dots as they are on disk.
#include <cstdio>

#include "host/memory_commands.h"
#include "host/settings_command.h"
#include "params/blend_mode_names.h"
#include "platform/platform.h"
#include "settings/memory_dots.h"
#include "settings/settings_file.h"

namespace tw::host {
namespace {

const char kDotsHelp[] =
    "Usage: tarnwell dots list\n"
    "       tarnwell dots show N [--json]\n"
    "       tarnwell dots clear N\n"
    "\n"
    "The plug-in's 25 memory dots, the quick-save slots around the picture well of its\n"
    "dialog. Each dot is a settings file with a picture in the temporary folder (or\n"
    "TARNWELL_TEMP), \"Tarnwell A memory dot 0.q8r\" to \"... 24.q8r\"; the map file \"Tarnwell\n"
    "memdot map 2\" says which dots are kept, that is, shown filled when the dialog next\n"
    "opens. Dots are numbered 1 to 25 here, as the dialog names them (\"dot 3\" after a\n"
    "recall of the third dot, whose file is number 2).\n"
    "\n"
    "list   every dot that is kept or has a file: whether it is kept, its label and a short\n"
    "       description of its look\n"
    "show   every value of dot N, as 'tarnwell settings show' prints a settings file\n"
    "       (--json for one JSON object)\n"
    "clear  clears dot N's keep flag, as a right click on the dot in the dialog does: the\n"
    "       dot shows empty from the dialog's next opening. Its file stays on disk (and is\n"
    "       still shown by 'dots show') until a new store into the dot overwrites it.\n"
    "\n"
    "Options:\n"
    "  --json       with show: print one JSON object\n"
    "  -h, --help   show this help\n"
    "\n"
    "Exit status: 0 done, 1 no such dot file or the map cannot be written, 2 bad command\n"
    "line.\n";

std::string Label(int dot) { return "dot " + std::to_string(dot + 1); }

// One line about a dot's look: the values that tell presets apart at a glance.
std::string Look(const RenderParams& p) {
    char text[160];
    const char* glue = blendModeName(p.glue_mode);
    std::snprintf(text, sizeof text, "%s, glue %d%s%s%s, horizon %g, waviness %g, seed %d",
                  p.style == kStyleComplex ? "Complex" : "Simple", p.glue_mode, *glue ? " (" : "", glue,
                  *glue ? ")" : "", p.horizon, p.waviness, p.seed);
    return text;
}

int List() {
    DotKeepFlags keep{};
    const bool have_map = LoadDotMap(keep);
    int shown = 0, kept = 0, unkept_files = 0;
    for (int i = 0; i < kMemoryDotCount; ++i) {
        const bool file = platform::FileExists(MemoryDotPath(i));
        if (keep[i] != 0) ++kept;
        if (keep[i] == 0 && !file) continue;
        RenderParams params{};
        ResetParams(params);
        const std::string look = file && LoadSettings(MemoryDotPath(i), params, nullptr) ? Look(params)
                                 : file                                                 ? "(file cannot be read)"
                                                                                        : "(file missing)";
        std::printf("%-7s %-9s %s\n", Label(i).c_str(), keep[i] != 0 ? "kept" : "not kept", look.c_str());
        ++shown;
        if (keep[i] == 0) ++unkept_files;
    }
    const std::string folder = platform::TempFolder();
    if (shown == 0)
        std::printf("no memory dot holds settings in %s%s\n", folder.c_str(), have_map ? "" : " (no map file yet)");
    else
        std::printf("%d of %d dots kept; files in %s\n", kept, kMemoryDotCount, folder.c_str());
    if (unkept_files > 0)
        std::printf("(dots not kept show empty when the dialog next opens; their files stay until a store\n"
                    " into the dot overwrites them)\n");
    return kExitOk;
}

int Show(int dot, bool json) {
    RenderParams params{};
    ResetParams(params);
    tw::Picture holder;
    const std::string path = MemoryDotPath(dot);
    if (!LoadSettings(path, params, &holder)) {
        ReportError("dots show: " + Label(dot) + " holds no settings (no file " + path + ")");
        return kExitFailure;
    }
    DotKeepFlags keep{};
    LoadDotMap(keep);
    SettingsFacts facts;
    facts.file = path;
    facts.picture = !holder.empty();
    facts.picture_width = holder.width;
    facts.picture_height = holder.height;
    if (!json) std::printf("%-12s %s, %s\n", "Dot", Label(dot).c_str(), keep[dot] != 0 ? "kept" : "not kept");
    std::fputs(DescribeSettings(params, facts, json).c_str(), stdout);
    return kExitOk;
}

int Clear(int dot) {
    MemoryDotRing ring;
    LoadDotMap(ring.keep);
    if (ring.keep[dot] == 0) {
        std::printf("%s is not kept; nothing to clear\n", Label(dot).c_str());
        return kExitOk;
    }
    ClearDot(ring, dot);
    if (!SaveDotMap(ring.keep)) {
        ReportError("dots clear: cannot write the map file " + DotMapPath());
        return kExitFailure;
    }
    std::printf("%s cleared: it shows empty from the dialog's next opening; its file stays in %s\n",
                Label(dot).c_str(), platform::TempFolder().c_str());
    return kExitOk;
}

}  // namespace

int RunDots(const Arguments& arguments) {
    const OptionTable table{"dots", kDotsHelp, {"--json"}, {}};
    ScannedArguments scanned;
    if (int status = ScanArguments(arguments, table, scanned); status >= 0) return status;
    bool json = false;
    for (const ScannedOption& option : scanned.options) json = json || option.name == "--json";
    const std::string action = scanned.files.empty() ? "" : scanned.files.front();
    if (action != "list" && action != "show" && action != "clear") {
        ReportError(action.empty() ? "dots: say what to do: list, show N or clear N (see 'tarnwell dots --help')"
                                   : "dots: unknown action '" + action + "'; expected list, show or clear");
        return kExitUsage;
    }
    const size_t wanted = action == "list" ? 1 : 2;
    if (scanned.files.size() != wanted) {
        ReportError(wanted == 1 ? "dots list: takes no more words" : "dots " + action + ": needs one dot number, 1 to 25");
        return kExitUsage;
    }
    if (json && action != "show") {
        ReportError("dots " + action + ": --json is only for show");
        return kExitUsage;
    }
    if (action == "list") return List();
    long number = 0;
    std::string error;
    if (!ParseInteger(scanned.files[1], 1, kMemoryDotCount, "the dot number", number, error)) {
        ReportError("dots " + action + ": " + error);
        return kExitUsage;
    }
    const int dot = static_cast<int>(number) - 1;
    return action == "show" ? Show(dot, json) : Clear(dot);
}

}  // namespace tw::host
