// The plug-in's own code in this process for the export commands: a host session serves
// the document and calls the prepare selector, and the shell's offscreen session loads the
// picture and renders, as the dialog's exports do. Linked only into the programs that carry
// the plug-in's code (see host/CMakeLists.txt); it registers itself with the export
// commands when the program starts.
#include <string>

#include "host/export_command.h"
#include "host/host_session.h"
#include "host/terminal.h"
#include "shell/offscreen_session.h"
#include "shell/plugin_shell.h"

namespace tw::host {
namespace {

struct Plugin {
    HostSession session;
    OffscreenSession offscreen;
    bool running = false;  // BeginRun was called
};

bool OnAbort(void*) { return Interrupted(); }

std::string ShellFailure(int16_t result) {
    if (result == userCanceledErr) return "cancelled";
    if (result == memFullErr || result == 999) return "not enough memory for the render";
    return "the plug-in failed (" + DescribeResult(result) + ")";
}

// The one-line reason for a failed offscreen step.
std::string Reason(const OffscreenOutcome& outcome, int32_t width, int32_t height) {
    switch (outcome.status) {
        case OffscreenStatus::kDone: break;
        case OffscreenStatus::kNoBlocks: return "the plug-in did not create its blocks";
        case OffscreenStatus::kNotLocked: return "the plug-in's blocks could not be locked";
        case OffscreenStatus::kNoScratch:
            return "not enough memory for the plug-in's scratch buffers";
        case OffscreenStatus::kNotLoaded:
            return "the picture could not be loaded: " + ShellFailure(outcome.code);
        case OffscreenStatus::kNoPictureMemory:
            return "not enough memory for a " + std::to_string(width) + " x " +
                   std::to_string(height) + " picture";
        case OffscreenStatus::kNotScaled:
            return "the picture could not be scaled to the export size";
        case OffscreenStatus::kRenderFailed: return ShellFailure(outcome.code);
    }
    return "";
}

void Close(void* handle) {
    auto* p = static_cast<Plugin*>(handle);
    p->offscreen.Close();
    if (p->running) p->session.EndRun();
    delete p;
}

bool Prepare(Plugin& p, Document& document, std::string& error) {
    HostEvents events;
    events.abort = OnAbort;
    p.session.BeginRun(document, events);
    p.running = true;
    const OSErr prepared = p.session.CallSelector(PluginDispatch, filterSelectorPrepare);
    if (prepared != noErr) {
        error = "the plug-in could not prepare: " + DescribeResult(prepared);
        return false;
    }
    const OffscreenOutcome opened = p.offscreen.Open(p.session.record(), &p.session.data_slot());
    if (!opened.ok()) {
        error = Reason(opened, document.width, document.height);
        return false;
    }
    // The picture is in the plug-in's working image now, and renders ask the host for no
    // more pixels: the run ends here, so the caller may let the document's pixels go.
    p.session.EndRun();
    p.running = false;
    return true;
}

void* Open(Document& document, std::string& error) {
    auto* p = new Plugin;
    if (Prepare(*p, document, error)) return p;
    Close(p);
    return nullptr;
}

RenderParams* Params(void* handle) { return &static_cast<Plugin*>(handle)->offscreen.params(); }

ImageBuffer* Render(void* handle, int32_t width, int32_t height, void (*progress)(void*, int),
                    void* context, std::string& error) {
    Plugin& p = *static_cast<Plugin*>(handle);
    const OffscreenOutcome rendered = p.offscreen.Render(width, height, {progress, context});
    if (!rendered.ok()) error = Reason(rendered, width, height);
    return rendered.image;
}

constexpr InProcessPluginCalls kCalls{Open, Params, Render, Close};

// Registers the calls before main runs.
const bool kRegistered = (RegisterInProcessPlugin(&kCalls), true);

}  // namespace
}  // namespace tw::host
