// `tarnwell export-psd` and `tarnwell gallery`: the dialog's export commands on the command
// line. Unlike `apply`, which drives the plug-in module through the host interface only,
// these run the plug-in's own render code in this process, as its dialog does when it
// exports: the picture is loaded through a host session, then rendered offscreen at any
// size without touching the document.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/document.h"
#include "image/image_buffer.h"
#include "params/render_params.h"

namespace tw::host {

int RunExportPsd(const Arguments& arguments);
int RunGallery(const Arguments& arguments);

// The plug-in's shell over one document, prepared as for a run, with its source loaded.
class InProcessPlugin {
public:
    InProcessPlugin();
    ~InProcessPlugin();
    InProcessPlugin(const InProcessPlugin&) = delete;
    InProcessPlugin& operator=(const InProcessPlugin&) = delete;

    // Prepares the plug-in for `document` (which must outlive this object) and loads the
    // picture; false with a one-line reason.
    bool Open(Document& document, std::string& error);
    // The settings the renders use: the plain settings until changed.
    RenderParams& params();
    // Renders the settings at width x height into a new RGBA picture in the document's depth
    // (the caller destroys it). `progress` hears thousandths about once a second. Null with
    // a reason when memory runs out or Ctrl-C stops the render.
    ImageBuffer* Render(int32_t width, int32_t height, void (*progress)(void*, int),
                        void* context, std::string& error);

    struct State;

private:
    std::unique_ptr<State> state_;
};

// --settings FILE then each --set LABEL=VALUE, applied over the plain settings in `params`.
bool ApplySettingsOptions(RenderParams& params, const std::string& settings_file,
                          const std::vector<std::string>& assignments, std::string& error);

}  // namespace tw::host
