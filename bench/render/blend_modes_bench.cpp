// Speed of blendPixel for each glue mode, in pixels per second over a varied set of pixel
// pairs (so that the branchy modes see both sides of their branches).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/blend_modes.h"

namespace {

struct Pixels {
    std::vector<float> top, bottom, out;
};

const Pixels& Inputs() {
    static const Pixels pixels = [] {
        constexpr int kCount = 4096;
        Pixels p;
        p.top.resize(kCount * 4);
        p.bottom.resize(kCount * 4);
        p.out.resize(kCount * 4);
        uint32_t state = 12345;  // fixed sequence, so every run blends the same pixels
        auto next = [&state] {
            state = state * 1664525u + 1013904223u;
            return float(state >> 8) / float(1u << 24);
        };
        for (float& v : p.top) v = next();
        for (float& v : p.bottom) v = next();
        return p;
    }();
    return pixels;
}

void BlendMode(benchmark::State& state, int mode) {
    Pixels pixels = Inputs();
    const size_t count = pixels.top.size() / 4;
    for (auto _ : state) {
        for (size_t i = 0; i < count; ++i)
            tw::blendPixel(&pixels.top[i * 4], &pixels.bottom[i * 4], &pixels.out[i * 4], mode);
        benchmark::DoNotOptimize(pixels.out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(count));
}

const bool registered = [] {
    for (int mode = tw::kFirstBlendMode; mode <= tw::kLastBlendMode; ++mode) {
        std::string name = "blendPixel/" + std::to_string(mode) + " " + tw::blendModeName(mode);
        benchmark::RegisterBenchmark(name.c_str(), BlendMode, mode);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
