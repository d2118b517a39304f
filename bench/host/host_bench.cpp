// What the substitute host costs a render: serving the source in 512-pixel-wide blocks,
// and handing out and taking back 64x64 output tiles, on a 24-megapixel picture.
#include <benchmark/benchmark.h>

#include "host/host_session.h"

namespace tw::host {
namespace {

Document BigPicture(int depth, bool transparency) {
    Document doc;
    doc.width = 6000;
    doc.height = 4000;
    doc.colour_planes = 3;
    doc.transparency = transparency;
    doc.depth = depth;
    doc.pixels.assign(doc.RowBytes() * size_t(doc.height), 0x55);
    return doc;
}

void SourceBlocks(benchmark::State& state) {
    Document doc = BigPicture(int(state.range(0)), false);
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    r.inLoPlane = 0;
    r.inHiPlane = int16_t(doc.Planes() - 1);
    r.inputPadding = plugInWantsEdgeReplication;
    BigDocumentStruct& big = session.big_document();
    big.PluginUsing32BitCoordinates = 1;
    for (auto _ : state) {
        for (int32_t left = 0; left < doc.width; left += 512) {
            big.inRect32 = {0, left, doc.height, left + 512};  // the last block runs off the edge
            benchmark::DoNotOptimize(session.AdvanceState());
        }
    }
    session.EndRun();
    state.SetItemsProcessed(state.iterations() * int64_t(doc.width) * doc.height);
}
BENCHMARK(SourceBlocks)->Arg(8)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);

void OutputTiles(benchmark::State& state) {
    Document doc = BigPicture(8, state.range(0) != 0);
    if (state.range(0)) doc.mask.assign(size_t(doc.width) * size_t(doc.height), 200);
    HostSession session;
    session.BeginRun(doc, {});
    FilterRecord& r = session.record();
    r.inLoPlane = r.outLoPlane = 0;
    r.inHiPlane = r.outHiPlane = int16_t(doc.Planes() - 1);
    r.autoMask = doc.HasMask() ? kTrue : kFalse;
    BigDocumentStruct& big = session.big_document();
    big.PluginUsing32BitCoordinates = 1;
    for (auto _ : state) {
        for (int32_t top = 0; top < doc.height; top += 64) {
            for (int32_t left = 0; left < doc.width; left += 64) {
                big.inRect32 = big.outRect32 = big.maskRect32 = {top, left, top + 64, left + 64};
                benchmark::DoNotOptimize(session.AdvanceState());
            }
        }
        session.CommitOutput();
    }
    session.EndRun();
    state.SetItemsProcessed(state.iterations() * int64_t(doc.width) * doc.height);
}
// 0: opaque RGB, no selection; 1: RGB with transparency and a selection the host applies.
BENCHMARK(OutputTiles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tw::host

BENCHMARK_MAIN();
