// Scripting descriptors: how the host hands recorded parameters to the plug-in and takes
// newly recorded ones back. Natural alignment, like the other callback records.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hostapi/host_types.h"

namespace tw {

using DescriptorKeyID = uint32_t;
using DescriptorTypeID = uint32_t;
using DescriptorEnumID = uint32_t;
using DescriptorClassID = uint32_t;
using DescriptorUnitID = uint32_t;
using DescriptorEnumTypeID = uint32_t;
using DescriptorKeyIDArray = DescriptorKeyID*;  // zero-terminated; the host zeroes keys it returns

using PIDescriptorHandle = Handle;
using PIReadDescriptor = struct OpaqueReadDescriptor*;
using PIWriteDescriptor = struct OpaqueWriteDescriptor*;

struct PIDescriptorSimpleReference {
    DescriptorTypeID desiredClass;
    DescriptorKeyID keyForm;
    struct {
        Str255 name;
        int32_t index;
        DescriptorTypeID type;
        DescriptorEnumID value;
    } keyData;
};

// ---- Reading ------------------------------------------------------------------------------

using OpenReadDescriptorProc = PIReadDescriptor (*)(PIDescriptorHandle descriptor,
                                                    DescriptorKeyIDArray keys);
using CloseReadDescriptorProc = OSErr (*)(PIReadDescriptor reader);  // worst error seen
using GetKeyProc = Boolean (*)(PIReadDescriptor reader, DescriptorKeyID* key,
                               DescriptorTypeID* type, int32_t* flags);  // false: no more
using GetIntegerProc = OSErr (*)(PIReadDescriptor reader, int32_t* value);
using GetFloatProc = OSErr (*)(PIReadDescriptor reader, real64* value);
using GetUnitFloatProc = OSErr (*)(PIReadDescriptor reader, DescriptorUnitID* unit,
                                   real64* value);
using GetBooleanProc = OSErr (*)(PIReadDescriptor reader, Boolean* value);
using GetTextProc = OSErr (*)(PIReadDescriptor reader, Handle* value);
using GetAliasProc = OSErr (*)(PIReadDescriptor reader, Handle* value);
using GetEnumeratedProc = OSErr (*)(PIReadDescriptor reader, DescriptorEnumID* value);
using GetClassProc = OSErr (*)(PIReadDescriptor reader, DescriptorTypeID* value);
using GetSimpleReferenceProc = OSErr (*)(PIReadDescriptor reader,
                                         PIDescriptorSimpleReference* value);
using GetObjectProc = OSErr (*)(PIReadDescriptor reader, DescriptorTypeID* type,
                                PIDescriptorHandle* value);
using GetCountProc = OSErr (*)(PIReadDescriptor reader, uint32_t* value);
using GetStringProc = OSErr (*)(PIReadDescriptor reader, Str255* value);
using GetPinnedIntegerProc = OSErr (*)(PIReadDescriptor reader, int32_t min, int32_t max,
                                       int32_t* value);
using GetPinnedFloatProc = OSErr (*)(PIReadDescriptor reader, const real64* min,
                                     const real64* max, real64* value);
using GetPinnedUnitFloatProc = OSErr (*)(PIReadDescriptor reader, const real64* min,
                                         const real64* max, DescriptorUnitID* unit,
                                         real64* value);

struct ReadDescriptorProcs {
    int16_t readDescriptorProcsVersion;
    int16_t numReadDescriptorProcs;
    OpenReadDescriptorProc openReadDescriptorProc;
    CloseReadDescriptorProc closeReadDescriptorProc;
    GetKeyProc getKeyProc;
    GetIntegerProc getIntegerProc;
    GetFloatProc getFloatProc;
    GetUnitFloatProc getUnitFloatProc;
    GetBooleanProc getBooleanProc;
    GetTextProc getTextProc;
    GetAliasProc getAliasProc;
    GetEnumeratedProc getEnumeratedProc;
    GetClassProc getClassProc;
    GetSimpleReferenceProc getSimpleReferenceProc;
    GetObjectProc getObjectProc;
    GetCountProc getCountProc;
    GetStringProc getStringProc;
    GetPinnedIntegerProc getPinnedIntegerProc;
    GetPinnedFloatProc getPinnedFloatProc;
    GetPinnedUnitFloatProc getPinnedUnitFloatProc;
};

// ---- Writing ------------------------------------------------------------------------------

using OpenWriteDescriptorProc = PIWriteDescriptor (*)();
using CloseWriteDescriptorProc = OSErr (*)(PIWriteDescriptor writer,
                                           PIDescriptorHandle* newDescriptor);
using PutIntegerProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key, int32_t value);
using PutFloatProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                               const real64* value);
using PutUnitFloatProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                   DescriptorUnitID unit, const real64* value);
using PutBooleanProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key, Boolean value);
using PutTextProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key, Handle value);
using PutAliasProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key, Handle value);
using PutEnumeratedProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                    DescriptorTypeID type, DescriptorEnumID value);
using PutClassProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                               DescriptorTypeID value);
using PutSimpleReferenceProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                         const PIDescriptorSimpleReference* value);
using PutObjectProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                DescriptorTypeID type, PIDescriptorHandle value);
using PutCountProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key, uint32_t value);
using PutStringProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                const unsigned char* value);  // Pascal string
using PutScopedClassProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                     DescriptorTypeID value);
using PutScopedObjectProc = OSErr (*)(PIWriteDescriptor writer, DescriptorKeyID key,
                                      DescriptorTypeID type, PIDescriptorHandle value);

