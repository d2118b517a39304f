// Selector dispatch, the two host-kept blocks and the scratch memory of a run.
#include "shell/plugin_shell.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "hostapi/host_constants.h"
#include "hostapi/host_procs.h"
#include "image/image_buffer.h"
#include "params/settings_precision.h"
#include "platform/platform.h"
#include "settings/cached_settings.h"
#include "settings/dot_map.h"
#include "settings/image_holder.h"
#include "shell/dialog_bridge.h"
#include "shell/host_access.h"
#include "shell/render_driver.h"
#include "shell/script_params.h"

namespace tw {

FilterRecord* gFilterRecord = nullptr;
intptr_t* gDataHandle = nullptr;
int16_t* gResult = nullptr;
SPBasicSuite* gSPBasic = nullptr;
void* gPluginInstance = nullptr;
RenderParams* gParams = nullptr;
GlobalState* gGlobals = nullptr;
uint8_t gAboutOpen = 0;

namespace {

constexpr int16_t kOutOfMemory = -108;
constexpr int16_t kCancelled = -128;
constexpr int16_t kScratchFailed = 3;
constexpr int16_t kTold = 1;

Handle DataHandle() { return gDataHandle != nullptr ? reinterpret_cast<Handle>(*gDataHandle) : nullptr; }

ShellContext CurrentShell() { return {gFilterRecord, gParams, gGlobals, gResult}; }

// Fresh host memory may hold anything; the blocks hold pointers the plug-in later frees,
// so a new block starts out zeroed.
bool ZeroNewBlock(Handle handle, size_t bytes) {
    void* data = LockHostHandle(*gFilterRecord, handle);
    if (data == nullptr) return false;
    std::memset(data, 0, bytes);
    UnlockHostHandle(*gFilterRecord, handle);
    return true;
}

}  // namespace

int32_t LineLengthForFilter(int32_t width, int32_t height) {
    int64_t n = int64_t(std::max(width, height)) + 4;
    n = std::max<int64_t>(2 * n, 3 * int64_t(width) + 2184);
    return int32_t(std::clamp<int64_t>(n, 4, INT32_MAX));
}

void AllocateBlocks() {
    FilterRecord& rec = *gFilterRecord;
    if (rec.parameters == nullptr) {
        Handle h = NewHostHandle(rec, kParamsBlockBytes);
        if (h == nullptr || !ZeroNewBlock(h, kParamsBlockBytes)) {
            *gResult = kOutOfMemory;
            return;
        }
        rec.parameters = h;
    }
    if (DataHandle() == nullptr && gDataHandle != nullptr) {
        Handle h = NewHostHandle(rec, kGlobalStateBytes);
        if (h == nullptr || !ZeroNewBlock(h, kGlobalStateBytes)) {
            *gResult = kOutOfMemory;
            return;
        }
        *gDataHandle = reinterpret_cast<intptr_t>(h);
    }
}

void LockBlocks() {
    FilterRecord& rec = *gFilterRecord;
    Handle data = DataHandle();
    if (rec.parameters == nullptr || data == nullptr) {
        *gResult = filterBadParameters;
        return;
    }
    auto* params = static_cast<RenderParams*>(LockHostHandle(rec, rec.parameters));
    auto* globals = static_cast<GlobalState*>(LockHostHandle(rec, data));
    if (params == nullptr || globals == nullptr) {
        *gResult = kOutOfMemory;
        return;
    }
    gParams = params;
    gGlobals = globals;
    gParams->globals = globals;
}

void ResetForInteractiveRun(GlobalState& g) {
    g.show_dialog = 1;
    g.preview_scale = 1.0f;
    g.preview_rect = HostRect{};
    // The buffer itself stays; it is replaced before the next preview and freed at finish.
    g.preview_width = g.preview_height = g.preview_plane_size = 0;
}

void ResetAll(RenderParams& p, GlobalState& g, const FilterRecord* record) {
    const ImageMemory memory = HostImageMemory(record);
    resetImageBuffer(g.work_image, &memory);
    resetImageBuffer(g.aux_image, &memory);
    g.last_memory_dot = nullptr;
    g.preview_ready = 0;
    g.undo_counters[0] = g.undo_counters[1] = 0;
    g.redraw = 0;
    ResetParams(p);
}

bool AllocateScratch(GlobalState& g) {
    g.line_buffer_size = std::max<int64_t>(g.line_buffer_size, int64_t(kRecordCellBytes) * 4);
    g.line_buffer = static_cast<uint8_t*>(std::calloc(size_t(g.line_buffer_size), 1));
    bool ok = g.line_buffer != nullptr;
    for (int i = 0; i < 3; ++i) {
        g.small_buffer_size[i] = kSmallBufferBytes;
        g.small_buffers[i] = static_cast<uint8_t*>(std::calloc(kSmallBufferBytes, 1));
        ok = ok && g.small_buffers[i] != nullptr;
    }
    g.scratch = static_cast<ScratchRecord*>(std::calloc(1, sizeof(ScratchRecord)));
    ok = ok && g.scratch != nullptr;
    if (!ok) {
        ReleaseScratch(g, false);
        return false;
    }
    g.scratch->valid_marker = kScratchValidMarker;
    return true;
}

void ReleaseScratch(GlobalState& g, bool images) {
    std::free(g.line_buffer);
    g.line_buffer = nullptr;
    for (uint8_t*& buffer : g.small_buffers) {
        std::free(buffer);
        buffer = nullptr;
    }
    std::free(g.scratch);
    g.scratch = nullptr;
    if (images) {
        destroyImageBuffer(&g.work_image);
        destroyImageBuffer(&g.aux_image);
        std::free(g.preview_buffer);
        g.preview_buffer = nullptr;
    }
}

void StartupInitialisation(const ShellContext& shell) {
    RenderParams& p = *shell.params;
    GlobalState& g = *shell.globals;
    FilterRecord& rec = *shell.record;

    for (int32_t& key : g.scratch->cache_keys) key = kScratchStaleKey;

    const ImageMemory memory = HostImageMemory(&rec);
    resetImageBuffer(g.work_image, &memory);
    resetImageBuffer(g.aux_image, &memory);
    initImageBuffer(g.aux_image, 128, 128, kRgba8);
    ResetImageToRamp(g.aux_image);  // what settings pictures show until one is captured
    p.source_loaded = 0;

    g.dot_shift_flag = g.dot_control_flag = 0;
    g.preview_display_rect = HostRect{};

    const bool paint_shop = rec.hostSig == kPaintShopPro8Signature ||
                            rec.hostSig == kPaintShopPro9Signature;
    if (paint_shop || !WillReadScriptParams(rec)) LoadCachedSettings(p);

    if (g.first_run) {
        g.first_run = 0;
        p.psd_size_choice = 1;
        p.psd_width = 100;
        p.psd_height = 100;
    }

    p.open_path[0] = 0;
    p.export_text[0][0] = 0;
    p.export_text[1][0] = 0;
    p.selection_a = p.selection_b = 0;
    g.drag_state = 0;
    g.dialog_running = 0;
    // A missing or unreadable map leaves the flags as they are: no dot is lost for it.
    LoadDotMap(g.dot_keep);
}

void DoAbout() {
    if (gAboutOpen) return;
    gAboutOpen = 1;
    ShowAboutBox();
    gAboutOpen = 0;
}

void DoParameters() {
    AllocateBlocks();
    if (*gResult == 0) {
        LockBlocks();
        if (gGlobals != nullptr) ResetForInteractiveRun(*gGlobals);
    }
    if (gGlobals != nullptr) {
        gGlobals->show_dialog = 1;
        gGlobals->first_run = 1;
    }
}

void DoPrepare() {
    FilterRecord& rec = *gFilterRecord;
    if (rec.parameters != nullptr && DataHandle() != nullptr) {
        LockBlocks();
    } else {
        AllocateBlocks();
        if (*gResult == 0) {
            LockBlocks();
            if (gGlobals != nullptr) ResetForInteractiveRun(*gGlobals);
        }
    }
    rec.bufferSpace = 0;

    // Ask only for what a 256 x 256 working window needs; the rest stays with the host.
    const HostRect filter = GetFilterRect(rec);
    const int64_t h = std::min(std::max(filter.height(), 0), 256);
    const int64_t w = std::min(std::max(filter.width(), 0), 256);
    const int64_t planes = rec.planes + (rec.maskData != nullptr ? 1 : 0);
    const int64_t wanted = 2 * h * w * planes;
    if (rec.maxSpace > wanted) rec.maxSpace = int32_t(wanted);

    if (gParams != nullptr && gGlobals != nullptr) {
        GlobalState& g = *gGlobals;
        ResetAll(*gParams, g, &rec);
        g.filter_bounds = filter;
        g.line_length = LineLengthForFilter(filter.width(), filter.height());
        for (int32_t& size : g.small_buffer_size) size = kSmallBufferBytes;
        g.line_buffer_size = int64_t(g.line_length) * kRecordCellBytes;

        for (void*& handle : g.dialog_handles) handle = nullptr;
        g.dialog_running = 0;
        g.drag_state = 0;
        gParams->preview_centre_x = filter.width() / 2;
        gParams->preview_centre_y = filter.height() / 2;
    }
    rec.bufferSpace = 0;
    gAboutOpen = 0;
    platform::SeedRandom(unsigned(platform::ClockSeconds()));
}

void DoStart() {
    FilterRecord& rec = *gFilterRecord;
    LockBlocks();
    if (gParams == nullptr || gGlobals == nullptr) return;
    RenderParams& p = *gParams;
    GlobalState& g = *gGlobals;
    const ShellContext shell = CurrentShell();

    p.live_preview = rec.advanceState != nullptr && rec.displayPixels != nullptr ? 1 : 0;
    if (!AllocateScratch(g)) {
        *gResult = kScratchFailed;
        EmptyHostRects(rec);
        return;
    }
    StartupInitialisation(shell);

    if (rec.advanceState == nullptr) {
        ShowRefusal();
        *gResult = kTold;
    } else if (rec.imageMode == plugInModeMultichannel) {
        *gResult = kTold;
    }
    if (*gResult != 0) {
        ReleaseScratch(g, true);
        EmptyHostRects(rec);
        return;
    }

    // The host's descriptor errors are not the run's: a bad descriptor leaves the plain
    // settings. Reading also decides whether the dialog shows.
    ReadScriptParams(rec, p, g.show_dialog);

    bool accepted = true;
    if (g.show_dialog && *gResult == 0) {
        g.dialog_running = 1;
        const intptr_t parent = rec.platformData != nullptr ? rec.platformData->hwnd : 0;
        const int ended = RunParameterDialog(shell, parent);
        accepted = ended == kDialogAccepted || ended == kDialogUnavailable;
        for (void*& handle : g.dialog_handles) handle = nullptr;
        g.dialog_running = 0;
    }
    g.show_dialog = 0;

    if (*gResult == 0 && accepted) {
        // The dialog rounds its edits as they land; this makes sure the run renders exactly
        // what its cached settings will keep, whatever the dialog left.
        RoundToSettingsPrecision(p);
        RenderToHost(shell, kRenderFinal);
        SaveCachedSettings(p);
    } else if (*gResult == 0) {
        *gResult = kCancelled;
    }
    // A host need not call finish after a start that failed or was cancelled, so nothing
    // of this run, the pictures included, may be left for finish to free.
    if (*gResult != 0) ReleaseScratch(g, true);
}

void DoContinue() {
    // The whole render happens in start; empty rectangles end the host's continue calls.
    EmptyHostRects(*gFilterRecord);
}

void DoFinish() {
    FilterRecord& rec = *gFilterRecord;
    if (rec.descriptorParameters != nullptr) {
        // Record what is in the parameters block; it is locked only for this step. Recording
        // refreshes fields of what it writes, so it works on a copy and leaves the block as
        // the run left it.
        void* params = LockHostHandle(rec, rec.parameters);
        if (params != nullptr) {
            RenderParams recorded = *static_cast<const RenderParams*>(params);
            WriteScriptParams(rec, recorded);
            UnlockHostHandle(rec, rec.parameters);
        }
    }
    LockBlocks();
    if (gGlobals != nullptr) {
        SaveDotMap(gGlobals->dot_keep);
        ReleaseScratch(*gGlobals, true);
    }
}

void PluginDispatch(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    int16_t spare_result = 0;
    gResult = result != nullptr ? result : &spare_result;
    *gResult = 0;
    gDataHandle = data;
    gParams = nullptr;
    gGlobals = nullptr;

    if (selector == filterSelectorAbout) {
        gFilterRecord = nullptr;
        gSPBasic = record != nullptr ? static_cast<AboutRecord*>(record)->sSPBasic : nullptr;
        DoAbout();
        return;
    }
    gFilterRecord = static_cast<FilterRecord*>(record);
    if (gFilterRecord == nullptr) {
        *gResult = filterBadParameters;
        return;
    }
    FilterRecord& rec = *gFilterRecord;
    gSPBasic = rec.sSPBasic;
    // Documents beyond 16-bit coordinates need the 32-bit rectangles; use them whenever
    // the host has them.
    if (rec.bigDocumentData != nullptr) rec.bigDocumentData->PluginUsing32BitCoordinates = 1;

    try {
        switch (selector) {
            case filterSelectorParameters: DoParameters(); break;
            case filterSelectorPrepare: DoPrepare(); break;
            case filterSelectorStart: DoStart(); break;
            case filterSelectorContinue: DoContinue(); break;
            case filterSelectorFinish: DoFinish(); break;
            default: break;  // later selectors: nothing but the unlocks
        }
    } catch (...) {
        // Nothing may unwind into the host; the only thing that throws here is allocation.
        *gResult = kOutOfMemory;
    }

    if (Handle h = DataHandle()) UnlockHostHandle(rec, h);
    if (rec.parameters != nullptr) UnlockHostHandle(rec, rec.parameters);
    gParams = nullptr;
    gGlobals = nullptr;
}

}  // namespace tw
