// RenderParams: the user's parameter record. It is what the dialog edits, what settings
// files, undo slots, memory dots, the cached settings and scripting descriptors carry, and
// what the renderer derives its state from. The host keeps it in a 2816-byte block between
// runs, so its layout is fixed: fixed-width fields only, never reordered.
//
// The table of parameters (label, controls, scripting keys, range, default) is said once,
// in parameter_table.h, and serves the dialog, plain settings, clamping and scripting.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw {

constexpr int kTextLength = 260;        // every text field, terminator included
constexpr int kCurrentVersion = 45;      // settings-format version written by this program
constexpr int kResetVersion = -999;      // `version` after a reset: nothing loaded

struct Rgb16 {
    uint16_t r, g, b;
};

enum RenderMode : int32_t {
    kRenderFinal = 0,      // into the host's image
    kRenderPreview = 1,    // into the dialog's preview buffer
    kRenderOffscreen = 2,  // into an export image
};

enum Style : int32_t {
    kStyleSimple = 1,   // mirror and displacement
    kStyleComplex = 2,  // ray-cast wave surface with glitter; any other value means Simple
};

struct RenderParams {
    // Working state of the shell and the dialog.
    int32_t reset_marker;          // 1 after a reset
    int32_t reserved0;
    void* globals;                  // the GlobalState this record belongs to, while locked
    int32_t reserved[4];
    int32_t hover_control;         // dialog: control under the mouse
    int32_t mouse_x, mouse_y;      // dialog: last mouse position
    int32_t mouse_buttons;
    uint8_t live_preview;          // host offers advanceState and displayPixels
    uint8_t flag_a, flag_b;
    uint8_t pad0;
    float framework_vectors[6];    // two vectors only carried by settings files
    int32_t dialog_ints[8];        // dialog working integers
    int32_t read_scratch;          // scratch while reading files and descriptors
    int32_t glue_mode;             // blend mode 1..69
    int32_t zoom;                  // preview reduction factor, >= 1
    int32_t render_mode;           // RenderMode
    int32_t pass_count, pass_index;
    int32_t gallery_working;       // gallery export working integer
    int32_t pan_x, pan_y;          // preview origin in source pixels
    int32_t selection_a, selection_b;
    int32_t version;               // settings version the record came from
    int32_t seed;                  // 0..2047
    int32_t preview_centre_x, preview_centre_y;
    float pick_x, pick_y;          // ripple centre, fractions of width and height
    int32_t psd_size_choice;       // 1 same size, 2 same proportions, 3 custom
    int32_t psd_width, psd_height;
    int32_t source_loaded;         // the host's picture is in the working image
    Rgb16 color;                   // water colour
    Rgb16 framework_colors[7];
    Rgb16 glitter_color;
    uint16_t pad1;
    int32_t framework_ints[30];    // framework slots; some mirror sliders for old files
    // The twelve sliders, in this order.
    float horizon, offset, spin, perspective, altitude, waviness;
    float complexity, brilliance, blur, size, height, undulation;
    float light_dir[3];            // unit vector towards the light
    int32_t style;                 // Style
    int32_t working_ints[2];
    char open_path[kTextLength];   // settings-file open dialog's path buffer
    char export_text[2][kTextLength];
    uint8_t flag_c;
    char settings_name[kTextLength];
    char settings_folder[kTextLength];
    char picture_folder[kTextLength];
    char gallery_folder[kTextLength];
    int32_t last_working;
    uint8_t tail[548];             // room to grow; the block is 2816 bytes in all
};

static_assert(sizeof(void*) == 8, "the host blocks are laid out for 64-bit modules");
static_assert(sizeof(RenderParams) == 2816, "RenderParams must fill the host's 2816-byte block");
static_assert(offsetof(RenderParams, framework_ints) % 4 == 0);

// Plain defaults of the parameters that are not sliders (the table says the sliders').
constexpr Rgb16 kPlainColor{0x2E2E, 0x3E3E, 0x5A5A};
constexpr Rgb16 kPlainGlitterColor{0xC2C2, 0xBFBF, 0xB4B4};
constexpr int32_t kPlainSeed = 1841;
constexpr int32_t kMaxSeed = 2047;
// The centre (0.5, 0.2) and the light (-0.5, -0.5, 1) made a unit vector, each in the
// precision a settings file keeps them (1/65536 of the picture, hundredths), so that the
// plain settings render what a file saved from them renders.
constexpr float kPlainPickX = 0.5f, kPlainPickY = 13107.0f / 65536.0f;
constexpr float kPlainLightDir[3] = {-0.40f, -0.40f, 0.81f};

// Sets exactly the plain look, in the precision a settings file keeps; leaves
// `settings_name` and other working fields alone.
void SetPlainSettings(RenderParams& p);
// The record part of the reset done at every prepare: working fields, name, plain look.
void ResetParams(RenderParams& p);
// Brings a record read from an older settings format up to date, by its `version`.
void UpgradeLegacyFields(RenderParams& p);
// Stores the nine mirrored sliders, truncated toward zero, into their legacy slots.
void RefreshLegacyMirrors(RenderParams& p);
// Copies `text` into a text field, cut to 259 characters plus the terminator.
void SetText(char (&field)[kTextLength], const char* text);

}  // namespace tw
