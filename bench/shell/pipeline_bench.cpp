// What the shell itself costs around the water: loading a 24-megapixel picture from the
// host into the working image with its mip chain, and scheduling, requesting and writing
// every tile back with transparent water (so no rendering time is included).
#include <benchmark/benchmark.h>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "image/image_buffer.h"
#include "shell/host_access.h"
#include "shell/render_driver.h"
#include "shell/tile_scheduler.h"

namespace tw {
namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;

struct Pipeline {
    test::FakeHost host;
    ShellContext shell;

    explicit Pipeline(int depth) : host(Options(depth)) {
        host.FillPattern();
        host.Call(filterSelectorPrepare);
        shell.record = &host.record();
        shell.params = reinterpret_cast<RenderParams*>(*host.record().parameters);
        shell.globals = reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
        shell.result = &host.result;
        host.result = 0;
    }
    ~Pipeline() { destroyImageBuffer(&shell.globals->work_image); }

    static test::FakeHostOptions Options(int depth) {
        test::FakeHostOptions options;
        options.width = kWidth;
        options.height = kHeight;
        options.big_document = true;
        options.depth = depth;
        options.image_mode = depth == 8 ? plugInModeRGBColor : plugInModeRGB48;
        return options;
    }
};

void SetRate(benchmark::State& state) {
    state.counters["MP/s"] = benchmark::Counter(double(kWidth) * kHeight * 1e-6 *
                                                    double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

void BM_SourceLoadingWithMips(benchmark::State& state) {
    Pipeline pipeline(int(state.range(0)));
    for (auto _ : state) {
        pipeline.shell.params->source_loaded = 0;
        if (!LoadSource(pipeline.shell)) state.SkipWithError("source loading failed");
    }
    SetRate(state);
}

int16_t WriteTransparent(void* context, TileJob& job) {
    return WriteWaterJob(*static_cast<const ShellContext*>(context), job, nullptr, nullptr);
}

void BM_TransparentTilesToHost(benchmark::State& state) {
    Pipeline pipeline(int(state.range(0)));
    RenderParams& p = *pipeline.shell.params;
    p.render_mode = kRenderFinal;
    p.zoom = 1;
    for (auto _ : state) {
        // A zero-filled record grid is transparent water: every pixel goes through the
        // whole writer and comes out as the host had it.
        SchedulerRun run;
        run.area = {0, 0, kHeight, kWidth};
        run.needs_engine = false;
        run.buffer_procs = pipeline.host.record().bufferProcs;
        run.context = &pipeline.shell;
        run.complete = WriteTransparent;
        const SchedulerOutcome outcome = RunTileScheduler(run);
        if (outcome.error != 0) state.SkipWithError("tile pass failed");
    }
    SetRate(state);
}

BENCHMARK(BM_SourceLoadingWithMips)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_TransparentTilesToHost)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace tw

BENCHMARK_MAIN();
