// `tarnwell export-psd` and `tarnwell gallery`: the dialog's export commands on the command
// line. Unlike `apply`, which drives the plug-in module through the host interface only,
// these run the plug-in's own render code in this process, as its dialog does when it
// exports: the picture is loaded through a host session, then rendered offscreen at any
// size without touching the document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/document.h"
#include "image/image_buffer.h"
#include "params/render_params.h"

namespace tw::host {

int RunExportPsd(const Arguments& arguments);
int RunGallery(const Arguments& arguments);

// The plug-in's shell over one document, prepared as for a run, with its source loaded: the
// shell's offscreen session (shell/offscreen_session.h) behind a host session. The plug-in's
// code is not part of the command library: host/in_process_plugin.cpp brings it into the
// programs that want it (the tarnwell command, its tests) and registers itself; elsewhere
// Open says the exports are not available.
class InProcessPlugin {
public:
    InProcessPlugin() = default;
    ~InProcessPlugin();
    InProcessPlugin(const InProcessPlugin&) = delete;
    InProcessPlugin& operator=(const InProcessPlugin&) = delete;

    // Prepares the plug-in for `document` and loads the picture; false with a one-line
    // reason. The document is read only until Open returns; the renders use the plug-in's
    // own copy of the picture.
    bool Open(Document& document, std::string& error);
    // The settings the renders use: the plain settings until changed. Only after Open.
    RenderParams& params();
    // Renders the settings at width x height into a new RGBA picture in the document's depth
    // (the caller destroys it). `progress` hears thousandths about once a second and 1000
    // when done. Null with a reason when memory runs out.
    ImageBuffer* Render(int32_t width, int32_t height, void (*progress)(void*, int),
                        void* context, std::string& error);

private:
    void* plugin_ = nullptr;
};

// The calls in_process_plugin.cpp registers.
struct InProcessPluginCalls {
    void* (*open)(Document& document, std::string& error);
    RenderParams* (*params)(void* plugin);
    ImageBuffer* (*render)(void* plugin, int32_t width, int32_t height,
                           void (*progress)(void*, int), void* context, std::string& error);
    void (*close)(void* plugin);
};
void RegisterInProcessPlugin(const InProcessPluginCalls* calls);

// --settings FILE then each --set LABEL=VALUE, applied over the plain settings in `params`.
bool ApplySettingsOptions(RenderParams& params, const std::string& settings_file,
                          const std::vector<std::string>& assignments, std::string& error);

}  // namespace tw::host
