// Host rectangles, handles and buffer memory.
#include "shell/host_access.h"

#include <algorithm>
#include <cstdlib>

#include "hostapi/host_constants.h"
#include "image/image_buffer.h"
#include "shell/tile_scheduler.h"

namespace tw {

namespace {

HostRect FromRect16(const Rect& r) { return {r.top, r.left, r.bottom, r.right}; }
HostRect FromVRect(const VRect& r) { return {r.top, r.left, r.bottom, r.right}; }

int16_t To16(int32_t v) { return int16_t(std::clamp(v, -32768, 32767)); }
Rect ToRect16(const HostRect& r) { return {To16(r.top), To16(r.left), To16(r.bottom), To16(r.right)}; }
VRect ToVRect(const HostRect& r) { return {r.top, r.left, r.bottom, r.right}; }

}  // namespace

bool UsesBigDocument(const FilterRecord& record) {
    return record.bigDocumentData != nullptr &&
           record.bigDocumentData->PluginUsing32BitCoordinates != 0;
}

HostRect GetFilterRect(const FilterRecord& record) {
    return UsesBigDocument(record) ? FromVRect(record.bigDocumentData->filterRect32)
                                   : FromRect16(record.filterRect);
}
HostRect GetInRect(const FilterRecord& record) {
    return UsesBigDocument(record) ? FromVRect(record.bigDocumentData->inRect32)
                                   : FromRect16(record.inRect);
}
HostRect GetOutRect(const FilterRecord& record) {
    return UsesBigDocument(record) ? FromVRect(record.bigDocumentData->outRect32)
                                   : FromRect16(record.outRect);
}
HostRect GetMaskRect(const FilterRecord& record) {
    return UsesBigDocument(record) ? FromVRect(record.bigDocumentData->maskRect32)
                                   : FromRect16(record.maskRect);
}
HostRect GetImageRect(const FilterRecord& record) {
    int32_t height = record.imageSize.v, width = record.imageSize.h;
    if (UsesBigDocument(record)) {
        height = record.bigDocumentData->imageSize32.v;
        width = record.bigDocumentData->imageSize32.h;
    }
    const HostRect filter = GetFilterRect(record);
    return {0, 0, std::max(height, filter.bottom), std::max(width, filter.right)};
}

void GetFloatCoord(const FilterRecord& record, int32_t& v, int32_t& h) {
    if (UsesBigDocument(record)) {
        v = record.bigDocumentData->floatCoord32.v;
        h = record.bigDocumentData->floatCoord32.h;
    } else {
        v = record.floatCoord.v;
        h = record.floatCoord.h;
    }
}

void SetInRect(FilterRecord& record, const HostRect& rect) {
    if (UsesBigDocument(record))
        record.bigDocumentData->inRect32 = ToVRect(rect);
    else
        record.inRect = ToRect16(rect);
}
void SetOutRect(FilterRecord& record, const HostRect& rect) {
    if (UsesBigDocument(record))
        record.bigDocumentData->outRect32 = ToVRect(rect);
    else
        record.outRect = ToRect16(rect);
}
void SetMaskRect(FilterRecord& record, const HostRect& rect) {
    if (UsesBigDocument(record))
        record.bigDocumentData->maskRect32 = ToVRect(rect);
    else
        record.maskRect = ToRect16(rect);
}

void EmptyHostRects(FilterRecord& record) {
    const HostRect empty{0, 0, 0, 0};
    SetInRect(record, empty);
    SetOutRect(record, empty);
    SetMaskRect(record, empty);
}

void SetRequestFields(FilterRecord& record, int32_t rate) {
    record.inLoPlane = record.outLoPlane = 0;
    record.inHiPlane = record.outHiPlane = int16_t(std::max<int>(record.planes - 1, 0));
    record.inputPadding = record.outputPadding = record.maskPadding = plugInWantsEdgeReplication;
    record.inputRate = record.maskRate = Fixed(std::max(rate, 1)) << 16;
    record.inPreDummyPlanes = record.inPostDummyPlanes = 0;
    record.outPreDummyPlanes = record.outPostDummyPlanes = 0;
    record.autoMask = 0;
}

HostRect FitRequest(const FilterRecord& record, const HostRect& wanted, int32_t rate) {
    if (record.supportsPadding || wanted.empty()) return wanted;
    // At a rate of r, sample c is the picture's pixel c * r, so the picture holds the
    // samples whose pixel lies inside it, the last of them perhaps a partial block.
    const HostRect image = GetImageRect(record);
    const int64_t r = std::max(rate, 1);
    const auto height = int32_t((image.bottom + r - 1) / r), width = int32_t((image.right + r - 1) / r);
    if (height <= 0 || width <= 0) return HostRect{0, 0, 0, 0};
    HostRect fitted;
    fitted.top = std::clamp(wanted.top, 0, height - 1);
    fitted.left = std::clamp(wanted.left, 0, width - 1);
    fitted.bottom = std::clamp(wanted.bottom, fitted.top + 1, height);
    fitted.right = std::clamp(wanted.right, fitted.left + 1, width);
    return fitted;
}

bool HostHasHandles(const FilterRecord& record) {
    const HandleProcs* procs = record.handleProcs;
    return procs != nullptr && procs->numHandleProcs >= 6 && procs->newProc != nullptr &&
           procs->lockProc != nullptr && procs->unlockProc != nullptr;
}

Handle NewHostHandle(const FilterRecord& record, int32_t size) {
    return HostHasHandles(record) ? record.handleProcs->newProc(size) : nullptr;
}

void* LockHostHandle(const FilterRecord& record, Handle handle) {
    if (!HostHasHandles(record) || handle == nullptr) return nullptr;
    return record.handleProcs->lockProc(handle, 1);
}

void UnlockHostHandle(const FilterRecord& record, Handle handle) {
    if (HostHasHandles(record) && handle != nullptr) record.handleProcs->unlockProc(handle);
}

namespace {

// Each block carries a small header naming where it came from, so it can go back there.
struct BlockHeader {
    BufferID host_buffer;  // null: the C heap
    uint64_t reserved;
};
static_assert(sizeof(BlockHeader) == 16);

void* AllocateImageBlock(void* context, size_t bytes) {
    const auto* procs = static_cast<const BufferProcs*>(context);
    const size_t total = bytes + sizeof(BlockHeader);
    if (HostOffersBuffers(procs) && total <= size_t(INT32_MAX)) {
        BufferID id = nullptr;
        if (procs->allocateProc(int32_t(total), &id) == 0 && id != nullptr) {
            if (Ptr data = procs->lockProc(id, 1)) {
                auto* header = reinterpret_cast<BlockHeader*>(data);
                header->host_buffer = id;
                return header + 1;
            }
            procs->freeProc(id);
        }
    }
    // The host's buffer space may be small; the picture still fits in ordinary memory.
    auto* header = static_cast<BlockHeader*>(std::malloc(total));
    if (header == nullptr) return nullptr;
    header->host_buffer = nullptr;
    return header + 1;
}

void ReleaseImageBlock(void* context, void* block) {
    if (block == nullptr) return;
    auto* header = static_cast<BlockHeader*>(block) - 1;
    if (header->host_buffer != nullptr) {
        const auto* procs = static_cast<const BufferProcs*>(context);
        const BufferID id = header->host_buffer;
        procs->unlockProc(id);
        procs->freeProc(id);
    } else {
        std::free(header);
    }
}

}  // namespace

ImageMemory HostImageMemory(const FilterRecord* record) {
    const BufferProcs* procs = record != nullptr ? record->bufferProcs : nullptr;
    if (!HostOffersBuffers(procs)) return ImageMemory{nullptr, nullptr, nullptr};
    return ImageMemory{AllocateImageBlock, ReleaseImageBlock, const_cast<BufferProcs*>(procs)};
}

}  // namespace tw
