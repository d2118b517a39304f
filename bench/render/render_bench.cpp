// Renderer speed: whole renders of a final 1920 x 1080 picture and a 640 x 450 preview in
// both styles on one and two threads, final renders of 1, 6 and 24 megapixels (the time per
// pixel should not grow with the picture), the per-job set-up the scheduler pays on the
// host's thread, and the wave-surface primitives the Complex style spends its time in.
//
// The output buffer is made before the clock starts, as a host's document is: on this
// virtual machine first touching a fresh 33 MB buffer costs about 80 ms of page faults, on
// one thread, which would hide how the render itself scales.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "image/image_buffer.h"
#include "params/render_params.h"
#include "render/geometry.h"
#include "render/noise.h"
#include "render/render_image.h"
#include "render/water_state.h"

namespace {

struct BufferDeleter {
    void operator()(tw::ImageBuffer* b) const { tw::destroyImageBuffer(b); }
};
using Buffer = std::unique_ptr<tw::ImageBuffer, BufferDeleter>;

// A picture with detail at every scale: soft gradients plus hard-edged blocks.
Buffer makeSource(int width, int height) {
    Buffer b(tw::createImageBuffer(width, height, tw::kRgba8));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float block = ((x / 37) ^ (y / 23)) & 1 ? 0.25f : 0.0f;
            tw::writePixel(*b, 0, x, y,
                           {static_cast<float>(x) / width, 0.3f + block, static_cast<float>(y) / height, 1.0f});
        }
    tw::buildMipChain(*b);
    return b;
}

tw::RenderParams params(int style, int mode, int zoom) {
    tw::RenderParams p;
    std::memset(&p, 0, sizeof p);
    tw::ResetParams(p);
    tw::SetPlainSettings(p);
    p.style = style;
    p.render_mode = mode;
    p.zoom = zoom;
    return p;
}

