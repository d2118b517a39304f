// The tile scheduler: dispatch, worker procedure, completion and refill of slots.
#include "shell/tile_scheduler.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/platform.h"
#include "render/pixel_record.h"
#include "render/water_state.h"
#include "shell/module_pin.h"

namespace tw {

TileLayout MakeTileLayout(const HostRect& area, int32_t tile_size) {
    TileLayout layout{};
    layout.area = area;
    layout.width = std::max(area.width(), 0);
    layout.height = std::max(area.height(), 0);
    layout.tile_size = tile_size;
    layout.across = (layout.width + tile_size - 1) / tile_size;
    const int32_t down = (layout.height + tile_size - 1) / tile_size;
    layout.total = layout.across * down;
    return layout;
}

HostRect JobRect(const TileLayout& layout, int32_t index) {
    const int32_t row = index / layout.across;
    const int32_t column = index % layout.across;
    HostRect rect{};
    rect.left = column * layout.tile_size;
    rect.top = row * layout.tile_size;
    rect.right = std::min(rect.left + layout.tile_size, layout.width);
    rect.bottom = std::min(rect.top + layout.tile_size, layout.height);
    return rect;
}

int32_t SlotCount(int32_t jobs, int32_t processors) {
    return std::min({jobs, std::max(1, processors), kMaxSlots});
}

bool HostOffersBuffers(const BufferProcs* procs) {
    return procs != nullptr && procs->bufferProcsVersion == 2 && procs->numBufferProcs > 5 &&
           procs->allocateProc && procs->lockProc && procs->unlockProc && procs->freeProc &&
           procs->spaceProc;
}

bool AllocateCells(CellBuffer& cells, int32_t job_width, int32_t job_height,
                   const BufferProcs* procs, bool zero) {
    cells = CellBuffer{};
    cells.columns = job_width + 2;
    cells.rows = job_height + 2;
    const size_t bytes = gridRecordCount(job_width, job_height) * sizeof(PixelRecord);

    if (HostOffersBuffers(procs) && bytes <= size_t(INT32_MAX)) {
        BufferID id = nullptr;
        if (procs->allocateProc(int32_t(bytes), &id) == 0 && id != nullptr) {
            Ptr data = procs->lockProc(id, 1);
            if (data != nullptr) {
                cells.records = reinterpret_cast<PixelRecord*>(data);
                cells.host_buffer = id;
                if (zero) ZeroCells(cells);
                return true;
            }
            procs->freeProc(id);
        }
    }
    // The host has no buffers for us, or none left: system memory, zero-filled.
    cells.system_block = zero ? std::calloc(1, bytes) : std::malloc(bytes);
    cells.records = static_cast<PixelRecord*>(cells.system_block);
    return cells.records != nullptr;
}

void ZeroCells(CellBuffer& cells) {
    if (cells.records != nullptr)
        std::memset(static_cast<void*>(cells.records), 0,
                    size_t(cells.columns) * size_t(cells.rows) * sizeof(PixelRecord));
}

void FreeCells(CellBuffer& cells, const BufferProcs* procs) {
    if (cells.host_buffer != nullptr && procs != nullptr) {
        procs->unlockProc(cells.host_buffer);
        procs->freeProc(cells.host_buffer);
    }
    std::free(cells.system_block);
    cells = CellBuffer{};
}

namespace {

constexpr int16_t kOutOfMemory = -108;

void WorkerProc(void* argument) {
    TileJob& job = *static_cast<TileJob*>(argument);
    platform::Event* start = job.start_event;
    platform::WaitForAnyEvent(&start, 1);
    // The grid is not cleared: the geometry pass writes every field a later pass reads,
    // which spares a megabyte of stores per job.
    if (job.run->work != nullptr) job.run->work(job.run->context, job);
    // After this signal the host's thread owns the job again; touch nothing of it.
    platform::SignalEvent(job.done_event);
}

void FreeJob(TileJob* job, const SchedulerRun& run) {
    if (job == nullptr) return;
    FreeCells(job->cells, run.buffer_procs);
    delete job->engine;
    delete job;
}

// Allocates and fills job `index`; null when any of its memory cannot be had.
TileJob* MakeJob(const SchedulerRun& run, const TileLayout& layout, int32_t index) {
    auto* job = new (std::nothrow) TileJob{};
    if (job == nullptr) return nullptr;
    job->kind = run.kind;
    job->layout = layout;
    job->index = index;
    job->rect = JobRect(layout, index);
    job->owner = run.owner;
    job->source = run.source;
    job->block = run.block;
    job->run = &run;
    if (run.needs_engine) {
        job->engine = new (std::nothrow) WaterState{};
        if (job->engine == nullptr) {
            FreeJob(job, run);
            return nullptr;
        }
    }
    if (run.needs_cells &&
        !AllocateCells(job->cells, job->rect.width(), job->rect.height(), run.buffer_procs,
                       false)) {
        FreeJob(job, run);
        return nullptr;
    }
    if (run.prepare != nullptr) run.prepare(run.context, *job);
    return job;
}

struct Slots {
    int32_t count = 0;
    platform::Event* start[kMaxSlots] = {};
    platform::Event* done[kMaxSlots] = {};
    TileJob* job[kMaxSlots] = {};

