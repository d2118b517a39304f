// Creating and freeing image buffers, single pixels in every format, copying and
// resampling whole buffers, and the byte pictures the dialog reads and draws.
#include "image/image_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/image_access.h"
#include "image/resample_kernel.h"
#include "platform/platform.h"

namespace tw {

using image_detail::FloatToHalf;
using image_detail::HalfToFloat;
using image_detail::PixelAddress;

PixelFormatInfo DescribePixelFormat(int32_t format) {
    switch (format) {
        case kGrey8: return {1, 1, 1, 255.0f};
        case kGrey16: return {1, 2, 2, 32768.0f};
        case kGreyHalf: return {1, 2, 2, 1.0f};
        case kRgba8: return {4, 1, 4, 255.0f};
        case kRgba16: return {4, 2, 8, 32768.0f};
        case kGreyFloat: return {1, 4, 4, 1.0f};
        case kRgbHalf: return {3, 2, 6, 1.0f};
        case kRgbaFloat: return {4, 4, 16, 1.0f};
        default: return {0, 0, 0, 0.0f};
    }
}

// ---- Level sizes --------------------------------------------------------------------------

namespace {

int32_t NextLevelSide(int32_t side) {
    int32_t next = (side + 1) / 2;
    // An odd side above 2 is made even so the level after it halves cleanly.
    if (next > 2 && (next & 1)) ++next;
    return next;
}

}  // namespace

int32_t MipTopLevel(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return 0;
    int32_t level = 0;
    while ((width > 1 || height > 1) && level < kMaxLevels - 1) {
        width = NextLevelSide(width);
        height = NextLevelSide(height);
        ++level;
    }
    return level;
}

void MipLevelSize(int32_t width, int32_t height, int32_t level, int32_t& level_width,
                  int32_t& level_height) {
    for (int32_t k = 0; k < level; ++k) {
        width = NextLevelSide(width);
        height = NextLevelSide(height);
    }
    level_width = width;
    level_height = height;
}

// ---- Memory ---------------------------------------------------------------------------------

namespace {

// Zeroed memory. From the C heap it comes from calloc, which leaves large blocks
// untouched until written, so a buffer costs no time before it is filled.
void* Allocate(const ImageBuffer& b, size_t bytes) {
    if (!b.memory.allocate) return std::calloc(1, bytes);
    void* block = b.memory.allocate(b.memory.context, bytes);
    if (block) std::memset(block, 0, bytes);
    return block;
}

void Release(const ImageBuffer& b, void* block) {
    if (!block) return;
    if (b.memory.allocate) {
        if (b.memory.release) b.memory.release(b.memory.context, block);
    } else {
        std::free(block);
    }
}

void FreeTiles(ImageBuffer& b) {
    if (b.tiles) {
        for (int32_t i = 0; i < b.tile_count; ++i) Release(b, b.tiles[i].pixels);
        Release(b, b.tiles);
    }
    b.tiles = nullptr;
    b.tile_count = 0;
    b.mip_state = 0;
}

}  // namespace

void resetImageBuffer(ImageBuffer& buffer, const ImageMemory* memory) {
    std::memset(static_cast<void*>(&buffer), 0, sizeof(buffer));
    if (memory) buffer.memory = *memory;
    buffer.edge_mode = kEdgeClamp;
    buffer.mip_job = kMipJobInteger;
    buffer.kernel = &TheResampleKernel();
}

bool initImageBuffer(ImageBuffer& b, int32_t width, int32_t height, int32_t format, bool apron) {
    FreeTiles(b);
    const PixelFormatInfo info = DescribePixelFormat(format);
    // Sides beyond 2^30 would overflow the tile arithmetic long before memory runs out.
    if (width < 1 || height < 1 || width > (1 << 30) || height > (1 << 30) ||
        info.bytes_per_pixel == 0)
        return false;

    b.width = width;
    b.height = height;
    b.format = format;
    b.channels = info.channels;
    b.bytes_per_channel = info.bytes_per_channel;
    b.bytes_per_pixel = info.bytes_per_pixel;
    b.full_scale = info.full_scale;
    b.inv_full_scale = 1.0f / info.full_scale;
    b.apron = apron ? 1 : 0;
    b.top_level = MipTopLevel(width, height);
    b.top_level_minus3 = std::max(b.top_level - 3, 0);
    b.half_inv_width = 0.5f / float(width);
    b.half_inv_height = 0.5f / float(height);
    b.width_over_height = float(width) / float(height);
    b.height_over_width = float(height) / float(width);
    b.aspect_x = std::max(1.0f, b.width_over_height);
    b.aspect_y = std::max(1.0f, b.height_over_width);
    b.jitter_seed = float(platform::Random()) * 37.3453297f;
    b.kernel = &TheResampleKernel();
    if (b.edge_mode == 0) b.edge_mode = kEdgeClamp;
    if (b.mip_job == 0) b.mip_job = kMipJobInteger;

    // Lay out every level's tiles before allocating any of them.
    int64_t tiles = 0;
    for (int32_t k = 0; k < kMaxLevels; ++k) {
        ImageLevel& l = b.levels[k];
        l = ImageLevel{};
        if (k > b.top_level) continue;
        MipLevelSize(width, height, k, l.width, l.height);
        l.last_x = l.width - 1;
        l.last_y = l.height - 1;
        l.inv_width = 1.0f / float(l.width);
        l.inv_height = 1.0f / float(l.height);
        l.scale_x = std::ldexp(1.0f, -k) / (float(l.width) / float(width));
        l.scale_y = std::ldexp(1.0f, -k) / (float(l.height) / float(height));
        l.tile_columns = (l.width + 2 * b.apron + kTileSize - 1) / kTileSize;
        l.tile_rows = (l.height + 2 * b.apron + kTileSize - 1) / kTileSize;
        l.first_tile = int32_t(tiles);
        tiles += int64_t(l.tile_columns) * l.tile_rows;
        // Beyond this the tile indices would overflow; no machine holds such a picture.
        if (tiles > (int64_t(1) << 28)) {
            b.tile_count = 0;
            return false;
        }
    }

    b.tiles = static_cast<ImageTile*>(Allocate(b, sizeof(ImageTile) * size_t(tiles)));
    if (!b.tiles) return false;
    b.tile_count = int32_t(tiles);  // every descriptor is zero, so a partial failure frees cleanly
    for (int32_t k = 0; k <= b.top_level; ++k) {
        const ImageLevel& l = b.levels[k];
        const int32_t stored_w = l.width + 2 * b.apron, stored_h = l.height + 2 * b.apron;
        for (int32_t r = 0; r < l.tile_rows; ++r) {
            for (int32_t c = 0; c < l.tile_columns; ++c) {
                ImageTile& t = b.tiles[l.first_tile + r * l.tile_columns + c];
                t.x = c * kTileSize - b.apron;
                t.y = r * kTileSize - b.apron;
                t.width = std::min(kTileSize, stored_w - c * kTileSize);
                t.height = std::min(kTileSize, stored_h - r * kTileSize);
                t.pixels = static_cast<uint8_t*>(Allocate(
                    b, size_t(t.width) * size_t(t.height) * size_t(b.bytes_per_pixel)));
                if (!t.pixels) {
                    FreeTiles(b);
                    return false;
                }
            }
        }
    }
    return true;
}

ImageBuffer* createImageBuffer(int32_t width, int32_t height, int32_t format, bool apron) {
    ImageBuffer* b = static_cast<ImageBuffer*>(std::malloc(sizeof(ImageBuffer)));
    if (!b) return nullptr;
    resetImageBuffer(*b);
    if (!initImageBuffer(*b, width, height, format, apron)) {
        std::free(b);
        return nullptr;
    }
    b->owner = 1;
    return b;
}

void destroyImageBuffer(ImageBuffer* buffer) {
    if (!buffer) return;
    FreeTiles(*buffer);
    if (buffer->owner == 1) std::free(buffer);
}

// ---- Single pixels ------------------------------------------------------------------------

namespace {

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
// NaN becomes 0 rather than an arbitrary integer.
uint8_t To8(float v) { return uint8_t(Clamp01(v == v ? v : 0.0f) * 255.0f + 0.5f); }
uint16_t To16(float v) { return uint16_t(Clamp01(v == v ? v : 0.0f) * 32768.0f + 0.5f); }

uint16_t Load16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
float LoadF(const uint8_t* p) { float v; std::memcpy(&v, p, 4); return v; }
void Store16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
void StoreF(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

}  // namespace

PixelRgba readPixel(const ImageBuffer& b, int32_t level, int32_t x, int32_t y) {
    if (b.empty() || level < 0 || level > b.top_level) return {0, 0, 0, 0};
    const ImageLevel& l = b.levels[level];
    const uint8_t* p = PixelAddress(b, level, image_detail::ClampIndex(x, l.width),
                                    image_detail::ClampIndex(y, l.height));
    constexpr float k8 = 1.0f / 255.0f, k16 = 1.0f / 32768.0f;
    switch (b.format) {
        case kGrey8: { float g = p[0] * k8; return {g, g, g, 1}; }
        case kGrey16: { float g = Load16(p) * k16; return {g, g, g, 1}; }
        case kGreyHalf: { float g = HalfToFloat(Load16(p)); return {g, g, g, 1}; }
        case kGreyFloat: { float g = LoadF(p); return {g, g, g, 1}; }
        case kRgba8: {
            uint32_t w;
            std::memcpy(&w, p, 4);
            return {(w >> 24) * k8, ((w >> 16) & 255u) * k8, ((w >> 8) & 255u) * k8,
                    (w & 255u) * k8};
        }
        case kRgba16:
            return {Load16(p) * k16, Load16(p + 2) * k16, Load16(p + 4) * k16,
                    Load16(p + 6) * k16};
        case kRgbHalf:
            return {HalfToFloat(Load16(p)), HalfToFloat(Load16(p + 2)),
                    HalfToFloat(Load16(p + 4)), 1};
        case kRgbaFloat: return {LoadF(p), LoadF(p + 4), LoadF(p + 8), LoadF(p + 12)};
        default: return {0, 0, 0, 0};
    }
}

void writePixel(ImageBuffer& b, int32_t level, int32_t x, int32_t y, PixelRgba c) {
    if (b.empty() || level < 0 || level > b.top_level) return;
    const ImageLevel& l = b.levels[level];
    if (x < 0 || y < 0 || x >= l.width || y >= l.height) return;
    uint8_t* p = PixelAddress(b, level, x, y);
    switch (b.format) {
        case kGrey8: p[0] = To8(c.g); break;
        case kGrey16: Store16(p, To16(c.g)); break;
        case kGreyHalf: Store16(p, FloatToHalf(c.g)); break;
        case kGreyFloat: StoreF(p, c.g); break;
        case kRgba8: {
            const uint32_t w = uint32_t(To8(c.r)) << 24 | uint32_t(To8(c.g)) << 16 |
                               uint32_t(To8(c.b)) << 8 | uint32_t(To8(c.a));
            std::memcpy(p, &w, 4);
            break;
        }
        case kRgba16:
            Store16(p, To16(c.r)); Store16(p + 2, To16(c.g));
            Store16(p + 4, To16(c.b)); Store16(p + 6, To16(c.a));
            break;
        case kRgbHalf:
            Store16(p, FloatToHalf(c.r)); Store16(p + 2, FloatToHalf(c.g));
            Store16(p + 4, FloatToHalf(c.b));
            break;
        case kRgbaFloat:
            StoreF(p, c.r); StoreF(p + 4, c.g); StoreF(p + 8, c.b); StoreF(p + 12, c.a);
            break;
        default: break;
    }
}

// ---- Whole buffers -------------------------------------------------------------------------

bool copyMips(const ImageBuffer& from, ImageBuffer& to) {
    if (from.empty() || to.empty() || &from == &to) return false;
    if (from.width != to.width || from.height != to.height || from.format != to.format ||
        from.apron != to.apron || from.top_level != to.top_level ||
        from.tile_count != to.tile_count)
        return false;
    for (int32_t i = 0; i < from.tile_count; ++i) {
        const ImageTile& s = from.tiles[i];
        std::memcpy(to.tiles[i].pixels, s.pixels,
                    size_t(s.width) * size_t(s.height) * size_t(from.bytes_per_pixel));
    }
    to.mip_state = from.mip_state;
    return true;
}

bool resampleRect(const ImageBuffer& source, ImageBuffer& target, int32_t top, int32_t left,
                  int32_t bottom, int32_t right, float beta) {
    if (source.empty() || target.empty() || &source == &target) return false;
    top = std::max(top, 0);
    left = std::max(left, 0);
    bottom = std::min(bottom, target.height);
    right = std::min(right, target.width);
    if (bottom <= top || right <= left) return true;  // nothing to draw
    const int32_t w = right - left, h = bottom - top;
    // The source level whose rows are about as many as the target's, leaning sharper.
    float lod = std::log2(float(source.height) / float(h)) - beta;
    lod = std::clamp(lod, 0.0f, float(source.top_level));
    // Float targets keep over-bright colour; integer targets clamp anyway.
    const float top_colour =
        (target.format == kGreyFloat || target.format == kRgbaFloat) ? 65535.0f : 1.0f;
    for (int32_t i = top; i < bottom; ++i) {
        const float v = float(2 * (i - top) + 1) / float(2 * h);
        for (int32_t j = left; j < right; ++j) {
            const float u = float(2 * (j - left) + 1) / float(2 * w);
            PixelRgba c = pointSample(source, lod, u, v);
            c.r = std::clamp(c.r, 0.0f, top_colour);
            c.g = std::clamp(c.g, 0.0f, top_colour);
            c.b = std::clamp(c.b, 0.0f, top_colour);
            c.a = std::clamp(c.a, 0.0f, 1.0f);
            writePixel(target, 0, j, i, c);
        }
    }
    return true;
}

bool resampleImage(const ImageBuffer& source, ImageBuffer& target) {
    if (source.empty() || target.empty()) return false;
    if (&source == &target) return true;  // already shows itself; reading while writing would smear
    if (source.width == target.width && source.height == target.height &&
        source.format == target.format && source.top_level == target.top_level &&
        copyMips(source, target))
        return true;
    resampleRect(source, target, 0, 0, target.height, target.width, 0.5f);
    if (target.wrap != kWrapNoMips) return buildMipChain(target);
    return true;
}

bool importBGRA(const uint8_t* data, ImageBuffer& buffer) {
    if (!data || buffer.empty() || buffer.format != kRgba8) return false;
    for (int32_t y = 0; y < buffer.height; ++y) {
        const uint8_t* src = data + size_t(y) * size_t(buffer.width) * 4;
        for (int32_t x = 0; x < buffer.width; ++x, src += 4) {
            const uint32_t w = uint32_t(src[2]) << 24 | uint32_t(src[1]) << 16 |
                               uint32_t(src[0]) << 8 | 255u;
            std::memcpy(PixelAddress(buffer, 0, x, y), &w, 4);
        }
    }
    if (buffer.wrap != kWrapNoMips) return buildMipChain(buffer);
    return true;
}

bool makeBitmap(const ImageBuffer& buffer, Bitmap& bitmap) {
    if (buffer.empty()) return false;
    bitmap.width = buffer.width;
    bitmap.height = buffer.height;
    bitmap.stride = (3 * buffer.width + 3) & ~3;
    bitmap.bytes.assign(size_t(bitmap.stride) * size_t(bitmap.height), 0);
    for (int32_t y = 0; y < bitmap.height; ++y) {
        uint8_t* out = bitmap.bytes.data() + size_t(y) * size_t(bitmap.stride);
        for (int32_t x = 0; x < bitmap.width; ++x, out += 3) {
            if (buffer.format == kRgba8) {
                uint32_t w;
                std::memcpy(&w, PixelAddress(buffer, 0, x, y), 4);
                out[0] = uint8_t(w >> 8);
                out[1] = uint8_t(w >> 16);
                out[2] = uint8_t(w >> 24);
            } else {
                const PixelRgba c = readPixel(buffer, 0, x, y);
                out[0] = To8(c.b);
                out[1] = To8(c.g);
                out[2] = To8(c.r);
            }
        }
    }
    return true;
}

bool makeScaledBitmap(const ImageBuffer& source, int32_t width, int32_t height,
                      Bitmap& bitmap) {
    if (source.empty()) return false;
    ImageBuffer scaled;
    resetImageBuffer(scaled);
    scaled.wrap = kWrapNoMips;  // drawn once, never sampled
    if (!initImageBuffer(scaled, width, height, kRgba8)) return false;
    const bool ok = resampleRect(source, scaled, 0, 0, height, width, 0.1f) &&
                    makeBitmap(scaled, bitmap);
    FreeTiles(scaled);
    return ok;
}

}  // namespace tw
