// The host's descriptors: the private form kept in descriptor handles, and the read and
// write procedures a plug-in calls through `descriptorParameters`.
#include "host/descriptor.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "hostapi/host_constants.h"
#include "platform/big_endian.h"

namespace tw::host {

namespace {

// Nested objects deeper than this are refused, so a hostile file or handle cannot exhaust
// the stack.
constexpr int kMaxDepth = 32;
constexpr uint32_t kHandleMagic = FourCC("TwDs");
constexpr uint32_t kTypeCount = FourCC("long");         // a count reads as an integer type
constexpr uint32_t kTypeReference = FourCC("obj ");

}  // namespace

const DescriptorItem* Descriptor::Find(uint32_t key) const {
    for (const DescriptorItem& item : items)
        if (item.key == key) return &item;
    return nullptr;
}

void Descriptor::Put(const DescriptorItem& item) {
    for (DescriptorItem& existing : items) {
        if (existing.key == item.key) {
            existing = item;
            return;
        }
    }
    items.push_back(item);
}

uint32_t DescriptorTypeCode(const DescriptorItem& item) {
    switch (item.kind) {
    case DescriptorKind::Integer: return typeInteger;
    case DescriptorKind::Float: return typeFloat;
    case DescriptorKind::UnitFloat: return typeUnitFloat;
    case DescriptorKind::Boolean: return typeBoolean;
    case DescriptorKind::Enumerated: return typeEnumerated;
    case DescriptorKind::Text: return typeText;
    case DescriptorKind::Alias: return typeAlias;
    case DescriptorKind::Class: return typeClass;
    case DescriptorKind::Object: return typeObject;
    case DescriptorKind::Count: return kTypeCount;
    case DescriptorKind::SimpleReference: return kTypeReference;
    }
    return 0;
}

// ---- The form kept in handles ------------------------------------------------------------

namespace {

void PutDouble(BigEndianWriter& w, double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    w.put32(uint32_t(bits >> 32));
    w.put32(uint32_t(bits));
}

bool GetDouble(BigEndianReader& r, double& v) {
    uint32_t hi = 0, lo = 0;
    if (!r.get32(hi) || !r.get32(lo)) return false;
    const uint64_t bits = (uint64_t(hi) << 32) | lo;
    std::memcpy(&v, &bits, sizeof v);
    return true;
}

void PutText(BigEndianWriter& w, const std::string& text) {
    w.put32(uint32_t(text.size()));
    w.putBytes(text.data(), text.size());
}

bool GetText(BigEndianReader& r, std::string& text) {
    uint32_t n = 0;
    if (!r.get32(n) || n > r.remaining()) return false;
    text.resize(n);
    return r.getBytes(text.data(), n);
}

void EncodeItems(BigEndianWriter& w, const std::vector<DescriptorItem>& items) {
    w.put32(uint32_t(items.size()));
    for (const DescriptorItem& item : items) {
        w.put32(item.key);
        w.put8(uint8_t(item.kind));
        switch (item.kind) {
        case DescriptorKind::Integer:
        case DescriptorKind::Boolean:
        case DescriptorKind::Count:
            w.putI32(item.integer);
            break;
        case DescriptorKind::Float:
            PutDouble(w, item.number);
            break;
        case DescriptorKind::UnitFloat:
            w.put32(item.unit);
            PutDouble(w, item.number);
            break;
        case DescriptorKind::Enumerated:
            w.put32(item.type);
            w.put32(item.value);
            break;
        case DescriptorKind::Text:
        case DescriptorKind::Alias:
            PutText(w, item.text);
            break;
        case DescriptorKind::Class:
            w.put32(item.type);
            break;
        case DescriptorKind::Object:
            w.put32(item.type);
            EncodeItems(w, item.object);
            break;
        case DescriptorKind::SimpleReference:
            w.put32(item.type);
            w.put32(item.value);
            PutText(w, item.text);
            w.putI32(item.integer);
            w.put32(item.ref_type);
            w.put32(item.ref_value);
            break;
        }
    }
}

bool DecodeItems(BigEndianReader& r, std::vector<DescriptorItem>& items, int depth) {
    uint32_t count = 0;
    if (depth > kMaxDepth || !r.get32(count)) return false;
    // Every item takes at least 9 bytes, which bounds a lying count before we reserve.
    if (count > r.remaining() / 9) return false;
    items.clear();
    items.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        DescriptorItem item;
        uint8_t kind = 0;
        if (!r.get32(item.key) || !r.get8(kind)) return false;
        if (kind > uint8_t(DescriptorKind::SimpleReference)) return false;
        item.kind = DescriptorKind(kind);
        bool ok = true;
        switch (item.kind) {
        case DescriptorKind::Integer:
        case DescriptorKind::Boolean:
        case DescriptorKind::Count:
            ok = r.getI32(item.integer);
            break;
        case DescriptorKind::Float:
            ok = GetDouble(r, item.number);
            break;
        case DescriptorKind::UnitFloat:
            ok = r.get32(item.unit) && GetDouble(r, item.number);
            break;
        case DescriptorKind::Enumerated:
            ok = r.get32(item.type) && r.get32(item.value);
            break;
        case DescriptorKind::Text:
        case DescriptorKind::Alias:
            ok = GetText(r, item.text);
            break;
        case DescriptorKind::Class:
            ok = r.get32(item.type);
            break;
        case DescriptorKind::Object:
            ok = r.get32(item.type) && DecodeItems(r, item.object, depth + 1);
            break;
        case DescriptorKind::SimpleReference:
            ok = r.get32(item.type) && r.get32(item.value) && GetText(r, item.text) &&
                 r.getI32(item.integer) && r.get32(item.ref_type) && r.get32(item.ref_value);
            break;
        }
        if (!ok) return false;
        items.push_back(std::move(item));
    }
    return true;
}

}  // namespace

