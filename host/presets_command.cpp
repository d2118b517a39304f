// `tarnwell presets refresh DIR --picture IMAGE`: re-renders the pictures of a folder of
// presets over a picture, as the dialog's batch does over the host's picture.
#include <cstdio>

#include "host/memory_commands.h"
#include "host/module.h"
#include "host/picture.h"
#include "host/terminal.h"
#include "host/water_picture.h"
#include "platform/platform.h"
#include "settings/preset_refresh.h"

namespace tw::host {
namespace {

const char kPresetsHelp[] =
    "Usage: tarnwell presets refresh DIR --picture IMAGE [options]\n"
    "\n"
    "Re-renders the pictures of the preset files in DIR over IMAGE, as the dialog's batch\n"
    "picture refresh (Ctrl + click on the memory-dot well) renders them over the picture\n"
    "being edited.\n"
    "\n"
    "A preset file is a settings file whose name contains \"q9q\" (its picture is still to be\n"
    "made) or \"q5q\" (it has one), in any letter case. Each one is read, rendered over IMAGE\n"
    "and rewritten in place with the new picture; its settings stay as they are. A \"q9q\"\n"
    "file is then renamed: the text from the last \".\" of its name on becomes \".q5q\"\n"
    "(lake.q9q becomes lake.q5q). A name that is already taken is not replaced: the file\n"
    "keeps its \"q9q\" name and a message says so. Read-only files are reported and left\n"
    "alone; folders and other files are ignored.\n"
    "\n"
    "The picture is the one the dialog's preview would show: IMAGE divided by the smallest\n"
    "whole factor that fits it into the preview pane (647 x 492 pixels, the dialog at 96\n"
    "DPI), rendered, and the centred square of that scaled to the 128 x 128 picture.\n"
    "\n"
    "Options:\n"
    "  --picture IMAGE   the picture to render over (PNG, JPEG or TIFF); required\n"
    "  --threads N       most worker threads for the renders, 1 to 1024\n"
    "  -q, --quiet       no progress bar and no summary (problems are still reported)\n"
    "  -h, --help        show this help\n"
    "\n"
    "Like the dialog, the batch first keeps the current settings in the scratch memory dot\n"
    "\"Tarnwell A memory dot 25.q8r\" in the temporary folder (or TARNWELL_TEMP).\n"
    "Ctrl-C stops after the file being rendered; that file and the ones after it are left\n"
    "as they were.\n"
    "\n"
    "Exit status: 0 done, 1 a folder, picture or file failed, 2 bad command line,\n"
    "130 cancelled.\n";

struct PresetsOptions {
    std::string folder, picture;
    long threads = 0;
    bool quiet = false;
};

int ParsePresets(const Arguments& arguments, PresetsOptions& options) {
    const OptionTable table{"presets", kPresetsHelp, {}, {"--picture", "--threads"}};
    ScannedArguments scanned;
    if (int status = ScanArguments(arguments, table, scanned); status >= 0) return status;
    options.quiet = scanned.quiet;
    for (const ScannedOption& option : scanned.options) {
        std::string error;
        if (option.name == "--picture") options.picture = option.value;
        if (option.name == "--threads" && !ParseInteger(option.value, 1, 1024, option.name, options.threads, error)) {
            ReportError("presets: " + error);
            return kExitUsage;
        }
    }
    if (scanned.files.empty() || scanned.files.front() != "refresh") {
        ReportError(scanned.files.empty() ? "presets: say what to do: refresh (see 'tarnwell presets --help')"
                                          : "presets: unknown action '" + scanned.files.front() + "'; expected refresh");
        return kExitUsage;
    }
    if (scanned.files.size() != 2) {
        ReportError(scanned.files.size() < 2 ? "presets refresh: needs the folder of presets"
                                             : "presets refresh: too many names; expected one folder");
        return kExitUsage;
    }
    options.folder = scanned.files[1];
    if (options.picture.empty()) {
        ReportError("presets refresh: needs --picture IMAGE, the picture to render the presets over");
        return kExitUsage;
    }
    return -1;
}

std::string List(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

// Problems are reported whatever --quiet says; the summary only without it. Returns the
// exit status the report calls for.
int Report(const PresetsOptions& options, const PresetRefreshReport& report, const std::string& render_error) {
    for (const std::string& name : report.read_only) ReportError("presets refresh: skipped read-only file " + name);
    for (const std::string& name : report.unreadable) ReportError("presets refresh: cannot read " + name + "; left alone");
    for (const std::string& name : report.not_rendered)
        ReportError("presets refresh: " + name + " could not be rendered" +
                    (render_error.empty() ? "" : " (" + render_error + ")") + "; left alone");
    for (const std::string& name : report.not_written)
        ReportError("presets refresh: cannot rewrite " + name + "; left as it was");
    for (const std::string& name : report.not_renamed)
        ReportError("presets refresh: " + name + " has its new picture but keeps its name: " +
                    RefreshedPresetName(name) + " is taken or cannot be made");
    if (report.status == RefreshStatus::kStopped) {
        ReportError("presets refresh: cancelled after " + std::to_string(report.refreshed) + " of " +
                    std::to_string(report.total) + " file(s)");
        return kExitCancelled;
    }
    if (!options.quiet) {
        std::string summary = "refreshed " + std::to_string(report.refreshed) + " of " +
                              std::to_string(report.total) + " preset picture(s) in " + options.folder;
        if (!report.renamed.empty()) summary += "; renamed " + std::to_string(report.renamed.size()) + " to .q5q";
        if (report.total == 0) summary = "no preset files (names with q9q or q5q) in " + options.folder;
        std::fprintf(stderr, "tarnwell: %s\n", summary.c_str());
        if (!report.renamed.empty()) {
            std::vector<std::string> names;
            for (const PresetRefreshReport::Rename& r : report.renamed) names.push_back(r.from + " -> " + r.to);
            std::fprintf(stderr, "tarnwell: renamed %s\n", List(names).c_str());
        }
    }
    const bool failed = !report.unreadable.empty() || !report.not_rendered.empty() || !report.not_written.empty();
    return failed ? kExitFailure : kExitOk;
}

}  // namespace

int RunPresets(const Arguments& arguments) {
    PresetsOptions options;
    if (int status = ParsePresets(arguments, options); status >= 0) return status;

    // The folder first: a wrong folder should not wait for a picture to load.
    std::vector<platform::FolderEntry> entries;
    if (!platform::ListFolderEntries(options.folder, entries)) {
        ReportError(platform::FileExists(options.folder)
                        ? "presets refresh: '" + options.folder + "' is a file; give the folder that holds the presets"
                        : "presets refresh: cannot read the folder '" + options.folder + "': it does not exist or is not readable");
        return kExitFailure;
    }
    std::string error;
    Picture picture;
    Document document;
    if (!ReadPicture(options.picture, picture, error) || !DocumentFromPicture(picture, document, error)) {
        ReportError("presets refresh: " + error);
        return kExitFailure;
    }
    picture = Picture();
    if (options.threads > 0) SetEnvironmentValue("TARNWELL_THREADS", std::to_string(options.threads));
    InProcessPlugin plugin;
    if (!plugin.Open(document, error)) {
        ReportError("presets refresh: " + error);
        return kExitFailure;
    }

    // The bar moves with each file's render, in thousandths of a file.
    struct Progress {
        ProgressBar bar;
        int done = 0, total = 0;
    } progress;
    auto on_render = [](void* context, int per_mille) {
        auto& p = *static_cast<Progress*>(context);
        ShowProgress(p.bar, p.done * 1000 + per_mille, p.total * 1000);
    };
    PreviewPlanes preview;
    std::string render_error;
    PresetRefreshServices services;
    services.render_preview = [&](const RenderParams& params, PlanarView& view) {
        std::string why;
        if (!RenderPreview(plugin, document, params, preview, why, on_render, &progress)) {
            if (render_error.empty()) render_error = why;
            return false;
        }
        view = preview.view;
        return true;
    };
    services.stop_requested = [] { return Interrupted(); };
    services.progress = [&progress](int done, int total, const std::string&) {
        progress.done = done;
        progress.total = total;
        ShowProgress(progress.bar, done, total);
    };

    // The batch runs on a record of its own: the plain settings stand for the user's.
    RenderParams params{};
    ResetParams(params);
    tw::Picture holder;
    ResetPictureToRamp(holder);
    PresetRefreshState state;
    StartProgress(progress.bar, "refreshing", options.quiet);
    InstallInterruptHandler();
    const PresetRefreshReport report = RefreshPresetFolder(state, options.folder, params, holder, services);
    RemoveInterruptHandler();
    EndProgress(progress.bar);
    if (report.status == RefreshStatus::kNotListed) {
        ReportError("presets refresh: cannot list the folder '" + options.folder + "'");
        return kExitFailure;
    }
    return Report(options, report, render_error);
}

}  // namespace tw::host
