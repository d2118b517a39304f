// Reading, composing and storing single pixels for the render drivers.
#include "shell/host_pixels.h"

#include <algorithm>
#include <cstring>

#include "hostapi/host_constants.h"
#include "image/image_buffer.h"
#include "params/render_params.h"
#include "render/blend_modes.h"

namespace tw {

HostDepth HostDepthOf(int16_t image_mode, int32_t depth) {
    if (image_mode == plugInModeRGB96 || image_mode == plugInModeGray32 || depth == 32)
        return HostDepth::kFloat;
    if ((image_mode == plugInModeGray16 || image_mode == plugInModeRGB48) && depth == 16)
        return HostDepth::k16;
    return HostDepth::k8;
}

namespace {

HostRect Translate(const HostRect& r, int32_t dx, int32_t dy) {
    return {r.top - dy, r.left - dx, r.bottom - dy, r.right - dx};
}

int32_t SampleBytes(HostDepth depth) {
    return depth == HostDepth::k8 ? 1 : depth == HostDepth::k16 ? 2 : 4;
}

float ReadSample(const uint8_t* at, HostDepth depth) {
    switch (depth) {
        case HostDepth::k8: return float(*at);
        case HostDepth::k16: {
            uint16_t v;
            std::memcpy(&v, at, 2);
            return float(v);
        }
        case HostDepth::kFloat: {
            float v;
            std::memcpy(&v, at, 4);
            return v;
        }
    }
    return 0;
}

// Stores value * scale, truncated for integer samples and kept inside the sample's range
// so an out-of-range colour can never wrap around.
void WriteSample(uint8_t* at, HostDepth depth, float value, float scale) {
    const float v = value * scale;
    switch (depth) {
        case HostDepth::k8:
            *at = uint8_t(std::clamp(v, 0.0f, 255.0f));
            break;
        case HostDepth::k16: {
            const uint16_t s = uint16_t(std::clamp(v, 0.0f, 65535.0f));
            std::memcpy(at, &s, 2);
            break;
        }
        case HostDepth::kFloat:
            std::memcpy(at, &v, 4);
            break;
    }
}

float CheckerGrey(int32_t x, int32_t y) {
    return (((x >> 3) ^ (y >> 3)) & 1) == 0 ? 1.0f : 0.8f;
}

}  // namespace

void DescribeHostBuffers(const FilterRecord& record, const HostRect& host_in,
                         const HostRect& host_out, const HostRect& host_mask, int32_t shift_x,
                         int32_t shift_y, HostPixelFormat& fmt) {
    fmt.editable_transparency =
        record.filterCase == filterCaseEditableTransparencyNoSelection ||
        record.filterCase == filterCaseEditableTransparencyWithSelection;
    fmt.alpha_plane = record.inLayerPlanes;
    fmt.planes = record.planes;
    fmt.lo_plane = record.inLoPlane;
    fmt.hi_plane = record.inHiPlane;
    fmt.stride = std::max(record.inHiPlane - record.inLoPlane + 1, 1);
    fmt.grey = record.planes < 3;
    fmt.grey_mode = record.imageMode == plugInModeGrayScale ||
                    record.imageMode == plugInModeGray16 || record.imageMode == plugInModeGray32;
    fmt.rgb_mode = record.imageMode == plugInModeRGBColor ||
                   record.imageMode == plugInModeRGB48 || record.imageMode == plugInModeRGB96;
    fmt.depth = HostDepthOf(record.imageMode, record.depth);
    fmt.scale = fmt.depth == HostDepth::k8 ? 255.0f : fmt.depth == HostDepth::k16 ? 32768.0f : 1.0f;
    fmt.alpha_scale = fmt.scale;
    fmt.in_data = static_cast<const uint8_t*>(record.inData);
    fmt.in_row_bytes = record.inRowBytes;
    fmt.in_rect = Translate(host_in, shift_x, shift_y);
    fmt.out_data = static_cast<uint8_t*>(record.outData);
    fmt.out_row_bytes = record.outRowBytes;
    fmt.out_rect = Translate(host_out, shift_x, shift_y);
    fmt.mask = record.haveMask ? static_cast<const uint8_t*>(record.maskData) : nullptr;
    fmt.mask_row_bytes = record.maskRowBytes;
    fmt.mask_rect = Translate(host_mask, shift_x, shift_y);
}

namespace {

// The bodies live here so WritePixel, which runs for every pixel, gets them inlined.
inline void ReadHost(const HostPixelFormat& fmt, int32_t x, int32_t y, float rgba[4]) {
    if (fmt.in_data == nullptr) {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
        return;
    }
    if (!fmt.job.contains(x, y)) return;
    if (!fmt.in_rect.contains(x, y)) {
        if (!fmt.replicate_edges || fmt.in_rect.empty()) return;
        x = std::clamp(x, fmt.in_rect.left, fmt.in_rect.right - 1);
        y = std::clamp(y, fmt.in_rect.top, fmt.in_rect.bottom - 1);
    }
    const int32_t bytes = SampleBytes(fmt.depth);
    const uint8_t* pixel = fmt.in_data + ptrdiff_t(y - fmt.in_rect.top) * fmt.in_row_bytes +
                           ptrdiff_t(x - fmt.in_rect.left) * fmt.stride * bytes;
    auto plane = [&](int32_t p) { return ReadSample(pixel + (p - fmt.lo_plane) * bytes, fmt.depth); };
    if (fmt.grey) {
        rgba[0] = rgba[1] = rgba[2] = plane(0) / fmt.scale;
    } else {
        rgba[0] = plane(0) / fmt.scale;
        rgba[1] = plane(1) / fmt.scale;
        rgba[2] = plane(2) / fmt.scale;
    }
    rgba[3] = fmt.editable_transparency ? plane(fmt.alpha_plane) / fmt.alpha_scale : 1.0f;
}

inline void Spill(float c[4]) {
    float& r = c[0];
    float& g = c[1];
    float& b = c[2];
    const float e =
        (std::max(r - 1, 0.0f) + std::max(g - 1, 0.0f) + std::max(b - 1, 0.0f)) * (60.0f / 256.0f);
    const float h = e / 2;
    const bool hot_r = r > 1, hot_g = g > 1, hot_b = b > 1;
    const int hot = int(hot_r) + int(hot_g) + int(hot_b);
    if (hot == 1) {
        // Share the excess between the two cool channels, and pass on what overflows.
        float& first = hot_r ? g : r;
        float& second = hot_b ? g : b;
        first += h;
        second += h;
        if (first > 1) second += first - 1;
        if (second > 1) first += second - 1;
    } else if (hot == 2) {
        (!hot_r ? r : !hot_g ? g : b) += e;
    }
}

inline void StoreHost(const HostPixelFormat& fmt, int32_t x, int32_t y, const float rgba[4]) {
    switch (fmt.render_mode) {
        case kRenderOffscreen:
            if (fmt.export_image != nullptr)
                writePixel(*fmt.export_image, 0, x, y, PixelRgba{rgba[0], rgba[1], rgba[2], rgba[3]});
            return;
        case kRenderPreview: {
            if (fmt.preview == nullptr || fmt.preview_width <= 0 || fmt.preview_height <= 0) return;
            const int32_t px = std::clamp(x, 0, fmt.preview_width - 1);
            const int32_t py = std::clamp(y, 0, fmt.preview_height - 1);
            const size_t plane = size_t(fmt.preview_width) * size_t(fmt.preview_height);
            const size_t at = size_t(py) * size_t(fmt.preview_width) + size_t(px);
            auto byte = [](float v) { return uint8_t(std::clamp(v * 255.0f, 0.0f, 255.0f)); };
            if (fmt.preview_planes < 3) {
                fmt.preview[at] = byte(rgba[1]);
            } else {
                for (int c = 0; c < 3; ++c) fmt.preview[c * plane + at] = byte(rgba[c]);
            }
            return;
        }
        default: {
            if (fmt.out_data == nullptr || !fmt.out_rect.contains(x, y) || !fmt.job.contains(x, y))
                return;
            const int32_t bytes = SampleBytes(fmt.depth);
            uint8_t* pixel = fmt.out_data + ptrdiff_t(y - fmt.out_rect.top) * fmt.out_row_bytes +
                             ptrdiff_t(x - fmt.out_rect.left) * fmt.stride * bytes;
            auto plane = [&](int32_t p) { return pixel + (p - fmt.lo_plane) * bytes; };
            if (fmt.grey) {
                WriteSample(plane(0), fmt.depth, rgba[1], fmt.scale);
            } else {
                for (int c = 0; c < 3; ++c) WriteSample(plane(c), fmt.depth, rgba[c], fmt.scale);
            }
            if (fmt.editable_transparency)
                WriteSample(plane(fmt.alpha_plane), fmt.depth, rgba[3], fmt.alpha_scale);
            return;
        }
    }
}


}  // namespace

void ReadHostPixel(const HostPixelFormat& fmt, int32_t x, int32_t y, float rgba[4]) {
    ReadHost(fmt, x, y, rgba);
}

void SpillHighlights(float rgba[4]) { Spill(rgba); }

void WritePixel(const HostPixelFormat& fmt, int32_t x, int32_t y, const float water[4]) {
    const bool float_output = fmt.float_output;
    float w[4] = {water[0], water[1], water[2], water[3]};

    // Prepare the rendered pixel.
    if (!float_output) w[3] *= 1.007f;
    w[3] = std::clamp(w[3], 0.0f, 1.0f);
    for (int i = 0; i < 3; ++i) w[i] = std::max(w[i], 0.0f);
    if (!float_output) Spill(w);
    if (fmt.grey) w[0] = w[1] = w[2] = 0.3f * w[0] + 0.59f * w[1] + 0.11f * w[2];

    // The picture underneath.
    float b[4] = {0, 0, 0, 0};
    if (fmt.render_mode == kRenderOffscreen) {
        if (fmt.background != nullptr) {
            const PixelRgba p = readPixel(*fmt.background, 0, x, y);
            b[0] = p.r, b[1] = p.g, b[2] = p.b, b[3] = p.a;
        }
    } else {
        ReadHost(fmt, x, y, b);
    }

    float result[4];
    if (float_output) {
        for (int i = 0; i < 3; ++i) result[i] = std::min(w[i], 65535.0f);
        result[3] = w[3];
    } else {
        blendPixel(w, b, result, fmt.glue_mode);
    }
    // Into the host, the water goes over the host's pixel. This also holds on layers with
    // editable transparency and for float images: replacing the pixel by a partly
    // transparent one would throw the host's picture away where the water is thin.
    if (fmt.render_mode == kRenderFinal && result[3] < 1) {
        const float a = result[3];
        if (a <= 0) {
            std::memcpy(result, b, sizeof result);
        } else {
            const float ba = b[3];
            const float i = a / (ba + a - ba * a);
            for (int c = 0; c < 3; ++c) result[c] = b[c] + (result[c] - b[c]) * i;
            result[3] = ba + a * (1 - ba);
        }
    }
    if (!float_output)
        for (int c = 0; c < 3; ++c) result[c] = std::min(result[c], 1.0f);

    if (fmt.render_mode == kRenderPreview) {
        const float grey = CheckerGrey(x, y);
        const float a = result[3];
        for (int c = 0; c < 3; ++c) result[c] = a > 0 ? grey + (result[c] - grey) * a : grey;
        result[3] = 1;
        b[0] = b[1] = b[2] = grey;
        b[3] = 1;
    }

    // The selection fades the effect out.
    int32_t mx = x, my = y;
    if (fmt.mask != nullptr && fmt.replicate_edges && !fmt.mask_rect.empty()) {
        mx = std::clamp(x, fmt.mask_rect.left, fmt.mask_rect.right - 1);
        my = std::clamp(y, fmt.mask_rect.top, fmt.mask_rect.bottom - 1);
    }
    if (fmt.mask != nullptr && fmt.mask_rect.contains(mx, my)) {
        const uint8_t byte = fmt.mask[ptrdiff_t(my - fmt.mask_rect.top) * fmt.mask_row_bytes +
                                      (mx - fmt.mask_rect.left)];
        const float m = byte / 255.0f;
        if (m < 1)
            for (int c = 0; c < 4; ++c) result[c] = b[c] + m * (result[c] - b[c]);
    }
    StoreHost(fmt, x, y, result);
}

void StoreHostPixel(const HostPixelFormat& fmt, int32_t x, int32_t y, const float rgba[4]) {
    StoreHost(fmt, x, y, rgba);
}

}  // namespace tw
