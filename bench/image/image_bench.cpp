// Speed of the image buffers: point samples per format (one level and trilinear),
// footprint samples at 1, 10 and 50 taps, over coarse levels and as reflections read them,
// the mip-chain build of a 12-megapixel picture, and the table of lookups above a picture.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "image/image_buffer.h"
#include "image/top_row_table.h"

namespace {

using namespace tw;

ImageBuffer* PatternBuffer(int32_t w, int32_t h, int32_t format) {
    ImageBuffer* b = createImageBuffer(w, h, format);
    if (!b) return nullptr;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            writePixel(*b, 0, x, y,
                       {float((x * 37 + y * 11) & 255) / 255, float((x * 5 + y * 73) & 255) / 255,
                        float((x ^ y) & 255) / 255, 1.0f});
    return b;
}

// The positions of one 64 x 64 render tile mapped slightly rotated and scaled into the
// picture, as the reflection reads it: neighbouring samples touch neighbouring pixels.
std::vector<float> Positions(size_t count) {
    std::vector<float> p;
    p.reserve(count * 2);
    for (size_t i = 0; i < count; ++i) {
        const float tx = float(i % 64), ty = float(i / 64 % 64);
        p.push_back(0.2f + (tx * 0.9f + ty * 0.1f) / 1024.0f);
        p.push_back(0.3f + (ty * 0.95f - tx * 0.05f) / 1024.0f);
    }
    return p;
}

void BM_PointSample(benchmark::State& state) {
    const int32_t format = int32_t(state.range(0));
    const float lod = float(state.range(1)) / 2.0f;  // 0 or 1.5
    ImageBuffer* b = PatternBuffer(1024, 1024, format);
    buildMipChain(*b);
    const std::vector<float> p = Positions(4096);
    size_t i = 0;
    for (auto _ : state) {
        const PixelRgba c = pointSample(*b, lod, p[i], p[i + 1]);
        benchmark::DoNotOptimize(c);
        i = (i + 2) & 8191;
    }
    state.SetItemsProcessed(state.iterations());
    destroyImageBuffer(b);
}
BENCHMARK(BM_PointSample)
    ->ArgNames({"format", "lod_x2"})
    ->ArgsProduct({{kGrey8, kGrey16, kGreyHalf, kRgba8, kRgba16, kGreyFloat, kRgbHalf, kRgbaFloat},
                   {0, 3}});

void BM_FootprintSample(benchmark::State& state) {
    const int32_t format = int32_t(state.range(0));
    const int taps = int(state.range(1));
    ImageBuffer* b = PatternBuffer(1024, 1024, format);
    buildMipChain(*b);
    SamplingState sampling;
    sampling.max_taps = 50;
    // Minor radius 1.5 pixels (a trilinear level), major radius `taps` times that.
    const float minor = 1.5f / 1024, major = minor * float(taps);
    const Footprint footprint{major * 0.8f, major * 0.6f, -minor * 0.6f, minor * 0.8f};
    const std::vector<float> p = Positions(4096);
    size_t i = 0;
    for (auto _ : state) {
        const PixelRgba c = footprintSample(*b, p[i], p[i + 1], footprint, 0.1f, 0.0f, sampling);
        benchmark::DoNotOptimize(c);
        i = (i + 2) & 8191;
    }
    state.SetItemsProcessed(state.iterations());
    destroyImageBuffer(b);
}
BENCHMARK(BM_FootprintSample)
    ->ArgNames({"format", "taps"})
    ->ArgsProduct({{kRgba8, kRgba16, kRgbaFloat}, {1, 10, 50}});

// A 480 x 320 picture with its mip chain in the folding edge mode renders use.
ImageBuffer* ReflectedPicture(int32_t format) {
    ImageBuffer* b = PatternBuffer(480, 320, format);
    buildMipChain(*b);
    b->edge_mode = kEdgeFoldBlur;
    return b;
}

// Final-render sampling with jittered taps; `permutation` holds the jitter table.
SamplingState JitteredTaps(int32_t maxTaps, std::vector<int32_t>& permutation) {
    SamplingState sampling;
    sampling.max_taps = maxTaps;
    sampling.jitter_taps = 1;
    permutation.resize(512);
    for (size_t i = 0; i < permutation.size(); ++i) permutation[i] = int32_t((i * 151 + 17) & 255);
    sampling.permutation = permutation.data();
    return sampling;
}

// Footprints blurred towards the top of the chain, as reflections far from the viewer read
// the picture: levels a few pixels across, where most windows hang over a level's border,
// and positions spread over the whole picture, some beyond its top edge.
void BM_FootprintSampleCoarse(benchmark::State& state) {
    const int32_t format = int32_t(state.range(0));
    const float blur = float(state.range(1)) / 100.0f;
    ImageBuffer* b = ReflectedPicture(format);
    std::vector<int32_t> permutation;
    const SamplingState sampling = JitteredTaps(50, permutation);
    const float minor = 1.5f / 480, major = minor * 10.0f;
    const Footprint footprint{major * 0.8f, major * 0.6f, -minor * 0.6f, minor * 0.8f};
    std::vector<float> p;
    for (int i = 0; i < 4096; ++i) {
        p.push_back(float((i * 37) % 4096) / 4096.0f);
        p.push_back(float((i * 53) % 4096) / 3900.0f - 0.05f);
    }
    size_t i = 0;
    for (auto _ : state) {
        const PixelRgba c = footprintSample(*b, p[i], p[i + 1], footprint, blur, 0.0f, sampling);
        benchmark::DoNotOptimize(c);
        i = (i + 2) & 8191;
    }
    state.SetItemsProcessed(state.iterations());
    destroyImageBuffer(b);
}
BENCHMARK(BM_FootprintSampleCoarse)->ArgNames({"format", "blur_pct"})->ArgsProduct({{kRgba8}, {0, 40, 75}});

// Footprints as a reflection reads them: long and nearly level, over a picture of a few
// hundred pixels held in one tile per level, and a good share of them reaching above the
// picture's top, where the fold mode gives every tap a level of detail of its own. With
// table 1 the small levels' lookups above the top come from the table a render makes.
void BM_FootprintSampleReflection(benchmark::State& state) {
    const float above = float(state.range(0)) / 100.0f;  // share of positions above the top
    ImageBuffer* b = ReflectedPicture(kRgba8);
    std::vector<int32_t> permutation;
    SamplingState sampling = JitteredTaps(20, permutation);
    TopRowTable table;
    if (state.range(1) != 0 && buildTopRowTable(*b, table)) sampling.top_rows = &table;
    std::vector<float> p;
    std::vector<Footprint> footprints;
    for (int i = 0; i < 4096; ++i) {
        p.push_back(float((i * 37) % 4096) / 4096.0f);
        const float t = float((i * 53) % 4096) / 4096.0f;
        p.push_back(t < above ? -0.3f * (t / above) : (t - above) / (1.0f - above));
        // Minor radius 1 to 4 pixels, nine to fourteen times as long, tilted a little.
        const float minor = (1.0f + float(i % 4)) / 320.0f, major = minor * float(9 + i % 6);
        footprints.push_back({major, major * 0.05f * float(i % 3), -minor * 0.05f, minor});
    }
    size_t i = 0;
    for (auto _ : state) {
        const PixelRgba c = footprintSample(*b, p[2 * i], p[2 * i + 1], footprints[i], 0.1f, 0.0f, sampling);
        benchmark::DoNotOptimize(c);
        i = (i + 1) & 4095;
    }
    state.SetItemsProcessed(state.iterations());
    destroyImageBuffer(b);
}
BENCHMARK(BM_FootprintSampleReflection)->ArgNames({"above_pct", "table"})->ArgsProduct({{0, 40, 100}, {0, 1}});

// The table of lookups above the picture, made once per render pass, for a 1920 x 1080
// picture.
void BM_BuildTopRowTable(benchmark::State& state) {
    ImageBuffer* b = PatternBuffer(1920, 1080, kRgba8);
    buildMipChain(*b);
    for (auto _ : state) {
        TopRowTable table;
        buildTopRowTable(*b, table);
        benchmark::DoNotOptimize(table.values.data());
    }
    destroyImageBuffer(b);
}
BENCHMARK(BM_BuildTopRowTable)->Unit(benchmark::kMillisecond);

void BM_BuildMipChain(benchmark::State& state) {
    const int32_t format = int32_t(state.range(0));
    ImageBuffer* b = PatternBuffer(4096, 3072, format);
    b->mip_job = int32_t(state.range(1));
    for (auto _ : state) buildMipChain(*b);
    // Megapixels of the picture reduced per second of processor time (the levels above
    // add a third); one thread, as one worker of the scheduler.
    state.counters["MP/s"] =
        benchmark::Counter(4096.0 * 3072.0 / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    destroyImageBuffer(b);
}
BENCHMARK(BM_BuildMipChain)
    ->ArgNames({"format", "job"})
    ->ArgsProduct({{kRgba8, kRgba16, kRgbaFloat}, {kMipJobInteger}})
    ->Args({kRgba8, kMipJobFloat})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
