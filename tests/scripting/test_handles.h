// Handle procedures for tests: plain heap blocks, counted, so a test can see that every
// descriptor handle handed to the plug-in is disposed of exactly once.
#pragma once

#include <cstdlib>
#include <cstring>
#include <set>

#include "hostapi/host_procs.h"

namespace tw::testing {

struct Block {
    char* data;  // first, so a Handle dereferences to the bytes
    int32_t size;
};

inline std::set<Block*>& LiveBlocks() {
    static std::set<Block*> live;
    return live;
}

inline Handle NewBlock(int32_t size) {
    if (size < 0) return nullptr;
    auto* b = new Block{static_cast<char*>(std::calloc(size_t(size) + 1, 1)), size};
    LiveBlocks().insert(b);
    return reinterpret_cast<Handle>(b);
}

inline void DisposeBlock(Handle h) {
    auto* b = reinterpret_cast<Block*>(h);
    // A second dispose, or one of a handle we never made, is a fault of the caller.
    if (!b || LiveBlocks().erase(b) != 1) std::abort();
    std::free(b->data);
    delete b;
}

inline int32_t BlockSize(Handle h) { return reinterpret_cast<Block*>(h)->size; }
inline OSErr ResizeBlock(Handle, int32_t) { return -108; }
inline Ptr LockBlock(Handle h, Boolean) { return reinterpret_cast<Block*>(h)->data; }
inline void UnlockBlock(Handle) {}

inline HandleProcs TestHandleProcs() {
    HandleProcs p{};
    p.handleProcsVersion = 1;
    p.numHandleProcs = 6;
    p.newProc = NewBlock;
    p.disposeProc = DisposeBlock;
    p.getSizeProc = BlockSize;
    p.setSizeProc = ResizeBlock;
    p.lockProc = LockBlock;
    p.unlockProc = UnlockBlock;
    return p;
}

}  // namespace tw::testing
