// The host's memory services: handle procedures (the movable blocks plug-ins keep between
// runs), buffer procedures (scratch memory counted against the host's budget) and the
// basic suite's block calls. Unknown or already-freed handles and buffers are refused
// rather than trusted, so a plug-in's mistake cannot corrupt the host's heap.
#include <cstdlib>
#include <cstring>

#include "host/session_impl.h"

namespace tw::host {
namespace {

HostHandle* Find(Handle h) {
    if (!gCurrent || !h) return nullptr;
    auto* record = reinterpret_cast<HostHandle*>(h);
    return gCurrent->handles.count(record) ? record : nullptr;
}

Handle NewHandleProc(int32_t size) {
    if (!gCurrent || size < 0) return nullptr;
    auto* record = new (std::nothrow) HostHandle;
    if (!record) return nullptr;
    // Zero-sized handles still get a byte, so *h is never null for a live handle.
    record->data = static_cast<char*>(std::calloc(size_t(size > 0 ? size : 1), 1));
    if (!record->data) {
        delete record;
        return nullptr;
    }
    record->size = size;
    record->capacity = size > 0 ? size : 1;
    gCurrent->handles.insert(record);
    return reinterpret_cast<Handle>(record);
}

void DisposeHandleProc(Handle h) {
    HostHandle* record = Find(h);
    if (!record) return;
    gCurrent->handles.erase(record);
    std::free(record->data);
    delete record;
}

int32_t GetHandleSizeProc(Handle h) {
    HostHandle* record = Find(h);
    return record ? record->size : 0;
}

OSErr SetHandleSizeProc(Handle h, int32_t new_size) {
    HostHandle* record = Find(h);
    if (!record) return nilHandleErr;
    if (new_size < 0) return paramErr;
    if (new_size > record->capacity) {
        // A locked block cannot move: the plug-in holds a pointer into it.
        if (record->lock_count > 0) return memFullErr;
        auto* grown = static_cast<char*>(std::realloc(record->data, size_t(new_size)));
        if (!grown) return memFullErr;
        record->data = grown;
        record->capacity = new_size;
    }
    if (new_size > record->size) {
        std::memset(record->data + record->size, 0, size_t(new_size - record->size));
    }
    record->size = new_size;
    return noErr;
}

Ptr LockHandleProc(Handle h, Boolean) {
    HostHandle* record = Find(h);
    if (!record) return nullptr;
    ++record->lock_count;
    return record->data;
}

void UnlockHandleProc(Handle h) {
    HostHandle* record = Find(h);
    if (record && record->lock_count > 0) --record->lock_count;
}

void RecoverSpaceProc(int32_t) {}  // nothing is cached that could be given back

// ---- Buffers -------------------------------------------------------------------------------

HostBuffer* FindBuffer(BufferID id) {
    if (!gCurrent || !id) return nullptr;
    auto* buffer = reinterpret_cast<HostBuffer*>(id);
    return gCurrent->buffers.count(buffer) ? buffer : nullptr;
}

int64_t Space64() {
    if (!gCurrent) return 0;
    int64_t left = kBufferBudget - gCurrent->buffer_bytes;
    return left > 0 ? left : 0;
}

OSErr AllocateBuffer64(int64_t size, BufferID* id) {
    if (!id) return paramErr;
    *id = nullptr;
    if (!gCurrent || size < 0) return paramErr;
    if (size > Space64()) return memFullErr;
    auto* buffer = new (std::nothrow) HostBuffer;
    if (!buffer) return memFullErr;
    buffer->data = static_cast<uint8_t*>(std::malloc(size_t(size > 0 ? size : 1)));
    if (!buffer->data) {
        delete buffer;
        return memFullErr;
    }
    buffer->size = size;
    gCurrent->buffers.insert(buffer);
    gCurrent->buffer_bytes += size;
    *id = reinterpret_cast<BufferID>(buffer);
    return noErr;
}

OSErr AllocateBuffer(int32_t size, BufferID* id) { return AllocateBuffer64(size, id); }

Ptr LockBuffer(BufferID id, Boolean) {
    HostBuffer* buffer = FindBuffer(id);
    return buffer ? reinterpret_cast<Ptr>(buffer->data) : nullptr;
}

void UnlockBuffer(BufferID) {}  // buffers never move

void FreeBuffer(BufferID id) {
    HostBuffer* buffer = FindBuffer(id);
    if (!buffer) return;
    gCurrent->buffers.erase(buffer);
    gCurrent->buffer_bytes -= buffer->size;
    std::free(buffer->data);
    delete buffer;
}

int32_t BufferSpace() {
    int64_t space = Space64();
    return space > INT32_MAX ? INT32_MAX : int32_t(space);
}

OSErr ReserveBufferSpace(int32_t size) { return size >= 0 && size <= Space64() ? noErr : memFullErr; }

// ---- Basic suite ---------------------------------------------------------------------------

SPErr AcquireSuite(const char*, int32_t, const void** suite) {
    if (suite) *suite = nullptr;
    return kSPSuiteNotFoundError;  // this host publishes no suites
}

SPErr ReleaseSuite(const char*, int32_t) { return kSPSuiteNotFoundError; }

SPBoolean IsEqual(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0 ? 1 : 0;
}

SPErr AllocateBlock(size_t size, void** block) {
    if (!block) return kSPBadParameterError;
    *block = std::malloc(size > 0 ? size : 1);
    return *block ? kSPNoError : kSPOutOfMemoryError;
}

SPErr FreeBlock(void* block) {
    std::free(block);
    return kSPNoError;
}

SPErr ReallocateBlock(void* block, size_t size, void** new_block) {
    if (!new_block) return kSPBadParameterError;
    void* moved = std::realloc(block, size > 0 ? size : 1);
    if (!moved) return kSPOutOfMemoryError;
    *new_block = moved;
    return kSPNoError;
}

SPErr Undefined() { return kSPUnimplementedError; }

}  // namespace

void InstallMemoryProcs(HostSession::Impl& impl) {
    HandleProcs& h = impl.handle_procs;
    h.handleProcsVersion = kCurrentHandleProcsVersion;
    h.numHandleProcs = kCurrentHandleProcsCount;
    h.newProc = NewHandleProc;
    h.disposeProc = DisposeHandleProc;
    h.getSizeProc = GetHandleSizeProc;
    h.setSizeProc = SetHandleSizeProc;
    h.lockProc = LockHandleProc;
    h.unlockProc = UnlockHandleProc;
    h.recoverSpaceProc = RecoverSpaceProc;
    h.disposeRegularHandleProc = DisposeHandleProc;  // this host has only one kind of handle

    BufferProcs& b = impl.buffer_procs;
    b.bufferProcsVersion = kCurrentBufferProcsVersion;
    b.numBufferProcs = kCurrentBufferProcsCount;
    b.allocateProc = AllocateBuffer;
    b.lockProc = LockBuffer;
    b.unlockProc = UnlockBuffer;
    b.freeProc = FreeBuffer;
    b.spaceProc = BufferSpace;
    b.reserveProc = ReserveBufferSpace;
    b.allocateProc64 = AllocateBuffer64;
    b.spaceProc64 = Space64;

    SPBasicSuite& s = impl.basic_suite;
    s.AcquireSuite = AcquireSuite;
    s.ReleaseSuite = ReleaseSuite;
    s.IsEqual = IsEqual;
    s.AllocateBlock = AllocateBlock;
    s.FreeBlock = FreeBlock;
    s.ReallocateBlock = ReallocateBlock;
    s.Undefined = Undefined;
}

void ReleaseAllMemory(HostSession::Impl& impl) {
    for (HostHandle* record : impl.handles) {
        std::free(record->data);
        delete record;
    }
    impl.handles.clear();
    for (HostBuffer* buffer : impl.buffers) {
        std::free(buffer->data);
        delete buffer;
    }
    impl.buffers.clear();
    impl.buffer_bytes = 0;
}

}  // namespace tw::host
