#include "gimp/preview_renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "gimp/parameters.h"
#include "host/host_session.h"
#include "image/image_buffer.h"
#include "shell/plugin_shell.h"

namespace tw::gimp {
namespace {

std::string Failure(int16_t code) {
    if (code == memFullErr || code == 999) return "not enough memory for the preview";
    return "the preview failed (" + host::DescribeResult(code) + ")";
}

// The one-line reason for a failed offscreen step.
std::string Reason(OffscreenStatus status, int16_t code) {
    switch (status) {
        case OffscreenStatus::kDone: break;
        case OffscreenStatus::kNoBlocks: return "the plug-in did not create its blocks for the preview";
        case OffscreenStatus::kNotLocked: return "the plug-in's blocks could not be locked for the preview";
        case OffscreenStatus::kNoScratch:
        case OffscreenStatus::kNoPictureMemory: return "not enough memory for the preview";
        case OffscreenStatus::kNotLoaded: return "the picture could not be loaded: " + Failure(code);
        case OffscreenStatus::kNotScaled:
        case OffscreenStatus::kRenderFailed: return Failure(code);
    }
    return "";
}

// The plug-in's code over one picture: a host session serves the picture and runs the
// prepare selector, and the shell's offscreen session holds the prepared blocks. It writes
// none of the plug-in's files: only an applied run caches settings.
class PreviewPlugin {
public:
    ~PreviewPlugin() { Close(); }

    bool Open(const host::Document& picture, std::string& error) {
        Close();
        picture_ = picture;
        host_.BeginRun(picture_, host::HostEvents{});
        running_ = true;
        const OSErr prepared = host_.CallSelector(PluginDispatch, filterSelectorPrepare);
        if (prepared != noErr) {
            error = "the plug-in could not prepare the preview: " + host::DescribeResult(prepared);
            Close();
            return false;
        }
        const OffscreenOutcome opened = offscreen_.Open(host_.record(), &host_.data_slot());
        if (!opened.ok()) {
            error = Reason(opened.status, opened.code);
            Close();
            return false;
        }
        return true;
    }

    // Renders `params` at width x height, without guides, into `image`.
    bool RenderPicture(const RenderParams& params, int32_t width, int32_t height, int planes, PreviewImage& image,
                       std::string& error) {
        CopyRenderedValues(params, offscreen_.params());
        const OffscreenOutcome rendered = offscreen_.Render(width, height, {});
        if (!rendered.ok()) {
            error = Reason(rendered.status, rendered.code);
            return false;
        }
        const ImageBuffer& from = *rendered.image;
        image.width = from.width;
        image.height = from.height;
        image.planes = planes;
        image.pixels.resize(size_t(from.width) * size_t(from.height) * size_t(planes));
        uint8_t* out = image.pixels.data();
        for (int32_t y = 0; y < from.height; ++y)
            for (int32_t x = 0; x < from.width; ++x) {
                const PixelRgba c = readPixel(from, 0, x, y);
                const float channels[3] = {planes == 1 ? c.g : c.r, c.g, c.b};
                for (int p = 0; p < planes; ++p)
                    *out++ = uint8_t(std::lround(std::clamp(channels[p], 0.0f, 1.0f) * 255.0f));
            }
        destroyImageBuffer(rendered.image);
        return true;
    }

    // Renders `params` through `view` into `result`.
    bool Render(const RenderParams& params, PreviewResult& result) {
        CopyRenderedValues(params, offscreen_.params());
        const OffscreenPreview preview = offscreen_.RenderPreview(result.view);
        if (!preview.ok()) {
            result.error = Reason(preview.status, preview.code);
            return false;
        }
        // The plug-in keeps one plane after another; the display wants them interleaved.
        const PlanarView& from = preview.pixels;
        PreviewImage& image = result.image;
        image.width = from.width;
        image.height = from.height;
        image.planes = from.planes;
        const size_t plane = size_t(from.width) * size_t(from.height);
        image.pixels.resize(plane * size_t(from.planes));
        for (int c = 0; c < from.planes; ++c)
            for (size_t i = 0; i < plane; ++i)
                image.pixels[i * size_t(from.planes) + size_t(c)] = from.data[size_t(c) * plane + i];
        result.view = preview.view;
        return true;
    }

private:
    void Close() {
        offscreen_.Close();
        if (running_) host_.EndRun();
        running_ = false;
    }

    host::Document picture_;
    host::HostSession host_;
    OffscreenSession offscreen_;
    bool running_ = false;  // BeginRun was called
};

}  // namespace

bool RenderWaterPicture(const host::Document& picture, const RenderParams& params, int32_t width, int32_t height,
                        PreviewImage& image, std::string& error) {
    PreviewPlugin plugin;
    return plugin.Open(picture, error) &&
           plugin.RenderPicture(params, width, height, picture.colour_planes >= 3 ? 3 : 1, image, error);
}

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
    PreviewPlugin plugin;
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
            open = plugin.Open(*picture, open_error);
        }
        result.error = open_error;
        if (open) result.ok = plugin.Render(params, result);
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result.generation != newest_.load()) continue;  // newer values came meanwhile
        deliver_(std::move(result));
    }
}

}  // namespace tw::gimp
