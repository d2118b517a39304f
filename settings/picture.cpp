#include "settings/picture.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace tw {

namespace {

// One output sample of a 1-D resampling: a run of source samples and their weights.
struct Tap {
    int first = 0;
    int count = 0;
    size_t weights = 0;  // index of the first weight in the shared weight list
};

// Weights that take `from` samples to `to` samples. Shrinking averages the area each
// output sample covers; growing interpolates linearly between the two nearest centres.
void BuildTaps(int from, int to, std::vector<Tap>& taps, std::vector<float>& weights) {
    taps.assign(static_cast<size_t>(to), Tap{});
    weights.clear();
    const double step = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        Tap& tap = taps[static_cast<size_t>(i)];
        tap.weights = weights.size();
        if (step >= 1.0) {
            const double lo = i * step, hi = (i + 1) * step;
            tap.first = static_cast<int>(lo);
            const int last = std::min(from - 1, static_cast<int>(std::ceil(hi)) - 1);
            for (int s = tap.first; s <= last; ++s) {
                const double cover = std::min(hi, s + 1.0) - std::max(lo, static_cast<double>(s));
                weights.push_back(static_cast<float>(cover / step));
            }
            tap.count = last - tap.first + 1;
        } else {
            // Pixel centres sit at i + 0.5 in both pictures.
            const double centre = std::clamp((i + 0.5) * step - 0.5, 0.0, from - 1.0);
            tap.first = std::min(static_cast<int>(centre), std::max(from - 2, 0));
            const double f = centre - tap.first;
            if (from == 1) {
                weights.push_back(1.0f);
                tap.count = 1;
            } else {
                weights.push_back(static_cast<float>(1.0 - f));
                weights.push_back(static_cast<float>(f));
                tap.count = 2;
            }
        }
    }
}

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

}  // namespace

bool AllocatePicture(Picture& picture, int width, int height) {
    picture = Picture{};
    if (width <= 0 || height <= 0) return false;
    try {
        picture.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    picture.width = width;
    picture.height = height;
    return true;
}

void ResetPictureToRamp(Picture& picture) {
    if (!AllocatePicture(picture, kPictureSide, kPictureSide)) return;
    for (int y = 0; y < kPictureSide; ++y) std::fill_n(picture.pixel(0, y), kPictureSide * 3, static_cast<uint8_t>(255 - y));
}

bool ScalePicture(const Picture& source, Picture& target, int width, int height) {
    if (source.empty() || width <= 0 || height <= 0) return false;
    std::vector<Tap> columns, rows;
    std::vector<float> column_weights, row_weights;
    BuildTaps(source.width, width, columns, column_weights);
    BuildTaps(source.height, height, rows, row_weights);

    // Horizontal pass into floats, then vertical pass into bytes.
    std::vector<float> across(static_cast<size_t>(width) * source.height * 3);
    for (int y = 0; y < source.height; ++y) {
        const uint8_t* in = source.pixel(0, y);
        float* out = across.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const Tap& tap = columns[static_cast<size_t>(x)];
            float sum[3] = {0, 0, 0};
            for (int k = 0; k < tap.count; ++k) {
                const float w = column_weights[tap.weights + static_cast<size_t>(k)];
                const uint8_t* p = in + static_cast<size_t>(tap.first + k) * 3;
                for (int c = 0; c < 3; ++c) sum[c] += w * p[c];
            }
            for (int c = 0; c < 3; ++c) out[x * 3 + c] = sum[c];
        }
    }
    Picture result;
    if (!AllocatePicture(result, width, height)) return false;
    for (int y = 0; y < height; ++y) {
        const Tap& tap = rows[static_cast<size_t>(y)];
        uint8_t* out = result.pixel(0, y);
        for (int x = 0; x < width * 3; ++x) {
            float sum = 0;
            for (int k = 0; k < tap.count; ++k)
                sum += row_weights[tap.weights + static_cast<size_t>(k)] *
                       across[static_cast<size_t>(tap.first + k) * width * 3 + static_cast<size_t>(x)];
            out[x] = ToByte(sum);
        }
    }
    target = std::move(result);
    return true;
}

bool CapturePicture(const PlanarView& view, Picture& holder) {
    if (!view.data || view.width <= 0 || view.height <= 0 || view.planes <= 0) return false;
    const int side = std::min(view.width, view.height);
    const int left = (view.width - side) / 2, top = (view.height - side) / 2;
    const size_t plane_size = static_cast<size_t>(view.width) * view.height;
    const bool colour = view.planes >= 3;

    Picture square;
    if (!AllocatePicture(square, side, side)) return false;
    for (int y = 0; y < side; ++y) {
        const size_t row = static_cast<size_t>(top + y) * view.width + static_cast<size_t>(left);
        uint8_t* out = square.pixel(0, y);
        for (int x = 0; x < side; ++x, out += 3) {
            for (int c = 0; c < 3; ++c) out[c] = view.data[(colour ? c * plane_size : 0) + row + static_cast<size_t>(x)];
        }
    }
    return ScalePicture(square, holder, kPictureSide, kPictureSide);
}

}  // namespace tw
