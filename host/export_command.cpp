// `tarnwell export-psd IN OUT.psd`: renders the water over a picture at any size and saves
// it as a layered PSD document, as the dialog's PSD export does.
#include "host/export_command.h"

#include <cstdio>
#include <utility>

#include "export/psd_export.h"
#include "host/module.h"
#include "host/picture.h"
#include "host/terminal.h"
#include "params/parameter_text.h"
#include "platform/platform.h"
#include "settings/settings_file.h"

namespace tw::host {

// ---- The plug-in in this process ------------------------------------------------------------

namespace {
const InProcessPluginCalls* gPluginCalls = nullptr;
}  // namespace

void RegisterInProcessPlugin(const InProcessPluginCalls* calls) { gPluginCalls = calls; }

InProcessPlugin::~InProcessPlugin() {
    if (plugin_ != nullptr) gPluginCalls->close(plugin_);
}

bool InProcessPlugin::Open(Document& document, std::string& error) {
    if (gPluginCalls == nullptr) {
        error = "this program was built without the plug-in's render code, which exports need";
        return false;
    }
    plugin_ = gPluginCalls->open(document, error);
    return plugin_ != nullptr;
}

RenderParams& InProcessPlugin::params() { return *gPluginCalls->params(plugin_); }

ImageBuffer* InProcessPlugin::Render(int32_t width, int32_t height, void (*progress)(void*, int),
                                     void* context, std::string& error) {
    return gPluginCalls->render(plugin_, width, height, progress, context, error);
}

bool ApplySettingsOptions(RenderParams& params, const std::string& settings_file,
                          const std::vector<std::string>& assignments, std::string& error) {
    // Work on a copy: only the values a settings file carries reach the plug-in's record,
    // never its working fields.
    RenderParams chosen = params;
    SetPlainSettings(chosen);
    if (!settings_file.empty() && !LoadSettings(settings_file, chosen, nullptr)) {
        error = "cannot read the settings file '" + settings_file + "'";
        return false;
    }
    for (const std::string& assignment : assignments) {
        ParameterTarget target;
        if (!SetParameterText(chosen, assignment, target, error)) {
            error = "--set " + error;
            return false;
        }
    }
    CopySettingsFields(chosen, params);
    return true;
}

// ---- export-psd ---------------------------------------------------------------------------

namespace {

std::string ExportHelp() {
    return "Usage: tarnwell export-psd IN OUT.psd [options]\n"
           "\n"
           "Renders the water over the picture IN, as the plug-in's dialog does for its PSD export,\n"
           "and saves it as a Photoshop document with one layer \"layer 1\" (which keeps the\n"
           "render's transparency) and a flattened copy. The document has the bit depth of IN:\n"
           "8 or 16 bits per channel, or 32-bit float for a float TIFF. IN is not changed.\n"
           "\n"
           "Options:\n"
           "  --settings FILE   start from the settings file FILE (*.q8r) instead of the plain\n"
           "                    settings\n"
           "  --set L=V         set the value labelled L to V (repeat for more), after --settings;\n"
           "                    the labels are listed below\n"
           "  --size WxH        render at W x H pixels\n"
           "  --width W         render W pixels wide, the height keeping IN's proportions\n"
           "                    (default: the size of IN). Sides are kept to 2..30000 pixels; a\n"
           "                    size outside is brought inside with a message\n"
           "  --threads N       most worker threads, 1 to 1024 (default: one per processor)\n"
           "  -q, --quiet       no progress bar (it is shown only when stderr is a terminal)\n"
           "  -h, --help        show this help\n"
           "\n"
           "Pictures: PNG, JPEG or TIFF, as for 'tarnwell apply'. OUT is written under a temporary\n"
           "name and renamed when complete, so a failed or cancelled export leaves no broken file.\n"
           "A 16 or 32-bit document near the largest size can hold more data than a PSD file can\n"
           "count; such sizes are refused with a message.\n"
           "\n"
           "Labels for --set (case, spaces, '-' and '_' do not matter):\n" +
           ParameterHelp("  ") +
           "\n"
           "Ctrl-C stops the export once the render under way is finished (a second Ctrl-C ends\n"
           "the program at once); nothing is written then.\n"
           "\n"
           "Exit status: 0 done, 1 failed, 2 bad command line, 130 cancelled.\n";
}

struct ExportOptions {
    std::string input, output, settings;
    std::vector<std::string> assignments;
    long width = 0, height = 0;  // 0: not given
    bool proportional = false;   // --width
    long threads = 0;
    bool quiet = false;
};

bool ParseSize(const std::string& text, long& width, long& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    std::string ignored;
    return ParseInteger(text.substr(0, x), 0, 1L << 30, "--size", width, ignored) &&
           ParseInteger(text.substr(x + 1), 0, 1L << 30, "--size", height, ignored);
}

int ParseExport(const Arguments& arguments, ExportOptions& options) {
    ScannedArguments scanned;
    const std::string help = ExportHelp();
    const OptionTable table{"export-psd", help.c_str(), {}, {"--settings", "--set", "--size", "--width", "--threads"}};
    if (int status = ScanArguments(arguments, table, scanned); status >= 0) return status;
    options.quiet = scanned.quiet;
    for (const ScannedOption& option : scanned.options) {
        const std::string& name = option.name;
        const std::string& value = option.value;
        std::string error;
        if (name == "--settings") options.settings = value;
        if (name == "--set") options.assignments.push_back(value);
        if (name == "--size") {
            if (!ParseSize(value, options.width, options.height)) {
                ReportError("export-psd: --size needs WIDTHxHEIGHT in pixels (got '" + value + "')");
                return kExitUsage;
            }
            options.proportional = false;
        }
        if (name == "--width") {
            if (!ParseInteger(value, 0, 1L << 30, name, options.width, error)) {
                ReportError("export-psd: " + error);
                return kExitUsage;
            }
            options.proportional = true;
        }
        if (name == "--threads" && !ParseInteger(value, 1, 1024, name, options.threads, error)) {
            ReportError("export-psd: " + error);
            return kExitUsage;
        }
    }
    if (!HasFileCount(scanned, 2, "export-psd", "an input picture and an output file", "IN OUT.psd"))
        return kExitUsage;
    if (std::string error; !CheckSettings(options.assignments, error)) {
        ReportError("export-psd: --set " + error);
        return kExitUsage;
    }
    const std::vector<std::string>& positional = scanned.files;
    options.input = positional[0];
    options.output = positional[1];
    return -1;
}

// One side of the export, brought into range with a word to the user when it was not.
int32_t CheckedSide(long requested, const char* which) {
    const int32_t side = ClampPsdSide(requested);
    if (side != requested)
        std::fprintf(stderr, "tarnwell: export-psd: %s %ld is outside %d..%d; using %d\n", which,
                     requested, kPsdMinSide, kPsdMaxSide, side);
    return side;
}

struct TwoPhaseProgress {
    ProgressBar bar;
    int phase = 0;  // 0 rendering (first half of the bar), 1 writing
};

void OnProgress(void* context, int per_mille) {
    auto& p = *static_cast<TwoPhaseProgress*>(context);
    ShowProgress(p.bar, p.phase * 1000 + per_mille, 2000);
}

}  // namespace

int RunExportPsd(const Arguments& arguments) {
    ExportOptions options;
    if (int status = ParseExport(arguments, options); status >= 0) return status;

    std::string error;
    Picture picture;
    Document document;
    if (!ReadPicture(options.input, picture, error) ||
        !DocumentFromPicture(std::move(picture), document, error)) {
        ReportError(error);
        return kExitFailure;
    }

    int32_t width = document.width, height = document.height;
    if (options.proportional) {
        width = CheckedSide(options.width, "width");
        height = CheckedSide(ProportionalHeight(document.width, document.height, width, height),
                             "height");
    } else if (options.width != 0 || options.height != 0) {
        width = CheckedSide(options.width, "width");
        height = CheckedSide(options.height, "height");
    } else {
        width = CheckedSide(width, "width");
        height = CheckedSide(height, "height");
    }
    if (options.threads > 0) SetEnvironmentValue("TARNWELL_THREADS", std::to_string(options.threads));

    InProcessPlugin plugin;
    if (!plugin.Open(document, error)) {
        ReportError(error);
        return kExitFailure;
    }
    // The plug-in keeps its own copy of the picture from here on.
    std::vector<uint8_t>().swap(document.pixels);
    if (!ApplySettingsOptions(plugin.params(), options.settings, options.assignments, error)) {
        ReportError("export-psd: " + error);
        return kExitUsage;
    }

    TwoPhaseProgress progress;
    StartProgress(progress.bar, "exporting", options.quiet);
    InstallInterruptHandler();
    ImageBuffer* image = plugin.Render(width, height, OnProgress, &progress, error);
    bool ok = image != nullptr;
    if (ok && Interrupted()) {
        error = "cancelled";
        ok = false;
    }
    if (ok) {
        PsdExportRequest request;
        request.image = image;
        request.glue_mode = plugin.params().glue_mode;
        request.progress = OnProgress;
        request.context = &progress;
        progress.phase = 1;
        ok = ExportPsd(options.output, request, error);
    }
    RemoveInterruptHandler();
    EndProgress(progress.bar);
    destroyImageBuffer(image);
    if (!ok) {
        ReportError("export-psd: " + error);
        return error == "cancelled" ? kExitCancelled : kExitFailure;
    }
    return kExitOk;
}

}  // namespace tw::host
