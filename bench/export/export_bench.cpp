// Exporter speed: laying out a 2000 x 1500 PSD document in memory at each depth (the file
// writer's share of an export; the render is measured in bench/render), and a gallery page
// of 100 cells.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "export/gallery.h"
#include "export/psd_export.h"
#include "image/image_buffer.h"
#include "platform/big_endian.h"

namespace {

struct BufferDeleter {
    void operator()(tw::ImageBuffer* b) const { tw::destroyImageBuffer(b); }
};

void PsdLayout(benchmark::State& state) {
    const int32_t formats[3] = {tw::kRgba8, tw::kRgba16, tw::kRgbaFloat};
    const int32_t width = 2000, height = 1500;
    std::unique_ptr<tw::ImageBuffer, BufferDeleter> image(
        tw::createImageBuffer(width, height, formats[state.range(0)]));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            tw::writePixel(*image, 0, x, y,
                           {float(x % 256) / 255, float(y % 256) / 255, 0.5f, float((x ^ y) % 256) / 255});
    tw::PsdExportRequest request;
    request.image = image.get();
    request.date = {2026, 1, 1};
    std::vector<uint8_t> bytes;
    std::string error;
    for (auto _ : state) {
        bytes.clear();
        tw::BigEndianWriter out(bytes);
        if (!tw::WritePsd(out, request, error)) state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    const char* depth[3] = {"8-bit", "16-bit", "32-bit float"};
    state.SetLabel(depth[state.range(0)]);
}
BENCHMARK(PsdLayout)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void GalleryPageText(benchmark::State& state) {
    for (auto _ : state) {
        tw::GalleryPage page;
        tw::BeginGalleryPage(page, tw::kGalleryPresets, tw::kPresetColumns, "/presets/");
        for (int i = 0; i < 100; ++i)
            tw::AddGalleryCell(page, 88, 88, tw::SanitiseImageName("preset \xe9 & co"), "preset \xe9 & co");
        tw::EndGalleryPage(page);
        benchmark::DoNotOptimize(page.html.data());
    }
}
BENCHMARK(GalleryPageText);

}  // namespace

BENCHMARK_MAIN();
