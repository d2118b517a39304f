// The tile scheduler on its own: how rectangles are cut, how many slots run, where job
// memory comes from, and how cancels, host errors and lack of memory end a run.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>  // the memory-starved run below limits the address space
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fake_host.h"
#include "render/pixel_record.h"
#include "shell/tile_scheduler.h"

namespace tw {
namespace {

TEST(TileLayout, CutsHundredBySeventyIntoFourJobs) {
    const TileLayout layout = MakeTileLayout({0, 0, 70, 100});
    EXPECT_EQ(layout.across, 2);
    EXPECT_EQ(layout.total, 4);
    const HostRect expected[4] = {{0, 0, 64, 64}, {0, 64, 64, 100}, {64, 0, 70, 64}, {64, 64, 70, 100}};
    for (int i = 0; i < 4; ++i) {
        const HostRect r = JobRect(layout, i);
        EXPECT_EQ(r.top, expected[i].top) << i;
        EXPECT_EQ(r.left, expected[i].left) << i;
        EXPECT_EQ(r.bottom, expected[i].bottom) << i;
        EXPECT_EQ(r.right, expected[i].right) << i;
    }
    // Coordinates are relative to the covered rectangle wherever it lies.
    const TileLayout moved = MakeTileLayout({100, 200, 170, 300});
    EXPECT_EQ(JobRect(moved, 3).left, 64);
    EXPECT_EQ(MakeTileLayout({5, 5, 5, 9}).total, 0);
}

TEST(TileLayout, SlotsAreBoundedByJobsProcessorsAndHundred) {
    EXPECT_EQ(SlotCount(4, 1), 1);
    EXPECT_EQ(SlotCount(4, 16), 4);
    EXPECT_EQ(SlotCount(500, 8), 8);
    EXPECT_EQ(SlotCount(500, 400), 100);
    EXPECT_EQ(SlotCount(3, 0), 1);
}

struct Recorder {
    std::vector<int32_t> completed;
    std::vector<int32_t> grid_sizes;
    std::atomic<int> worked{0};
    int abort_after = -1;
    int polls = 0;
    int16_t error_at = -1;
};

SchedulerRun RecordingRun(Recorder& rec, const HostRect& area, int32_t slots) {
    SchedulerRun run;
    run.area = area;
    run.slots = slots;
    run.needs_engine = false;
    run.context = &rec;
    run.work = [](void* c, TileJob& job) {
        // Mark the grid so completion can check the worker really ran on this job.
        job.cells.records[0].key = job.index + 1;
        ++static_cast<Recorder*>(c)->worked;
    };
    run.complete = [](void* c, TileJob& job) -> int16_t {
        auto& r = *static_cast<Recorder*>(c);
        EXPECT_EQ(job.cells.records[0].key, job.index + 1);
        r.completed.push_back(job.index);
        r.grid_sizes.push_back(job.cells.columns * job.cells.rows);
        return job.index == r.error_at ? int16_t(-36) : int16_t(0);
    };
    run.aborted = [](void* c) {
        auto& r = *static_cast<Recorder*>(c);
        return r.abort_after >= 0 && r.polls++ >= r.abort_after;
    };
    return run;
}

TEST(TileScheduler, OneSlotRunsJobsInIndexOrder) {
    Recorder rec;
    const SchedulerOutcome out = RunTileScheduler(RecordingRun(rec, {0, 0, 200, 130}, 1));
    EXPECT_EQ(out.error, 0);
    EXPECT_FALSE(out.cancelled);
    EXPECT_EQ(out.completed, 12);
    std::vector<int32_t> order(12);
    for (int i = 0; i < 12; ++i) order[i] = i;
    EXPECT_EQ(rec.completed, order);
}

TEST(TileScheduler, ManySlotsCompleteEveryJobOnce) {
    Recorder rec;
    const SchedulerOutcome out = RunTileScheduler(RecordingRun(rec, {0, 0, 300, 330}, 7));
    EXPECT_EQ(out.completed, 30);
    EXPECT_EQ(rec.worked, 30);
    std::vector<int32_t> seen = rec.completed;
    std::sort(seen.begin(), seen.end());
    for (int i = 0; i < 30; ++i) EXPECT_EQ(seen[size_t(i)], i);
}

TEST(TileScheduler, SinglePixelGetsAThreeByThreeGrid) {
    Recorder rec;
    RunTileScheduler(RecordingRun(rec, {0, 0, 1, 1}, 4));
    ASSERT_EQ(rec.grid_sizes.size(), 1u);
    EXPECT_EQ(rec.grid_sizes[0], 9);
}

TEST(TileScheduler, CancelStopsNewJobsAndWaitsForRunningOnes) {
    Recorder rec;
    rec.abort_after = 2;
    const SchedulerOutcome out = RunTileScheduler(RecordingRun(rec, {0, 0, 640, 640}, 3));
    EXPECT_TRUE(out.cancelled);
    EXPECT_EQ(rec.completed.size(), 2u);   // tiles written before the cancel
    EXPECT_EQ(out.completed, out.dispatched);  // every started job was waited for
    EXPECT_LT(out.dispatched, 100);
    EXPECT_EQ(rec.worked, out.dispatched);
}

TEST(TileScheduler, FirstHostErrorIsKeptAndEndsTheRun) {
    for (int32_t slots : {1, 3}) {
        Recorder rec;
        rec.error_at = 1;
        const SchedulerOutcome out = RunTileScheduler(RecordingRun(rec, {0, 0, 640, 640}, slots));
        EXPECT_EQ(out.error, -36);
        // Jobs still running finish, but the host is asked for nothing after its refusal.
        ASSERT_FALSE(rec.completed.empty());
        EXPECT_EQ(rec.completed.back(), 1);
        EXPECT_EQ(out.completed, out.dispatched);
        // Each success before the refusal refilled its slot while jobs were left (the area
        // has 100); nothing started after it. On a busy machine the refused job may be one
        // of the last to finish, when every job has long been started.
        EXPECT_EQ(out.dispatched, std::min(100, slots + int32_t(rec.completed.size()) - 1));
    }
}

TEST(CellBuffer, ComesFromHostBuffersWhenOfferedElseSystemMemory) {
    test::FakeHost host;
    const BufferProcs* procs = host.record().bufferProcs;
    CellBuffer cells;
    ASSERT_TRUE(AllocateCells(cells, 64, 64, procs));
    EXPECT_NE(cells.host_buffer, nullptr);
    EXPECT_EQ(host.buffers_live, 1);
    EXPECT_EQ(cells.records[66 * 66 - 1].kind, 0);  // zero-filled
    FreeCells(cells, procs);
    EXPECT_EQ(host.buffers_live, 0);

    host.fail_buffers = true;
    ASSERT_TRUE(AllocateCells(cells, 10, 5, procs));
    EXPECT_EQ(cells.host_buffer, nullptr);
    EXPECT_EQ(cells.columns, 12);
    EXPECT_EQ(cells.rows, 7);
    FreeCells(cells, procs);

    // Five procedures are not enough to count as offered.
    BufferProcs short_procs = *procs;
    short_procs.numBufferProcs = 5;
    EXPECT_FALSE(HostOffersBuffers(&short_procs));
}

#ifndef _WIN32  // address-space limits are a POSIX facility
// Without memory for jobs the run reports -108 and returns instead of waiting forever.
void RunStarvedOfMemory() {
    Recorder rec;
    SchedulerRun run = RecordingRun(rec, {0, 0, 6400, 6400}, 8);
    run.complete = nullptr;  // no checks that allocate
    // Room for a few megabytes more than the process uses now: far too little for eight
    // 1 MB grids plus their threads' stacks.
    unsigned long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    rlimit limit{};
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = pages * 4096 + (3u << 20);
    setrlimit(RLIMIT_AS, &limit);
    const SchedulerOutcome out = RunTileScheduler(run);
    std::_Exit(out.error == -108 && out.completed == out.dispatched ? 0 : 1);
}

TEST(TileSchedulerDeathTest, LackOfMemoryEndsTheRunWithoutHanging) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address-space limit starves AddressSanitizer itself";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunStarvedOfMemory(), ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace tw
