// A whole-picture render without the host: cuts the pass rectangle into 64 x 64 jobs, runs
// the three passes of each on one or more threads and gathers the colours. The tests, the
// benchmarks and the PNG tool use it; the plug-in itself goes through the shell's scheduler,
// which does the same per job.
#pragma once

#include <cstdint>
#include <vector>

#include "params/render_params.h"
#include "render/noise.h"

namespace tw {

struct ImageBuffer;

struct RenderImageRequest {
    int32_t width = 0, height = 0;  // pass pixels to render (preview pixels in a preview)
    int threads = 1;                // worker threads, 1 or more
    // Called on the calling thread after each finished job; may be null.
    void (*progress)(void* context, int done, int total) = nullptr;
    void* context = nullptr;
};

// Renders `source` with `params` into `rgba` (width x height x 4 floats, rows top to
// bottom). The source must have its mip chain built. The result is the same bytes for any
// thread count. Returns false when the request is empty or the source is.
bool renderImage(ImageBuffer& source, const RenderParams& params, const RenderImageRequest& request,
                 std::vector<float>& rgba);

}  // namespace tw