std::vector<uint8_t> EncodeDescriptor(const Descriptor& descriptor) {
    std::vector<uint8_t> bytes;
    BigEndianWriter w(bytes);
    w.put32(kHandleMagic);
    EncodeItems(w, descriptor.items);
    w.flush();
    return bytes;
}

bool DecodeDescriptor(const uint8_t* bytes, size_t size, Descriptor& descriptor) {
    BigEndianReader r(bytes, size);
    uint32_t magic = 0;
    if (!r.get32(magic) || magic != kHandleMagic) return false;
    Descriptor decoded;
    if (!DecodeItems(r, decoded.items, 0) || r.remaining() != 0) return false;
    descriptor = std::move(decoded);
    return true;
}

// ---- Procedures -----------------------------------------------------------------------------

namespace {

// The write procedures receive no context; this is how they reach the handle procedures.
ScriptingHost* gScripting = nullptr;

const HandleProcs* Handles() {
    const HandleProcs* h = gScripting ? gScripting->handles : nullptr;
    // new, dispose, getSize, setSize, lock, unlock: the slots this file calls.
    if (!h || h->numHandleProcs < 6 || !h->newProc || !h->getSizeProc || !h->lockProc || !h->unlockProc)
        return nullptr;
    return h;
}

Handle NewHandleWith(const void* data, size_t size) {
    const HandleProcs* h = Handles();
    if (!h || size > size_t(INT32_MAX)) return nullptr;
    Handle handle = h->newProc(int32_t(size));
    if (!handle) return nullptr;
    if (size > 0) {
        Ptr p = h->lockProc(handle, kFalse);
        if (!p) {
            if (h->disposeProc) h->disposeProc(handle);
            return nullptr;
        }
        std::memcpy(p, data, size);
        h->unlockProc(handle);
    }
    return handle;
}

bool HandleBytes(Handle handle, std::vector<uint8_t>& bytes) {
    const HandleProcs* h = Handles();
    if (!h || !handle) return false;
    const int32_t size = h->getSizeProc(handle);
    if (size < 0) return false;
    bytes.resize(size_t(size));
    if (size == 0) return true;
    Ptr p = h->lockProc(handle, kFalse);
    if (!p) return false;
    std::memcpy(bytes.data(), p, bytes.size());
    h->unlockProc(handle);
    return true;
}

Handle NewDescriptorHandle(const Descriptor& descriptor) {
    const std::vector<uint8_t> bytes = EncodeDescriptor(descriptor);
    return NewHandleWith(bytes.data(), bytes.size());
}

bool DescriptorFromHandle(Handle handle, Descriptor& descriptor) {
    std::vector<uint8_t> bytes;
    return HandleBytes(handle, bytes) && DecodeDescriptor(bytes.data(), bytes.size(), descriptor);
}

struct ReadSession {
    Descriptor descriptor;
    DescriptorKeyID* keys = nullptr;  // the plug-in's array; keys are zeroed as returned
    size_t key_count = 0;             // its length when opened, since zeroes appear inside it
    size_t next = 0;
    const DescriptorItem* current = nullptr;
    OSErr worst = noErr;
};

struct WriteSession {
    Descriptor descriptor;
};

ReadSession* Reader(PIReadDescriptor r) { return reinterpret_cast<ReadSession*>(r); }
WriteSession* Writer(PIWriteDescriptor w) { return reinterpret_cast<WriteSession*>(w); }

// Records the worse of two results, so close can report what went wrong while reading.
OSErr Note(ReadSession* s, OSErr e) {
    if (e != noErr && (s->worst == noErr || e < 0)) s->worst = e;
    return e;
}

// The current item if it has one of the kinds asked for; sets the reader's error otherwise.
const DescriptorItem* Current(ReadSession* s, std::initializer_list<DescriptorKind> kinds) {
    if (!s || !s->current) return nullptr;
    for (DescriptorKind k : kinds)
        if (s->current->kind == k) return s->current;
    Note(s, paramErr);
    return nullptr;
}

PIReadDescriptor OpenRead(PIDescriptorHandle handle, DescriptorKeyIDArray keys) {
    if (!handle) return nullptr;
    auto session = std::make_unique<ReadSession>();
    if (!DescriptorFromHandle(handle, session->descriptor)) return nullptr;
    session->keys = keys;
    if (keys)
        while (keys[session->key_count]) ++session->key_count;
    return reinterpret_cast<PIReadDescriptor>(session.release());
}

OSErr CloseRead(PIReadDescriptor r) {
    std::unique_ptr<ReadSession> s(Reader(r));
    if (!s) return paramErr;
    OSErr result = s->worst;
    // Keys the plug-in asked for that the descriptor did not hold.
    for (size_t i = 0; result == noErr && i < s->key_count; ++i)
        if (s->keys[i]) result = errMissingParameter;
    return result;
}

Boolean GetKey(PIReadDescriptor r, DescriptorKeyID* key, DescriptorTypeID* type, int32_t* flags) {
    ReadSession* s = Reader(r);
    if (!s || s->next >= s->descriptor.items.size()) {
        if (s) s->current = nullptr;
        return kFalse;
    }
    s->current = &s->descriptor.items[s->next++];
    if (key) *key = s->current->key;
    if (type) *type = DescriptorTypeCode(*s->current);
    if (flags) *flags = 0;
    // Editors zero each key of the plug-in's array as they hand it out.
    for (size_t i = 0; i < s->key_count; ++i)
        if (s->keys[i] == s->current->key) s->keys[i] = 0;
    return kTrue;
}

OSErr GetInteger(PIReadDescriptor r, int32_t* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Integer, DescriptorKind::Count, DescriptorKind::Boolean,
                                             DescriptorKind::Float, DescriptorKind::UnitFloat});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    if (item->kind == DescriptorKind::Float || item->kind == DescriptorKind::UnitFloat) {
        if (!std::isfinite(item->number) || std::fabs(item->number) > 2147483647.0) return Note(s, paramErr);
        *value = int32_t(std::lround(item->number));
        return Note(s, coercedParamErr);
    }
    *value = item->integer;
    return noErr;
}

