// ImageBuffer: the tiled, mip-mapped picture the renderer reads its source from, with the
// point and footprint samplers, the mip reduction jobs, resampling between buffers and the
// conversions to and from the dialog's byte pictures.
//
// Coordinate conventions (most sampler bugs are half-pixel or factor-of-two bugs):
// - Positions (u, v) are fractions of the whole picture: u = 0 is the left edge of the
//   first column, u = 1 the right edge of the last one; v = 0 the top, v = 1 the bottom.
//   Every mip level covers the same 0..1 square, whatever its rounded size.
// - Pixel (x, y) of a level W x H pixels wide has its centre at u = (x + 0.5) / W,
//   v = (y + 0.5) / H. Sampling a level exactly at a pixel centre reproduces a constant or
//   a linear ramp to within 1/20 of a pixel (the kernel is a slightly blurred Lanczos).
// - Level of detail g: level floor(g) mixed with level floor(g) + 1 by frac(g). Level k
//   is roughly 2^k times coarser than level 0.
// - Footprint derivatives are the change of (u, v) across one output pixel, in the same
//   0..1 units as the position. The sampler turns them into level-0 pixels itself
//   (u times width, v times height). The ellipse semi-axes it derives are radii (half
//   the footprint's diameter), in level-0 pixels.
// - Rectangles are top, left, bottom, right; bottom and right are exclusive.
//
// Threads: everything that reads (sampling, readPixel, makeBitmap) may run on any number
// of threads at once. Writers (writePixel, the mip jobs) must not overlap what others
// read or write; the mip jobs of one level write disjoint rectangles of the next level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

// ---- Pixel formats ----------------------------------------------------------------------

enum PixelFormat : int32_t {
    kGrey8 = 0,       // 1 byte, 0..255
    kGrey16 = 1,      // 1 x 16-bit, 0..32768 means 0..1 (the host's 16-bit scale)
    kGreyHalf = 2,    // 1 x IEEE half float, 1.0 full scale
    kRgba8 = 3,       // one 32-bit word: red in the top byte, then green, blue, alpha low
    kRgba16 = 4,      // 4 x 16-bit, 0..32768
    kGreyFloat = 5,   // 1 x 32-bit float, 1.0 full scale
    kRgbHalf = 7,     // 3 x IEEE half float (red, green, blue); alpha reads as 1
    kRgbaFloat = 9,   // 4 x 32-bit float
};

struct PixelFormatInfo {
    int32_t channels;           // 0 for a code that is not a format
    int32_t bytes_per_channel;
    int32_t bytes_per_pixel;    // 0 for a code that is not a format
    float full_scale;           // the stored value that means 1.0
};
// The table row of a format code; every other code gives all zeros.
PixelFormatInfo DescribePixelFormat(int32_t format);

// ---- Edge modes -------------------------------------------------------------------------
// What a lookup does with a position outside 0 <= u <= 1, 0 <= v < 1.

enum EdgeMode : int32_t {
    kEdgeNoSample = 1,    // no sample: transparent black
    kEdgeFoldBlur = 2,    // u folded back with period 2; v clamped, and above the top
                          // (v < 0) sampled more blurred the further out it is
    kEdgeClamp = 3,       // u and v clamped (the mode at creation)
    kEdgeWrapU = 4,       // u wraps around, v clamped
    kEdgeWrapBoth = 5,    // u and v wrap around
    kEdgeWrapBothToo = 6, // handled exactly as 5
    kEdgeMirrorRows = 7,  // every other band of height 1 is turned upside down and
                          // shifted by half a width; u wraps
};

// The wrap flag of a buffer: how the samplers and the mip reduction read across the
// border of a level.
enum WrapFlag : int32_t {
    kWrapNoMips = -1,     // no mip chain is ever built; reads clamp to the level
    kWrapNone = 0,        // reads clamp to the level
    kWrapBoth = 1,        // the picture wraps around in both axes
    kWrapHorizontal = 2,  // wraps left to right only; rows clamp
};