    ~Slots() {
        for (int32_t i = 0; i < count; ++i) {
            platform::DestroyEvent(start[i]);
            platform::DestroyEvent(done[i]);
        }
    }
};

// Starts job `index` in slot `slot`; false (nothing left running there) on failure.
bool Dispatch(const SchedulerRun& run, const TileLayout& layout, Slots& slots, int32_t slot,
              int32_t index) {
    TileJob* job = MakeJob(run, layout, index);
    if (job == nullptr) return false;
    job->start_event = slots.start[slot];
    job->done_event = slots.done[slot];
    platform::SignalEvent(job->start_event);
    if (!platform::StartThread(WorkerProc, job, kWorkerStackBytes)) {
        // No thread ever saw the job, so it is still ours to free. Drain the start signal
        // so the slot's next worker does not run early.
        platform::Event* start = job->start_event;
        platform::WaitForAnyEvent(&start, 1);
        FreeJob(job, run);
        return false;
    }
    slots.job[slot] = job;
    return true;
}

}  // namespace

SchedulerOutcome RunTileScheduler(const SchedulerRun& run) {
    SchedulerOutcome outcome;
    const TileLayout layout = MakeTileLayout(run.area);
    const int32_t total = layout.total;
    if (total == 0) return outcome;

    KeepModuleLoaded();
    const int32_t processors = run.slots > 0 ? run.slots : platform::ProcessorCount();
    Slots slots;
    const int32_t wanted = SlotCount(total, processors);
    for (int32_t i = 0; i < wanted; ++i) {
        slots.start[i] = platform::CreateEvent();
        slots.done[i] = platform::CreateEvent();
        if (slots.start[i] == nullptr || slots.done[i] == nullptr) {
            platform::DestroyEvent(slots.start[i]);
            platform::DestroyEvent(slots.done[i]);
            break;
        }
        slots.count = i + 1;
    }
    if (slots.count == 0) {
        outcome.error = kOutOfMemory;
        return outcome;
    }

    bool stopped = false;  // no new jobs: cancelled, failed or out of memory
    bool host_failed = false;
    for (int32_t i = 0; i < slots.count && outcome.dispatched < total; ++i) {
        if (!Dispatch(run, layout, slots, i, outcome.dispatched)) {
            outcome.error = kOutOfMemory;
            stopped = true;
            break;
        }
        ++outcome.dispatched;
    }

    int32_t running = outcome.dispatched;
    while (running > 0) {
        const size_t slot = platform::WaitForAnyEvent(slots.done, size_t(slots.count));
        if (slot >= size_t(slots.count) || slots.job[slot] == nullptr) continue;
        TileJob* job = slots.job[slot];
        slots.job[slot] = nullptr;
        --running;

        if (!outcome.cancelled && run.aborted != nullptr && run.aborted(run.context)) {
            outcome.cancelled = true;
            stopped = true;
        }
        // After the host refused a request it is asked for nothing more in this run.
        if (!outcome.cancelled && !host_failed && run.complete != nullptr) {
            const int16_t error = run.complete(run.context, *job);
            if (error != 0) {
                host_failed = true;
                stopped = true;
                // Keep the first error: a later success must not hide it.
                if (outcome.error == 0 || outcome.error == kOutOfMemory) outcome.error = error;
            }
        }
        FreeJob(job, run);

        if (!stopped && outcome.dispatched < total) {
            if (Dispatch(run, layout, slots, int32_t(slot), outcome.dispatched)) {
                ++outcome.dispatched;
                ++running;
            } else {
                if (outcome.error == 0) outcome.error = kOutOfMemory;
                stopped = true;
            }
        }
        ++outcome.completed;
        if (run.progress != nullptr) run.progress(run.context, outcome.completed, total);
    }
    return outcome;
}

}  // namespace tw
