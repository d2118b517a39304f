// The dialog's preview renders, away from the user interface's thread, in the plug-in's own
// preview mode: the plug-in's code runs in this process, prepared by a host session over
// the drawable's pixels and held by the shell's offscreen session, which loads the picture
// with its mip chain once and renders a preview per request (shell/offscreen_session.h).
// The final render never goes this way: it runs the plug-in module through the host, as
// `tarnwell apply` does.
//
// Only the newest values matter: requests made while a render runs replace one another, the
// render in progress is never shown, and the newest request starts as soon as it ends.
// Nothing here knows about GTK; the dialog turns a delivery into a redraw on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <vector>

#include "host/document.h"
#include "params/render_params.h"
#include "shell/offscreen_session.h"

namespace tw::gimp {

// A rendered view for the screen: 8-bit samples as the picture's planes hold them (grey: one
// plane), interleaved, with the water over a chequerboard where the picture is transparent
// and the horizon, waterline and ripple-centre guides drawn in.
struct PreviewImage {
    int32_t width = 0, height = 0;
    int planes = 3;  // 1 or 3
    std::vector<uint8_t> pixels;
};

// The water of `params` over `picture` at width x height as a picture of its own, without
// the preview's guides: what a settings file keeps of its look, as the plug-in's dialog
// saves it. Runs the plug-in's code on the calling thread. False with a one-line reason.
bool RenderWaterPicture(const host::Document& picture, const RenderParams& params, int32_t width, int32_t height,
                        PreviewImage& image, std::string& error);

struct PreviewResult {
    uint64_t generation = 0;  // of the request it answers
    bool ok = false;
    std::string error;        // when not ok
    PreviewImage image;
    PreviewView view;         // what was rendered (the pan kept inside the picture)
    double seconds = 0;       // the render's wall time (with the picture's loading, the first time)
};

class PreviewRenderer {
public:
    // `deliver` runs on the renderer's thread, once per render whose values are still the newest.
    using Delivery = std::function<void(PreviewResult&&)>;

    explicit PreviewRenderer(Delivery deliver);
    ~PreviewRenderer();  // waits for the render in progress
    PreviewRenderer(const PreviewRenderer&) = delete;
    PreviewRenderer& operator=(const PreviewRenderer&) = delete;

    // The picture the next renders show; it is loaded on the renderer's thread.
    void SetPicture(std::shared_ptr<const host::Document> picture);
    // Renders `params` as seen through `view`, replacing any request not yet started; the
    // render in progress, if any, will not be delivered. Returns the request's generation.
    uint64_t Request(const RenderParams& params, const PreviewView& view);
    // Drops whatever waits or runs; nothing more is delivered until the next request.
    void Stop();
    uint64_t Newest() const { return newest_.load(); }

private:
    void Run();

    Delivery deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<const host::Document> picture_;
    bool picture_changed_ = false;
    RenderParams pending_{};
    PreviewView pending_view_;
    uint64_t pending_generation_ = 0;  // 0: nothing waiting
    bool quitting_ = false;
    std::atomic<uint64_t> newest_{0};
    std::thread thread_;
};

}  // namespace tw::gimp