// Job codes of the mip reduction, as the tile scheduler knows them.
constexpr int32_t kMipJobInteger = -1000;  // per-format integer reduction (the default)
constexpr int32_t kMipJobFloat = -1001;    // bilinear float reduction

constexpr int32_t kMaxLevels = 20;   // levels 0..19
constexpr int32_t kTileSize = 512;   // tiles are at most this many pixels wide and high
constexpr int32_t kMipStateBuilt = 2;

// ---- The record --------------------------------------------------------------------------

struct ImageTile {
    uint8_t* pixels;   // row-major, `width` pixels per row, rows packed
    int32_t x, y;      // origin of the tile in level pixels (-1 for the apron's first tile)
    int32_t width;     // pixels per row
    int32_t height;    // rows
};

struct ImageLevel {
    int32_t width, height;          // pixels
    int32_t last_x, last_y;         // width - 1, height - 1
    float inv_width, inv_height;    // 1 / width, 1 / height
    float scale_x, scale_y;         // 2^-level / (width / level-0 width), and for height
    int32_t first_tile;             // index of this level's first tile in `tiles`
    int32_t tile_columns;           // tiles across
    int32_t tile_rows;              // tiles down
    int32_t reserved;
};

// Memory hooks, so the shell can bind buffers to the host's buffer procedures. A null
// `allocate` means the C heap.
struct ImageMemory {
    void* (*allocate)(void* context, size_t bytes);
    void (*release)(void* context, void* block);
    void* context;
};

struct ResampleKernel;  // the shared 128-phase table, resample_kernel.h

// Small and of fixed size: the shell keeps two of these inside its host-kept block. The
// tile array and the pixels live on the heap (or in the memory the hooks give).
struct ImageBuffer {
    // Level 0 and the format.
    int32_t width, height;
    int32_t format;               // a PixelFormat code
    int32_t channels, bytes_per_channel, bytes_per_pixel;
    float full_scale, inv_full_scale;

    // The mip chain.
    int32_t top_level;            // index of the last level (0 for a 1 x 1 picture)
    int32_t top_level_minus3;     // max(top_level - 3, 0)
    ImageLevel levels[kMaxLevels];

    // Tiles of every level, level 0 first, row-major within a level.
    ImageTile* tiles;
    int32_t tile_count;
    int32_t apron;                // 1: every level is stored 2 pixels wider and taller,
                                  // level pixel (x, y) sits at storage (x + 1, y + 1)

    // Derived scales the renderer reads.
    float half_inv_width, half_inv_height;   // 0.5 / width, 0.5 / height
    float width_over_height, height_over_width;
    float aspect_x, aspect_y;                // max(1, w / h), max(1, h / w)

    int32_t wrap;                 // a WrapFlag
    int32_t mip_state;            // kMipStateBuilt once the chain is built
    float jitter_seed;            // random at creation
    int32_t owner;                // 1: destroyImageBuffer also frees this record
    int32_t edge_mode;            // an EdgeMode; kEdgeClamp at creation
    int32_t mip_job;              // kMipJobInteger or kMipJobFloat
    const ResampleKernel* kernel; // the shared resampling table
    ImageMemory memory;

    uint8_t reserved[56];

    bool empty() const { return tiles == nullptr; }
};

// The record's size on every 64-bit target; the shell lays out its block with it.
constexpr size_t kImageBufferBytes = 1152;
static_assert(sizeof(void*) != 8 || sizeof(ImageBuffer) == kImageBufferBytes,
              "ImageBuffer is laid out inside the host-kept block");

struct PixelRgba {
    float r, g, b, a;
};

// ---- Creation ------------------------------------------------------------------------------

// The size of level `level` of a width x height picture (level 0 is the picture; each
// level halves, rounding up, and an odd result above 2 is bumped by one).
void MipLevelSize(int32_t width, int32_t height, int32_t level, int32_t& level_width,
                  int32_t& level_height);
// Index of the last level: the first that is 1 x 1, at most 19.
int32_t MipTopLevel(int32_t width, int32_t height);

