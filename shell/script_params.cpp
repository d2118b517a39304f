#include "shell/script_params.h"

#include <cmath>

#include "hostapi/host_constants.h"
#include "render/blend_modes.h"
#include "shell/later_work.h"
#include "shell/plugin_shell.h"
#include "shell/terminology.h"

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

uint16_t& ColourComponent(RenderParams& p, ScriptValue v) {
    switch (v) {
    case ScriptValue::kColorRed: return p.color.r;
    case ScriptValue::kColorGreen: return p.color.g;
    case ScriptValue::kColorBlue: return p.color.b;
    case ScriptValue::kGlitterRed: return p.glitter_color.r;
    case ScriptValue::kGlitterGreen: return p.glitter_color.g;
    default: return p.glitter_color.b;
    }
}

// Which of the six colour components a full-precision key refines; -1 for other keys.
int FullColourIndex(uint32_t code) {
    for (int i = 0; i < 6; ++i)
        if (kFullColourKeys[i] == code) return i;
    return -1;
}

constexpr ScriptValue kColourOrder[6] = {ScriptValue::kColorRed,   ScriptValue::kColorGreen,
                                         ScriptValue::kColorBlue,  ScriptValue::kGlitterRed,
                                         ScriptValue::kGlitterGreen, ScriptValue::kGlitterBlue};

bool IsColour(ScriptValue v) {
    return v == ScriptValue::kColorRed || v == ScriptValue::kColorGreen || v == ScriptValue::kColorBlue ||
           v == ScriptValue::kGlitterRed || v == ScriptValue::kGlitterGreen || v == ScriptValue::kGlitterBlue;
}

// The float a double key carries; null for integer keys.
float* FloatField(RenderParams& p, const ScriptKey& key) {
    switch (key.value) {
    case ScriptValue::kSliderFloat: return &(p.*key.slider);
    case ScriptValue::kPickX: return &p.pick_x;
    case ScriptValue::kPickY: return &p.pick_y;
    case ScriptValue::kLightX: return &p.light_dir[0];
    case ScriptValue::kLightY: return &p.light_dir[1];
    case ScriptValue::kLightZ: return &p.light_dir[2];
    default: return nullptr;
    }
}

// The integer an integer key carries (colours excepted); null for the others.
int32_t* IntegerField(RenderParams& p, const ScriptKey& key) {
    switch (key.value) {
    case ScriptValue::kSliderLegacy: {
        const SliderInfo* s = ScriptKeySlider(key);
        return s && s->mirror_slot >= 0 ? &p.framework_ints[s->mirror_slot] : nullptr;
    }
    case ScriptValue::kSeed: return &p.seed;
    case ScriptValue::kStyle: return &p.style;
    default: return nullptr;
    }
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
    if (float* f = FloatField(p, key)) {
        real64 value = 0;
        if (procs.getFloatProc && procs.getFloatProc(reader, &value) == noErr) *f = static_cast<float>(value);
        return;
    }
    int32_t value = 0;
    if (!procs.getIntegerProc || procs.getIntegerProc(reader, &value) != noErr) return;
    if (IsColour(key.value)) {
        ColourComponent(p, key.value) = ColourFromScript(value);
    } else if (int32_t* i = IntegerField(p, key)) {
        *i = value;
    }
}

void WriteKey(const WriteDescriptorProcs& procs, PIWriteDescriptor writer, const ScriptKey& key, RenderParams& p) {
    const DescriptorKeyID code = ScriptKeyCode(key);
    if (key.value == ScriptValue::kGlue) {
        if (procs.putEnumeratedProc)
            procs.putEnumeratedProc(writer, code, kGlueEnumType, blendModeScriptCode(p.glue_mode));
        return;
    }
    if (const float* f = FloatField(p, key)) {
        const real64 value = *f;
        if (procs.putFloatProc) procs.putFloatProc(writer, code, &value);
        return;
    }
    int32_t value = 0;
    if (IsColour(key.value)) {
        value = ColourComponent(p, key.value) >> 8;  // the 8-bit form is the high byte
    } else if (const int32_t* i = IntegerField(p, key)) {
        value = *i;
    } else {
        return;
    }
    if (procs.putIntegerProc) procs.putIntegerProc(writer, code, value);
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
            uint16_t& component = ColourComponent(params, kColourOrder[i]);
            if (full_colour[i] >= 0 && (full_colour[i] >> 8) == (component >> 8)) component = uint16_t(full_colour[i]);
        }
        if (DisposeDescriptor(record, dp.descriptor)) dp.descriptor = nullptr;
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
    // The version goes first so a reader of the recorded action knows what follows.
    if (procs.putIntegerProc) procs.putIntegerProc(writer, kVersionKey, kCurrentVersion);
    for (const ScriptKey& key : kScriptKeys) WriteKey(procs, writer, key, params);
    if (procs.putIntegerProc)
        for (int i = 0; i < 6; ++i)
            procs.putIntegerProc(writer, kFullColourKeys[i], ColourComponent(params, kColourOrder[i]));

    PIDescriptorHandle recorded = nullptr;
    procs.closeWriteDescriptorProc(writer, &recorded);
    if (!recorded) return;  // nothing new to record: keep what the host had
    DisposeDescriptor(record, dp.descriptor);
    dp.descriptor = recorded;
    dp.recordInfo = plugInDialogOptional;
}

// ---- The shell's calls, on the host's current filter record -------------------------------

bool ScriptingWillSupplyParameters() { return gFilterRecord && WillReadScriptParams(*gFilterRecord); }

int16_t ReadScriptingParameters(RenderParams& params, GlobalState& globals) {
    if (gFilterRecord) ReadScriptParams(*gFilterRecord, params, globals.show_dialog);
    return 0;  // the host's errors are not the run's: a bad descriptor leaves plain settings
}

int16_t WriteScriptingParameters(const RenderParams& params) {
    // The shell hands the block read-only; what is recorded is the same either way, and the
    // block itself is reset at the next prepare.
    RenderParams recorded = params;
    if (gFilterRecord) WriteScriptParams(*gFilterRecord, recorded);
    return 0;
}

}  // namespace tw
