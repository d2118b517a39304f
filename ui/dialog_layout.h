// Where every control of the plug-in's dialogs sits: one table per dialog template with
// each control's window class, rectangle (dialog units), style and caption, said once. The
// Windows build generates the resource script's dialog templates from these tables
// (resources/dialog_script.cpp); the tests' fake window takes its control rectangles from
// them too.
//
// Also the two drawing fonts of the main dialog.
#pragma once

#include <cstdint>
#include <span>

namespace tw {

// The window class of a control.
enum class ControlClass : uint8_t {
    kStatic,    // a static: text, icon, picture, or (hidden) a rectangle the dialog paints
    kEdit,      // a single-line edit field
    kButton,    // push, default, radio, icon or owner-drawn button
    kComboBox,  // a drop-down list
};

// Style of a control, in the resource script's terms; a control has the child style always.
enum ControlStyle : uint32_t {
    kStyleVisible = 1u << 0,       // without it the control only reserves its rectangle
    kStyleGroup = 1u << 1,         // starts a group
    kStyleTabStop = 1u << 2,       // Tab stops here
    kStyleBorder = 1u << 3,        // a thin frame (edit fields)
    kStyleSunken = 1u << 4,        // a sunken edge (the dialog's painted statics)
    kStyleIcon = 1u << 5,          // a button or static that shows an icon
    kStyleOwnerDraw = 1u << 6,     // a button the dialog draws
    kStyleDefault = 1u << 7,       // the default push button (Enter)
    kStyleAutoHScroll = 1u << 8,   // an edit field that scrolls while typing
    kStyleDropDownList = 1u << 9,  // a combo box without an edit part
    kStyleVScroll = 1u << 10,      // a combo box's list scrolls
    kStyleRadio = 1u << 11,        // a radio button (the dialog checks it itself)
    kStyleBitmap = 1u << 12,       // a static that shows a bitmap
    kStyleCentred = 1u << 13,      // a static whose text is centred
};

// One control of a template. Static text without an id has id -1.
struct ControlLayout {
    int16_t id;
    ControlClass window_class;
    int16_t x, y, w, h;  // dialog units
    uint32_t style;      // ControlStyle bits
    const char* caption; // the template's caption ("" for none)
    int32_t image = -1;  // the icon or bitmap resource a static shows (-1: none)
};

// Styles of a dialog template.
enum DialogStyle : uint32_t {
    kDialogPopup = 1u << 0,
    kDialogCaption = 1u << 1,
    kDialogModalFrame = 1u << 2,
    kDialogSystemMenu = 1u << 3,     // the close box; the main dialog has none
    kDialogChild = 1u << 4,          // a child template (the open dialog's extra pane)
    kDialogControl = 1u << 5,        // behaves as a control of its parent dialog
    kDialogClipSiblings = 1u << 6,
};

struct DialogTemplate {
    const char* name;     // the resource name
    const char* caption;
    int16_t w, h;         // dialog units
    uint32_t style;       // DialogStyle bits
    const char* font;     // the template font and its size in points
    int16_t font_points;
    std::span<const ControlLayout> controls;
};

extern const DialogTemplate kMainDialogTemplate;      // "DISSOLVESANSPARAM"
extern const DialogTemplate kAboutTemplate;           // "ABOUTBOX"
extern const DialogTemplate kInfoTemplate;            // "MORVO_INFO_BOX"
extern const DialogTemplate kExportSizeTemplate;      // "CHOOSEPSDWITHSIZE"
extern const DialogTemplate kPresetOpenTemplate;      // "FANCY_OPEN4", the open dialog's pane
extern const DialogTemplate kProgressTemplate;        // "MONDO_PROGRESS", the PSD export's

// Every template, for the resource generator and the tests.
std::span<const DialogTemplate* const> AllDialogTemplates();

// The layout of control `id` in a template; null when the template has none.
const ControlLayout* FindControlLayout(const DialogTemplate& dialog, int id);

// ---- The main dialog's drawing fonts ---------------------------------------------------------

// A font the dialog makes for drawing (made on demand, deleted after each use). The face
// is asked for with the default pitch: asking for fixed pitch, as the first design did,
// makes both Windows' and Wine's font mappers pick a monospaced face instead of Arial.
struct FontSpec {
    const char* face;
    int points;            // at scale 1
    bool antialiased;
    bool default_pitch;    // always true: see above
};

constexpr FontSpec kLabelFont{"Arial", 8, true, true};
constexpr FontSpec kTitleFont{"Arial", 10, true, true};

// The font's height for the font mapper at drawing scale `s`: -MulDiv(int(points * s), 96, 72)
// (negative: the character height, without internal leading).
int FontHeight(const FontSpec& font, double s);

// MulDiv as Windows computes it: a * b / c in 64 bits, rounded half away from zero;
// -1 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

}  // namespace tw