OSErr GetFloat(PIReadDescriptor r, real64* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item =
        Current(s, {DescriptorKind::Float, DescriptorKind::UnitFloat, DescriptorKind::Integer});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    if (item->kind == DescriptorKind::Integer) {
        *value = item->integer;
        return Note(s, coercedParamErr);
    }
    *value = item->number;
    return noErr;
}

OSErr GetUnitFloat(PIReadDescriptor r, DescriptorUnitID* unit, real64* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::UnitFloat, DescriptorKind::Float});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    if (unit) *unit = item->kind == DescriptorKind::UnitFloat ? item->unit : unitNone;
    *value = item->number;
    return noErr;
}

OSErr GetBoolean(PIReadDescriptor r, Boolean* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Boolean});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    *value = item->integer ? kTrue : kFalse;
    return noErr;
}

OSErr GetTextLike(PIReadDescriptor r, Handle* value, DescriptorKind kind) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {kind});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    *value = NewHandleWith(item->text.data(), item->text.size());
    return *value ? noErr : Note(s, memFullErr);
}

OSErr GetText(PIReadDescriptor r, Handle* value) { return GetTextLike(r, value, DescriptorKind::Text); }
OSErr GetAlias(PIReadDescriptor r, Handle* value) { return GetTextLike(r, value, DescriptorKind::Alias); }

