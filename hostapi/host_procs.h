// The host's callback records (handle, buffer, resource, property procedures, colour
// services, pixel display, the basic suite and the about record). They use the compiler's
// natural alignment: a procedure pointer after the two 16-bit header words sits at +8.
// Always check a record's count before calling a slot: hosts hand out shorter records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/host_types.h"

namespace tw {

// ---- Handle procedures ------------------------------------------------------------------

using NewPIHandleProc = Handle (*)(int32_t size);
using DisposePIHandleProc = void (*)(Handle h);
using GetPIHandleSizeProc = int32_t (*)(Handle h);
using SetPIHandleSizeProc = OSErr (*)(Handle h, int32_t newSize);
using LockPIHandleProc = Ptr (*)(Handle h, Boolean moveHigh);
using UnlockPIHandleProc = void (*)(Handle h);
using RecoverSpaceProc = void (*)(int32_t size);
using DisposeRegularHandlePIHandleProc = void (*)(Handle h);

struct HandleProcs {
    int16_t handleProcsVersion;
    int16_t numHandleProcs;
    NewPIHandleProc newProc;
    DisposePIHandleProc disposeProc;
    GetPIHandleSizeProc getSizeProc;
    SetPIHandleSizeProc setSizeProc;
    LockPIHandleProc lockProc;
    UnlockPIHandleProc unlockProc;
    RecoverSpaceProc recoverSpaceProc;
    DisposeRegularHandlePIHandleProc disposeRegularHandleProc;
};

// ---- Buffer procedures ------------------------------------------------------------------

using BufferID = struct OpaqueBufferID*;
using AllocateBufferProc = OSErr (*)(int32_t size, BufferID* bufferID);
using LockBufferProc = Ptr (*)(BufferID bufferID, Boolean moveHigh);
using UnlockBufferProc = void (*)(BufferID bufferID);
using FreeBufferProc = void (*)(BufferID bufferID);
using BufferSpaceProc = int32_t (*)();
using ReserveBufferSpaceProc = OSErr (*)(int32_t size);
using AllocateBuffer64Proc = OSErr (*)(int64_t size, BufferID* bufferID);
using BufferSpace64Proc = int64_t (*)();

struct BufferProcs {
    int16_t bufferProcsVersion;
    int16_t numBufferProcs;
    AllocateBufferProc allocateProc;
    LockBufferProc lockProc;
    UnlockBufferProc unlockProc;
    FreeBufferProc freeProc;
    BufferSpaceProc spaceProc;
    ReserveBufferSpaceProc reserveProc;
    AllocateBuffer64Proc allocateProc64;
    BufferSpace64Proc spaceProc64;
};

// ---- Resource and property procedures ---------------------------------------------------

using CountPIResourcesProc = int16_t (*)(ResType type);
using GetPIResourceProc = Handle (*)(ResType type, int16_t index);
using DeletePIResourceProc = void (*)(ResType type, int16_t index);
using AddPIResourceProc = OSErr (*)(ResType type, Handle data);

struct ResourceProcs {
    int16_t resourceProcsVersion;
    int16_t numResourceProcs;
    CountPIResourcesProc countProc;
    GetPIResourceProc getProc;
    DeletePIResourceProc deleteProc;
    AddPIResourceProc addProc;
};

// Simple values are pointer-sized on 64-bit hosts.
using GetPropertyProc = OSErr (*)(PIType signature, PIType key, int32_t index,
                                  intptr_t* simpleProperty, Handle* complexProperty);
using SetPropertyProc = OSErr (*)(PIType signature, PIType key, int32_t index,
                                  intptr_t simpleProperty, Handle complexProperty);

struct PropertyProcs {
    int16_t propertyProcsVersion;
    int16_t numPropertyProcs;
    GetPropertyProc getPropertyProc;
    SetPropertyProc setPropertyProc;
};

// ---- Colour services ----------------------------------------------------------------------

struct ColorServicesInfo {
    int32_t infoSize;  // the plug-in sets it to sizeof(ColorServicesInfo)
    int16_t selector;  // ColorServicesSelector
    int16_t sourceSpace;
    int16_t resultSpace;
    Boolean resultGamutInfoValid;
    Boolean resultInGamut;
    void* reservedSourceSpaceInfo;
    void* reservedResultSpaceInfo;
    int16_t colorComponents[4];
    void* reserved;
    union {
        Str255* pickerPrompt;
        Point* globalSamplePoint;
        int32_t specialColorID;  // 0 foreground, 1 background
    } selectorParameter;
};

using ColorServicesProc = OSErr (*)(ColorServicesInfo* info);

// ---- Pixel display ------------------------------------------------------------------------

struct PSPixelMask;     // opaque to the plug-in
struct PSPixelOverlay;  // opaque to the plug-in

struct PSPixelMap {
    int32_t version;
    VRect bounds;
    int32_t imageMode;
    int32_t rowBytes;
    int32_t colBytes;
    int32_t planeBytes;
    void* baseAddr;
    PSPixelMask* mat;
    PSPixelMask* masks;
    int32_t maskPhaseRow;
    int32_t maskPhaseCol;
    // Later map versions only.
    PSPixelOverlay* pixelOverlays;
    uint32_t colorManagementOptions;
    int16_t depth;
};

// `platformContext` is the device context to draw into.
using DisplayPixelsProc = OSErr (*)(const PSPixelMap* source, const VRect* srcRect,
                                    int32_t dstRow, int32_t dstCol, void* platformContext);

// ---- Basic suite and about record ---------------------------------------------------------

struct SPBasicSuite {
    SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
    SPErr (*ReleaseSuite)(const char* name, int32_t version);
    SPBoolean (*IsEqual)(const char* token1, const char* token2);
    SPErr (*AllocateBlock)(size_t size, void** block);
    SPErr (*FreeBlock)(void* block);
    SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newBlock);
    SPErr (*Undefined)();
};

