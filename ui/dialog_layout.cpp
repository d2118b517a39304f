// The dialog templates of the plug-in, control by control.
#include "ui/dialog_layout.h"

#include <cmath>
#include <cstdlib>

namespace tw {

namespace {

using CC = ControlClass;

// The main dialog paints these itself: hidden statics that only reserve their rectangle.
constexpr uint32_t kPainted = kStyleGroup | kStyleSunken;
constexpr uint32_t kField = kStyleVisible | kStyleBorder | kStyleAutoHScroll | kStyleTabStop;
constexpr uint32_t kList = kStyleVisible | kStyleDropDownList | kStyleVScroll | kStyleTabStop;
constexpr uint32_t kIconButton = kStyleVisible | kStyleIcon | kStyleTabStop;
constexpr uint32_t kSwatch = kStyleVisible | kStyleOwnerDraw | kStyleTabStop;
constexpr uint32_t kPush = kStyleVisible | kStyleTabStop;

// In the order of the template, which is the Tab order: top to bottom, left column first.
constexpr ControlLayout kMainControls[] = {
    {18, CC::kStatic, 237, 0, 431, 303, kPainted, ""},  // preview pane
    {43, CC::kStatic, 11, 10, 30, 9, kPainted, ""},     // heading "Water"
    {86, CC::kEdit, 194, 11, 25, 11, kField, ""},
    {36, CC::kStatic, 45, 12, 40, 11, kPainted, ""},
    {37, CC::kStatic, 95, 12, 90, 8, kPainted, ""},     // Horizon
    {91, CC::kEdit, 194, 24, 25, 11, kField, ""},
    {56, CC::kStatic, 45, 26, 40, 11, kPainted, ""},
    {57, CC::kStatic, 95, 26, 90, 8, kPainted, ""},     // Offset
    {85, CC::kEdit, 194, 37, 25, 11, kField, ""},
    {38, CC::kStatic, 45, 39, 40, 11, kPainted, ""},
    {39, CC::kStatic, 95, 39, 90, 8, kPainted, ""},     // Perspective
    {104, CC::kEdit, 194, 51, 25, 11, kField, ""},
    {102, CC::kStatic, 45, 52, 40, 11, kPainted, ""},
    {103, CC::kStatic, 95, 52, 90, 8, kPainted, ""},    // Altitude
    {153, CC::kEdit, 194, 64, 25, 11, kField, ""},
    {151, CC::kStatic, 45, 66, 40, 11, kPainted, ""},
    {152, CC::kStatic, 95, 66, 90, 8, kPainted, ""},    // Spin
    {147, CC::kComboBox, 95, 87, 90, 400, kList, ""},   // Style
    {46, CC::kStatic, 11, 88, 30, 9, kPainted, ""},     // heading "View"
    {146, CC::kStatic, 45, 90, 40, 11, kPainted, ""},
    {92, CC::kEdit, 194, 103, 25, 11, kField, ""},
    {58, CC::kStatic, 45, 105, 40, 11, kPainted, ""},
    {59, CC::kStatic, 95, 105, 90, 8, kPainted, ""},    // Waviness
    {94, CC::kEdit, 194, 116, 25, 11, kField, ""},
    {62, CC::kStatic, 45, 118, 40, 11, kPainted, ""},
    {63, CC::kStatic, 95, 118, 90, 8, kPainted, ""},    // Complexity
    {81, CC::kEdit, 194, 130, 25, 11, kField, ""},
    {64, CC::kStatic, 44, 132, 41, 11, kPainted, ""},
    {65, CC::kStatic, 95, 132, 90, 8, kPainted, ""},    // Brilliance
    {93, CC::kEdit, 194, 144, 25, 11, kField, ""},
    {61, CC::kStatic, 95, 146, 90, 8, kPainted, ""},    // Blur
    {60, CC::kStatic, 44, 147, 41, 11, kPainted, ""},
    {150, CC::kStatic, 143, 167, 56, 53, kPainted, ""}, // direction pad
    {7, CC::kButton, 95, 185, 13, 13, kSwatch, ""},     // water colour
    {120, CC::kButton, 201, 186, 13, 13, kSwatch, ""},  // glitter colour
    {114, CC::kStatic, 44, 188, 41, 11, kPainted, ""},
    {149, CC::kStatic, 110, 188, 30, 11, kPainted, ""},
    {90, CC::kEdit, 193, 229, 26, 11, kField, ""},
    {47, CC::kStatic, 12, 231, 30, 9, kPainted, ""},    // heading "Ripple"
    {55, CC::kStatic, 95, 231, 90, 8, kPainted, ""},    // Size
    {54, CC::kStatic, 44, 232, 41, 11, kPainted, ""},
    {79, CC::kEdit, 193, 243, 26, 11, kField, ""},
    {12, CC::kStatic, 95, 245, 90, 8, kPainted, ""},    // Height
    {22, CC::kStatic, 44, 246, 41, 11, kPainted, ""},
    {83, CC::kEdit, 193, 257, 26, 11, kField, ""},
    {51, CC::kStatic, 95, 258, 90, 8, kPainted, ""},    // Undulation
    {50, CC::kStatic, 44, 259, 41, 11, kPainted, ""},
    {73, CC::kComboBox, 95, 289, 90, 400, kList, ""},   // Glue
    {21, CC::kButton, 190, 289, 11, 11, kIconButton, "N"},
    {70, CC::kStatic, 44, 291, 41, 11, kPainted, ""},
    {35, CC::kButton, 95, 316, 41, 18, kIconButton, "&Load"},
    {26, CC::kButton, 146, 316, 41, 18, kIconButton, "&Save"},
    {27, CC::kButton, 337, 329, 16, 16, kIconButton, "-"},
    {119, CC::kStatic, 236, 330, 64, 61, kPainted, ""}, // memory well
    {34, CC::kButton, 489, 330, 23, 12, kPush, "%"},    // zoom readout
    {40, CC::kButton, 652, 330, 11, 11, kIconButton, "-"},
    {33, CC::kButton, 475, 331, 11, 11, kIconButton, "-"},
    {32, CC::kButton, 515, 331, 11, 11, kIconButton, "+"},
    {72, CC::kButton, 95, 340, 41, 18, kIconButton, "&Dice"},
    {75, CC::kButton, 146, 340, 41, 18, kIconButton, "&Ecce"},
    {76, CC::kStatic, 335, 361, 332, 12, kPainted, ""}, // status line
    {74, CC::kButton, 95, 365, 41, 18, kIconButton, "&Undo"},
    {98, CC::kButton, 146, 365, 41, 18, kIconButton, "&Undo"},
    {25, CC::kStatic, 10, 389, 20, 20, kStyleVisible | kStyleIcon, "", 192},  // About
    {69, CC::kButton, 95, 390, 41, 18, kIconButton, "&Undo"},
    {2, CC::kButton, 335, 390, 41, 18, kPush, "&Cancel"},
    {3, CC::kButton, 621, 390, 41, 18, kPush | kStyleDefault, "&OK"},
    // The memory dots, in ring order.
    {121, CC::kStatic, 225, 325, 5, 5, kPainted, ""}, {122, CC::kStatic, 227, 333, 5, 5, kPainted, ""},
    {123, CC::kStatic, 227, 341, 5, 5, kPainted, ""}, {124, CC::kStatic, 225, 349, 5, 5, kPainted, ""},
    {125, CC::kStatic, 222, 357, 5, 5, kPainted, ""}, {126, CC::kStatic, 219, 365, 5, 5, kPainted, ""},
    {127, CC::kStatic, 219, 373, 5, 5, kPainted, ""}, {128, CC::kStatic, 222, 380, 5, 5, kPainted, ""},
    {129, CC::kStatic, 226, 387, 5, 5, kPainted, ""}, {130, CC::kStatic, 232, 393, 5, 5, kPainted, ""},
    {131, CC::kStatic, 239, 398, 5, 5, kPainted, ""}, {132, CC::kStatic, 247, 404, 5, 5, kPainted, ""},
    {133, CC::kStatic, 256, 407, 5, 5, kPainted, ""}, {134, CC::kStatic, 266, 410, 5, 5, kPainted, ""},
    {135, CC::kStatic, 276, 410, 5, 5, kPainted, ""}, {136, CC::kStatic, 285, 407, 5, 5, kPainted, ""},
    {137, CC::kStatic, 294, 404, 5, 5, kPainted, ""}, {138, CC::kStatic, 302, 398, 5, 5, kPainted, ""},
    {139, CC::kStatic, 308, 391, 5, 5, kPainted, ""}, {140, CC::kStatic, 312, 383, 5, 5, kPainted, ""},
    {141, CC::kStatic, 315, 374, 5, 5, kPainted, ""}, {142, CC::kStatic, 315, 365, 5, 5, kPainted, ""},
    {143, CC::kStatic, 312, 356, 5, 5, kPainted, ""}, {144, CC::kStatic, 308, 348, 5, 5, kPainted, ""},
    {145, CC::kStatic, 302, 340, 5, 5, kPainted, ""},
};

constexpr uint32_t kModalBox = kDialogPopup | kDialogCaption | kDialogModalFrame;

constexpr ControlLayout kAboutControls[] = {
    {2, CC::kButton, 125, 161, 130, 14, kPush | kStyleDefault, "Visit Quillmoth's website..."},
    {222, CC::kStatic, 19, 14, 347, 131, kPainted, ""},  // the picture area
};

constexpr ControlLayout kInfoControls[] = {
    {1, CC::kStatic, 11, 10, 484, 288, kPainted, "", 303},  // the box paints the picture here
};

constexpr ControlLayout kExportSizeControls[] = {
    {10, CC::kButton, 8, 7, 82, 8, kPush | kStyleRadio | kStyleGroup, "Same size as input"},
    {11, CC::kButton, 8, 24, 113, 8, kPush | kStyleRadio, "Same proportions as input"},
    {12, CC::kButton, 8, 41, 82, 8, kPush | kStyleRadio, "Custom size in pixels:"},
    {3, CC::kEdit, 9, 77, 48, 14, kField | kStyleGroup, ""},
    {4, CC::kEdit, 9, 98, 48, 14, kField, ""},
    {-1, CC::kStatic, 69, 81, 18, 8, kStyleVisible, "width"},
    {-1, CC::kStatic, 69, 101, 20, 8, kStyleVisible, "height"},
    {2, CC::kButton, 9, 133, 43, 14, kPush, "&Cancel"},
    {1, CC::kButton, 74, 133, 43, 14, kPush | kStyleDefault, "&OK"},
};

// The open dialog's extra pane: 1119 is the placeholder the system puts its own controls
// in; the preset's picture is painted centred in 123.
constexpr ControlLayout kPresetOpenControls[] = {
    {1119, CC::kStatic, 0, 0, 280, 160, kPainted, ""},
    {123, CC::kStatic, 286, 14, 96, 96, kPainted, ""},
};

// The PSD export's progress: the step and the percentage, which the export rewrites.
constexpr ControlLayout kProgressControls[] = {
    {100, CC::kStatic, 10, 10, 140, 10, kStyleVisible | kStyleCentred, "Rendering..."},
    {101, CC::kStatic, 10, 26, 140, 10, kStyleVisible | kStyleCentred, "0%"},
};

}  // namespace

const DialogTemplate kMainDialogTemplate{"DISSOLVESANSPARAM", "Tarnwell 2", 671, 424, kModalBox,
                                         "MS Sans Serif", 8, kMainControls};
const DialogTemplate kAboutTemplate{"ABOUTBOX", "About", 386, 185, kModalBox | kDialogSystemMenu,
                                    "MS Sans Serif", 8, kAboutControls};
const DialogTemplate kInfoTemplate{"MORVO_INFO_BOX", "Info", 508, 314, kModalBox | kDialogSystemMenu,
                                   "MS Sans Serif", 8, kInfoControls};
const DialogTemplate kExportSizeTemplate{"CHOOSEPSDWITHSIZE", "Export PSD image", 127, 158,
                                         kModalBox | kDialogSystemMenu, "MS Sans Serif", 8,
                                         kExportSizeControls};
const DialogTemplate kPresetOpenTemplate{"FANCY_OPEN4", "", 390, 160,
                                         kDialogChild | kDialogControl | kDialogClipSiblings,
                                         "MS Sans Serif", 8, kPresetOpenControls};
const DialogTemplate kProgressTemplate{"MONDO_PROGRESS", "PSD file progress", 160, 46, kModalBox,
                                       "MS Sans Serif", 8, kProgressControls};

std::span<const DialogTemplate* const> AllDialogTemplates() {
    static const DialogTemplate* const all[] = {&kMainDialogTemplate, &kAboutTemplate,
                                                &kInfoTemplate,       &kExportSizeTemplate,
                                                &kPresetOpenTemplate, &kProgressTemplate};
    return all;
}

const ControlLayout* FindControlLayout(const DialogTemplate& dialog, int id) {
    for (const ControlLayout& c : dialog.controls)
        if (c.id == id) return &c;
    return nullptr;
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    const int64_t product = int64_t(a) * b;
    const int64_t half = std::llabs(c) / 2;
    // Round half away from zero, whatever the signs.
    const bool negative = (product < 0) != (c < 0);
    const int64_t magnitude = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int FontHeight(const FontSpec& font, double s) {
    return -MulDiv(static_cast<int32_t>(font.points * s), 96, 72);
}

}  // namespace tw