OSErr GetEnumerated(PIReadDescriptor r, DescriptorEnumID* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Enumerated});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    *value = item->value;
    return noErr;
}

OSErr GetClass(PIReadDescriptor r, DescriptorTypeID* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Class});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    *value = item->type;
    return noErr;
}

OSErr GetSimpleReference(PIReadDescriptor r, PIDescriptorSimpleReference* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::SimpleReference});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    *value = PIDescriptorSimpleReference{};
    value->desiredClass = item->type;
    value->keyForm = item->value;
    const size_t n = std::min<size_t>(item->text.size(), 255);
    value->keyData.name[0] = uint8_t(n);
    std::memcpy(value->keyData.name + 1, item->text.data(), n);
    value->keyData.index = item->integer;
    value->keyData.type = item->ref_type;
    value->keyData.value = item->ref_value;
    return noErr;
}

OSErr GetObject(PIReadDescriptor r, DescriptorTypeID* type, PIDescriptorHandle* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Object});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    if (type) *type = item->type;
    Descriptor nested;
    nested.items = item->object;
    *value = NewDescriptorHandle(nested);
    return *value ? noErr : Note(s, memFullErr);
}

OSErr GetCount(PIReadDescriptor r, uint32_t* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Count});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    *value = uint32_t(item->integer);
    return noErr;
}

OSErr GetString(PIReadDescriptor r, Str255* value) {
    ReadSession* s = Reader(r);
    const DescriptorItem* item = Current(s, {DescriptorKind::Text});
    if (!item || !value) return s ? Note(s, paramErr) : paramErr;
    const size_t n = std::min<size_t>(item->text.size(), 255);
    (*value)[0] = uint8_t(n);
    std::memcpy(*value + 1, item->text.data(), n);
    return n < item->text.size() ? Note(s, coercedParamErr) : noErr;
}

OSErr GetPinnedInteger(PIReadDescriptor r, int32_t min, int32_t max, int32_t* value) {
    OSErr e = GetInteger(r, value);
    if (e < 0 || !value) return e;
    if (*value < min || *value > max) {
        *value = std::clamp(*value, min, std::max(min, max));
        return Note(Reader(r), coercedParamErr);
    }
    return e;
}

OSErr PinFloat(PIReadDescriptor r, OSErr e, const real64* min, const real64* max, real64* value) {
    if (e < 0 || !value) return e;
    if (min && *value < *min) {
        *value = *min;
        return Note(Reader(r), coercedParamErr);
    }
    if (max && *value > *max) {
        *value = *max;
        return Note(Reader(r), coercedParamErr);
    }
    return e;
}

OSErr GetPinnedFloat(PIReadDescriptor r, const real64* min, const real64* max, real64* value) {
    return PinFloat(r, GetFloat(r, value), min, max, value);
}