// An empty record (no tiles), bound to `memory` (null: the C heap).
void resetImageBuffer(ImageBuffer& buffer, const ImageMemory* memory = nullptr);

// Allocates every tile of every level of an existing (empty or reset) record. False, with
// everything freed and the record empty, when width or height is below 1, the format is
// not one of the eight, or memory runs out. Pixels start at zero, the levels above 0 too
// until buildMipChain fills them.
bool initImageBuffer(ImageBuffer& buffer, int32_t width, int32_t height, int32_t format,
                     bool apron = false);

// A heap record that owns itself (owner flag 1); null on the same failures as above.
ImageBuffer* createImageBuffer(int32_t width, int32_t height, int32_t format,
                               bool apron = false);

// Frees every tile and the tile array, leaves the record empty; frees the record itself
// when its owner flag is set (the pointer is then dangling). Null is ignored.
void destroyImageBuffer(ImageBuffer* buffer);

// ---- Pixels ---------------------------------------------------------------------------------

// One pixel of a level as four floats where 1.0 is full scale. Grey formats give their
// value in red, green and blue; formats without alpha give alpha 1. Positions outside the
// level are clamped to it.
PixelRgba readPixel(const ImageBuffer& buffer, int32_t level, int32_t x, int32_t y);
// Stores one pixel, clamping to the format's range for the integer formats (float formats
// keep values above 1). Grey formats store the green channel. Outside the level: ignored.
void writePixel(ImageBuffer& buffer, int32_t level, int32_t x, int32_t y, PixelRgba colour);

// Copies every tile of every level; false (nothing written) unless both buffers have the
// same size, format, apron and chain.
bool copyMips(const ImageBuffer& from, ImageBuffer& to);

// Makes `target` show the whole of `source`: a plain copy when both have the same size,
// format and chain; otherwise each target pixel is a point sample at its centre from
// level log2(source height / target height) - 0.5, colours clamped to 0..1 (to 0..65535
// for float targets) and alpha to 0..1. Then builds the target's mip chain unless its
// wrap flag is kWrapNoMips. False when either buffer is empty.
bool resampleImage(const ImageBuffer& source, ImageBuffer& target);
// The same loop over a rectangle of the target only, with the level bias `beta`
// (0.5 for whole buffers, 0.1 for the dialog's scaled drawing). Builds no mip chain.
bool resampleRect(const ImageBuffer& source, ImageBuffer& target, int32_t top, int32_t left,
                  int32_t bottom, int32_t right, float beta);

// Fills a kRgba8 buffer from width x height 32-bit pixels in memory order blue, green,
// red, unused, rows top to bottom, alpha set to 255; then builds the mip chain unless the
// wrap flag is kWrapNoMips. False when the buffer is not kRgba8 or empty.
bool importBGRA(const uint8_t* data, ImageBuffer& buffer);

// A 24-bit picture for the dialog: rows top to bottom, each `stride` bytes (a multiple of
// 4, zero padded), pixels in blue, green, red order. Drawn with a negative height as a
// device-independent bitmap.
struct Bitmap {
    int32_t width = 0, height = 0, stride = 0;
    std::vector<uint8_t> bytes;
};
// Level 0 of any format (8-bit values, alpha ignored). False when the buffer is empty.
bool makeBitmap(const ImageBuffer& buffer, Bitmap& bitmap);
// The resampling half of the dialog's scaled drawing: `source` shown whole in a
// width x height bitmap (resampleRect with beta 0.1 into a temporary kRgba8 buffer).
bool makeScaledBitmap(const ImageBuffer& source, int32_t width, int32_t height,
                      Bitmap& bitmap);

// ---- Sampling -------------------------------------------------------------------------------

// Filtered lookup at level of detail `lod` (clamped to 0..top level) and position (u, v),
// after the buffer's edge mode. Returns 0..1 values (times the reciprocal full scale);
// transparent black where edge mode 1 rejects the position. Grey formats answer in red,
// green and blue with alpha 1.
PixelRgba pointSample(const ImageBuffer& buffer, float lod, float u, float v);

