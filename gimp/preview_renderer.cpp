#include "gimp/preview_renderer.h"

#include <chrono>

namespace tw::gimp {

PreviewRenderer::PreviewRenderer(Delivery deliver)
    : deliver_(std::move(deliver)), thread_(&PreviewRenderer::Run, this) {}

PreviewRenderer::~PreviewRenderer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
        newest_ = newest_ + 1;
    }
    wake_.notify_all();
    thread_.join();
}

void PreviewRenderer::SetPicture(std::shared_ptr<const host::Document> picture) {
    std::lock_guard<std::mutex> lock(mutex_);
    picture_ = std::move(picture);
    picture_changed_ = true;
}

uint64_t PreviewRenderer::Request(const RenderParams& params, const PreviewView& view) {
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = newest_ + 1;
        newest_ = generation;
        pending_ = params;
        pending_view_ = view;
        pending_generation_ = generation;
    }
    wake_.notify_all();
    return generation;
}

void PreviewRenderer::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    newest_ = newest_ + 1;
    pending_generation_ = 0;
}

void PreviewRenderer::Run() {
    PreviewSession session;
    bool open = false;
    std::string open_error = "no picture for the preview";
    for (;;) {
        RenderParams params;
        PreviewResult result;
        std::shared_ptr<const host::Document> picture;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quitting_ || pending_generation_ != 0; });
            if (quitting_) return;
            params = pending_;
            result.view = pending_view_;
            result.generation = pending_generation_;
            pending_generation_ = 0;
            if (picture_changed_) picture = picture_;
            picture_changed_ = false;
        }
        const auto start = std::chrono::steady_clock::now();
        if (picture) {
            open_error.clear();
            open = session.Open(*picture, open_error);
        }
        result.error = open_error;
        if (open) result.ok = session.Render(params, result.view, result.image, result.error);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result.generation != newest_.load()) continue;  // newer values came meanwhile
        deliver_(std::move(result));
    }
}

}  // namespace tw::gimp