// What the entry point receives instead of a FilterRecord for the about selector.
struct AboutRecord {
    void* platformData;  // points at PlatformData
    SPBasicSuite* sSPBasic;
    void* plugInRef;
    char reserved[244];
};

// ---- Layout checks against the published 64-bit offsets -----------------------------------

static_assert(offsetof(HandleProcs, newProc) == 8);
static_assert(offsetof(HandleProcs, disposeProc) == 16);
static_assert(offsetof(HandleProcs, getSizeProc) == 24);
static_assert(offsetof(HandleProcs, setSizeProc) == 32);
static_assert(offsetof(HandleProcs, lockProc) == 40);
static_assert(offsetof(HandleProcs, unlockProc) == 48);
static_assert(offsetof(HandleProcs, recoverSpaceProc) == 56);
static_assert(offsetof(HandleProcs, disposeRegularHandleProc) == 64);
static_assert(sizeof(HandleProcs) == 72);

static_assert(offsetof(BufferProcs, allocateProc) == 8);
static_assert(offsetof(BufferProcs, lockProc) == 16);
static_assert(offsetof(BufferProcs, unlockProc) == 24);
static_assert(offsetof(BufferProcs, freeProc) == 32);
static_assert(offsetof(BufferProcs, spaceProc) == 40);
static_assert(offsetof(BufferProcs, reserveProc) == 48);
static_assert(offsetof(BufferProcs, allocateProc64) == 56);
static_assert(offsetof(BufferProcs, spaceProc64) == 64);
static_assert(sizeof(BufferProcs) == 72);

static_assert(offsetof(ResourceProcs, countProc) == 8);
static_assert(offsetof(ResourceProcs, addProc) == 32);
static_assert(sizeof(ResourceProcs) == 40);
static_assert(offsetof(PropertyProcs, getPropertyProc) == 8);
static_assert(offsetof(PropertyProcs, setPropertyProc) == 16);
static_assert(sizeof(PropertyProcs) == 24);

static_assert(offsetof(ColorServicesInfo, selector) == 4);
static_assert(offsetof(ColorServicesInfo, sourceSpace) == 6);
static_assert(offsetof(ColorServicesInfo, resultSpace) == 8);
static_assert(offsetof(ColorServicesInfo, resultGamutInfoValid) == 10);
static_assert(offsetof(ColorServicesInfo, resultInGamut) == 11);
static_assert(offsetof(ColorServicesInfo, reservedSourceSpaceInfo) == 16);
static_assert(offsetof(ColorServicesInfo, reservedResultSpaceInfo) == 24);
static_assert(offsetof(ColorServicesInfo, colorComponents) == 32);
static_assert(offsetof(ColorServicesInfo, reserved) == 40);
static_assert(offsetof(ColorServicesInfo, selectorParameter) == 48);
static_assert(sizeof(ColorServicesInfo) == 56);

static_assert(offsetof(PSPixelMap, bounds) == 4);
static_assert(offsetof(PSPixelMap, imageMode) == 20);
static_assert(offsetof(PSPixelMap, rowBytes) == 24);
static_assert(offsetof(PSPixelMap, colBytes) == 28);
static_assert(offsetof(PSPixelMap, planeBytes) == 32);
static_assert(offsetof(PSPixelMap, baseAddr) == 40);
static_assert(offsetof(PSPixelMap, mat) == 48);
static_assert(offsetof(PSPixelMap, masks) == 56);
static_assert(offsetof(PSPixelMap, maskPhaseRow) == 64);
static_assert(offsetof(PSPixelMap, maskPhaseCol) == 68);
static_assert(offsetof(PSPixelMap, pixelOverlays) == 72);
static_assert(offsetof(PSPixelMap, colorManagementOptions) == 80);
static_assert(offsetof(PSPixelMap, depth) == 84);
static_assert(sizeof(PSPixelMap) == 88);

static_assert(offsetof(SPBasicSuite, ReleaseSuite) == 8);
static_assert(offsetof(SPBasicSuite, IsEqual) == 16);
static_assert(offsetof(SPBasicSuite, AllocateBlock) == 24);
static_assert(offsetof(SPBasicSuite, FreeBlock) == 32);
static_assert(offsetof(SPBasicSuite, ReallocateBlock) == 40);
static_assert(offsetof(SPBasicSuite, Undefined) == 48);
static_assert(sizeof(SPBasicSuite) == 56);

static_assert(offsetof(AboutRecord, sSPBasic) == 8);
static_assert(offsetof(AboutRecord, plugInRef) == 16);
static_assert(offsetof(AboutRecord, reserved) == 24);
static_assert(sizeof(AboutRecord) == 272);

}  // namespace tw
