// The shell around everything else: the host's pointers for the current call, the two
// host-kept blocks, the selectors, and the scratch memory of a run.
#pragma once

#include <cstdint>

#include "hostapi/filter_record.h"
#include "params/render_params.h"
#include "shell/global_state.h"

namespace tw {

// The host's pointers of the current selector call, and the module's own handle. They are
// valid only during a call; gParams and gGlobals only between LockBlocks and its end.
extern FilterRecord* gFilterRecord;
extern intptr_t* gDataHandle;
extern int16_t* gResult;
extern SPBasicSuite* gSPBasic;
extern void* gPluginInstance;
extern RenderParams* gParams;
extern GlobalState* gGlobals;
extern uint8_t gAboutOpen;

// Everything a render or a selector step works on, so they can be driven directly.
struct ShellContext {
    FilterRecord* record = nullptr;
    RenderParams* params = nullptr;
    GlobalState* globals = nullptr;
    int16_t* result = nullptr;
};

// The entry point's body: stores the pointers, dispatches and unlocks.
void PluginDispatch(int16_t selector, void* record, intptr_t* data, int16_t* result);

void DoAbout();
void DoParameters();
void DoPrepare();
void DoStart();
void DoContinue();
void DoFinish();

// Creates whichever of the two blocks is missing (-108 when it cannot be had).
void AllocateBlocks();
// Locks both blocks into gParams and gGlobals (-30100 when one is missing, -108 when a
// lock fails).
void LockBlocks();

// The GlobalState part of the reset done at every prepare, then ResetParams.
void ResetAll(RenderParams& params, GlobalState& globals, const FilterRecord* record);
// What the parameters selector and a first prepare set for an interactive run.
void ResetForInteractiveRun(GlobalState& globals);

// Scratch memory of a run: line buffer, three small buffers, the engine's scratch record.
bool AllocateScratch(GlobalState& globals);
// Releases the scratch memory and, with `images`, the pictures and the preview buffer.
void ReleaseScratch(GlobalState& globals, bool images);
// Start-up initialisation of a start selector, after the scratch memory exists.
void StartupInitialisation(const ShellContext& shell);

}  // namespace tw
