// Offscreen renders at any size, on blocks the caller holds or on a session's own.
#include "shell/offscreen_session.h"

#include <algorithm>

#include "shell/host_access.h"
#include "ui/preview_zoom.h"

namespace tw {

OffscreenOutcome RenderOffscreenPicture(const ShellContext& caller, int32_t width, int32_t height,
                                        const OffscreenProgress& progress) {
    // The render keeps its own result code: a failed export is the caller's to report, and
    // must not turn the host's run into a failure.
    int16_t code = 0;
    ShellContext shell = caller;
    shell.result = &code;
    const RenderParams& p = *shell.params;
    const ImageBuffer& work = shell.globals->work_image;

    OffscreenOutcome outcome;
    if ((!p.source_loaded || work.empty()) && !LoadSource(shell)) {
        outcome.status = OffscreenStatus::kNotLoaded;
        outcome.code = code;
        return outcome;
    }
    ImageBuffer* target = createImageBuffer(width, height, work.format);
    if (target == nullptr) {
        outcome.status = OffscreenStatus::kNoPictureMemory;
        return outcome;
    }
    // The pass samples the source at the target's size; at the working image's own size it
    // samples the working image itself.
    if ((width != work.width || height != work.height) && !resampleImage(work, *target)) {
        destroyImageBuffer(target);
        outcome.status = OffscreenStatus::kNotScaled;
        return outcome;
    }
    RenderOffscreen(shell, *target, progress);
    if (code != 0) {
        destroyImageBuffer(target);
        outcome.status = OffscreenStatus::kRenderFailed;
        outcome.code = code;
        return outcome;
    }
    // The pass reports only once a second; a progress window should still reach its end.
    if (progress.report != nullptr) progress.report(progress.context, 1000);
    outcome.image = target;
    return outcome;
}

OffscreenOutcome OffscreenSession::Open(FilterRecord& record, intptr_t* data_slot) {
    Close();
    OffscreenOutcome outcome;
    Handle data = data_slot != nullptr ? reinterpret_cast<Handle>(*data_slot) : nullptr;
    if (!HostHasHandles(record) || record.parameters == nullptr || data == nullptr) {
        outcome.status = OffscreenStatus::kNoBlocks;
        return outcome;
    }
    // Locked as the selectors lock them, and kept locked until Close: the session's renders
    // work on the blocks between selector calls, as the dialog does during start.
    auto* params = static_cast<RenderParams*>(LockHostHandle(record, record.parameters));
    auto* globals = static_cast<GlobalState*>(LockHostHandle(record, data));
    shell_ = {&record, params, globals, &result_};
    data_ = data;
    if (params == nullptr || globals == nullptr) {
        outcome.status = OffscreenStatus::kNotLocked;
        Close();
        return outcome;
    }
    params->globals = globals;
    if (!AllocateScratch(*globals)) {
        outcome.status = OffscreenStatus::kNoScratch;
        Close();
        return outcome;
    }
    scratch_ = true;
    StartupInitialisation(shell_);
    SetPlainSettings(*params);
    result_ = 0;
    if (!LoadSource(shell_)) {
        outcome.status = OffscreenStatus::kNotLoaded;
        outcome.code = result_;
        Close();
    }
    return outcome;
}

void OffscreenSession::Close() {
    if (scratch_) ReleaseScratch(*shell_.globals, true);
    scratch_ = false;
    if (shell_.record != nullptr) {
        // Only what was locked is unlocked: a lock that failed left nothing to give back.
        if (shell_.params != nullptr) UnlockHostHandle(*shell_.record, shell_.record->parameters);
        if (shell_.globals != nullptr) UnlockHostHandle(*shell_.record, data_);
    }
    shell_ = ShellContext{};
    data_ = nullptr;
    result_ = 0;
}

OffscreenOutcome OffscreenSession::Render(int32_t width, int32_t height,
                                          const OffscreenProgress& progress) {
    if (!is_open()) {
        OffscreenOutcome outcome;
        outcome.status = OffscreenStatus::kNoBlocks;
        return outcome;
    }
    return RenderOffscreenPicture(shell_, width, height, progress);
}

void ClampPreviewPan(PreviewView& view, int32_t width, int32_t height) {
    // The dialog's own rule (ui/preview_zoom.h); a pane without a limit shows the whole
    // picture at the zoom, and so leaves no room to pan.
    const int32_t zoom = std::max(view.zoom, 1);
    const auto frame = [zoom](int32_t size, int32_t pane) { return pane > 0 ? pane : size / zoom; };
    view.pan_x = ClampedPan(view.pan_x, width, zoom, frame(width, view.pane_width));
    view.pan_y = ClampedPan(view.pan_y, height, zoom, frame(height, view.pane_height));
}

OffscreenPreview OffscreenSession::RenderPreview(const PreviewView& wanted) {
    OffscreenPreview preview;
    if (!is_open()) {
        preview.status = OffscreenStatus::kNoBlocks;
        return preview;
    }
    RenderParams& p = *shell_.params;
    GlobalState& g = *shell_.globals;
    const HostRect filter = GetFilterRect(*shell_.record);
    PreviewView view = wanted;
    view.zoom = HostCanSample(*shell_.record) ? std::max(view.zoom, 1) : 1;
    view.pane_width = std::max(view.pane_width, 0);
    view.pane_height = std::max(view.pane_height, 0);
    ClampPreviewPan(view, filter.width(), filter.height());
    p.zoom = view.zoom;
    p.pan_x = view.pan_x;
    p.pan_y = view.pan_y;
    g.preview_pane_width = view.pane_width;
    g.preview_pane_height = view.pane_height;
    result_ = 0;
    PreviewRender(shell_);
    preview.view = view;
    if (result_ != 0 || g.preview_buffer == nullptr) {
        preview.status = OffscreenStatus::kRenderFailed;
        preview.code = result_;
        return preview;
    }
    preview.pixels = PlanarView{g.preview_buffer, g.preview_width, g.preview_height,
                                g.preview_planes < 3 ? 1 : 3};
    return preview;
}

}  // namespace tw
