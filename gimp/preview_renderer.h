// The dialog's preview renders, away from the user interface's thread: the real plug-in
// module runs a whole applied render over a reduced copy of the picture, as `tarnwell
// apply` would. Only the newest values matter: a request made while a render runs makes
// that render stop at its next abort check, and its result is never delivered. Nothing here
// knows about GTK; the dialog turns a delivery into a redraw on its own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "host/document.h"
#include "hostapi/plugin_entry.h"
#include "params/render_params.h"

namespace tw::gimp {

struct PreviewResult {
    uint64_t generation = 0;  // of the request it answers
    bool ok = false;
    std::string error;        // when not ok
    host::Document picture;   // the rendered copy
    double seconds = 0;       // the render's wall time
};

class PreviewRenderer {
public:
    // `deliver` runs on the renderer's thread, once per finished (not abandoned) render.
    using Delivery = std::function<void(PreviewResult&&)>;

    PreviewRenderer(PluginEntryProc entry, Delivery deliver);
    ~PreviewRenderer();  // abandons any render and waits for the thread
    PreviewRenderer(const PreviewRenderer&) = delete;
    PreviewRenderer& operator=(const PreviewRenderer&) = delete;

    // The reduced picture the next renders start from.
    void SetPicture(std::shared_ptr<const host::Document> picture);
    // Renders `params` as soon as the thread is free, abandoning a render in progress and
    // any request not yet started. Returns the request's generation.
    uint64_t Request(const RenderParams& params);
    // Abandons whatever runs or waits; nothing more is delivered until the next request.
    void Stop();
    // The generation of the newest request.
    uint64_t Newest() const { return newest_.load(); }

private:
    void Run();
    static bool Abandoned(void* context);

    PluginEntryProc entry_;
    Delivery deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<const host::Document> picture_;
    RenderParams pending_{};
    uint64_t pending_generation_ = 0;  // 0: nothing waiting
    bool quitting_ = false;
    std::atomic<uint64_t> newest_{0};
    std::atomic<uint64_t> running_{0};
    std::thread thread_;
};

}  // namespace tw::gimp
