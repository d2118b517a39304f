// Shared helpers of the renderer's tests: plain parameters, a ready WaterState, and a
// small synthetic source picture that exposes flips and channel swaps.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "image/image_buffer.h"
#include "params/render_params.h"
#include "render/noise.h"
#include "render/water_state.h"

namespace tw::testing {

inline RenderParams plainParams(int style = kStyleSimple) {
    RenderParams p;
    std::memset(&p, 0, sizeof p);
    ResetParams(p);
    SetPlainSettings(p);
    p.style = style;
    p.zoom = 1;
    p.render_mode = kRenderFinal;
    return p;
}

// A state for a picture of `width` x `height` covering a job at its top-left corner.
struct StateFixture {
    NoiseTables noise;
    WaterState state;
    void setup(const RenderParams& p, int width = 200, int height = 150, TileRect job = {0, 0, 64, 64},
               ImageBuffer* source = nullptr) {
        buildNoiseTables(noise, p.seed);
        setupWaterState(state, p, noise, PassImage{width, height}, source, job);
    }
};

struct BufferDeleter {
    void operator()(ImageBuffer* b) const { destroyImageBuffer(b); }
};
using Buffer = std::unique_ptr<ImageBuffer, BufferDeleter>;

// Red rises left to right, green top to bottom, blue has a few hard stripes: flips,
// shifts and channel swaps all show.
inline Buffer makeSource(int width, int height) {
    Buffer b(createImageBuffer(width, height, kRgbaFloat));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            writePixel(*b, 0, x, y,
                       {(x + 0.5f) / width, (y + 0.5f) / height, (x / 7 + y / 5) % 2 ? 0.8f : 0.1f, 1.0f});
    buildMipChain(*b);
    return b;
}

}  // namespace tw::testing
