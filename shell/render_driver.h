// The render drivers: loading the host's picture into the working image, one render pass
// into the host (final), into the dialog's preview buffer (preview) or into an export
// picture (offscreen), and the preview's zoom arithmetic.
#pragma once

#include <cstdint>

#include "shell/global_state.h"
#include "shell/plugin_shell.h"

namespace tw {

struct ImageBuffer;

// Image format of the working image for the host's depth.
int32_t WorkImageFormat(const FilterRecord& record);

// Fetches the host's picture into `work_image` in 512-pixel-wide blocks and builds its mip
// chain on the worker threads. Sets the result to 999 when the picture cannot be
// allocated, or to the host's error. True when the working image is ready.
bool LoadSource(const ShellContext& shell);

// One render pass: mode kRenderFinal into the host, kRenderPreview into preview_buffer.
void RenderToHost(const ShellContext& shell, int32_t mode);

// Where an offscreen render reports how far it is, in thousandths, about once a second:
// the caller's progress window or bar. A null `report` is nowhere.
struct OffscreenProgress {
    void (*report)(void* context, int per_mille) = nullptr;
    void* context = nullptr;
};

// The offscreen pass of the exporters into level 0 of `target`, over the working image
// scaled to the target's size: the target holds the scaled picture when the sizes differ
// (offscreen_session.h does the scaling); at the working image's own size its contents do
// not matter. Puts back the view and render mode it found.
void RenderOffscreen(const ShellContext& shell, ImageBuffer& target,
                     const OffscreenProgress& progress = {});

// The preview's set-up before every preview render: the region RenderParams' zoom shows
// (ui/preview_zoom.h's ShownRegion), cut to GlobalState's preview_pane_* (the dialog's
// frame in pixels; 0: no limit), and the renderer's output window for it. The dialog's
// model does the zoom arithmetic; this is what the host and the renderer need of it.
void SetZoom(const ShellContext& shell);

// True when the host can deliver subsampled pictures for the preview.
bool HostCanSample(const FilterRecord& record);

// A preview render: a fresh preview buffer, then RenderToHost in preview mode.
void PreviewRender(const ShellContext& shell);

// The dialog's "before" view: the unfiltered picture copied into the preview buffer.
void BeforeView(const ShellContext& shell);

// Writes one finished water job: in final and preview mode it requests the job's rectangle
// from the host first (a failed request is returned and nothing is written); offscreen it
// stores into `export_image` over `background`. Host's thread only.
struct TileJob;
int16_t WriteWaterJob(const ShellContext& shell, TileJob& job, ImageBuffer* export_image,
                      const ImageBuffer* background);

// Makes the line buffer long enough for a render `width` pixels wide; false when the
// memory cannot be had.
bool EnsureLineBuffer(GlobalState& globals, int32_t width);

}  // namespace tw