struct TopRowTable;

// The caller's sampling state for footprint lookups (the renderer fills it per pass).
struct SamplingState {
    int32_t max_taps = 20;        // most anisotropic taps per lookup (1 or more)
    uint8_t isotropic_lod = 0;    // 1: level from the largest derivative, no anisotropy
    uint8_t jitter_taps = 0;      // 1: move each tap along the axis by up to half the tap
                                  // spacing, by a noise offset that depends only on its
                                  // position and number
    uint8_t reserved[2] = {};
    // The waterline in source positions: du, dv, ua, va, ub, vb, where (ua, va) and
    // (ub, vb) are two points on it and (du, dv) = (ub - ua, vb - va). All zero: no line.
    float mirror_line[6] = {};
    // The noise permutation, 512 entries of 0..255; needed only with jitter_taps.
    const int32_t* permutation = nullptr;
    // Lookups above the picture worked out beforehand (top_row_table.h), or null. It saves
    // work only; the values are the same either way.
    const TopRowTable* top_rows = nullptr;
};

// Footprint of one output pixel: the change of (u, v) from one pixel to the next, along
// x (dux, dvx) and along y (duy, dvy), in 0..1 units.
struct Footprint {
    float dux, dvx, duy, dvy;
};

// The area sample of the output pass. The footprint ellipse (semi-axes = the singular
// values of the footprint, in level-0 pixels, times 1 - softness / 2; the minor one at
// least half a pixel) sets the level log2(minor), which `blur` (0..1) moves that far
// towards the top. A footprint less than 1.25 times longer than wide is one trilinear
// point sample; a longer one is sampled by taps spread along its major axis (2 up to a
// ratio of 1.5, then the rounded ratio, at most max_taps), dropping the taps beyond the
// mirror line when the row of taps crosses it. Colour is the root mean square of the
// taps, alpha their mean.
PixelRgba footprintSample(const ImageBuffer& buffer, float u, float v,
                          const Footprint& footprint, float blur, float softness,
                          const SamplingState& state);

// ---- Mip chain ------------------------------------------------------------------------------

// One reduction job: fills rectangle (top, left, bottom, right) of level `level` (1 and
// up) from level `level - 1`. Rectangles of one level never read what another writes, so
// any number of them may run at once; levels must be built in order.
struct MipJob {
    int32_t level;
    int32_t top, left, bottom, right;
};

// Runs job `kind` (kMipJobInteger or kMipJobFloat) over one rectangle (clamped to the
// level). Returns false, doing nothing, for any other kind, so the scheduler's worker can
// pass every job here first. mip_reduction.cpp says how each job weights the level below,
// how it reads beyond that level's border and when the integer job normalises by 1/1630.
bool RunMipJob(int32_t kind, ImageBuffer& buffer, const MipJob& job);

// The whole of level `level` as one job, for a scheduler that cuts it into tiles itself.
MipJob WholeLevelJob(const ImageBuffer& buffer, int32_t level);

// Level `level` cut into square jobs of `side` pixels (the last row and column smaller),
// row by row: how many there are, and job `index` of them. Together they cover the level
// once. No jobs for a level outside the chain or a side below 1.
int32_t MipJobCount(const ImageBuffer& buffer, int32_t level, int32_t side);
MipJob MipJobAt(const ImageBuffer& buffer, int32_t level, int32_t side, int32_t index);

// Runs the chain level by level. `run_level` covers one level's rectangle (for instance on
// worker threads) and returns false to stop; null runs each level on the calling thread.
// Sets the mip state once every level is built; false if stopped or the buffer is empty.
using MipLevelRunner = bool (*)(void* context, ImageBuffer& buffer, int32_t kind,
                                const MipJob& whole_level);
bool buildMipChain(ImageBuffer& buffer, MipLevelRunner run_level = nullptr,
                   void* context = nullptr);

}  // namespace tw
