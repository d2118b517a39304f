// The dialog's preview renders, away from the user interface's thread, in the plug-in's own
// preview mode (preview_session.h). Only the newest values matter: requests made while a
// render runs replace one another, the render in progress is never shown, and the newest
// request starts as soon as it ends. Nothing here knows about GTK; the dialog turns a
// delivery into a redraw on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "gimp/preview_session.h"
#include "host/document.h"
#include "params/render_params.h"

namespace tw::gimp {

struct PreviewResult {
    uint64_t generation = 0;  // of the request it answers
    bool ok = false;
    std::string error;        // when not ok
    PreviewImage image;
    PreviewView view;         // what was rendered
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
