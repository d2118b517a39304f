// Moving pixels between the document and the buffers a plug-in asks for: the input,
// output and mask requests of advanceState, with edge padding and subsampling, and the
// return of finished output into the document.
#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>

#include "host/session_impl.h"

namespace tw::host {
namespace {

// Request coordinate to picture coordinate at a 16.16 rate, rounding toward minus
// infinity so that negative coordinates stay outside the picture.
int64_t ScaleDown(int64_t coordinate, Fixed rate) { return (coordinate * int64_t(rate)) >> 16; }

// One pixel of the padding colour in the source's depth.
void MakeFillPixel(int16_t padding, int depth, int planes, uint8_t* pixel) {
    int value = padding >= 0 && padding <= 255 ? padding : 0;
    for (int p = 0; p < planes; ++p) {
        if (depth == 8) {
            pixel[p] = uint8_t(value);
        } else if (depth == 16) {
            auto sample = uint16_t((value * 32768 + 127) / 255);
            std::memcpy(pixel + 2 * p, &sample, 2);
        } else {
            float sample = float(value) / 255.0f;
            std::memcpy(pixel + 4 * p, &sample, 4);
        }
    }
}

// Maps one request coordinate to a picture coordinate: clamped when replicating edges,
// -1 when the position lies outside and is to be filled.
int32_t MapCoordinate(int64_t request, Fixed rate, int32_t size, bool replicate, bool& outside) {
    int64_t at = ScaleDown(request, rate);
    if (at >= 0 && at < size) return int32_t(at);
    outside = true;
    if (!replicate) return -1;
    return at < 0 ? 0 : size - 1;
}

}  // namespace

OSErr FillRequest(const PlaneSource& source, const VRect& rect, int lo, int hi, Fixed rate,
                  int16_t padding, std::vector<uint8_t>& buffer, std::vector<int32_t>& column_map,
                  int32_t& row_bytes) {
    int64_t rows = int64_t(rect.bottom) - rect.top;
    int64_t columns = int64_t(rect.right) - rect.left;
    size_t sample = size_t(source.depth) / 8;
    size_t pixel = sample * size_t(hi - lo + 1);
    size_t source_pixel = sample * size_t(source.planes);
    // Rows start on 16-byte boundaries, as editors lay them out; plug-ins must use the
    // row stride they are given, not assume width times pixel size.
    int64_t stride = (columns * int64_t(pixel) + 15) / 16 * 16;
    if (stride > INT32_MAX || rows > kMaxRequestBytes / stride) return memFullErr;
    try {
        if (buffer.size() < size_t(stride * rows)) buffer.resize(size_t(stride * rows));
        column_map.resize(size_t(columns));
    } catch (const std::bad_alloc&) {
        return memFullErr;
    }
    bool replicate = padding == plugInWantsEdgeReplication;
    bool outside = false;
    for (int64_t c = 0; c < columns; ++c) {
        column_map[size_t(c)] = MapCoordinate(rect.left + c, rate, source.width, replicate, outside);
    }
    bool rows_outside = false;
    MapCoordinate(rect.top, rate, source.height, replicate, rows_outside);
    MapCoordinate(rect.bottom - 1, rate, source.height, replicate, rows_outside);
    if ((outside || rows_outside) && padding == plugInWantsErrorOnBoundsException) return paramErr;

    uint8_t fill[16];
    MakeFillPixel(padding, source.depth, hi - lo + 1, fill);
    for (int64_t r = 0; r < rows; ++r) {
        bool row_outside = false;
        int32_t y = MapCoordinate(rect.top + r, rate, source.height, replicate, row_outside);
        uint8_t* out = buffer.data() + size_t(r * stride);
        if (y < 0) {
            for (int64_t c = 0; c < columns; ++c) std::memcpy(out + size_t(c) * pixel, fill, pixel);
            continue;
        }
        const uint8_t* line = source.data + size_t(y) * size_t(source.width) * source_pixel +
                              size_t(lo) * sample;
        if (rate == Fixed(0x10000) && pixel == source_pixel && !outside) {
            // Full resolution, every plane, inside the picture: the row is one copy.
            std::memcpy(out, line + size_t(rect.left) * source_pixel, size_t(columns) * pixel);
            continue;
        }
        for (int64_t c = 0; c < columns; ++c) {
            int32_t x = column_map[size_t(c)];
            const uint8_t* from = x >= 0 ? line + size_t(x) * source_pixel : fill;
            std::memcpy(out + size_t(c) * pixel, from, pixel);
        }
    }
    row_bytes = int32_t(stride);
    return noErr;
}

namespace {

template <typename T>
T MixSample(T base, T result, unsigned weight) {
    if constexpr (std::is_floating_point_v<T>) {
        return T(base + (result - base) * (float(weight) / 255.0f));
    } else {
        int64_t mixed = int64_t(base) * 255 + (int64_t(result) - int64_t(base)) * weight;
        return T((mixed + 127) / 255);
    }
}

// Stores a row segment of output samples, blended with the original picture by the
// selection when the plug-in left the masking to the host.
template <typename T>
void StoreRow(const uint8_t* from, uint8_t* to, const uint8_t* original, const uint8_t* mask,
              int32_t count, int samples, int planes) {
    for (int32_t i = 0; i < count; ++i) {
        const auto* in = reinterpret_cast<const T*>(from) + size_t(i) * size_t(samples);
        auto* out = reinterpret_cast<T*>(to) + size_t(i) * size_t(planes);
        const auto* base = reinterpret_cast<const T*>(original) + size_t(i) * size_t(planes);
        for (int s = 0; s < samples; ++s) {
            T value;
            std::memcpy(&value, in + s, sizeof(T));
            out[s] = mask ? MixSample<T>(base[s], value, mask[i]) : value;
        }
    }
}

}  // namespace

void HostSession::CommitOutput() {
    Impl& s = *impl_;
    BufferWindow& w = s.out_window;
    if (!w.active || !s.document) return;
    w.active = false;
    Document& doc = *s.document;
    // Only the filter rectangle of the picture takes output.
    const FilterRecord& r = s.record;
    int32_t top = std::max({w.rect.top, 0, int32_t(s.big.filterRect32.top)});
    int32_t left = std::max({w.rect.left, 0, int32_t(s.big.filterRect32.left)});
    int32_t bottom = std::min({w.rect.bottom, doc.height, int32_t(s.big.filterRect32.bottom)});
    int32_t right = std::min({w.rect.right, doc.width, int32_t(s.big.filterRect32.right)});
    if (top >= bottom || left >= right) return;
    size_t sample = doc.SampleBytes();
    int samples = w.hi_plane - w.lo_plane + 1;
    size_t pixel = sample * size_t(samples);
    bool masked = r.autoMask && doc.HasMask();
    for (int32_t y = top; y < bottom; ++y) {
        const uint8_t* from = s.out_buffer.data() + size_t(y - w.rect.top) * size_t(w.row_bytes) +
                              size_t(left - w.rect.left) * pixel;
        size_t at = (size_t(y) * size_t(doc.width) + size_t(left)) * doc.PixelBytes() +
                    size_t(w.lo_plane) * sample;
        uint8_t* to = doc.pixels.data() + at;
        const uint8_t* original = s.source.data() + at;
        const uint8_t* mask =
            masked ? doc.mask.data() + size_t(y) * size_t(doc.width) + size_t(left) : nullptr;
        int32_t count = right - left;
        if (!mask && samples == doc.Planes()) {
            std::memcpy(to, from, size_t(count) * pixel);  // every plane, nothing to blend
            continue;
        }
        if (doc.depth == 8) StoreRow<uint8_t>(from, to, original, mask, count, samples, doc.Planes());
        else if (doc.depth == 16) StoreRow<uint16_t>(from, to, original, mask, count, samples, doc.Planes());
        else StoreRow<float>(from, to, original, mask, count, samples, doc.Planes());
    }
}

}  // namespace tw::host
