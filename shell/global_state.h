// GlobalState: the plug-in's private working block. The host keeps it (31800 bytes) between
// selector calls and may move it while it is unlocked, so nothing outside the block may
// keep a pointer into it across calls. Fields are fixed-width and never reordered.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image/image_buffer.h"

namespace tw {

constexpr int32_t kGlobalStateBytes = 31800;
constexpr int32_t kParamsBlockBytes = 2816;

constexpr int32_t kRecordCellBytes = 240;    // one PixelRecord of the line buffer
constexpr int32_t kSmallBufferBytes = 16;    // each of the three small scratch buffers
constexpr int32_t kScratchRecordBytes = 64960;
constexpr int32_t kScratchValidMarker = 123456;
constexpr int32_t kScratchStaleKey = 111111111;  // a cache key that matches nothing

// A rectangle as the shell handles every host rectangle: top, left, bottom, right, with
// bottom and right exclusive.
struct HostRect {
    int32_t top, left, bottom, right;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(int32_t x, int32_t y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
};

// The engine's scratch record. Only the shell's part of it is named: the validity marker,
// the cache keys that force the engine to recompute, and the room of the small 100 x 100
// three-plane picture kept inside it.
struct ScratchRecord {
    int32_t valid_marker;  // kScratchValidMarker while the record is usable
    int32_t cache_keys[8];
    int32_t reserved[7];
    uint8_t small_image[100 * 100 * 3];
    uint8_t engine[kScratchRecordBytes - 64 - 100 * 100 * 3];
};
static_assert(sizeof(ScratchRecord) == kScratchRecordBytes);

// Every named field of the block; GlobalState pads it to the block's size.
struct GlobalStateFields {
    // Run flags.
    uint8_t show_dialog;      // run the dialog in the coming start
    uint8_t first_run;        // set by the parameters selector, cleared at start-up
    uint8_t dialog_running;
    uint8_t dot_shift_flag;   // modifier flags of memory-dot clicks
    uint8_t dot_control_flag;
    uint8_t preview_ready;
    uint8_t redraw;
    uint8_t drag_state;       // the engine's drag state in the dialog

    // Rectangles.
    HostRect filter_bounds;   // recorded at prepare
    HostRect render_rect;     // the rectangle being rendered
    int32_t render_width, render_height;
    int32_t render_last_row, render_last_column;

    // Preview.
    uint8_t* preview_buffer;  // 8-bit planar: planes x width x height bytes
    int32_t preview_width, preview_height;
    int32_t preview_plane_size;   // width x height
    int32_t preview_planes;
    HostRect preview_rect;
    HostRect preview_display_rect;
    int32_t preview_in_offset_x, preview_in_offset_y;    // input rectangle from the origin
    int32_t preview_out_offset_x, preview_out_offset_y;  // output rectangle from the origin
    int32_t preview_pane_width, preview_pane_height;     // the dialog's pane, 0: no limit
    float preview_scale;      // 1.0 after the parameters selector

    // Buffer sizes.
    int32_t line_length;
    int32_t reserved_size;
    int64_t line_buffer_size;  // bytes
    int32_t small_buffer_size[3];
    int32_t reserved_sizes;

    // Scratch memory, allocated at start and released at finish.
    uint8_t* line_buffer;
    uint8_t* small_buffers[3];
    ScratchRecord* scratch;

    // Pictures: the host's picture, and the 128 x 128 holder of settings pictures.
    ImageBuffer work_image;
    ImageBuffer aux_image;

    // Dialog and undo.
    int32_t undo_toggle;
    int32_t undo_counters[2];
    int32_t dialog_ints[13];
    void* last_memory_dot;
    void* dialog_handles[8];
    int32_t dot_keep[25];  // memory dots to show filled at the next start (the map file)
    uint8_t control_enabled[200];  // the dialog's controls, by id: 0 shows one greyed out
};

struct GlobalState : GlobalStateFields {
    uint8_t tail[kGlobalStateBytes - sizeof(GlobalStateFields)];
};
static_assert(sizeof(GlobalState) == kGlobalStateBytes, "GlobalState must fill the 31800-byte block");

// The line-buffer length of a w x h filter rectangle, at least 4 cells.
int32_t LineLengthForFilter(int32_t width, int32_t height);

}  // namespace tw
