// `tarnwell apply IN OUT`: loads the plug-in module and runs it over a picture file the
// way an editor runs a filter without its dialog, then writes the result.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

#include "host/commands.h"
#include "host/descriptor.h"
#include "host/descriptor_json.h"
#include "host/descriptor_settings.h"
#include "host/document.h"
#include "host/filter_run.h"
#include "host/host_session.h"
#include "host/host_window.h"
#include "host/module.h"
#include "host/picture.h"
#include "host/settings_command.h"
#include "host/terminal.h"
#include "params/parameter_text.h"
#include "platform/platform.h"
#include "settings/random_settings.h"
#include "settings/settings_file.h"

namespace tw::host {
namespace {

std::string ApplyHelp() {
    return "Usage: tarnwell apply IN OUT [options]\n"
           "\n"
           "Runs the Tarnwell plug-in over the picture IN, as an image editor runs the filter\n"
           "without its dialog, and writes the result to OUT. OUT keeps the size, colour mode\n"
           "(grey or RGB), transparency and bit depth of IN; its format follows its extension.\n"
           "\n"
           "Options:\n"
           "  --dialog        run the filter as a person does from an editor's menu: IN opens\n"
           "                  in a window and the plug-in shows its dialog over it, starting\n"
           "                  from the settings of the last run (or those of --settings, --set,\n"
           "                  --dice or --replay). OK renders and writes OUT; Cancel writes\n"
           "                  nothing. Needs the Windows build (tarnwell.exe), on Windows or\n"
           "                  under Wine: scripts/windows-run.sh build/windows/bin/tarnwell.exe\n"
           "                  apply --dialog IN OUT\n"
           "  --mask FILE     a greyscale picture the size of IN used as the selection:\n"
           "                  white is filtered, black left alone, grey blends\n"
           "  --plugin PATH   the plug-in module to load (default: the Tarnwell module beside\n"
           "                  this program, Tarnwell.so on Linux, Tarnwell.8bf on Windows, or\n"
           "                  where the installed package keeps it)\n"
           "  --quality N     JPEG quality of OUT, 1 to 100 (default 95)\n"
           "  --set L=V       set the filter parameter labelled L (as in the dialog) to V, as a\n"
           "                  recorded action does; repeat for more. Parameters not set take\n"
           "                  their plain defaults. The labels are listed below\n"
           "  --record FILE   write the parameters the plug-in used, as the descriptor it\n"
           "                  recorded, to FILE (JSON: key, name, type, value per item)\n"
           "  --replay FILE   hand the plug-in a descriptor recorded with --record (--set\n"
           "                  values are applied on top); the render is repeated exactly\n"
           "  --settings FILE render with the parameters of a settings file (*.q8r), handed\n"
           "                  to the plug-in as a recorded action (--set values on top)\n"
           "  --dice          render with random settings, as the dialog's dice invents them,\n"
           "                  and print them (--set values on top)\n"
           "  --random-seed N seed of --dice, 0 to 2147483647 (default: the clock), so a\n"
           "                  look can be found again\n"
           "  --last          render with the plug-in's cached settings of the previous\n"
           "                  applied run (kept in the temporary folder, or TARNWELL_TEMP)\n"
           "  --threads N     most worker threads the plug-in may use, 1 to 1024\n"
           "                  (default: one per processor)\n"
           "  --no-padding    act as an editor that cannot pad: tell the plug-in so, and refuse\n"
           "                  every request for pixels outside the picture, as strict editors\n"
           "                  do (the plug-in then repeats the edges itself; same result)\n"
           "  -q, --quiet     no progress bar (it is shown only when stderr is a terminal)\n"
           "  -h, --help      show this help\n"
           "\n"
           "Labels for --set (case, spaces, '-' and '_' do not matter):\n" +
           ParameterHelp("  ") +
           "\n"
           "Pictures: PNG (8 or 16-bit, grey or RGB, with or without alpha), JPEG (8-bit grey or\n"
           "RGB), TIFF (8 or 16-bit integer or 32-bit float, grey or RGB, with or without alpha).\n"
           "A picture's alpha is the layer's editable transparency. The input's format is\n"
           "recognised from its content.\n"
           "\n"
           "Without --settings, --dice, --last, --set or --replay the plug-in renders the\n"
           "plain settings, so a command line gives the same result every time. After every\n"
           "applied run the plug-in caches the settings it used, for --last.\n"
           "\n"
           "Ctrl-C stops the render; nothing is written then. OUT is written under a temporary\n"
           "name and renamed when complete, so it is never left half-written.\n"
           "\n"
           "Exit status: 0 done, 1 failed (bad picture, plug-in error), 2 bad command line,\n"
           "130 cancelled.\n";
}

struct ApplyOptions {
    std::string input, output, mask, plugin;
    bool dialog = false;
    long quality = 95;
    long threads = 0;  // 0: leave the plug-in's own choice
    bool quiet = false;
    std::vector<std::string> settings;  // --set, in order
    std::string record, replay, settings_file;
    bool dice = false, last = false;
    bool no_padding = false;
    long random_seed = -1;  // -1: seed --dice from the clock
};

// Returns -1 to go on, else the exit status to end with (after --help or an error).
int ParseApply(const Arguments& arguments, ApplyOptions& options) {
    ScannedArguments scanned;
    const std::string help = ApplyHelp();
    const OptionTable table{"apply", help.c_str(), {"--dice", "--last", "--dialog", "--no-padding"},
                            {"--mask", "--plugin", "--quality", "--threads", "--set", "--record", "--replay",
                             "--settings", "--random-seed"}};
    if (int status = ScanArguments(arguments, table, scanned); status >= 0) return status;
    options.quiet = scanned.quiet;
    for (const ScannedOption& option : scanned.options) {
        const std::string& name = option.name;
        const std::string& value = option.value;
        std::string error;
        if (name == "--dice") options.dice = true;
        if (name == "--last") options.last = true;
        if (name == "--dialog") options.dialog = true;
        if (name == "--no-padding") options.no_padding = true;
        if (name == "--mask") options.mask = value;
        if (name == "--plugin") options.plugin = value;
        if (name == "--set") options.settings.push_back(value);
        if (name == "--record") options.record = value;
        if (name == "--replay") options.replay = value;
        if (name == "--settings") options.settings_file = value;
        if ((name == "--quality" && !ParseInteger(value, 1, 100, name, options.quality, error)) ||
            (name == "--threads" && !ParseInteger(value, 1, 1024, name, options.threads, error)) ||
            (name == "--random-seed" && !ParseInteger(value, 0, 2147483647L, name, options.random_seed, error))) {
            ReportError("apply: " + error);
            return kExitUsage;
        }
    }
    if (options.dialog && !HostHasWindows()) {
        ReportError("apply: --dialog needs the Windows build (this one has no windows): build it with "
                    "scripts/windows-test.sh --build-only, then run "
                    "scripts/windows-run.sh build/windows/bin/tarnwell.exe apply --dialog IN OUT "
                    "(under Wine the dialog opens on this display)");
        return kExitUsage;
    }
    if (!HasFileCount(scanned, 2, "apply", "an input and an output file", "IN OUT")) return kExitUsage;
    if (std::string error; !CheckSettings(options.settings, error)) {
        ReportError("apply: --set " + error);
        return kExitUsage;
    }
    const std::vector<std::string>& positional = scanned.files;
    const int sources = !options.replay.empty() + !options.settings_file.empty() + options.dice + options.last;
    if (sources > 1) {
        ReportError("apply: --replay, --settings, --dice and --last each choose the parameters; give one");
        return kExitUsage;
    }
    if (options.last && !options.settings.empty()) {
        ReportError("apply: --last renders the cached settings as they are; --set cannot go with it");
        return kExitUsage;
    }
    if (options.random_seed >= 0 && !options.dice) {
        ReportError("apply: --random-seed goes with --dice");
        return kExitUsage;
    }
    options.input = positional[0];
    options.output = positional[1];
    return -1;
}

struct ApplyProgress {
    ProgressBar* bar;
    HostWindow* window;  // null without the dialog
};

void OnProgress(void* context, int32_t done, int32_t total) {
    auto* progress = static_cast<ApplyProgress*>(context);
    ShowProgress(*progress->bar, done, total);
    // The document window keeps answering while the plug-in renders after its dialog.
    if (progress->window) progress->window->Pump();
}

bool OnAbort(void*) { return Interrupted(); }

// A settings file has no magic number, so only its length can be checked: a version word
// at least. Anything longer reads as the fields it reaches.
bool ReadableSettingsFile(const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(path, bytes)) {
        error = "cannot read settings file '" + path + "'";
        return false;
    }
    if (bytes.size() < 4) {
        error = "'" + path + "' is not a settings file (only " + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    return true;
}

// `TARNWELL_TIMINGS` set to anything but empty or 0: how long each step of the command took.
bool TimingsWanted() {
    const char* value = std::getenv("TARNWELL_TIMINGS");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

// Clock readings of the steps, in the order they happen.
struct ApplyClock {
    double start = 0, read = 0, document = 0, plugin_loaded = 0, run = 0, written = 0;
    RunStats stats;
};

void PrintTimings(const ApplyClock& c) {
    auto line = [](const char* what, double from, double to) {
        if (from > 0 && to >= from) std::fprintf(stderr, "  %-44s %8.3f\n", what, to - from);
    };
    std::fprintf(stderr, "tarnwell apply: seconds per step\n");
    line("read and decode IN", c.start, c.read);
    line("picture to document", c.read, c.document);
    line("load the plug-in module", c.document, c.plugin_loaded);
    line("plug-in start-up, until its first request", c.plugin_loaded, c.stats.first_request);
    // The plug-in loads its working image block by block, builds its mip chain without
    // asking the host for anything, then renders tiles and hands each back as it is done.
    line("load the source, build the mip chain", c.stats.first_request, c.stats.first_tile);
    line("render and hand back the tiles", c.stats.first_tile, c.stats.last_request);
    line("plug-in finish", c.stats.last_request, c.run);
    line("document to picture, encode and write OUT", c.run, c.written);
    line("total", c.start, c.written);
}

// Beside the program in a build tree or the Windows zip; where `cmake --install` puts it
// (relative to the installed program) otherwise.
std::string DefaultPluginPath() {
#ifdef TARNWELL_MODULE_DIR_FROM_BIN
    return FindPluginModule(ExecutableFolder(), TARNWELL_MODULE_DIR_FROM_BIN);
#else
    return FindPluginModule(ExecutableFolder(), "");
#endif
}

}  // namespace

int RunApply(const Arguments& arguments) {
    ApplyOptions options;
    if (int status = ParseApply(arguments, options); status >= 0) return status;

    FileFormat out_format = FormatFromName(options.output);
    if (out_format == FileFormat::Unknown) {
        ReportError("apply: cannot tell the format of '" + options.output +
                    "' (use a .png, .jpg or .tif name)");
        return kExitUsage;
    }

    // Everything that can be checked is checked before the render starts.
    const bool timings = TimingsWanted();
    ApplyClock clock;
    clock.start = SteadySeconds();
    std::string error;
    Picture picture;
    Document document;
    if (!ReadPicture(options.input, picture, error)) {
        ReportError(error);
        return kExitFailure;
    }
    if (std::string why = WhyCannotStore(out_format, picture); !why.empty()) {
        ReportError("cannot write '" + options.output + "': " + why);
        return kExitFailure;
    }
    clock.read = SteadySeconds();
    // The document takes the pixels over from here on.
    if (!DocumentFromPicture(std::move(picture), document, error)) {
        ReportError(error);
        return kExitFailure;
    }
    clock.document = SteadySeconds();
    if (!options.mask.empty()) {
        Picture mask;
        if (!ReadPicture(options.mask, mask, error) ||
            !MaskFromPicture(mask, document.width, document.height, document.mask, error)) {
            ReportError("mask " + error);
            return kExitFailure;
        }
    }
    // The descriptor to replay: the recorded file, a settings file or random settings as
    // a whole action, then each --set on top of it.
    Descriptor replay;
    if (!options.replay.empty() && !ReadDescriptorFile(options.replay, replay, error)) {
        ReportError(error);
        return kExitFailure;
    }
    if (!options.settings_file.empty() || options.dice) {
        RenderParams params{};
        ResetParams(params);
        if (options.dice) {
            const long seed = options.random_seed >= 0 ? options.random_seed : long(platform::ClockSeconds());
            platform::SeedRandom(unsigned(seed));
            RandomizeSettings(params);
            SetText(params.settings_name, "random settings");
            std::printf("Random settings (--random-seed %ld):\n%s", seed,
                        DescribeSettings(params, SettingsFacts{}, false).c_str());
        } else if (!ReadableSettingsFile(options.settings_file, error) ||
                   !LoadSettings(options.settings_file, params, nullptr)) {
            ReportError(error.empty() ? "cannot read settings file '" + options.settings_file + "'" : error);
            return kExitFailure;
        }
        AddParameters(replay, params);
    }
    for (const std::string& setting : options.settings) {
        if (!AddSetting(replay, setting, error)) {
            ReportError("apply: --set " + error);
            return kExitUsage;
        }
    }
    // Every run but --last hands over an action, if only an empty one: the plug-in then
    // starts from the plain settings instead of the cached ones. A run with the dialog is
    // a person's run from the menu: it hands over an action only when settings were
    // chosen here, and otherwise the dialog opens with the last run's settings.
    const bool chosen = !options.replay.empty() || !options.settings_file.empty() || options.dice ||
                        !options.settings.empty();
    const bool replaying = options.dialog ? chosen : !options.last;
    if (options.threads > 0) SetEnvironmentValue("TARNWELL_THREADS", std::to_string(options.threads));

    PluginModule module;
    std::string plugin = options.plugin.empty() ? DefaultPluginPath() : options.plugin;
    if (!LoadPluginModule(plugin, module, error)) {
        ReportError(error);
        return kExitFailure;
    }
    clock.plugin_loaded = SteadySeconds();

    // The editor's document window, parent of the plug-in's dialog.
    HostWindow window;
    if (options.dialog &&
        !window.Open("Tarnwell - " + std::filesystem::path(options.input).filename().string(), document, error)) {
        ReportError("apply: " + error);
        return kExitFailure;
    }

    ProgressBar bar;
    StartProgress(bar, "rendering", options.quiet);
    ApplyProgress progress{&bar, options.dialog ? &window : nullptr};
    HostEvents events;
    events.progress = OnProgress;
    events.abort = OnAbort;
    events.context = &progress;
    InstallInterruptHandler();
    // OUT may be a relative name; a plug-in's file dialogs could move the process's
    // current folder under it, so the folder is put back after the run.
    std::error_code folder_error;
    const std::filesystem::path folder = std::filesystem::current_path(folder_error);
    FilterRunOptions run_options;
    run_options.show_dialog = options.dialog;
    run_options.parent_window = window.handle();
    run_options.padding = !options.no_padding;
    const FilterRunResult run = RunFilter(module.entry, document, replaying ? &replay : nullptr, events, run_options);
    clock.run = SteadySeconds();
    clock.stats = run.stats;
    EndProgress(bar);
    UnloadPluginModule(module);
    if (!folder_error) std::filesystem::current_path(folder, folder_error);

    // The handler stays in place through the write below: a Ctrl-C that comes after the
    // check only sets the flag, so the short atomic write is never cut off half-way.
    if (Interrupted() || run.outcome.result == userCanceledErr) {
        ReportError(options.dialog && !Interrupted() ? "the dialog was cancelled; nothing written"
                                                     : "cancelled; nothing written");
        return kExitCancelled;
    }
    if (std::string failure; !FilterRunSucceeded(run, failure)) {
        ReportError(failure + "; nothing written");
        return kExitFailure;
    }

    WriteOptions write;
    write.jpeg_quality = int(options.quality);
    if (!WritePicture(options.output, PictureFromDocument(std::move(document)), write, error)) {
        ReportError(error);
        return kExitFailure;
    }
    clock.written = SteadySeconds();
    if (timings) PrintTimings(clock);
    if (!options.record.empty()) {
        if (!run.have_recorded) {
            ReportError("the plug-in recorded no parameters; '" + options.record + "' not written");
            return kExitFailure;
        }
        if (!WriteDescriptorFile(options.record, run.recorded, error)) {
            ReportError(error);
            return kExitFailure;
        }
    }
    return kExitOk;
}

}  // namespace tw::host