// Arguments: style, preview (0/1), threads.
// Times renderImage of `source` into an output buffer made beforehand.
void renderTimed(benchmark::State& state, tw::ImageBuffer& source, const tw::RenderParams& p,
                 const tw::RenderImageRequest& req) {
    std::vector<float> out(static_cast<size_t>(req.width) * req.height * 4, 0.0f);
    for (auto _ : state) {
        tw::renderImage(source, p, req, out);
        benchmark::DoNotOptimize(out.data());
    }
    const double pixels = static_cast<double>(req.width) * req.height;
    state.counters["Mpixel/s"] = benchmark::Counter(pixels * 1e-6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["ns/pixel"] =
        benchmark::Counter(pixels * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Render(benchmark::State& state) {
    const int style = static_cast<int>(state.range(0));
    const bool preview = state.range(1) != 0;
    const int threads = static_cast<int>(state.range(2));
    // The preview shows a 1920 x 1350 picture at a third of its size: 640 x 450.
    static Buffer finalSource = makeSource(1920, 1080);
    static Buffer previewSource = makeSource(1920, 1350);
    tw::ImageBuffer& src = preview ? *previewSource : *finalSource;
    const int zoom = preview ? 3 : 1;
    const tw::RenderParams p = params(style, preview ? tw::kRenderPreview : tw::kRenderFinal, zoom);
    tw::RenderImageRequest req;
    req.width = (src.width + zoom - 1) / zoom;
    req.height = (src.height + zoom - 1) / zoom;
    req.threads = threads;
    renderTimed(state, src, p, req);
}
BENCHMARK(BM_Render)
    ->ArgNames({"style", "preview", "threads"})
    ->Args({1, 1, 1})->Args({1, 1, 2})->Args({2, 1, 1})->Args({2, 1, 2})
    ->Args({1, 0, 1})->Args({1, 0, 2})->Args({2, 0, 1})->Args({2, 0, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(0.5);

// Arguments: style, megapixels (a 3:2 picture), threads. One iteration each: the Complex
// render of 24 megapixels takes minutes; `--benchmark_filter=PerPixel` runs only these.
void BM_RenderPerPixel(benchmark::State& state) {
    const int style = static_cast<int>(state.range(0));
    const double megapixels = static_cast<double>(state.range(1));
    const int height = static_cast<int>(std::lround(std::sqrt(megapixels * 1e6 / 1.5)));
    const int width = height * 3 / 2;
    Buffer source = makeSource(width, height);
    tw::RenderImageRequest req;
    req.width = width;
    req.height = height;
    req.threads = static_cast<int>(state.range(2));
    renderTimed(state, *source, params(style, tw::kRenderFinal, 1), req);
}
BENCHMARK(BM_RenderPerPixel)
    ->ArgNames({"style", "megapixels", "threads"})
    ->ArgsProduct({{1, 2}, {1, 6, 24}, {2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

void BM_SetupWaterState(benchmark::State& state) {
    const tw::RenderParams p = params(static_cast<int>(state.range(0)), tw::kRenderFinal, 1);
    tw::NoiseTables noise;
    tw::buildNoiseTables(noise, p.seed);
    tw::WaterState s;
    for (auto _ : state) {
        tw::setupWaterState(s, p, noise, {1920, 1080}, nullptr, {0, 0, 64, 64});
        benchmark::DoNotOptimize(s.slopeVarianceX[0]);
    }
}
BENCHMARK(BM_SetupWaterState)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_PixelGeometry(benchmark::State& state) {
    const tw::RenderParams p = params(static_cast<int>(state.range(0)), tw::kRenderFinal, 1);
    tw::NoiseTables noise;
    tw::buildNoiseTables(noise, p.seed);
    tw::WaterState s;
    tw::setupWaterState(s, p, noise, {1920, 1080}, nullptr, {0, 0, 64, 64});
    tw::PixelRecord rec{};
    int i = 0;
    for (auto _ : state) {
        const int c = i % 1920, r = 600 + (i / 1920) % 480;
        tw::pixelGeometry(s, rec, static_cast<float>(c), static_cast<float>(r), tw::pixelKey(c, r));
        benchmark::DoNotOptimize(rec.sourceU);
        i += 7;
    }
}
BENCHMARK(BM_PixelGeometry)->Arg(1)->Arg(2);

// Argument: 1 for the path the processor picks, 0 for the 128-bit one every x86-64 has.
void BM_WaveHeight(benchmark::State& state) {
    const tw::RenderParams p = params(tw::kStyleComplex, tw::kRenderFinal, 1);
    tw::NoiseTables noise;
    tw::buildNoiseTables(noise, p.seed);
    tw::WaterState s;
    tw::setupWaterState(s, p, noise, {1920, 1080}, nullptr, {0, 0, 64, 64});
    for (double& w : s.octaveWeight) w = 1;
    const bool widest = state.range(0) != 0;
    double x = 0.1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(widest ? tw::waveHeight(x, 0, 11.3 - x, s, 5) : tw::waveHeightNarrow(x, 0, 11.3 - x, s, 5));
        x += 0.013;
    }
}
BENCHMARK(BM_WaveHeight)->ArgName("widest")->Arg(1)->Arg(0);

// A ray batch's eight points of the height field, neighbouring pixels a little apart, each
// with its own octave weights as the footprint filter gives them.
struct EightPoints {
    tw::NoiseTables noise;
    tw::WaterState s;
    double weights[tw::kWaveLanes][5];
    tw::WaveLanes lanes;
    double out[tw::kWaveLanes];
    double x = 0.1;

    EightPoints() {
        const tw::RenderParams p = params(tw::kStyleComplex, tw::kRenderFinal, 1);
        tw::buildNoiseTables(noise, p.seed);
        tw::setupWaterState(s, p, noise, {1920, 1080}, nullptr, {0, 0, 64, 64});
        lanes.count = tw::kWaveLanes;
        for (int i = 0; i < tw::kWaveLanes; ++i) {
            for (int k = 0; k < 5; ++k) weights[i][k] = 1.0 - 0.05 * (i + k);
            lanes.weight[i] = weights[i];
        }
    }
    // Moves the batch along before the next evaluation.
    void step() {
        for (int i = 0; i < tw::kWaveLanes; ++i) {
            lanes.x[i] = x + 0.021 * i;
            lanes.y[i] = 0.01 * i;
            lanes.z[i] = 11.3 - x + 0.007 * i;
        }
        x += 0.013;
    }
    void keep() {
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    static void countPoints(benchmark::State& state) {
        state.counters["ns/point"] = benchmark::Counter(
            tw::kWaveLanes * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    }
};

// Eight points through waveHeightLanes (the kernel the processor picks) against eight calls
// of waveHeight. Arguments: octaves, and 1 for the lanes kernel or 0 for the one-point calls.
void BM_WaveHeightEightPoints(benchmark::State& state) {
    auto points = std::make_unique<EightPoints>();
    const int octaves = static_cast<int>(state.range(0));
    const bool lanesKernel = state.range(1) != 0;
    for (auto _ : state) {
        points->step();
        if (lanesKernel) {
            tw::waveHeightLanes(points->s, points->lanes, octaves, points->out);
        } else {
            for (int i = 0; i < tw::kWaveLanes; ++i) {
                for (int k = 0; k < 5; ++k) points->s.octaveWeight[k] = points->weights[i][k];
                points->out[i] =
                    tw::waveHeight(points->lanes.x[i], points->lanes.y[i], points->lanes.z[i], points->s, octaves);
            }
        }
        points->keep();
    }
    EightPoints::countPoints(state);
}
BENCHMARK(BM_WaveHeightEightPoints)
    ->ArgNames({"octaves", "lanes"})
    ->Args({4, 0})->Args({4, 1})->Args({5, 0})->Args({5, 1});

// Each lanes kernel this processor has, on the same eight-point batches as above; the
// narrower kernels serve processors the machine running the bench may not represent.
// Arguments: octaves, and the kernel (0 plain, 1 with 256-bit lanes, 2 with 512-bit lanes).
void BM_WaveLanesKernel(benchmark::State& state) {
    const tw::WaveLanesPath path = state.range(1) == 2   ? tw::WaveLanesPath::kAvx512
                                   : state.range(1) == 1 ? tw::WaveLanesPath::kAvx2
                                                         : tw::WaveLanesPath::kPlain;
    if (!tw::waveLanesPathSupported(path)) {
        state.SkipWithError("kernel not supported by this processor");
        return;
    }
    auto points = std::make_unique<EightPoints>();
    const int octaves = static_cast<int>(state.range(0));
    for (auto _ : state) {
        points->step();
        tw::waveHeightLanesOn(path, points->s, points->lanes, octaves, points->out);
        points->keep();
    }
    EightPoints::countPoints(state);
}
BENCHMARK(BM_WaveLanesKernel)
    ->ArgNames({"octaves", "kernel"})
    ->Args({4, 0})->Args({4, 1})->Args({4, 2});

// The per-render cost of the seeded tables, paid once on the host's thread before any
// worker starts.
void BM_BuildNoiseTables(benchmark::State& state) {
    // On the heap: the tables are larger than a worker thread's stack should carry.
    const auto noise = std::make_unique<tw::NoiseTables>();
    int32_t seed = 0;
    for (auto _ : state) {
        tw::buildNoiseTables(*noise, seed);
        benchmark::DoNotOptimize(noise.get());
        benchmark::ClobberMemory();
        seed = (seed + 1) & 2047;
    }
}
BENCHMARK(BM_BuildNoiseTables)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