OSErr GetPinnedUnitFloat(PIReadDescriptor r, const real64* min, const real64* max, DescriptorUnitID* unit,
                         real64* value) {
    return PinFloat(r, GetUnitFloat(r, unit, value), min, max, value);
}

PIWriteDescriptor OpenWrite() { return reinterpret_cast<PIWriteDescriptor>(new WriteSession); }

OSErr CloseWrite(PIWriteDescriptor w, PIDescriptorHandle* result) {
    std::unique_ptr<WriteSession> s(Writer(w));
    if (!s) return paramErr;
    Handle handle = NewDescriptorHandle(s->descriptor);
    if (result) *result = handle;
    return handle ? noErr : memFullErr;
}

OSErr PutItem(PIWriteDescriptor w, const DescriptorItem& item) {
    WriteSession* s = Writer(w);
    if (!s) return paramErr;
    s->descriptor.Put(item);
    return noErr;
}

DescriptorItem Item(DescriptorKeyID key, DescriptorKind kind) {
    DescriptorItem item;
    item.key = key;
    item.kind = kind;
    return item;
}

OSErr PutInteger(PIWriteDescriptor w, DescriptorKeyID key, int32_t value) {
    DescriptorItem item = Item(key, DescriptorKind::Integer);
    item.integer = value;
    return PutItem(w, item);
}

OSErr PutFloat(PIWriteDescriptor w, DescriptorKeyID key, const real64* value) {
    if (!value) return paramErr;
    DescriptorItem item = Item(key, DescriptorKind::Float);
    item.number = *value;
    return PutItem(w, item);
}

OSErr PutUnitFloat(PIWriteDescriptor w, DescriptorKeyID key, DescriptorUnitID unit, const real64* value) {
    if (!value) return paramErr;
    DescriptorItem item = Item(key, DescriptorKind::UnitFloat);
    item.unit = unit;
    item.number = *value;
    return PutItem(w, item);
}

OSErr PutBoolean(PIWriteDescriptor w, DescriptorKeyID key, Boolean value) {
    DescriptorItem item = Item(key, DescriptorKind::Boolean);
    item.integer = value ? 1 : 0;
    return PutItem(w, item);
}

OSErr PutTextLike(PIWriteDescriptor w, DescriptorKeyID key, Handle value, DescriptorKind kind) {
    DescriptorItem item = Item(key, kind);
    std::vector<uint8_t> bytes;
    if (!HandleBytes(value, bytes)) return nilHandleErr;
    item.text.assign(bytes.begin(), bytes.end());
    return PutItem(w, item);
}

OSErr PutText(PIWriteDescriptor w, DescriptorKeyID key, Handle value) {
    return PutTextLike(w, key, value, DescriptorKind::Text);
}
OSErr PutAlias(PIWriteDescriptor w, DescriptorKeyID key, Handle value) {
    return PutTextLike(w, key, value, DescriptorKind::Alias);
}

OSErr PutEnumerated(PIWriteDescriptor w, DescriptorKeyID key, DescriptorTypeID type, DescriptorEnumID value) {
    DescriptorItem item = Item(key, DescriptorKind::Enumerated);
    item.type = type;
    item.value = value;
    return PutItem(w, item);
}

OSErr PutClass(PIWriteDescriptor w, DescriptorKeyID key, DescriptorTypeID value) {
    DescriptorItem item = Item(key, DescriptorKind::Class);
    item.type = value;
    return PutItem(w, item);
}

OSErr PutSimpleReference(PIWriteDescriptor w, DescriptorKeyID key, const PIDescriptorSimpleReference* value) {
    if (!value) return paramErr;
    DescriptorItem item = Item(key, DescriptorKind::SimpleReference);
    item.type = value->desiredClass;
    item.value = value->keyForm;
    item.text.assign(reinterpret_cast<const char*>(value->keyData.name) + 1, value->keyData.name[0]);
    item.integer = value->keyData.index;
    item.ref_type = value->keyData.type;
    item.ref_value = value->keyData.value;
    return PutItem(w, item);
}