struct WriteDescriptorProcs {
    int16_t writeDescriptorProcsVersion;
    int16_t numWriteDescriptorProcs;
    OpenWriteDescriptorProc openWriteDescriptorProc;
    CloseWriteDescriptorProc closeWriteDescriptorProc;
    PutIntegerProc putIntegerProc;
    PutFloatProc putFloatProc;
    PutUnitFloatProc putUnitFloatProc;
    PutBooleanProc putBooleanProc;
    PutTextProc putTextProc;
    PutAliasProc putAliasProc;
    PutEnumeratedProc putEnumeratedProc;
    PutClassProc putClassProc;
    PutSimpleReferenceProc putSimpleReferenceProc;
    PutObjectProc putObjectProc;
    PutCountProc putCountProc;
    PutStringProc putStringProc;
    PutScopedClassProc putScopedClassProc;
    PutScopedObjectProc putScopedObjectProc;
};

// What `descriptorParameters` points at.
struct PIDescriptorParameters {
    int16_t descriptorParametersVersion;
    int16_t playInfo;    // plugInDialogDontDisplay / Display / Silent
    int16_t recordInfo;  // plugInDialogOptional / Required / None, set by the plug-in
    PIDescriptorHandle descriptor;
    WriteDescriptorProcs* writeDescriptorProcs;
    ReadDescriptorProcs* readDescriptorProcs;
};

// ---- Layout checks against the published 64-bit offsets -----------------------------------

static_assert(offsetof(PIDescriptorSimpleReference, keyForm) == 4);
static_assert(offsetof(PIDescriptorSimpleReference, keyData.name) == 8);
static_assert(offsetof(PIDescriptorSimpleReference, keyData.index) == 264);
static_assert(offsetof(PIDescriptorSimpleReference, keyData.type) == 268);
static_assert(offsetof(PIDescriptorSimpleReference, keyData.value) == 272);
static_assert(sizeof(PIDescriptorSimpleReference) == 276);

static_assert(offsetof(ReadDescriptorProcs, openReadDescriptorProc) == 8);
static_assert(offsetof(ReadDescriptorProcs, getKeyProc) == 8 + 8 * 2);
static_assert(offsetof(ReadDescriptorProcs, getEnumeratedProc) == 8 + 8 * 9);
static_assert(offsetof(ReadDescriptorProcs, getPinnedUnitFloatProc) == 8 + 8 * 17);
static_assert(sizeof(ReadDescriptorProcs) == 152);

static_assert(offsetof(WriteDescriptorProcs, openWriteDescriptorProc) == 8);
static_assert(offsetof(WriteDescriptorProcs, putIntegerProc) == 8 + 8 * 2);
static_assert(offsetof(WriteDescriptorProcs, putEnumeratedProc) == 8 + 8 * 8);
static_assert(offsetof(WriteDescriptorProcs, putScopedObjectProc) == 8 + 8 * 15);
static_assert(sizeof(WriteDescriptorProcs) == 136);

static_assert(offsetof(PIDescriptorParameters, playInfo) == 2);
static_assert(offsetof(PIDescriptorParameters, recordInfo) == 4);
static_assert(offsetof(PIDescriptorParameters, descriptor) == 8);
static_assert(offsetof(PIDescriptorParameters, writeDescriptorProcs) == 16);
static_assert(offsetof(PIDescriptorParameters, readDescriptorProcs) == 24);
static_assert(sizeof(PIDescriptorParameters) == 32);

}  // namespace tw
