// The control descriptions and label texts of the main dialog.
#include "ui/control_table.h"

#include <cstring>

#include "params/parameter_table.h"

namespace tw {

namespace {

// Picture and icon resources (resources/artwork_ids.h names them; a test keeps both equal).
constexpr int kTrackSurface = 101;    // the View group's sliders
constexpr int kTrackPlacement = 102;  // every other slider
constexpr int kPadPicture = 346;

struct LabelEntry {
    int index;
    const char* text;
};

constexpr LabelEntry kLabelTexts[] = {
    {1, "E"},           {2, "Auto preview"}, {3, "u1"},          {4, "u2"},
    {5, "u3"},          {6, "Altitude"},     {7, "u4"},          {8, "u5"},
    {9, "Height"},      {10, "u6"},          {11, "Horizon"},    {12, "Perspective"},
    {13, "Glue"},       {14, "u8"},          {15, "u9"},         {16, "u10"},
    {17, "Undulation"}, {18, "Waviness"},    {19, "Blur"},       {20, "u11"},
    {21, "u12"},        {22, "Complexity"},  {23, "Brilliance"}, {24, "u13"},
    {25, "Color"},      {26, "u15"},         {27, "Size"},       {28, "Offset"},
    {29, "Tarnwell"},   {30, "Tarnwell"},
    {31, "An error occurred while translating a document on a locked disk."},
    {32, "An error occurred while translating a document."},
    {33, "random settings"}, {34, "Color"}, {35, "Style"}, {36, "Glitter"}, {37, "Spin"},
};

// One control that is not a slider: its kind and the entries that differ from the defaults.
struct FixedControl {
    int id;
    int32_t kind;
    int32_t picture = -1;
    int32_t icon = -1;
    int32_t label = 0;
};

constexpr FixedControl kFixedControls[] = {
    {2, kKindPushButton},  {3, kKindPushButton},
    // Icon buttons and their icons.
    {21, kKindIconButton, -1, 188},  {26, kKindIconButton, -1, 186}, {27, kKindIconButton, -1, 236},
    {32, kKindIconButton, -1, 5},    {33, kKindIconButton, -1, 169}, {35, kKindIconButton, -1, 185},
    {40, kKindIconButton, -1, 235},  {69, kKindIconButton, -1, 234}, {72, kKindIconButton, -1, 184},
    {74, kKindIconButton, -1, 187},  {75, kKindIconButton, -1, 164}, {98, kKindIconButton, -1, 225},
    // Swatches: the label is the colour picker's prompt.
    {7, kKindColourSwatch, -1, -1, 35}, {120, kKindColourSwatch, -1, -1, 35},
    {150, kKindDirectionPad, kPadPicture},
    {73, kKindComboBox},  {147, kKindComboBox},
    {25, kKindClickableIcon},
    {119, kKindMemoryArea},
    // The group headings: Water, View, Ripple.
    {43, kKindHeaderImage, 344}, {46, kKindHeaderImage, 343}, {47, kKindHeaderImage, 345},
    // The status line draws the settings name, not a table text.
    {76, kKindLabel, -1, -1, -1},
    {22, kKindLabel, -1, -1, 9},   {36, kKindLabel, -1, -1, 11},  {38, kKindLabel, -1, -1, 12},
    {50, kKindLabel, -1, -1, 17},  {54, kKindLabel, -1, -1, 27},  {56, kKindLabel, -1, -1, 28},
    {58, kKindLabel, -1, -1, 18},  {60, kKindLabel, -1, -1, 19},  {62, kKindLabel, -1, -1, 22},
    {64, kKindLabel, -1, -1, 23},  {70, kKindLabel, -1, -1, 13},  {102, kKindLabel, -1, -1, 6},
    {114, kKindLabel, -1, -1, 25}, {146, kKindLabel, -1, -1, 35}, {149, kKindLabel, -1, -1, 36},
    {151, kKindLabel, -1, -1, 37},
};

// The sliders of the View group (the water's surface) run on the other track picture.
bool OnSurfaceTrack(int slider_id) {
    return slider_id == 59 || slider_id == 63 || slider_id == 65 || slider_id == 61;
}

// The label index whose text is the slider's label.
int32_t LabelIndexOf(const char* text) {
    for (const LabelEntry& entry : kLabelTexts)
        if (std::strcmp(entry.text, text) == 0) return entry.index;
    return 0;
}

}  // namespace

const char* label_text(int index) {
    for (const LabelEntry& entry : kLabelTexts)
        if (entry.index == index) return entry.text;
    return "-undef string-";
}

ControlDescriptor describe_control(int id) {
    ControlDescriptor d;
    if ((id & kDefaultsBit) != 0 || id < 0 || id >= kControlCount) return d;

    for (const SliderInfo& s : kSliders) {
        if (s.control_id != id && s.field_id != id) continue;
        d.field_id = s.field_id;
        d.main_id = s.control_id;
        d.kind = id == s.field_id ? kKindNumericField : kKindSlider;
        d.picture = OnSurfaceTrack(s.control_id) ? kTrackSurface : kTrackPlacement;
        d.label = LabelIndexOf(s.label);
        d.min = static_cast<int32_t>(s.min);
        d.max = static_cast<int32_t>(s.max);
        return d;
    }
    if (id >= kIdFirstDot && id <= kIdLastDot) {
        d.main_id = id;
        d.kind = kKindMemoryDot;
        return d;
    }
    for (const FixedControl& c : kFixedControls) {
        if (c.id != id) continue;
        d.main_id = id;
        d.kind = c.kind;
        d.picture = c.picture;
        d.icon = c.icon;
        d.label = c.label;
        return d;
    }
    return d;
}

bool IsWindowKind(int32_t kind) {
    return kind == kKindPushButton || kind == kKindIconButton || kind == kKindCheckbox ||
           kind == kKindComboBox;
}

bool IsCapturableKind(int32_t kind) {
    return kind == kKindSlider || kind == kKindDirectionPad || kind == kKindClickableIcon ||
           kind == kKindMemoryDot || kind == kKindMemoryArea;
}

}  // namespace tw
