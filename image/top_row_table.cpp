#include "image/top_row_table.h"

#include <new>

#include "image/level_sampler.h"
#include "image/resample_kernel.h"

namespace tw {

bool buildTopRowTable(const ImageBuffer& b, TopRowTable& table) {
    table = TopRowTable{};
    if (b.empty() || b.format != kRgba8) return false;
    int32_t first = b.top_level + 1;
    size_t entries = 0;
    for (int32_t level = b.top_level; level >= 0 && b.levels[level].width <= kTopRowTableWidth; --level) {
        first = level;
        entries += size_t(b.levels[level].width + 1) * kKernelPhases;
    }
    if (first > b.top_level) return false;
    try {
        table.values.resize(entries * 4);
    } catch (const std::bad_alloc&) {
        table = TopRowTable{};
        return false;
    }
    size_t next = 0;
    for (int32_t level = first; level <= b.top_level; ++level) {
        table.start[level] = int32_t(next);
        const int32_t width = b.levels[level].width;
        // The lookup's row is 0 and its phase down the row 0: v is 0 on the first row.
        for (int32_t h = 0; h <= width; ++h)
            for (int phase = 0; phase < kKernelPhases; ++phase, ++next) {
                const image_detail::f32x4 c = image_detail::SampleLevelAt<false>(b, level, {h, 0, phase, 0});
                for (int i = 0; i < 4; ++i) table.values[next * 4 + i] = c[i];
            }
    }
    table.buffer = &b;
    table.first_level = first;
    return true;
}

}  // namespace tw