OSErr PutObject(PIWriteDescriptor w, DescriptorKeyID key, DescriptorTypeID type, PIDescriptorHandle value) {
    DescriptorItem item = Item(key, DescriptorKind::Object);
    item.type = type;
    Descriptor nested;
    if (!DescriptorFromHandle(value, nested)) return paramErr;
    item.object = std::move(nested.items);
    return PutItem(w, item);
}

OSErr PutCount(PIWriteDescriptor w, DescriptorKeyID key, uint32_t value) {
    DescriptorItem item = Item(key, DescriptorKind::Count);
    item.integer = int32_t(value);
    return PutItem(w, item);
}

OSErr PutString(PIWriteDescriptor w, DescriptorKeyID key, const unsigned char* value) {
    if (!value) return paramErr;
    DescriptorItem item = Item(key, DescriptorKind::Text);
    item.text.assign(reinterpret_cast<const char*>(value) + 1, value[0]);
    return PutItem(w, item);
}

}  // namespace

void InitScriptingHost(ScriptingHost& host, const HandleProcs* handles) {
    host.handles = handles;
    host.read_procs = ReadDescriptorProcs{0,           18,
                                          OpenRead,    CloseRead,
                                          GetKey,      GetInteger,
                                          GetFloat,    GetUnitFloat,
                                          GetBoolean,  GetText,
                                          GetAlias,    GetEnumerated,
                                          GetClass,    GetSimpleReference,
                                          GetObject,   GetCount,
                                          GetString,   GetPinnedInteger,
                                          GetPinnedFloat, GetPinnedUnitFloat};
    host.write_procs = WriteDescriptorProcs{0,           16,
                                            OpenWrite,   CloseWrite,
                                            PutInteger,  PutFloat,
                                            PutUnitFloat, PutBoolean,
                                            PutText,     PutAlias,
                                            PutEnumerated, PutClass,
                                            PutSimpleReference, PutObject,
                                            PutCount,    PutString,
                                            PutClass,    PutObject};  // scoped forms keep the same data
    host.parameters = PIDescriptorParameters{};
    host.parameters.descriptorParametersVersion = 0;
    host.parameters.playInfo = plugInDialogDontDisplay;
    host.parameters.recordInfo = plugInDialogOptional;
    host.parameters.readDescriptorProcs = &host.read_procs;
    host.parameters.writeDescriptorProcs = &host.write_procs;
    gScripting = &host;
}

namespace {

void DisposeHeld(ScriptingHost& host) {
    if (host.parameters.descriptor && host.handles && host.handles->disposeProc)
        host.handles->disposeProc(host.parameters.descriptor);
    host.parameters.descriptor = nullptr;
}

}  // namespace

bool OfferDescriptor(ScriptingHost& host, const Descriptor& descriptor, int16_t play_info) {
    gScripting = &host;
    DisposeHeld(host);
    host.parameters.playInfo = play_info;
    host.parameters.descriptor = NewDescriptorHandle(descriptor);
    return host.parameters.descriptor != nullptr;
}

bool HeldDescriptor(const ScriptingHost& host, Descriptor& descriptor) {
    ScriptingHost* saved = gScripting;
    gScripting = const_cast<ScriptingHost*>(&host);
    const bool ok = DescriptorFromHandle(host.parameters.descriptor, descriptor);
    gScripting = saved;
    return ok;
}

void ReleaseScriptingHost(ScriptingHost& host) {
    DisposeHeld(host);
    if (gScripting == &host) gScripting = nullptr;
}

void PrepareScriptedRun(FilterRecord& record, void* context) {
    ScriptedRun& run = *static_cast<ScriptedRun*>(context);
    InitScriptingHost(run.host, record.handleProcs);
    record.descriptorParameters = &run.host.parameters;
    run.host.parameters.playInfo = run.play_info;
    if (run.replay) run.offered = OfferDescriptor(run.host, *run.replay, run.play_info);
}

}  // namespace tw::host
