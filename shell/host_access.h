// The shell's access to the host: its rectangles (through the 32-bit big-document fields
// when the host has them and they are switched on), the handle procedures that keep the two
// blocks, the host's buffer procedures as memory for the pictures, and the requests that
// move pixels. Every rectangle is four 32-bit integers top, left, bottom, right.
#pragma once

#include <cstdint>

#include "hostapi/filter_record.h"
#include "shell/global_state.h"

namespace tw {

bool UsesBigDocument(const FilterRecord& record);
HostRect GetFilterRect(const FilterRecord& record);
HostRect GetInRect(const FilterRecord& record);
HostRect GetOutRect(const FilterRecord& record);
HostRect GetMaskRect(const FilterRecord& record);
// The whole picture, (0, 0) to its size; never smaller than the filter rectangle, so a host
// that leaves the size unset still gets requests for the pixels it filters.
HostRect GetImageRect(const FilterRecord& record);
void GetFloatCoord(const FilterRecord& record, int32_t& v, int32_t& h);
void SetInRect(FilterRecord& record, const HostRect& rect);
void SetOutRect(FilterRecord& record, const HostRect& rect);
void SetMaskRect(FilterRecord& record, const HostRect& rect);
// Empty input, output and mask rectangles: the host makes no further continue calls.
void EmptyHostRects(FilterRecord& record);

// The remaining request fields the shell always sets: all planes interleaved, edge
// replication, `rate` (whole pixels per sample) as 16.16, no dummy planes, no automatic
// masking (the shell applies the selection itself).
void SetRequestFields(FilterRecord& record, int32_t rate);

// What to ask the host for when `wanted` (in coordinates reduced by `rate`) is needed. A
// host that pads gets `wanted` as it is. One that does not (`supportsPadding` false) may
// refuse, clip or fill a request that leaves the picture, so it is asked only for the part
// inside; when `wanted` lies wholly outside, for the picture's nearest edge row, column or
// corner. Reading the answer with coordinates clamped into it then gives exactly the edge
// replication a padding host would have done. Empty only for an empty picture or request.
HostRect FitRequest(const FilterRecord& record, const HostRect& wanted, int32_t rate);

// Handle procedures, with the record's count checked before each slot.
bool HostHasHandles(const FilterRecord& record);
Handle NewHostHandle(const FilterRecord& record, int32_t size);
void* LockHostHandle(const FilterRecord& record, Handle handle);
void UnlockHostHandle(const FilterRecord& record, Handle handle);

// Memory for the image buffers: the host's buffer procedures when offered, else the C heap.
struct ImageMemory;
ImageMemory HostImageMemory(const FilterRecord* record);

}  // namespace tw
