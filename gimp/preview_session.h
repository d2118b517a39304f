// The plug-in's own preview mode, run in this process: the same sequence the plug-in's
// dialog runs (prepare, load the picture with its mip chain once, then a preview render per
// change), served by a host session over the drawable's pixels. The final render never goes
// this way: it runs the plug-in module through the host, as `tarnwell apply` does.
//
// A preview renders only the pixels shown, every `zoom`-th pixel of the picture, without the
// final render's anti-aliasing, and draws the horizon, waterline and ripple-centre guides in;
// it writes none of the plug-in's files. One session at a time, on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/document.h"
#include "params/render_params.h"

namespace tw::gimp {

// What a preview shows: the zoom (1: every pixel), the picture pixel at the view's top-left,
// and the largest view the pane holds.
struct PreviewView {
    int32_t zoom = 1;
    int32_t pan_x = 0, pan_y = 0;
    int32_t pane_width = 0, pane_height = 0;
};

// A rendered view: 8-bit samples as the picture's planes hold them (grey: one plane), laid
// out interleaved, with the water over a chequerboard where the picture is transparent.
struct PreviewImage {
    int32_t width = 0, height = 0;
    int planes = 3;  // 1 or 3
    std::vector<uint8_t> pixels;
};

class PreviewSession {
public:
    PreviewSession();
    ~PreviewSession();
    PreviewSession(const PreviewSession&) = delete;
    PreviewSession& operator=(const PreviewSession&) = delete;

    // Prepares the plug-in on `picture` (kept by the session) and loads it; false with a reason.
    bool Open(host::Document picture, std::string& error);
    // Renders the view of `params`; false with a reason.
    bool Render(const RenderParams& params, const PreviewView& view, PreviewImage& image, std::string& error);

    struct State;

private:
    void Close();
    std::unique_ptr<State> state_;
};

// The smallest zoom at which a width x height picture fits the pane, as the plug-in's dialog
// fits its preview.
int32_t FitZoom(int32_t width, int32_t height, int32_t pane_width, int32_t pane_height);
// Keeps the view's pan inside the picture for its zoom and pane.
void ClampPan(PreviewView& view, int32_t width, int32_t height);

}  // namespace tw::gimp
