// The one table of the parameters a user sets: a row each for the twelve sliders, Style,
// Glue, Color, Glitter, Seed, the ripple centre and the light, in the order the command
// line's help and `tarnwell settings show` list them. Everything that names, shows, parses,
// clamps, stores or scripts a parameter reads its row here: the plain settings, the legacy
// upgrade, settings files (which float block a slider sits in), the renderer's clamped
// slider copy, the scripting keys, `--set` and the help texts. The dialog's control table
// and the GIMP front end build their controls from the same rows.
//
// Adding a parameter: a field in RenderParams, a row here, and its encodings in the settings
// file (settings/settings_file.cpp) and the scripting key table (params/script_keys.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "hostapi/four_cc.h"
#include "params/blend_mode_names.h"
#include "params/render_params.h"

namespace tw {

// The twelve sliders after clamping to their ranges: what the renderer's per-pixel code
// reads, never RenderParams itself. Each slider row names its member.
struct SliderValues {
    float horizon, offset, spin, perspective, altitude, waviness;
    float complexity, brilliance, blur, size, height, undulation;
};

// How a parameter's value is written, read and shown.
enum class ParameterKind : uint8_t {
    kSlider,     // one float from min to max, shown as a whole number
    kStyle,      // the wave model: a whole number with a name (kStyleNames)
    kGlue,       // a blend mode from min to max, named by params/blend_mode_names.h
    kColour,     // three 16-bit components; an 8-bit value v is stored as v * 256
    kSeed,       // a whole number from min to max
    kPoint,      // x, y: fractions of the picture's width and height
    kDirection,  // x, y, z: a direction, stored as a unit vector
};

// Another name the command line accepts for a parameter. An alias of one component sets
// only that component, from one number.
struct ParameterAlias {
    const char* name = nullptr;  // null: no alias
    int8_t component = -1;       // -1: the whole value
};

// One row. `field_id` and the members after it serve the sliders only; elsewhere they are
// zero (and `mirror_slot` -1).
struct ParameterInfo {
    ParameterKind kind;
    const char* label;          // the dialog's label, also the command line's name
    const char* summary;        // what it does, in a few words
    ParameterAlias aliases[3];  // other accepted names
    int8_t components;          // how many numbers the value has: 1, 2 or 3
    float min, max;             // range of every component, as stored
    float plain[3];             // the plain default of each component
    // Where the value lives: the member for the row's kind is set, the others are null.
    float RenderParams::*field;        // kSlider
    int32_t RenderParams::*integer;    // kStyle, kGlue, kSeed
    Rgb16 RenderParams::*colour;       // kColour
    float RenderParams::*point[2];     // kPoint
    float (RenderParams::*vector)[3];  // kDirection
    // Dialog controls (ids in the dialog template).
    int control_id;  // the slider, combo box, button, direction pad, or the preview for the centre
    int field_id;    // a slider's number field
    // Sliders: scripting, settings files and the renderer's copy.
    uint32_t key;                 // scripting float key
    uint32_t legacy_key;          // scripting integer key of old actions (0: none)
    int8_t mirror_slot;           // framework_ints slot old files kept it in (-1: none)
    bool mirror_refreshed;        // every write refreshes the slot from the float
    int8_t file_version;          // settings-file version whose block added the float
    float SliderValues::*value;   // its member in SliderValues
};

// A slider row; every member of ParameterInfo applies to it.
using SliderInfo = ParameterInfo;

// The names of the two styles, by their stored value.
struct StyleName {
    int32_t value;
    const char* name;
};
inline constexpr StyleName kStyleNames[2] = {{kStyleSimple, "simple"}, {kStyleComplex, "complex"}};

namespace parameter_rows {

using P = RenderParams;
using V = SliderValues;

// The row makers: Row fills what every kind has, the others add what their kind uses.
constexpr ParameterInfo Row(ParameterKind kind, const char* label, int8_t components, float min, float max,
                              float plain0, float plain1, float plain2, int control_id, const char* summary) {
    ParameterInfo row{};
    row.kind = kind;
    row.label = label;
    row.summary = summary;
    row.components = components;
    row.min = min;
    row.max = max;
    row.plain[0] = plain0;
    row.plain[1] = plain1;
    row.plain[2] = plain2;
    row.control_id = control_id;
    row.mirror_slot = -1;
    return row;
}

constexpr ParameterInfo Slider(const char* label, float P::*field, float V::*value, float min, float max,
                               float plain, int control_id, int field_id, uint32_t key, uint32_t legacy_key,
                               int8_t mirror_slot, bool refreshed, int8_t file_version, const char* summary) {
    ParameterInfo row = Row(ParameterKind::kSlider, label, 1, min, max, plain, 0, 0, control_id, summary);
    row.field = field;
    row.field_id = field_id;
    row.key = key;
    row.legacy_key = legacy_key;
    row.mirror_slot = mirror_slot;
    row.mirror_refreshed = refreshed;
    row.file_version = file_version;
    row.value = value;
    return row;
}

constexpr ParameterInfo Whole(ParameterKind kind, const char* label, int32_t P::*integer, float min, float max,
                              float plain, int control_id, const char* summary) {
    ParameterInfo row = Row(kind, label, 1, min, max, plain, 0, 0, control_id, summary);
    row.integer = integer;
    return row;
}

constexpr ParameterInfo Colour(const char* label, Rgb16 P::*colour, Rgb16 plain, int control_id,
                               const char* alias, const char* summary) {
    ParameterInfo row = Row(ParameterKind::kColour, label, 3, 0, 65535, plain.r, plain.g, plain.b,
                              control_id, summary);
    row.colour = colour;
    row.aliases[0] = {alias, -1};
    return row;
}

constexpr ParameterInfo Centre() {
    ParameterInfo row = Row(ParameterKind::kPoint, "Center", 2, 0, 1, kPlainPickX, kPlainPickY, 0, 18,
                              "the ripple centre, as fractions of the picture's width and height");
    row.point[0] = &P::pick_x;
    row.point[1] = &P::pick_y;
    row.aliases[0] = {"Centre", -1};
    row.aliases[1] = {"Pick X", 0};
    row.aliases[2] = {"Pick Y", 1};
    return row;
}

constexpr ParameterInfo Light() {
    ParameterInfo row = Row(ParameterKind::kDirection, "Light", 3, -1, 1, kPlainLightDir[0], kPlainLightDir[1],
                              kPlainLightDir[2], 150, "the direction the light comes from");
    row.vector = &P::light_dir;
    return row;
}

}  // namespace parameter_rows

constexpr int kSliderCount = 12;
constexpr int kParameterCount = 19;

namespace parameter_rows {

// Sliders first, in RenderParams' order; then the other rows as the dialog groups them.
// Horizon and offset became floats in settings version 41, spin in 42 (it has no legacy
// form), the other nine in 45; writes still refresh those nine's old integer slots.
inline constexpr ParameterInfo kRows[kParameterCount] = {
    // label, RenderParams field, SliderValues member, min, max, plain, slider and field ids;
    // float key, legacy key, legacy slot, slot refreshed, settings-file version; summary
    Slider("Horizon",     &P::horizon,      &V::horizon,        0, 100, 50,  37,  86,
           FourCC("0019"), FourCC("0005"),  4, false, 41, "height of the horizon line, percent of the picture"),
    Slider("Offset",      &P::offset,       &V::offset,         0, 100,  0,  57,  91,
           FourCC("0020"), FourCC("0009"), 15, false, 41, "offset of the reflection"),
    Slider("Spin",        &P::spin,         &V::spin,         -90,  90,  0, 152, 153,
           FourCC("0021"), 0,              -1, false, 42, "rotation of the water plane, degrees"),
    Slider("Perspective", &P::perspective,  &V::perspective,    0, 100, 48,  39,  85,
           FourCC("0029"), FourCC("0006"),  5, true,  45, "strength of the perspective"),
    Slider("Altitude",    &P::altitude,     &V::altitude,       0, 100, 40, 103, 104,
           FourCC("0030"), FourCC("0013"), 19, true,  45, "the viewer's height above the water"),
    Slider("Waviness",    &P::waviness,     &V::waviness,       0, 100, 65,  59,  92,
           FourCC("0031"), FourCC("0010"), 16, true,  45, "amount of waves"),
    Slider("Complexity",  &P::complexity,   &V::complexity,     0, 100, 84,  63,  94,
           FourCC("0032"), FourCC("0012"), 18, true,  45, "detail of the waves"),
    Slider("Brilliance",  &P::brilliance,   &V::brilliance,     0, 100, 40,  65,  81,
           FourCC("0033"), FourCC("0015"), 27, true,  45, "brightness of the reflections"),
    Slider("Blur",        &P::blur,         &V::blur,           0, 100,  0,  61,  93,
           FourCC("0034"), FourCC("0011"), 17, true,  45, "blur of the reflection"),
    Slider("Size",        &P::size,         &V::size,           0, 100, 88,  55,  90,
           FourCC("0035"), FourCC("0008"), 14, true,  45, "size of the ripples round the centre"),
    Slider("Height",      &P::height,       &V::height,         0, 100, 20,  12,  79,
           FourCC("0036"), FourCC("0004"),  0, true,  45, "height of the ripples"),
    Slider("Undulation",  &P::undulation,   &V::undulation,     0, 100, 40,  51,  83,
           FourCC("0037"), FourCC("0007"), 10, true,  45, "undulation of the ripples"),
    // kind, label, field, min, max, plain, control id; summary
    Whole(ParameterKind::kStyle, "Style", &P::style,     kStyleSimple,    kStyleComplex,  kStyleComplex,   147,
          "wave model: a displaced mirror, or a ray-cast surface with glitter"),
    Whole(ParameterKind::kGlue,  "Glue",  &P::glue_mode, kFirstBlendMode, kLastBlendMode, kFirstBlendMode, 73,
          "how the water is laid over the picture"),
    // label, field, plain, control id, alias; summary
    Colour("Color",   &P::color,         kPlainColor,        7,   "Colour", "colour of the water"),
    Colour("Glitter", &P::glitter_color, kPlainGlitterColor, 120, nullptr,  "colour of the glitter"),
    Whole(ParameterKind::kSeed,  "Seed",  &P::seed,      0,               kMaxSeed,       kPlainSeed,      75,
          "the ripple pattern"),
    Centre(),
    Light(),
};

}  // namespace parameter_rows

inline constexpr std::span<const ParameterInfo, kParameterCount> kParameters{parameter_rows::kRows};
// The slider rows: the first twelve of the table.
inline constexpr std::span<const ParameterInfo, kSliderCount> kSliders{parameter_rows::kRows, kSliderCount};

namespace parameter_rows {

constexpr bool SlidersComeFirstAndAreComplete() {
    for (int i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& row = kRows[i];
        const bool slider = row.kind == ParameterKind::kSlider;
        if (slider != (i < kSliderCount)) return false;
        if (slider && (!row.field || !row.value || !row.key)) return false;
        for (int j = 0; slider && j < i; ++j)
            if (kRows[j].field == row.field || kRows[j].value == row.value) return false;
    }
    return true;
}
static_assert(SlidersComeFirstAndAreComplete(), "twelve distinct slider rows first, each with its field and key");
static_assert(sizeof(SliderValues) == kSliderCount * sizeof(float), "one SliderValues member per slider row");

}  // namespace parameter_rows

// The value of component `c` of a row (0 for one-number kinds), as a double.
double ParameterComponent(const RenderParams& params, const ParameterInfo& row, int c);
// Stores a value already checked against the row's range into component `c`.
void SetParameterComponent(RenderParams& params, const ParameterInfo& row, int c, double value);
// Where component `c` lives in `params`: lets other tables find the row behind a field.
const void* ParameterComponentAddress(const RenderParams& params, const ParameterInfo& row, int c);
// Sets every component of the row to its plain default.
void SetPlainValue(RenderParams& params, const ParameterInfo& row);

// Looks a slider up by its label, case-insensitively; null when unknown.
const SliderInfo* FindSlider(const char* label);

}  // namespace tw
