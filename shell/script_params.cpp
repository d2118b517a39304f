#include "shell/script_params.h"

#include <cmath>

#include "hostapi/host_constants.h"
#include "params/blend_mode_names.h"
#include "params/settings_precision.h"
#include "params/script_keys.h"

namespace tw {

namespace {

// The host must offer at least these many procedures; fewer means an older, partial
// implementation we do not trust with recorded actions.
constexpr int16_t kMinReadProcs = 18;
constexpr int16_t kMinWriteProcs = 16;

uint16_t ColourFromScript(int32_t v) {
    // An 8-bit value v is stored as v * 256; the cast keeps the low 16 bits as old builds did.
    return static_cast<uint16_t>(static_cast<uint32_t>(v) << 8);
}

void ReadKey(const ReadDescriptorProcs& procs, PIReadDescriptor reader, const ScriptKey& key, RenderParams& p) {
    // A failed get leaves the field as it was (the plain default): the host's error is not
    // ours to report, but its unwritten output must not become a parameter.
    if (key.value == ScriptValue::kGlue) {
        DescriptorEnumID code = 0;
        if (procs.getEnumeratedProc && procs.getEnumeratedProc(reader, &code) == noErr)
            p.glue_mode = blendModeFromScriptCode(code);
        return;
    }
    if (float* f = ScriptFloatField(p, key)) {
        real64 value = 0;
        if (procs.getFloatProc && procs.getFloatProc(reader, &value) == noErr) *f = static_cast<float>(value);
        return;
    }
    int32_t value = 0;
    if (!procs.getIntegerProc || procs.getIntegerProc(reader, &value) != noErr) return;
    if (uint16_t* c = ScriptColourField(p, key.value)) {
        *c = ColourFromScript(value);
    } else if (int32_t* i = ScriptIntegerField(p, key)) {
        *i = value;
    }
}

// Disposes of a descriptor handle the host gave us. Without the host's handle procedures
// we cannot know how it was allocated, so the host keeps it rather than risk freeing it
// with the wrong allocator.
bool DisposeDescriptor(const FilterRecord& record, PIDescriptorHandle handle) {
    const HandleProcs* hp = record.handleProcs;
    if (!handle) return true;
    if (!hp || hp->numHandleProcs < 2 || !hp->disposeProc) return false;
    hp->disposeProc(handle);
    return true;
}

}  // namespace

bool ScriptingAvailable(const FilterRecord& record) {
    const PIDescriptorParameters* dp = record.descriptorParameters;
    if (!dp || dp->descriptorParametersVersion != 0) return false;
    const ReadDescriptorProcs* r = dp->readDescriptorProcs;
    const WriteDescriptorProcs* w = dp->writeDescriptorProcs;
    if (!r || !w) return false;
    if (r->readDescriptorProcsVersion != 0 || r->numReadDescriptorProcs < kMinReadProcs) return false;
    if (w->writeDescriptorProcsVersion != 0 || w->numWriteDescriptorProcs < kMinWriteProcs) return false;
    // The counts promise the slots; a host that leaves the ones we need empty gets the same
    // answer as one that offers none.
    return r->openReadDescriptorProc && r->closeReadDescriptorProc && r->getKeyProc &&
           w->openWriteDescriptorProc && w->closeWriteDescriptorProc;
}

bool IgnoresScriptedParams(const FilterRecord& record) {
    return record.hostSig == kPaintShopPro8Signature || record.hostSig == kPaintShopPro9Signature;
}

bool WillReadScriptParams(FilterRecord& record) {
    if (IgnoresScriptedParams(record) || !ScriptingAvailable(record)) return false;
    const ReadDescriptorProcs& procs = *record.descriptorParameters->readDescriptorProcs;
    ScriptKeyArray keys;
    FillScriptKeyArray(keys);
    PIReadDescriptor reader = procs.openReadDescriptorProc(record.descriptorParameters->descriptor, keys);
    if (!reader) return false;
    procs.closeReadDescriptorProc(reader);
    return true;
}

void ReadScriptParams(FilterRecord& record, RenderParams& params, uint8_t& show_dialog) {
    if (IgnoresScriptedParams(record) || !ScriptingAvailable(record)) return;
    PIDescriptorParameters& dp = *record.descriptorParameters;
    const ReadDescriptorProcs& procs = *dp.readDescriptorProcs;

    ScriptKeyArray keys;
    FillScriptKeyArray(keys);
    if (PIReadDescriptor reader = procs.openReadDescriptorProc(dp.descriptor, keys)) {
        SetPlainSettings(params);
        DescriptorKeyID code = 0;
        DescriptorTypeID type = 0;
        int32_t flags = 0;
        int32_t full_colour[6] = {-1, -1, -1, -1, -1, -1};
        while (procs.getKeyProc(reader, &code, &type, &flags)) {
            if (const ScriptKey* key = FindScriptKey(code)) {
                ReadKey(procs, reader, *key, params);
            } else if (const int i = FullColourIndex(code); i >= 0 && procs.getIntegerProc) {
                int32_t v = 0;
                if (procs.getIntegerProc(reader, &v) == noErr && v >= 0 && v <= 0xFFFF) full_colour[i] = v;
            }
        }
        procs.closeReadDescriptorProc(reader);  // its error only says which keys were missing
        // The keys may come in any order, so the refinements are applied once all are read.
        for (int i = 0; i < 6; ++i) {
            uint16_t& component = *ScriptColourField(params, kFullColourOrder[i]);
            if (full_colour[i] >= 0 && (full_colour[i] >> 8) == (component >> 8)) component = uint16_t(full_colour[i]);
        }
        if (DisposeDescriptor(record, dp.descriptor)) dp.descriptor = nullptr;
        // An action may carry any double; the run renders what its cached settings keep.
        RoundToSettingsPrecision(params);
    }
    UpgradeLegacyFields(params);
    show_dialog = dp.playInfo == plugInDialogDisplay ? 1 : 0;
}

void WriteScriptParams(FilterRecord& record, RenderParams& params) {
    if (!ScriptingAvailable(record)) return;
    PIDescriptorParameters& dp = *record.descriptorParameters;
    const WriteDescriptorProcs& procs = *dp.writeDescriptorProcs;
    PIWriteDescriptor writer = procs.openWriteDescriptorProc();
    if (!writer) return;

    RefreshLegacyMirrors(params);
    params.version = kCurrentVersion;
    for (const RecordedItem& item : RecordedItems(params)) {
        if (item.kind == RecordedItem::kFloat && procs.putFloatProc) {
            const real64 value = item.number;
            procs.putFloatProc(writer, item.key, &value);
        } else if (item.kind == RecordedItem::kEnumerated && procs.putEnumeratedProc) {
            procs.putEnumeratedProc(writer, item.key, kGlueEnumType, item.enum_value);
        } else if (item.kind == RecordedItem::kInteger && procs.putIntegerProc) {
            procs.putIntegerProc(writer, item.key, item.integer);
        }
    }

    PIDescriptorHandle recorded = nullptr;
    procs.closeWriteDescriptorProc(writer, &recorded);
    if (!recorded) return;  // nothing new to record: keep what the host had
    DisposeDescriptor(record, dp.descriptor);
    dp.descriptor = recorded;
    dp.recordInfo = plugInDialogOptional;
}

}  // namespace tw
