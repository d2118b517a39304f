// The picture a settings file carries, made on the command line as the dialog makes it:
// the settings rendered over a picture at the size the dialog's preview shows it, then the
// centred square of that preview captured into the 128 x 128 picture.
//
// The preview pane is 431 x 303 dialog units; with the dialog's font at 96 DPI (dialog base
// units 6 x 13) that is 647 x 492 pixels. The dialog opens at the zoom that fits: the
// picture divided by the smallest whole factor that brings both sides inside the pane, so a
// picture that already fits is shown (and captured) at its own size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/document.h"
#include "host/export_command.h"
#include "params/render_params.h"
#include "settings/picture.h"

namespace tw::host {

constexpr int32_t kPreviewPaneWidth = 647;
constexpr int32_t kPreviewPaneHeight = 492;

struct PreviewSize {
    int32_t width = 0, height = 0;
};
// The size of the dialog's fitted preview of a width x height picture (at least 1 x 1).
PreviewSize FittedPreviewSize(int32_t width, int32_t height);

// A rendered preview as the dialog's buffer holds it: 8-bit planes, three for colour, one
// for grey; `view` points into `planes`.
struct PreviewPlanes {
    std::vector<uint8_t> planes;
    PlanarView view;
};

// Renders `params` over the plug-in's picture (opened on `document`) at the fitted preview
// size. `progress` (may be null) hears thousandths of the render. False with a one-line
// reason when the render fails.
bool RenderPreview(InProcessPlugin& plugin, const Document& document, const RenderParams& params,
                   PreviewPlanes& preview, std::string& error, void (*progress)(void*, int) = nullptr,
                   void* context = nullptr);

// What `settings save --picture IMAGE` keeps: reads IMAGE, renders `params` over it as the
// preview would and captures the result into `holder`. False with a one-line reason.
bool CaptureWaterPicture(const std::string& image_path, const RenderParams& params, tw::Picture& holder,
                         std::string& error);

// The picture `settings save` stores: with `render_water`, CaptureWaterPicture; without it,
// the centred square of IMAGE as it is (a picture that is already rendered). False with a
// one-line reason.
bool SavedSettingsPicture(const std::string& image_path, bool render_water, const RenderParams& params,
                          tw::Picture& holder, std::string& error);

}  // namespace tw::host
