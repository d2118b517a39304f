#include "gimp/preview_renderer.h"

#include <chrono>

#include "gimp/parameters.h"
#include "host/filter_run.h"

namespace tw::gimp {

PreviewRenderer::PreviewRenderer(PluginEntryProc entry, Delivery deliver)
    : entry_(entry), deliver_(std::move(deliver)), thread_(&PreviewRenderer::Run, this) {}

PreviewRenderer::~PreviewRenderer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
        newest_ = newest_ + 1;  // the running render sees itself abandoned
    }
    wake_.notify_all();
    thread_.join();
}

void PreviewRenderer::SetPicture(std::shared_ptr<const host::Document> picture) {
    std::lock_guard<std::mutex> lock(mutex_);
    picture_ = std::move(picture);
}

uint64_t PreviewRenderer::Request(const RenderParams& params) {
    uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        generation = newest_ + 1;
        newest_ = generation;
        pending_ = params;
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

bool PreviewRenderer::Abandoned(void* context) {
    const auto* self = static_cast<const PreviewRenderer*>(context);
    return self->running_.load() != self->newest_.load();
}

void PreviewRenderer::Run() {
    for (;;) {
        RenderParams params;
        std::shared_ptr<const host::Document> picture;
        uint64_t generation = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return quitting_ || pending_generation_ != 0; });
            if (quitting_) return;
            params = pending_;
            generation = pending_generation_;
            pending_generation_ = 0;
            picture = picture_;
            running_ = generation;
        }
        if (!picture || generation != newest_.load()) continue;

        const auto start = std::chrono::steady_clock::now();
        PreviewResult result;
        result.generation = generation;
        result.picture = *picture;
        const host::Descriptor action = ActionFor(params);
        host::HostEvents events;
        events.abort = Abandoned;
        events.context = this;
        const host::FilterRunResult run = host::RunFilter(entry_, result.picture, &action, events);
        if (Abandoned(this)) continue;  // newer values are waiting; this picture is stale
        result.ok = host::FilterRunSucceeded(run, result.error);
        if (!result.ok && result.error.empty()) result.error = "the preview was cancelled";
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        deliver_(std::move(result));
    }
}

}  // namespace tw::gimp
