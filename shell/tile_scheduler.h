// The tile scheduler: cuts a rectangle into 64 x 64 jobs and runs them on worker threads,
// at most one job per slot and at most min(jobs, processors, 100) slots. The host's thread
// dispatches, waits for any slot to finish, completes that job (writes it to the host,
// polls abort, reports progress) and refills the slot. Workers compute into their own job
// only, so no lock is needed and the output does not depend on the thread count or on the
// order in which jobs finish.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/host_procs.h"
#include "shell/global_state.h"

namespace tw {

struct ImageBuffer;
struct PixelRecord;
struct WaterState;
namespace platform {
struct Event;
}

constexpr int32_t kJobTileSize = 64;
constexpr int32_t kMaxSlots = 100;
constexpr size_t kWorkerStackBytes = 200000;

// Job kinds: water tiles here, the mip reductions (kMipJobInteger, kMipJobFloat) beside the
// image buffer.
constexpr int32_t kJobWaterTile = 2;

// How one scheduler run cuts its rectangle; shared read-only by every job.
struct TileLayout {
    HostRect area;      // the rectangle covered
    int32_t width, height;
    int32_t tile_size;
    int32_t across;     // tiles across, ceil(width / tile_size)
    int32_t total;      // jobs in all
};

TileLayout MakeTileLayout(const HostRect& area, int32_t tile_size = kJobTileSize);
// Rectangle of job `index` (row-major), relative to the covered rectangle's top-left.
HostRect JobRect(const TileLayout& layout, int32_t index);

// A job's record grid: (height + 2) x (width + 2) records, zero-filled, from the host's
// buffer procedures when it offers them, else from system memory.
struct CellBuffer {
    PixelRecord* records = nullptr;
    int32_t columns = 0, rows = 0;   // grid size, border included
    BufferID host_buffer = nullptr;  // non-null when the host's buffer procedures gave it
    void* system_block = nullptr;    // non-null when system memory gave it
};

// Six 16-byte values the caller passes through to every job unchanged.
struct JobParameterBlock {
    uint8_t values[6][16];
};

struct SchedulerRun;

struct TileJob {
    int32_t kind;
    TileLayout layout;
    int32_t index;
    HostRect rect;             // relative to layout.area
    GlobalState* owner;
    const ImageBuffer* source;
    WaterState* engine;        // heap; set up only for water tiles
    CellBuffer cells;
    JobParameterBlock block;
    platform::Event* start_event;
    platform::Event* done_event;
    const SchedulerRun* run;   // the callbacks this job belongs to
};

// What a scheduler run does with its jobs. Every callback but `work` runs on the host's
// thread; `work` runs on the job's own worker thread.
struct SchedulerRun {
    int32_t kind = kJobWaterTile;
    HostRect area{};
    JobParameterBlock block{};
    GlobalState* owner = nullptr;
    const ImageBuffer* source = nullptr;
    bool needs_cells = true;    // water tiles need a record grid; mip jobs do not
    bool needs_engine = true;   // water tiles need a WaterState
    const BufferProcs* buffer_procs = nullptr;  // the host's, when it offers them
    void* context = nullptr;

    // Fills a freshly allocated job before its worker starts (e.g. the WaterState).
    void (*prepare)(void* context, TileJob& job) = nullptr;
    void (*work)(void* context, TileJob& job) = nullptr;
    // A finished job of a run that is not cancelled; returns a host error or 0.
    int16_t (*complete)(void* context, TileJob& job) = nullptr;
    // Polled before each completion; true cancels the run.
    bool (*aborted)(void* context) = nullptr;
    // Called after each completion with the jobs completed so far.
    void (*progress)(void* context, int32_t completed, int32_t total) = nullptr;
    // Number of worker slots; 0 means the processor count.
    int32_t slots = 0;
};

struct SchedulerOutcome {
    int16_t error = 0;       // first host error, -108 when job memory ran out, or 0
    bool cancelled = false;  // the abort poll said so
    int32_t dispatched = 0;
    int32_t completed = 0;
};

// Runs every job of `run.area` and returns once each started job has finished. After a
// cancel, an error or a failed allocation no new job starts, and only jobs that really
// started are waited for.
SchedulerOutcome RunTileScheduler(const SchedulerRun& run);

// Slot count for `jobs` jobs: min(jobs, max(1, processors), 100).
int32_t SlotCount(int32_t jobs, int32_t processors);

// Grid allocation, exposed for tests: true when the host's buffer procedures are usable.
bool HostOffersBuffers(const BufferProcs* procs);
// With `zero` false the records are left as they come (the scheduler's jobs, whose
// geometry pass writes every field before anything reads it).
bool AllocateCells(CellBuffer& cells, int32_t job_width, int32_t job_height,
                   const BufferProcs* procs, bool zero = true);
void ZeroCells(CellBuffer& cells);
void FreeCells(CellBuffer& cells, const BufferProcs* procs);

}  // namespace tw
