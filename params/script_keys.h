// The filter's scripting keys: every key a recorded action carries, with its type, name and
// flags, and the one enumeration (the glue modes). It is said once here and serves three
// readers: the plug-in's descriptor reader and writer (shell/script_params.h), the AETE
// resource that tells an editor what the keys mean (resources/terminology_resource.h), and
// the command line that builds descriptors from labels.
//
// The slider keys are not repeated here: their codes are columns of the parameter table.
#pragma once

#include <cstdint>
#include <vector>

#include "hostapi/four_cc.h"
#include "params/parameter_table.h"

namespace tw {

// Which part of RenderParams a key carries.
enum class ScriptValue : uint8_t {
    kColorRed,      // water colour, one component as 8 bits (the high byte)
    kColorGreen,
    kColorBlue,
    kGlitterRed,    // glitter colour, likewise
    kGlitterGreen,
    kGlitterBlue,
    kSliderLegacy,  // a slider's old whole-number form, the legacy integer
    kSliderFloat,   // a slider itself, as a double
    kGlue,          // glue_mode as an enumeration code 'GLnn'
    kSeed,          // seed, integer
    kStyle,         // style, integer
    kPickX,         // ripple centre, doubles
    kPickY,
    kLightX,        // light direction components, doubles
    kLightY,
    kLightZ,
};

struct ScriptKey {
    uint32_t code;                  // the key; 0 for slider keys, whose code is in kSliders
    const char* name;               // also the description in the terminology
    ScriptValue value;
    float RenderParams::*slider;    // the slider behind kSliderLegacy / kSliderFloat
};

constexpr int kScriptKeyCount = 37;
// In the order the keys are published, recorded and offered to the reader.
extern const ScriptKey kScriptKeys[kScriptKeyCount];

constexpr uint32_t kGlueKey = FourCC("GLUE");
constexpr uint32_t kGlueEnumType = FourCC("GLty");
constexpr uint32_t kVersionKey = FourCC("Vers");      // recorded first, never read back
// The colours' full 16 bits, recorded after the published keys: the 8-bit keys alone would
// turn the plain water colour 0x2E2E into 0x2E00 on replay, and a replayed action must
// render what was recorded. Readers take one only when its high byte agrees with the 8-bit
// key, so an action edited through the 8-bit keys still means what it says. Water R, G, B,
// then glitter R, G, B.
constexpr uint32_t kFullColourKeys[6] = {FourCC("WtrR"), FourCC("WtrG"), FourCC("WtrB"),
                                         FourCC("GltR"), FourCC("GltG"), FourCC("GltB")};
constexpr uint32_t kScriptEventCode = FourCC("ZQW2");  // the terminology's class and event
constexpr int16_t kTerminologyId = 16000;
constexpr const char* kTerminologyScope = "Quillmoth Tarnwell 2";

uint32_t ScriptKeyCode(const ScriptKey& key);
uint32_t ScriptKeyType(const ScriptKey& key);   // 'long', 'doub' or 'GLty'
uint16_t ScriptKeyFlags(const ScriptKey& key);  // optional; the glue is also enumerated
// The table entry for `code`, or null.
const ScriptKey* FindScriptKey(uint32_t code);
// A name for any key the filter records: the table's name, or a name for the version and
// full-colour keys, which the terminology does not publish; null for other keys.
const char* RecordedKeyName(uint32_t code);
// The slider a slider key stands for (never null for kSliderLegacy / kSliderFloat).
const SliderInfo* ScriptKeySlider(const ScriptKey& key);
// Whether the key `code` carries component `component` of the parameter `row` (any of its
// components when -1): the float key of a slider, the three colour keys and the three
// full-colour keys of a colour, 'GLUE' for the glue. Legacy slider integers carry old
// framework slots, not the parameter, and the version key carries nothing.
bool ScriptKeyCarries(uint32_t code, const ParameterInfo& row, int component);

// Where a key's value lives in the record: the colour component a colour key carries (its
// 8-bit form is the high byte), the float of a double key, the integer of an integer key;
// null when the key is not of that kind.
uint16_t* ScriptColourField(RenderParams& p, ScriptValue v);
float* ScriptFloatField(RenderParams& p, const ScriptKey& key);
int32_t* ScriptIntegerField(RenderParams& p, const ScriptKey& key);
// Which of the six colour components a full-precision key refines; -1 for other keys.
int FullColourIndex(uint32_t code);
// The colour components in the order of kFullColourKeys.
constexpr ScriptValue kFullColourOrder[6] = {ScriptValue::kColorRed,    ScriptValue::kColorGreen,
                                             ScriptValue::kColorBlue,   ScriptValue::kGlitterRed,
                                             ScriptValue::kGlitterGreen, ScriptValue::kGlitterBlue};

// One item of a recorded action.
struct RecordedItem {
    enum Kind : uint8_t { kInteger, kFloat, kEnumerated } kind;
    uint32_t key;
    int32_t integer;      // kInteger
    double number;        // kFloat
    uint32_t enum_value;  // kEnumerated, of type kGlueEnumType
};
// Everything the plug-in records for `params`, in order: the version, every key of the
// table, then the full colours. Legacy integers are recorded as the record holds them, so
// refresh the mirrors first. The host builds a full action from a settings file the same way.
std::vector<RecordedItem> RecordedItems(const RenderParams& params);

// The zero-terminated key array handed to the host's descriptor reader.
using ScriptKeyArray = uint32_t[kScriptKeyCount + 1];
void FillScriptKeyArray(ScriptKeyArray& keys);

// The glue modes' codes ('GLnn', '<NO>') and names come from the blend-mode table in
// params/blend_mode_names.h, so the terminology, the dialog and settings files cannot drift.

}  // namespace tw
