// Offscreen renders: the current settings rendered over the source picture at any size into
// a picture of their own, or into the preview buffer as the dialog's preview shows them,
// without touching the host's document. Two ways in:
//   - code that already holds the locked blocks during a run (the dialog's PSD export and
//     preset pictures) calls RenderOffscreenPicture with its ShellContext;
//   - a front end that runs the plug-in's code in its own process (the tarnwell command's
//     export-psd and galleries) calls the prepare selector through PluginDispatch, then
//     opens an OffscreenSession on the prepared record, which locks the blocks, loads the
//     picture and renders as often as it is asked: whole pictures, or previews (the GIMP
//     front end's dialog).
// Progress goes to the callback each caller passes; nothing here is global.
#pragma once

#include <cstdint>

#include "hostapi/filter_record.h"
#include "image/image_buffer.h"
#include "params/render_params.h"
#include "settings/picture.h"
#include "shell/plugin_shell.h"
#include "shell/render_driver.h"

namespace tw {

// How an offscreen step ended. `code` of OffscreenOutcome carries the shell's result code
// where the status says so.
enum class OffscreenStatus : int32_t {
    kDone,             // the step succeeded
    kNoBlocks,         // Open: the record holds no prepared blocks (prepare did not run)
    kNotLocked,        // Open: a block could not be locked
    kNoScratch,        // Open: no memory for the scratch buffers of a run
    kNotLoaded,        // Open or render: the source picture could not be loaded (see code)
    kNoPictureMemory,  // render: the target picture could not be allocated
    kNotScaled,        // render: the source could not be scaled to the target size
    kRenderFailed,     // render: the water pass failed (see code: -108 memory, -128 cancel)
};

struct OffscreenOutcome {
    OffscreenStatus status = OffscreenStatus::kDone;
    int16_t code = 0;            // the shell's result code for kNotLoaded and kRenderFailed
    ImageBuffer* image = nullptr;  // a render's picture; the caller destroys it
    bool ok() const { return status == OffscreenStatus::kDone; }
};

// Renders the settings of `shell.params` at width x height into a new RGBA picture in the
// working image's depth (8-bit, 16-bit or float, as the host's image). Loads the source
// first when it is not loaded yet. Puts back the view, zoom and render mode it found, and
// leaves *shell.result alone: a failed export is reported to the caller, not to the host.
// `progress` hears thousandths about once a second during the pass and 1000 at the end.
OffscreenOutcome RenderOffscreenPicture(const ShellContext& shell, int32_t width, int32_t height,
                                        const OffscreenProgress& progress);

// What a preview shows: every `zoom`-th pixel of the picture (1: every pixel), starting at
// picture pixel (pan_x, pan_y), at most pane_width x pane_height of them (0: no limit).
struct PreviewView {
    int32_t zoom = 1;
    int32_t pan_x = 0, pan_y = 0;
    int32_t pane_width = 0, pane_height = 0;
};

// Keeps the pan of `view` inside a width x height picture, as the plug-in's dialog keeps
// its own: the pane shows no pixels beyond the picture's right or bottom edge where the
// picture is big enough to fill it.
void ClampPreviewPan(PreviewView& view, int32_t width, int32_t height);

// A preview render. `pixels` is the plug-in's preview buffer: 8-bit planes one after
// another, one plane for a grey picture and three for a colour one, opaque (transparent
// parts are drawn over a chequerboard), with the horizon, waterline and ripple-centre
// guides drawn in. It belongs to the session and stays valid until its next render or
// Close. `view` is what was rendered: zoom 1 where the host cannot sample, the pan kept
// inside the picture.
struct OffscreenPreview {
    OffscreenStatus status = OffscreenStatus::kDone;
    int16_t code = 0;  // the shell's result code for kNotLoaded and kRenderFailed
    PlanarView pixels;
    PreviewView view;
    bool ok() const { return status == OffscreenStatus::kDone; }
};

// The plug-in's blocks on a prepared filter record, held locked with the scratch memory of
// a run and the source picture loaded, for offscreen renders only. The record (and the
// host behind it) must outlive the session. One session at a time per record.
class OffscreenSession {
public:
    OffscreenSession() = default;
    ~OffscreenSession() { Close(); }
    OffscreenSession(const OffscreenSession&) = delete;
    OffscreenSession& operator=(const OffscreenSession&) = delete;

    // After the prepare selector ran with `data_slot` as the data slot: locks the two blocks,
    // allocates the scratch memory, runs the start-up initialisation, sets the plain
    // settings and loads the picture. On failure the session is closed again.
    OffscreenOutcome Open(FilterRecord& record, intptr_t* data_slot);
    // Releases the scratch memory and the pictures and unlocks the blocks. Safe to repeat.
    void Close();

    bool is_open() const { return shell_.params != nullptr; }
    // The settings the renders use, plain until changed. Only while open.
    RenderParams& params() { return *shell_.params; }
    const ShellContext& shell() const { return shell_; }

    // RenderOffscreenPicture on the session's blocks.
    OffscreenOutcome Render(int32_t width, int32_t height, const OffscreenProgress& progress);
    // The settings of params() in the plug-in's preview mode, as its dialog's preview shows
    // them: only the pixels of `view`, without the final render's anti-aliasing, and nothing
    // written to the plug-in's files. A failed render reports kRenderFailed with the code
    // (-108: memory). The settings keep the zoom and pan rendered.
    OffscreenPreview RenderPreview(const PreviewView& view);

private:
    ShellContext shell_;
    Handle data_ = nullptr;  // the data block's handle, for the unlock
    int16_t result_ = 0;
    bool scratch_ = false;   // the scratch memory exists
};

}  // namespace tw
