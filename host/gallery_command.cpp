// `tarnwell gallery presets|dots`: the dialog's two gallery pages from the command line.
#include <cstdio>

#include "export/gallery.h"
#include "host/export_command.h"
#include "settings/settings_file.h"
#include "host/module.h"
#include "host/picture.h"
#include "host/terminal.h"
#include "platform/platform.h"

namespace tw::host {
namespace {

const char kGalleryHelp[] =
    "Usage: tarnwell gallery presets DIR OUT.html [options]\n"
    "       tarnwell gallery dots OUT.html --image IN [options]\n"
    "\n"
    "Writes an HTML 4.01 page and, beside it, a folder \"web_images\" of JPEG pictures.\n"
    "\n"
    "  presets   one cell per settings file of DIR (every file whose name contains\n"
    "            \".q8r\"), showing the picture the file carries; a file without a picture\n"
    "            shows the empty grey ramp\n"
    "  dots      one cell per memory dot kept in the plug-in's memory-dot map (in the\n"
    "            temporary folder, or TARNWELL_TEMP), each rendered over the picture IN\n"
    "            at its full size\n"
    "\n"
    "Options:\n"
    "  --image IN      the picture the dots are rendered over (dots only)\n"
    "  --threads N     most worker threads for the renders, 1 to 1024\n"
    "  --open          open the finished page with the system's default handler\n"
    "  -q, --quiet     no progress messages\n"
    "  -h, --help      show this help\n"
    "\n"
    "The page is written under a temporary name and renamed when complete. Existing\n"
    "pictures of the same name in web_images are replaced.\n"    "Ctrl-C stops the dots page before its next render; the page is then not written.\n"
    "\n"
    "Exit status: 0 done, 1 failed, 2 bad command line, 130 cancelled.\n";

struct GalleryOptions {
    std::string kind;
    std::vector<std::string> positional;
    std::string image;
    long threads = 0;
    bool open = false;
    bool quiet = false;
};

int ParseGallery(const Arguments& arguments, GalleryOptions& options) {
    const OptionTable table{"gallery", kGalleryHelp, {"--open"}, {"--image", "--threads"}};
    ScannedArguments scanned;
    if (int status = ScanArguments(arguments, table, scanned); status >= 0) return status;
    options.quiet = scanned.quiet;
    for (const ScannedOption& option : scanned.options) {
        std::string error;
        if (option.name == "--open") options.open = true;
        if (option.name == "--image") options.image = option.value;
        if (option.name == "--threads" && !ParseInteger(option.value, 1, 1024, option.name, options.threads, error)) {
            ReportError("gallery: " + error);
            return kExitUsage;
        }
    }
    // The first word names the page; the rest are its files.
    if (!scanned.files.empty()) {
        options.kind = scanned.files.front();
        options.positional.assign(scanned.files.begin() + 1, scanned.files.end());
    }
    const size_t wanted = options.kind == "presets" ? 2 : options.kind == "dots" ? 1 : 0;
    if (wanted == 0) {
        ReportError(options.kind.empty()
                        ? "gallery: say which page: presets or dots (see 'tarnwell gallery --help')"
                        : "gallery: unknown page '" + options.kind + "'; use presets or dots");
        return kExitUsage;
    }
    if (options.positional.size() != wanted) {
        ReportError(options.kind == "presets" ? "gallery presets: needs a folder and an output page"
                                              : "gallery dots: needs one output page");
        return kExitUsage;
    }
    if (options.kind == "dots" && options.image.empty()) {
        ReportError("gallery dots: needs --image IN, the picture to render the dots over");
        return kExitUsage;
    }
    if (options.kind == "presets" && !options.image.empty()) {
        ReportError("gallery presets: --image is only for the dots page");
        return kExitUsage;
    }
    return -1;
}

void Say(const GalleryOptions& options, const std::string& text) {
    if (!options.quiet) std::fprintf(stderr, "tarnwell: %s\n", text.c_str());
}

void Finish(const GalleryOptions& options, const std::string& page, const GalleryReport& report) {
    if (report.missing_pictures > 0)
        Say(options, std::to_string(report.missing_pictures) +
                         " settings file(s) carry no picture; shown as the empty ramp");
    if (report.unreadable > 0)
        Say(options, std::to_string(report.unreadable) + " file(s) could not be read");
    if (report.pictures_not_written > 0)
        Say(options, std::to_string(report.pictures_not_written) +
                         " picture(s) could not be written to web_images");
    Say(options, "wrote " + page + " with " + std::to_string(report.cells) + " picture(s)");
    if (options.open && !platform::OpenWithDefaultHandler(page))
        ReportError("gallery: no program is registered to open " + page);
}

int RunDots(const GalleryOptions& options) {
    std::string error;
    Picture picture;
    Document document;
    if (!ReadPicture(options.image, picture, error) ||
        !DocumentFromPicture(picture, document, error)) {
        ReportError(error);
        return kExitFailure;
    }
    picture = Picture();
    if (options.threads > 0) SetEnvironmentValue("TARNWELL_THREADS", std::to_string(options.threads));
    InProcessPlugin plugin;
    if (!plugin.Open(document, error)) {
        ReportError(error);
        return kExitFailure;
    }
    InstallInterruptHandler();
    ProgressBar bar;
    DotRenderer render = [&](const RenderParams& params, std::string& why) -> ImageBuffer* {
        // A render cannot be stopped half-way; Ctrl-C takes effect before the next dot.
        if (Interrupted()) {
            why = "cancelled";
            return nullptr;
        }
        CopySettingsFields(params, plugin.params());
        StartProgress(bar, "rendering", options.quiet);
        ImageBuffer* image = plugin.Render(
            document.width, document.height,
            [](void* context, int per_mille) {
                ShowProgress(*static_cast<ProgressBar*>(context), per_mille, 1000);
            },
            &bar, why);
        EndProgress(bar);
        return image;
    };
    GalleryReport report;
    const std::string page = options.positional[0];
    const bool ok = WriteMemoryDotsPage(
        page, render, [&](int dot) { Say(options, "rendering memory dot " + std::to_string(dot)); },
        report);
    RemoveInterruptHandler();
    if (!ok) {
        ReportError("gallery dots: " + report.error);
        return report.error.find("cancelled") != std::string::npos ? kExitCancelled : kExitFailure;
    }
    if (report.cells == 0) Say(options, "no memory dot is kept; the page has no pictures");
    Finish(options, page, report);
    return kExitOk;
}

}  // namespace

int RunGallery(const Arguments& arguments) {
    GalleryOptions options;
    if (int status = ParseGallery(arguments, options); status >= 0) return status;
    if (options.kind == "dots") return RunDots(options);

    GalleryReport report;
    const std::string page = options.positional[1];
    if (!WritePresetsPage(options.positional[0], page, report)) {
        ReportError("gallery presets: " + report.error);
        return kExitFailure;
    }
    Finish(options, page, report);
    return kExitOk;
}

}  // namespace tw::host
