#include "params/script_keys.h"

#include <cstring>

#include "hostapi/host_constants.h"
#include "params/blend_mode_names.h"

namespace tw {

namespace {

using V = ScriptValue;
using P = RenderParams;

}  // namespace

// There is no key '0014': the glue enumeration took its place long ago, and old actions
// still list the keys in this order.
const ScriptKey kScriptKeys[kScriptKeyCount] = {
    {FourCC("0001"), "water red", V::kColorRed, nullptr},
    {FourCC("0002"), "water green", V::kColorGreen, nullptr},
    {FourCC("0003"), "water blue", V::kColorBlue, nullptr},
    {0, "ripple height", V::kSliderLegacy, &P::height},
    {0, "horizon", V::kSliderLegacy, &P::horizon},
    {0, "perspective", V::kSliderLegacy, &P::perspective},
    {0, "ripple undulation", V::kSliderLegacy, &P::undulation},
    {0, "ripple size", V::kSliderLegacy, &P::size},
    {0, "offset", V::kSliderLegacy, &P::offset},
    {0, "waviness", V::kSliderLegacy, &P::waviness},
    {0, "blur", V::kSliderLegacy, &P::blur},
    {0, "complexity", V::kSliderLegacy, &P::complexity},
    {0, "altitude", V::kSliderLegacy, &P::altitude},
    {kGlueKey, "glue", V::kGlue, nullptr},
    {0, "brilliance", V::kSliderLegacy, &P::brilliance},
    {FourCC("0016"), "random seed", V::kSeed, nullptr},
    {FourCC("0017"), "X center", V::kPickX, nullptr},
    {FourCC("0018"), "Y center", V::kPickY, nullptr},
    {0, "horizon float", V::kSliderFloat, &P::horizon},
    {0, "offset float", V::kSliderFloat, &P::offset},
    {0, "spin", V::kSliderFloat, &P::spin},
    {FourCC("0022"), "water style", V::kStyle, nullptr},
    {FourCC("0023"), "light X", V::kLightX, nullptr},
    {FourCC("0024"), "light Y", V::kLightY, nullptr},
    {FourCC("0025"), "light Z", V::kLightZ, nullptr},
    {FourCC("0026"), "glitter red", V::kGlitterRed, nullptr},
    {FourCC("0027"), "glitter green", V::kGlitterGreen, nullptr},
    {FourCC("0028"), "glitter blue", V::kGlitterBlue, nullptr},
    {0, "perspective float", V::kSliderFloat, &P::perspective},
    {0, "altitude float", V::kSliderFloat, &P::altitude},
    {0, "waviness float", V::kSliderFloat, &P::waviness},
    {0, "complexity float", V::kSliderFloat, &P::complexity},
    {0, "brilliance float", V::kSliderFloat, &P::brilliance},
    {0, "blur float", V::kSliderFloat, &P::blur},
    {0, "size float", V::kSliderFloat, &P::size},
    {0, "height float", V::kSliderFloat, &P::height},
    {0, "undulation float", V::kSliderFloat, &P::undulation},
};

const SliderInfo* ScriptKeySlider(const ScriptKey& key) {
    if (!key.slider) return nullptr;
    for (const SliderInfo& s : kSliders)
        if (s.field == key.slider) return &s;
    return nullptr;
}

uint32_t ScriptKeyCode(const ScriptKey& key) {
    if (key.value == V::kSliderLegacy || key.value == V::kSliderFloat) {
        const SliderInfo* s = ScriptKeySlider(key);
        if (!s) return 0;
        return key.value == V::kSliderLegacy ? s->legacy_key : s->key;
    }
    return key.code;
}

uint32_t ScriptKeyType(const ScriptKey& key) {
    switch (key.value) {
    case V::kGlue:
        return kGlueEnumType;
    case V::kSliderFloat:
    case V::kPickX:
    case V::kPickY:
    case V::kLightX:
    case V::kLightY:
    case V::kLightZ:
        return typeFloat;
    default:
        return typeInteger;
    }
}

uint16_t ScriptKeyFlags(const ScriptKey& key) {
    uint16_t flags = actionOptionalParameter;
    if (key.value == V::kGlue) flags |= actionEnumeratedParameter;
    return flags;
}

const ScriptKey* FindScriptKey(uint32_t code) {
    if (code == 0) return nullptr;
    for (const ScriptKey& k : kScriptKeys)
        if (ScriptKeyCode(k) == code) return &k;
    return nullptr;
}

const char* RecordedKeyName(uint32_t code) {
    if (const ScriptKey* key = FindScriptKey(code)) return key->name;
    if (code == kVersionKey) return "settings version";
    static constexpr const char* kFullColourNames[6] = {"water red 16-bit",   "water green 16-bit",
                                                        "water blue 16-bit",  "glitter red 16-bit",
                                                        "glitter green 16-bit", "glitter blue 16-bit"};
    for (int i = 0; i < 6; ++i)
        if (kFullColourKeys[i] == code) return kFullColourNames[i];
    return nullptr;
}

void FillScriptKeyArray(ScriptKeyArray& keys) {
    for (int i = 0; i < kScriptKeyCount; ++i) keys[i] = ScriptKeyCode(kScriptKeys[i]);
    keys[kScriptKeyCount] = 0;
}

uint16_t* ScriptColourField(RenderParams& p, ScriptValue v) {
    switch (v) {
    case ScriptValue::kColorRed: return &p.color.r;
    case ScriptValue::kColorGreen: return &p.color.g;
    case ScriptValue::kColorBlue: return &p.color.b;
    case ScriptValue::kGlitterRed: return &p.glitter_color.r;
    case ScriptValue::kGlitterGreen: return &p.glitter_color.g;
    case ScriptValue::kGlitterBlue: return &p.glitter_color.b;
    default: return nullptr;
    }
}

float* ScriptFloatField(RenderParams& p, const ScriptKey& key) {
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

int32_t* ScriptIntegerField(RenderParams& p, const ScriptKey& key) {
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

int FullColourIndex(uint32_t code) {
    for (int i = 0; i < 6; ++i)
        if (kFullColourKeys[i] == code) return i;
    return -1;
}

namespace {

// The field of `p` a key's value goes to, or null for a key that carries none.
const void* KeyField(RenderParams& p, uint32_t code) {
    if (const int i = FullColourIndex(code); i >= 0) return ScriptColourField(p, kFullColourOrder[i]);
    const ScriptKey* key = FindScriptKey(code);
    if (!key) return nullptr;
    if (key->value == ScriptValue::kGlue) return &p.glue_mode;
    if (const float* f = ScriptFloatField(p, *key)) return f;
    if (const uint16_t* c = ScriptColourField(p, key->value)) return c;
    return ScriptIntegerField(p, *key);
}

}  // namespace

bool ScriptKeyCarries(uint32_t code, const ParameterInfo& row, int component) {
    // The two tables meet at the fields: a key carries a parameter when it writes the field
    // the parameter's row names. Only addresses inside the probe are compared.
    RenderParams probe{};
    const void* field = KeyField(probe, code);
    for (int c = 0; field && c < row.components; ++c)
        if ((component < 0 || component == c) && ParameterComponentAddress(probe, row, c) == field) return true;
    return false;
}

std::vector<RecordedItem> RecordedItems(const RenderParams& params) {
    RenderParams p = params;  // the accessors hand out writable fields; nothing is written
    std::vector<RecordedItem> items;
    items.reserve(kScriptKeyCount + 7);
    // The version goes first so a reader of the recorded action knows what follows.
    items.push_back({RecordedItem::kInteger, kVersionKey, kCurrentVersion, 0, 0});
    for (const ScriptKey& key : kScriptKeys) {
        const uint32_t code = ScriptKeyCode(key);
        if (key.value == ScriptValue::kGlue) {
            items.push_back({RecordedItem::kEnumerated, code, 0, 0, blendModeScriptCode(p.glue_mode)});
        } else if (const float* f = ScriptFloatField(p, key)) {
            items.push_back({RecordedItem::kFloat, code, 0, *f, 0});
        } else if (const uint16_t* c = ScriptColourField(p, key.value)) {
            items.push_back({RecordedItem::kInteger, code, *c >> 8, 0, 0});
        } else if (const int32_t* i = ScriptIntegerField(p, key)) {
            items.push_back({RecordedItem::kInteger, code, *i, 0, 0});
        }
    }
    for (int i = 0; i < 6; ++i)
        items.push_back({RecordedItem::kInteger, kFullColourKeys[i], *ScriptColourField(p, kFullColourOrder[i]), 0, 0});
    return items;
}

}  // namespace tw
