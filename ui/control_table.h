// What every control of the main dialog is: one description per control id 0..199 that
// drawing, hit-testing, dragging, reading and writing all go by, and the table of label
// texts. The sliders and their number fields come from the parameter table
// (params/parameter_table.h); the other controls are listed here by id. Where the controls
// sit, and with which window class and style, is dialog_layout.h.
#pragma once

#include <cstdint>

namespace tw {

constexpr int kControlCount = 200;  // ids 0..199; no control has a higher id
constexpr int kDefaultsBit = 0x8000;  // an id with this bit set describes no control

// Control ids of the main dialog that the model names. The sliders, fields, combo boxes,
// swatches and the pad are found through the parameter table.
enum ControlId : int {
    kIdCancel = 2,
    kIdOk = 3,
    kIdWaterColour = 7,
    kIdPreview = 18,
    kIdNextGlue = 21,
    kIdAbout = 25,
    kIdSave = 26,
    kIdInfo = 27,
    kIdZoomIn = 32,
    kIdZoomOut = 33,
    kIdZoomReadout = 34,
    kIdLoad = 35,
    kIdPresetsPage = 40,
    kIdExportPsd = 69,
    kIdGlueLabel = 70,
    kIdDice = 72,
    kIdGlue = 73,
    kIdUndo = 74,
    kIdNewSeed = 75,
    kIdStatusLine = 76,
    kIdReset = 98,
    kIdMemoryArea = 119,
    kIdGlitterColour = 120,
    kIdFirstDot = 121,  // dot i is 121 + i
    kIdLastDot = 145,
    kIdStyle = 147,
    kIdDirectionPad = 150,
};

// The kinds of control, with the numbers describe_control reports.
enum ControlKind : int32_t {
    kKindNone = -1,          // not in the table: the preview, the zoom readout, unused ids
    kKindSlider = 0,         // a drawn track and knob; its value lives in its number field
    kKindLabel = 1,          // drawn text, right-aligned; the status line is one too
    kKindNumericField = 2,   // the edit field that belongs to a slider
    kKindCheckbox = 3,       // none in this dialog
    kKindPushButton = 4,     // OK and Cancel
    kKindIconButton = 7,     // a push button showing an icon instead of its caption
    kKindColourSwatch = 8,   // an owner-drawn button filled with a colour
    kKindDirectionPad = 9,   // the light direction, dragged on a sphere picture
    kKindComboBox = 13,      // a drop-down list; its value is the selected index + 1
    kKindClickableIcon = 18, // a static icon that runs its command when released
    kKindMemoryDot = 25,     // one of the 25 memory dots
    kKindMemoryArea = 26,    // the well inside the ring of dots
    kKindHeaderImage = 28,   // the picture of a group's heading word
};

struct ControlDescriptor {
    int32_t field_id = -1;          // a slider's number field
    int32_t main_id = -1;           // the control that owns the value (the slider of a pair)
    int32_t kind = kKindNone;       // ControlKind
    int32_t picture = -1;           // bitmap or JPEG resource drawn in the control
    int32_t disabled_picture = -1;  // drawn instead while the control is disabled
    int32_t icon = -1;              // an icon button's icon resource
    int32_t label = 0;              // index into label_text (a swatch: its picker prompt)
    int32_t min = 0, max = 100;     // a slider's range
};

// The description of control `id`. A number field reports the record of its slider with
// the kind kKindNumericField. Ids outside 0..199 and ids with kDefaultsBit give the defaults.
ControlDescriptor describe_control(int id);

// The text of a label index; "-undef string-" for an index the table does not hold.
const char* label_text(int index);

// Kinds whose control is a window of its own, which the dialog enables and disables
// itself; every other kind is drawn by the dialog and shows its state when repainted.
bool IsWindowKind(int32_t kind);
// Kinds a mouse press captures (the preview is captured by id, having no kind).
bool IsCapturableKind(int32_t kind);

// The memory dot of a control id, or -1.
inline int DotOfControl(int id) { return id >= kIdFirstDot && id <= kIdLastDot ? id - kIdFirstDot : -1; }

}  // namespace tw
