// The plug-in's own code in this process for the export commands: a host session serves
// the document, the shell prepares and loads the picture as for a run, and renders go
// through the shell's offscreen pass, as the dialog's exports do. Linked only into the
// programs that carry the plug-in's code (see host/CMakeLists.txt); it registers itself
// with the export commands when the program starts.
#include <memory>

#include "host/export_command.h"
#include "host/host_session.h"
#include "host/terminal.h"
#include "shell/later_work.h"
#include "shell/plugin_shell.h"
#include "shell/render_driver.h"

namespace tw::host {
namespace {

struct Plugin {
    HostSession session;
    ShellContext shell;
    int16_t result = 0;
    bool running = false;  // BeginRun was called
    bool locked = false;   // the two blocks are locked
    bool scratch = false;  // the shell's scratch memory exists
};

bool OnAbort(void*) { return Interrupted(); }

std::string ShellFailure(int16_t result) {
    if (result == userCanceledErr) return "cancelled";
    if (result == memFullErr || result == 999) return "not enough memory for the render";
    return "the plug-in failed (" + DescribeResult(result) + ")";
}

void Close(void* handle) {
    auto* p = static_cast<Plugin*>(handle);
    if (p->scratch) ReleaseScratch(*p->shell.globals, true);
    if (p->locked) {
        FilterRecord& rec = p->session.record();
        rec.handleProcs->unlockProc(rec.parameters);
        rec.handleProcs->unlockProc(reinterpret_cast<Handle>(p->session.data_slot()));
    }
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
    // The dialog works on the two kept blocks while they are locked, as here.
    FilterRecord& rec = p.session.record();
    Handle data = reinterpret_cast<Handle>(p.session.data_slot());
    if (rec.handleProcs == nullptr || rec.parameters == nullptr || data == nullptr) {
        error = "the plug-in did not create its blocks";
        return false;
    }
    p.shell.record = &rec;
    p.shell.params = reinterpret_cast<RenderParams*>(rec.handleProcs->lockProc(rec.parameters, 0));
    p.shell.globals = reinterpret_cast<GlobalState*>(rec.handleProcs->lockProc(data, 0));
    p.shell.result = &p.result;
    p.locked = true;
    if (p.shell.params == nullptr || p.shell.globals == nullptr) {
        error = "the plug-in's blocks could not be locked";
        return false;
    }
    if (!AllocateScratch(*p.shell.globals)) {
        error = "not enough memory for the plug-in's scratch buffers";
        return false;
    }
    p.scratch = true;
    StartupInitialisation(p.shell);
    SetPlainSettings(*p.shell.params);
    if (!LoadSource(p.shell)) {
        error = "the picture could not be loaded: " + ShellFailure(p.result);
        return false;
    }
    return true;
}

void* Open(Document& document, std::string& error) {
    auto* p = new Plugin;
    if (Prepare(*p, document, error)) return p;
    Close(p);
    return nullptr;
}

RenderParams* Params(void* handle) { return static_cast<Plugin*>(handle)->shell.params; }

ImageBuffer* Render(void* handle, int32_t width, int32_t height, void (*progress)(void*, int),
                    void* context, std::string& error) {
    Plugin& p = *static_cast<Plugin*>(handle);
    const ImageBuffer& work = p.shell.globals->work_image;
    ImageBuffer* target = createImageBuffer(width, height, work.format);
    if (target == nullptr) {
        error = "not enough memory for a " + std::to_string(width) + " x " +
                std::to_string(height) + " picture";
        return nullptr;
    }
    // The render samples the source at the export size; the same size is copied inside.
    if ((width != work.width || height != work.height) && !resampleImage(work, *target)) {
        destroyImageBuffer(target);
        error = "the picture could not be scaled to the export size";
        return nullptr;
    }
    p.result = 0;
    p.shell.params->render_mode = kRenderOffscreen;
    SetExportProgressHandler(progress, context);
    RenderOffscreen(p.shell, *target);
    SetExportProgressHandler(nullptr, nullptr);
    if (p.result != 0) {
        destroyImageBuffer(target);
        error = ShellFailure(p.result);
        return nullptr;
    }
    return target;
}

constexpr InProcessPluginCalls kCalls{Open, Params, Render, Close};

// Registers the calls before main runs.
const bool kRegistered = (RegisterInProcessPlugin(&kCalls), true);

}  // namespace
}  // namespace tw::host
