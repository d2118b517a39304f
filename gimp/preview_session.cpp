#include "gimp/preview_session.h"

#include <algorithm>
#include <cstring>

#include "gimp/parameters.h"
#include "host/host_session.h"
#include "shell/plugin_shell.h"
#include "shell/render_driver.h"

namespace tw::gimp {

struct PreviewSession::State {
    host::Document picture;
    host::HostSession session;
    ShellContext shell;
    int16_t result = 0;
    bool running = false;  // BeginRun was called
    bool locked = false;   // the plug-in's two blocks are locked
    bool scratch = false;  // its scratch memory exists
};

namespace {

std::string Failure(int16_t result) {
    if (result == -108 || result == 999) return "not enough memory for the preview";
    return "the preview failed (" + host::DescribeResult(result) + ")";
}

}  // namespace

PreviewSession::PreviewSession() = default;

PreviewSession::~PreviewSession() { Close(); }

void PreviewSession::Close() {
    if (!state_) return;
    State& s = *state_;
    if (s.scratch) ReleaseScratch(*s.shell.globals, true);
    if (s.locked) {
        FilterRecord& rec = s.session.record();
        rec.handleProcs->unlockProc(rec.parameters);
        rec.handleProcs->unlockProc(reinterpret_cast<Handle>(s.session.data_slot()));
    }
    if (s.running) s.session.EndRun();
    state_.reset();
}

bool PreviewSession::Open(host::Document picture, std::string& error) {
    Close();
    state_ = std::make_unique<State>();
    State& s = *state_;
    s.picture = std::move(picture);
    s.session.BeginRun(s.picture, host::HostEvents{});
    s.running = true;
    // The plug-in makes its blocks at prepare; its dialog works on them locked, as here.
    const OSErr prepared = s.session.CallSelector(PluginDispatch, filterSelectorPrepare);
    FilterRecord& rec = s.session.record();
    Handle data = reinterpret_cast<Handle>(s.session.data_slot());
    if (prepared != noErr || rec.handleProcs == nullptr || rec.parameters == nullptr || data == nullptr) {
        error = "the plug-in could not prepare the preview: " + host::DescribeResult(prepared);
        Close();
        return false;
    }
    s.shell.record = &rec;
    s.shell.params = reinterpret_cast<RenderParams*>(rec.handleProcs->lockProc(rec.parameters, 0));
    s.shell.globals = reinterpret_cast<GlobalState*>(rec.handleProcs->lockProc(data, 0));
    s.shell.result = &s.result;
    s.locked = true;
    if (s.shell.params == nullptr || s.shell.globals == nullptr || !AllocateScratch(*s.shell.globals)) {
        error = "not enough memory for the preview";
        Close();
        return false;
    }
    s.scratch = true;
    StartupInitialisation(s.shell);
    if (!LoadSource(s.shell)) {
        error = Failure(s.result);
        Close();
        return false;
    }
    return true;
}

bool PreviewSession::Render(const RenderParams& params, const PreviewView& view, PreviewImage& image,
                            std::string& error) {
    if (!state_) {
        error = "no picture for the preview";
        return false;
    }
    State& s = *state_;
    RenderParams& p = *s.shell.params;
    GlobalState& g = *s.shell.globals;
    CopyRenderedValues(params, p);
    p.zoom = std::max(view.zoom, 1);
    p.pan_x = view.pan_x;
    p.pan_y = view.pan_y;
    g.preview_pane_width = view.pane_width;
    g.preview_pane_height = view.pane_height;
    s.result = 0;
    PreviewRender(s.shell);
    if (s.result != 0 || g.preview_buffer == nullptr) {
        error = Failure(s.result);
        return false;
    }
    // The plug-in keeps one plane after another; the display wants them interleaved.
    image.width = g.preview_width;
    image.height = g.preview_height;
    image.planes = g.preview_planes < 3 ? 1 : 3;
    const size_t plane = size_t(g.preview_plane_size);
    image.pixels.resize(plane * size_t(image.planes));
    for (int c = 0; c < image.planes; ++c) {
        const uint8_t* from = g.preview_buffer + size_t(c) * plane;
        for (size_t i = 0; i < plane; ++i) image.pixels[i * size_t(image.planes) + size_t(c)] = from[i];
    }
    return true;
}

int32_t FitZoom(int32_t width, int32_t height, int32_t pane_width, int32_t pane_height) {
    return tw::FitZoom(width, height, pane_width, pane_height, true);
}

void ClampPan(PreviewView& view, int32_t width, int32_t height) {
    const int32_t zoom = std::max(view.zoom, 1);
    // The view shows pane pixels of `zoom` picture pixels each, starting at the pan.
    const int32_t max_x = std::max(0, width - view.pane_width * zoom);
    const int32_t max_y = std::max(0, height - view.pane_height * zoom);
    view.pan_x = std::clamp(view.pan_x, 0, max_x);
    view.pan_y = std::clamp(view.pan_y, 0, max_y);
}

}  // namespace tw::gimp
