// Render drivers: source loading, the render pass into the host, the preview or an export
// picture, and the preview's zoom arithmetic.
#include "shell/render_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "hostapi/host_constants.h"
#include "image/image_buffer.h"
#include "image/top_row_table.h"
#include "platform/platform.h"
#include "render/geometry.h"
#include "render/noise.h"
#include "render/output_pass.h"
#include "render/pixel_record.h"
#include "render/water_state.h"
#include "shell/host_access.h"
#include "shell/host_pixels.h"
#include "shell/dialog_bridge.h"
#include "shell/tile_scheduler.h"
#include "ui/preview_zoom.h"

namespace tw {

namespace {

constexpr int16_t kCannotAllocateImage = 999;
constexpr int16_t kOutOfMemory = -108;
constexpr int16_t kCancelled = -128;
constexpr int32_t kSourceBlockWidth = 512;

void SetResult(const ShellContext& shell, int16_t code) { *shell.result = code; }
int16_t Result(const ShellContext& shell) { return *shell.result; }

// The rectangles, pan, zoom and mode a driver changes and puts back when it is done.
struct SavedView {
    HostRect in, out, mask, render;
    int32_t pan_x, pan_y, zoom, render_mode;
};

SavedView SaveView(const ShellContext& shell) {
    const FilterRecord& rec = *shell.record;
    const RenderParams& p = *shell.params;
    return {GetInRect(rec), GetOutRect(rec), GetMaskRect(rec), shell.globals->render_rect,
            p.pan_x, p.pan_y, p.zoom, p.render_mode};
}

void RestoreView(const ShellContext& shell, const SavedView& saved, bool with_mode) {
    FilterRecord& rec = *shell.record;
    RenderParams& p = *shell.params;
    SetInRect(rec, saved.in);
    SetOutRect(rec, saved.out);
    SetMaskRect(rec, saved.mask);
    shell.globals->render_rect = saved.render;
    p.pan_x = saved.pan_x;
    p.pan_y = saved.pan_y;
    p.zoom = saved.zoom;
    if (with_mode) p.render_mode = saved.render_mode;
}

bool AbortRequested(const ShellContext& shell) {
    if (shell.params->render_mode != kRenderFinal) return false;
    if (Result(shell) == kCancelled) return true;
    const FilterRecord& rec = *shell.record;
    if (rec.abortProc != nullptr && rec.abortProc()) {
        SetResult(shell, kCancelled);
        return true;
    }
    return false;
}

// ---- Source loading -----------------------------------------------------------------------

template <typename Sample>
Sample ReadAt(const uint8_t* at) {
    Sample v;
    std::memcpy(&v, at, sizeof v);
    return v;
}

// Copies one block of the working image out of the host's input buffer. Pixels outside
// what the host returned repeat its edge, as the requested padding would.
template <typename Sample>
void CopyBlock(const FilterRecord& rec, const HostRect& got, int32_t image_top, int32_t image_left,
               ImageTile& tile, int32_t format) {
    const auto* data = static_cast<const uint8_t*>(rec.inData);
    const int32_t stride = std::max(rec.inHiPlane - rec.inLoPlane + 1, 1);
    const bool grey = rec.planes < 3;
    const bool transparent = rec.filterCase == filterCaseEditableTransparencyNoSelection ||
                             rec.filterCase == filterCaseEditableTransparencyWithSelection;
    const int32_t alpha_plane = rec.inLayerPlanes - rec.inLoPlane;
    const size_t bytes = sizeof(Sample);
    for (int32_t row = 0; row < tile.height; ++row) {
        const int32_t y = std::clamp(image_top + tile.y + row, got.top, got.bottom - 1);
        const uint8_t* src_row = data + ptrdiff_t(y - got.top) * rec.inRowBytes;
        uint8_t* dst = tile.pixels + size_t(row) * size_t(tile.width) * size_t(4 * bytes);
        for (int32_t column = 0; column < tile.width; ++column) {
            const int32_t x = std::clamp(image_left + tile.x + column, got.left, got.right - 1);
            const uint8_t* px = src_row + size_t(x - got.left) * size_t(stride) * bytes;
            Sample r = ReadAt<Sample>(px);
            Sample g = grey ? r : ReadAt<Sample>(px + bytes);
            Sample b = grey ? r : ReadAt<Sample>(px + 2 * bytes);
            Sample a;
            if (transparent) {
                a = ReadAt<Sample>(px + size_t(alpha_plane) * bytes);
            } else if constexpr (sizeof(Sample) == 1) {
                a = 255;
            } else if constexpr (sizeof(Sample) == 2) {
                a = 0x8000;
            } else {
                a = Sample(1);
            }
            if (format == kRgba8) {
                const uint32_t word = (uint32_t(r) << 24) | (uint32_t(g) << 16) |
                                      (uint32_t(b) << 8) | uint32_t(a);
                std::memcpy(dst, &word, 4);
                dst += 4;
            } else {
                const Sample four[4] = {r, g, b, a};
                std::memcpy(dst, four, sizeof four);
                dst += sizeof four;
            }
        }
    }
}

// One level of the mip chain on the scheduler: the level's rectangle cut into jobs.
struct MipRunContext {
    const ShellContext* shell;
    ImageBuffer* buffer;
    int32_t level;
    HostRect area;
};

void MipWork(void* context, TileJob& job) {
    const auto& mip = *static_cast<const MipRunContext*>(context);
    const MipJob part{mip.level, mip.area.top + job.rect.top, mip.area.left + job.rect.left,
                      mip.area.top + job.rect.bottom, mip.area.left + job.rect.right};
    RunMipJob(job.kind, *mip.buffer, part);
}

bool MipAborted(void* context) {
    return AbortRequested(*static_cast<const MipRunContext*>(context)->shell);
}

bool RunMipLevel(void* context, ImageBuffer& buffer, int32_t kind, const MipJob& whole) {
    const ShellContext& shell = *static_cast<const ShellContext*>(context);
    MipRunContext mip{&shell, &buffer, whole.level,
                      HostRect{whole.top, whole.left, whole.bottom, whole.right}};
    SchedulerRun run;
    run.kind = kind;
    run.area = mip.area;
    run.owner = shell.globals;
    run.source = &buffer;
    run.needs_cells = false;  // reductions read and write the picture only
    run.needs_engine = false;
    run.context = &mip;
    run.work = MipWork;
    run.aborted = MipAborted;
    // The buffer pointer and level travel in the parameter block, as for every job kind.
    std::memcpy(run.block.values[0], &mip.buffer, sizeof mip.buffer);
    std::memcpy(run.block.values[1], &mip.level, sizeof mip.level);
    const SchedulerOutcome outcome = RunTileScheduler(run);
    if (outcome.cancelled) SetResult(shell, kCancelled);
    else if (outcome.error != 0 && Result(shell) == 0) SetResult(shell, outcome.error);
    return !outcome.cancelled && outcome.error == 0;
}

// ---- The water pass ---------------------------------------------------------------------

struct PassContext {
    const ShellContext* shell;
    const NoiseTables* noise;
    const TopRowTable* top_rows;     // null when the table could not be made
    ImageBuffer* source;
    ImageBuffer* export_image;       // offscreen target
    const ImageBuffer* background;   // offscreen background
    OffscreenProgress progress;      // offscreen: where the thousandths go
    int64_t last_report;             // whole seconds
};

void PrepareWaterJob(void* context, TileJob& job) {
    const auto& pass = *static_cast<const PassContext*>(context);
    const TileRect rect{job.rect.top, job.rect.left, job.rect.bottom, job.rect.right};
    setupWaterState(*job.engine, *pass.shell->params, *pass.noise,
                    PassImage{pass.source->width, pass.source->height}, pass.source, rect, pass.top_rows);
}

void WaterWork(void*, TileJob& job) {
    geometryPass(*job.engine, job.cells.records);
    luminancePass(*job.engine, job.cells.records);
    outputPass(*job.engine, job.cells.records);
}

int16_t CompleteWaterJob(void* context, TileJob& job) {
    const auto& pass = *static_cast<const PassContext*>(context);
    return WriteWaterJob(*pass.shell, job, pass.export_image, pass.background);
}

bool WaterAborted(void* context) {
    return AbortRequested(*static_cast<const PassContext*>(context)->shell);
}

void WaterProgress(void* context, int32_t completed, int32_t total) {
    auto& pass = *static_cast<PassContext*>(context);
    const ShellContext& shell = *pass.shell;
    const RenderParams& p = *shell.params;
    const int64_t now = platform::ClockSeconds();
    if (p.pass_index < 1 || now - pass.last_report < 1) return;
    const double x = (double(p.pass_index - 1) * total + completed) /
                     (double(std::max(p.pass_count, 1)) * total);
    const int32_t done = int32_t(std::floor(1000 * x));
    if (p.render_mode == kRenderFinal && shell.record->progressProc != nullptr)
        shell.record->progressProc(1 + done, 1000);
    else if (p.render_mode == kRenderOffscreen && pass.progress.report != nullptr)
        pass.progress.report(pass.progress.context, done);
    pass.last_report = now;
}

// Runs the water tiles over the render rectangle, sampling `source`.
void RunWaterPass(const ShellContext& shell, ImageBuffer& source, ImageBuffer* export_image,
                  const ImageBuffer* background, const OffscreenProgress& progress) {
    GlobalState& g = *shell.globals;
    if (!EnsureLineBuffer(g, g.render_rect.width())) {
        SetResult(shell, kOutOfMemory);
        return;
    }
    std::unique_ptr<NoiseTables> noise(new (std::nothrow) NoiseTables);
    if (!noise) {
        SetResult(shell, kOutOfMemory);
        return;
    }
    buildNoiseTables(*noise, shell.params->seed);
    // The water samples beyond the top edge as blurred fold-back; set before any worker reads.
    source.edge_mode = kEdgeFoldBlur;

    g.render_width = g.render_rect.width();
    g.render_height = g.render_rect.height();
    g.render_last_row = g.render_height - 1;
    g.render_last_column = g.render_width - 1;

    // Lookups above the picture, worked out once for the pass; without the memory for them
    // the pass filters each one as it comes.
    TopRowTable topRows;
    const bool tabled = passWantsTopRowTable(*shell.params) && buildTopRowTable(source, topRows);

    PassContext pass{&shell, noise.get(), tabled ? &topRows : nullptr, &source, export_image, background, progress,
                     platform::ClockSeconds()};
    SchedulerRun run;
    run.kind = kJobWaterTile;
    run.area = g.render_rect;
    run.owner = &g;
    run.source = &source;
    run.buffer_procs = shell.record->bufferProcs;
    run.context = &pass;
    run.prepare = PrepareWaterJob;
    run.work = WaterWork;
    run.complete = CompleteWaterJob;
    run.aborted = WaterAborted;
    run.progress = WaterProgress;
    const SchedulerOutcome outcome = RunTileScheduler(run);
    if (outcome.cancelled) SetResult(shell, kCancelled);
    else if (outcome.error != 0 && Result(shell) == 0) SetResult(shell, outcome.error);
}

void ReplacePreviewBuffer(const ShellContext& shell) {
    GlobalState& g = *shell.globals;
    std::free(g.preview_buffer);
    g.preview_buffer = nullptr;
    g.preview_planes = std::max<int32_t>(shell.record->planes, 1);
    const size_t bytes = size_t(g.preview_planes) * size_t(std::max(g.preview_plane_size, 0));
    if (bytes == 0) return;
    g.preview_buffer = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (g.preview_buffer == nullptr) SetResult(shell, kOutOfMemory);
}

}  // namespace

int16_t WriteWaterJob(const ShellContext& shell, TileJob& job, ImageBuffer* export_image,
                      const ImageBuffer* background) {
    FilterRecord& rec = *shell.record;
    const RenderParams& p = *shell.params;

    HostPixelFormat fmt;
    fmt.render_mode = p.render_mode;
    fmt.glue_mode = p.glue_mode;
    fmt.job = job.rect;
    fmt.preview = shell.globals->preview_buffer;
    fmt.preview_width = shell.globals->preview_width;
    fmt.preview_height = shell.globals->preview_height;
    fmt.preview_planes = shell.globals->preview_planes;

    if (p.render_mode == kRenderOffscreen) {
        fmt.export_image = export_image;
        fmt.background = background;
        fmt.grey = rec.planes < 3;
        fmt.float_output = export_image != nullptr &&
                           (export_image->format == kGreyFloat ||
                            export_image->format == kRgbaFloat);
    } else {
        const int32_t zoom = std::max(p.zoom, 1);
        int32_t float_v = 0, float_h = 0;
        GetFloatCoord(rec, float_v, float_h);
        const int32_t shift_y = float_v / zoom + p.pan_y / zoom;
        const int32_t shift_x = float_h / zoom + p.pan_x / zoom;
        const HostRect host{job.rect.top + shift_y, job.rect.left + shift_x,
                            job.rect.bottom + shift_y, job.rect.right + shift_x};
        SetInRect(rec, FitRequest(rec, host, zoom));
        SetOutRect(rec, FitRequest(rec, host, 1));
        if (rec.haveMask) SetMaskRect(rec, FitRequest(rec, host, zoom));
        SetRequestFields(rec, zoom);
        const OSErr error = rec.advanceState != nullptr ? rec.advanceState() : OSErr(0);
        // The host's buffers are not ours to write after a failed request.
        if (error != 0) return error;
        DescribeHostBuffers(rec, GetInRect(rec), GetOutRect(rec), GetMaskRect(rec), shift_x,
                            shift_y, fmt);
        fmt.render_mode = p.render_mode;
        fmt.float_output = p.render_mode == kRenderFinal && fmt.depth == HostDepth::kFloat;
        fmt.replicate_edges = !rec.supportsPadding;
    }

    const int32_t columns = job.cells.columns;
    for (int32_t y = job.rect.top; y < job.rect.bottom; ++y) {
        const PixelRecord* record =
            job.cells.records + ptrdiff_t(y - job.rect.top + 1) * columns + 1;
        for (int32_t x = job.rect.left; x < job.rect.right; ++x, ++record)
            WritePixel(fmt, x, y, record->colour);
    }
    return 0;
}

int32_t WorkImageFormat(const FilterRecord& record) {
    switch (HostDepthOf(record.imageMode, record.depth)) {
        case HostDepth::k8: return kRgba8;
        case HostDepth::k16: return kRgba16;
        case HostDepth::kFloat: return kRgbaFloat;
    }
    return kRgba8;
}

bool EnsureLineBuffer(GlobalState& g, int32_t width) {
    g.line_length = std::max(width, 0) + 4;
    const int64_t needed = int64_t(kRecordCellBytes) * g.line_length;
    if (g.line_buffer != nullptr && needed <= g.line_buffer_size) return true;
    void* grown = std::realloc(g.line_buffer, size_t(needed));
    if (grown == nullptr) return false;
    g.line_buffer = static_cast<uint8_t*>(grown);
    g.line_buffer_size = needed;
    return true;
}

bool LoadSource(const ShellContext& shell) {
    FilterRecord& rec = *shell.record;
    RenderParams& p = *shell.params;
    GlobalState& g = *shell.globals;
    const HostRect filter = GetFilterRect(rec);
    const SavedView saved = SaveView(shell);

    destroyImageBuffer(&g.work_image);
    const ImageMemory memory = HostImageMemory(&rec);
    resetImageBuffer(g.work_image, &memory);
    const int32_t format = WorkImageFormat(rec);
    if (!initImageBuffer(g.work_image, filter.width(), filter.height(), format)) {
        SetResult(shell, kCannotAllocateImage);
        return false;
    }

    // Fetch level 0 block by block, in the order of the tile table.
    const ImageLevel& level0 = g.work_image.levels[0];
    const int32_t blocks = level0.tile_columns * level0.tile_rows;
    const HostRect origin{filter.top, filter.left, filter.top + 1, filter.left + 1};
    bool ok = true;
    for (int32_t i = 0; i < blocks && ok; ++i) {
        ImageTile& tile = g.work_image.tiles[level0.first_tile + i];
        const HostRect wanted{filter.top + tile.y, filter.left + tile.x,
                              filter.top + tile.y + tile.height,
                              filter.left + tile.x + kSourceBlockWidth};
        SetInRect(rec, FitRequest(rec, wanted, 1));
        SetOutRect(rec, FitRequest(rec, origin, 1));
        if (rec.haveMask) SetMaskRect(rec, FitRequest(rec, origin, 1));
        // Full resolution whatever the preview's zoom: the working image is the whole picture.
        SetRequestFields(rec, 1);
        const OSErr error = rec.advanceState();
        if (error != 0) {
            SetResult(shell, error);
            ok = false;
            break;
        }
        const HostRect got = GetInRect(rec);
        if (rec.inData == nullptr || got.empty()) continue;  // nothing delivered: leave it
        switch (format) {
            case kRgba8:
                if (HostDepthOf(rec.imageMode, rec.depth) == HostDepth::k8)
                    CopyBlock<uint8_t>(rec, got, filter.top, filter.left, tile, format);
                break;
            case kRgba16:
                if (HostDepthOf(rec.imageMode, rec.depth) == HostDepth::k16)
                    CopyBlock<uint16_t>(rec, got, filter.top, filter.left, tile, format);
                break;
            default:
                if (HostDepthOf(rec.imageMode, rec.depth) == HostDepth::kFloat)
                    CopyBlock<float>(rec, got, filter.top, filter.left, tile, format);
                break;
        }
    }
    RestoreView(shell, saved, true);
    if (!ok) return false;

    p.source_loaded = 1;
    if (g.work_image.wrap != kWrapNoMips) {
        ShellContext context = shell;
        if (!buildMipChain(g.work_image, RunMipLevel, &context)) {
            p.source_loaded = 0;
            if (Result(shell) == 0) SetResult(shell, kOutOfMemory);
            return false;
        }
    }
    SetZoom(shell);
    return true;
}

void RenderToHost(const ShellContext& shell, int32_t mode) {
    FilterRecord& rec = *shell.record;
    RenderParams& p = *shell.params;
    GlobalState& g = *shell.globals;

    p.render_mode = mode;
    if (!p.source_loaded || g.work_image.empty()) {
        if (!LoadSource(shell)) return;
    }
    const SavedView saved = SaveView(shell);

    if (mode == kRenderFinal) {
        const HostRect filter = GetFilterRect(rec);
        g.render_rect = {0, 0, filter.height(), filter.width()};
        p.zoom = 1;
        SetInRect(rec, filter);
        SetOutRect(rec, filter);
        SetMaskRect(rec, filter);
        SetRequestFields(rec, 1);
        if (rec.progressProc != nullptr) rec.progressProc(2, 100);
        p.pass_count = 1;
        p.pass_index = 1;
        p.pan_x = p.pan_y = 0;
    } else {
        g.render_rect = {0, 0, g.preview_rect.height(), g.preview_rect.width()};
        SetInRect(rec, g.preview_rect);
        SetOutRect(rec, g.preview_rect);
        SetRequestFields(rec, std::max(p.zoom, 1));
    }

    RunWaterPass(shell, g.work_image, nullptr, nullptr, {});

    p.pass_index = -1;
    RestoreView(shell, saved, false);
    if (mode == kRenderPreview) SetZoom(shell);
}

void RenderOffscreen(const ShellContext& shell, ImageBuffer& target,
                     const OffscreenProgress& progress) {
    RenderParams& p = *shell.params;
    GlobalState& g = *shell.globals;
    const SavedView saved = SaveView(shell);

    const ImageBuffer& work = g.work_image;
    const bool same_size = !work.empty() && work.width == target.width && work.height == target.height &&
                           work.format == target.format && work.apron == target.apron;

    g.render_rect = {0, 0, target.height, target.width};
    p.zoom = 1;
    p.pass_count = 1;
    p.pass_index = 1;
    p.pan_x = p.pan_y = 0;
    p.render_mode = kRenderOffscreen;

    // Tiles read an untouched picture, so no tile samples pixels another tile already wrote:
    // at the working image's own size that is the working image itself, which the pass
    // only reads; otherwise a copy of the scaled picture the target holds.
    if (same_size) {
        RunWaterPass(shell, g.work_image, &target, &g.work_image, progress);
    } else {
        ImageBuffer* snapshot = createImageBuffer(target.width, target.height, target.format,
                                                  target.apron != 0);
        if (snapshot == nullptr || !copyMips(target, *snapshot)) {
            destroyImageBuffer(snapshot);
            SetResult(shell, kOutOfMemory);
        } else {
            snapshot->wrap = target.wrap;
            snapshot->mip_state = target.mip_state;
            RunWaterPass(shell, *snapshot, &target, snapshot, progress);
            destroyImageBuffer(snapshot);
        }
    }

    RestoreView(shell, saved, true);
    p.pass_index = -1;
    if (p.render_mode == kRenderPreview) SetZoom(shell);
}

bool HostCanSample(const FilterRecord& record) {
    return record.advanceState != nullptr && record.displayPixels != nullptr &&
           record.samplingSupport != hostDoesNotSupportSampling;
}

void SetZoom(const ShellContext& shell) {
    const FilterRecord& rec = *shell.record;
    RenderParams& p = *shell.params;
    GlobalState& g = *shell.globals;

    int32_t b = 1;
    if (HostCanSample(rec)) b = std::max(p.zoom, 1);
    else p.zoom = 1;

    const HostRect filter = GetFilterRect(rec);
    const PixelRect shown = ShownRegion({filter.top, filter.left, filter.bottom, filter.right}, b,
                                   g.preview_pane_width, g.preview_pane_height);
    const HostRect preview{shown.top, shown.left, shown.bottom, shown.right};
    g.preview_rect = preview;
    const HostRect in = GetInRect(rec), out = GetOutRect(rec);
    g.preview_in_offset_x = (in.left - filter.left) / b;
    g.preview_in_offset_y = (in.top - filter.top) / b;
    g.preview_out_offset_x = (out.left - filter.left) / b;
    g.preview_out_offset_y = (out.top - filter.top) / b;
    if (Result(shell) != 0) return;

    p.zoom = b;
    g.render_rect = {0, 0, preview.height(), preview.width()};
    g.preview_width = std::max(preview.width(), 0);
    g.preview_height = std::max(preview.height(), 0);
    g.preview_plane_size = g.preview_width * g.preview_height;
}

void PreviewRender(const ShellContext& shell) {
    ShowWaitCursor(true);
    SetZoom(shell);
    ReplacePreviewBuffer(shell);
    if (Result(shell) == 0) RenderToHost(shell, kRenderPreview);
    ShowWaitCursor(false);
}

void BeforeView(const ShellContext& shell) {
    FilterRecord& rec = *shell.record;
    RenderParams& p = *shell.params;
    GlobalState& g = *shell.globals;
    SetZoom(shell);
    ReplacePreviewBuffer(shell);
    if (Result(shell) != 0 || g.preview_buffer == nullptr || rec.advanceState == nullptr) return;

    const int32_t zoom = std::max(p.zoom, 1);
    int32_t float_v = 0, float_h = 0;
    GetFloatCoord(rec, float_v, float_h);
    const int32_t shift_y = float_v / zoom + p.pan_y / zoom;
    const int32_t shift_x = float_h / zoom + p.pan_x / zoom;
    const HostRect host{shift_y, shift_x, g.preview_height + shift_y, g.preview_width + shift_x};
    // A host that does not pad is asked for the part inside the picture; the rows and
    // columns it cannot give repeat its edge, as a padding host would have sent them.
    const HostRect got = FitRequest(rec, host, zoom);
    if (got.empty()) return;
    SetInRect(rec, got);
    SetOutRect(rec, FitRequest(rec, host, 1));
    if (rec.haveMask) SetMaskRect(rec, got);
    SetRequestFields(rec, zoom);

    const HostDepth depth = HostDepthOf(rec.imageMode, rec.depth);
    const size_t plane_size = size_t(g.preview_plane_size);
    for (int32_t plane = 0; plane < g.preview_planes; ++plane) {
        rec.inLoPlane = rec.inHiPlane = int16_t(plane);
        const OSErr error = rec.advanceState();
        if (error != 0) {
            SetResult(shell, error);
            return;
        }
        const auto* data = static_cast<const uint8_t*>(rec.inData);
        if (data == nullptr) continue;
        uint8_t* dst = g.preview_buffer + size_t(plane) * plane_size;
        for (int32_t y = 0; y < g.preview_height; ++y) {
            const int32_t from_y = std::clamp(host.top + y, got.top, got.bottom - 1) - got.top;
            const uint8_t* row = data + ptrdiff_t(from_y) * rec.inRowBytes;
            for (int32_t x = 0; x < g.preview_width; ++x) {
                const int32_t at = std::clamp(host.left + x, got.left, got.right - 1) - got.left;
                uint8_t v = 0;
                if (depth == HostDepth::k8) {
                    v = row[at];
                } else if (depth == HostDepth::k16) {
                    v = uint8_t(std::min(2u * ReadAt<uint16_t>(row + 2 * at) / 257u, 255u));
                } else {
                    v = uint8_t(std::clamp(ReadAt<float>(row + 4 * at), 0.0f, 1.0f) * 255.0f);
                }
                dst[size_t(y) * size_t(g.preview_width) + size_t(x)] = v;
            }
        }
    }
}

}  // namespace tw
