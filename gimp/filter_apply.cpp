#include "gimp/filter_apply.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <libgimp/gimp.h>

#include "gimp/drawable_pixels.h"
#include "host/filter_run.h"

namespace tw::gimp {
namespace {

// GIMP's progress bar has a Cancel button; GIMP ends this program when it is pressed, so
// the shadow buffer is never merged and the picture stays as it was.
void OnProgress(void*, int32_t done, int32_t total) {
    if (total > 0) gimp_progress_update(0.05 + 0.9 * double(done) / double(total));
}

std::string TraceFile() {
    const char* path = std::getenv("TARNWELL_GIMP_TRACE");
    return path ? path : "";
}

}  // namespace

bool LoadTarnwellModule(host::PluginModule& module, std::string& error) {
    const std::string path = host::FindPluginModule(host::ExecutableFolder(), TARNWELL_GIMP_MODULE_DIR);
    return host::LoadPluginModule(path, module, error);
}

bool ApplyToDrawable(PluginEntryProc entry, int32_t drawable, const host::Descriptor* action, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    gimp_progress_init("Tarnwell 2");
    DrawablePixels original;
    if (!ReadDrawable(drawable, original, error)) return false;
    gimp_progress_update(0.05);

    host::Document picture = original.document;
    host::HostEvents events;
    events.progress = OnProgress;
    const host::FilterRunResult run = host::RunFilter(entry, picture, action, events);
    if (!host::FilterRunSucceeded(run, error)) {
        if (error.empty()) error = "cancelled";
        return false;
    }
    gimp_progress_update(0.95);
    if (!WriteDrawable(drawable, original, picture, error)) return false;
    gimp_progress_update(1.0);
    TraceEvent("filter", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return true;
}

void TraceEvent(const std::string& what, double seconds) {
    const std::string path = TraceFile();
    if (path.empty()) return;
    if (std::FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s %.6f\n", what.c_str(), seconds);
        std::fclose(file);
    }
}

}  // namespace tw::gimp
