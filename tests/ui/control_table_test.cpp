// The control table, the label texts and the dialog templates: what each id is, and that
// the three descriptions of the dialog (parameter rows, control table, layout) agree.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "params/parameter_table.h"
#include "resources/artwork_ids.h"
#include "ui/control_table.h"
#include "ui/dialog_layout.h"

namespace tw {
namespace {

TEST(ControlTable, EveryIdHasTheKindOfTheTable) {
    struct Expected {
        int32_t kind;
        std::set<int> ids;
    };
    const Expected expected[] = {
        {kKindSlider, {37, 57, 39, 103, 152, 59, 63, 65, 61, 55, 12, 51}},
        {kKindLabel, {36, 56, 38, 102, 151, 146, 58, 62, 64, 60, 114, 149, 54, 22, 50, 70, 76}},
        {kKindNumericField, {86, 91, 85, 104, 153, 92, 94, 81, 93, 90, 79, 83}},
        {kKindPushButton, {2, 3}},
        {kKindIconButton, {21, 26, 27, 32, 33, 35, 40, 69, 72, 74, 75, 98}},
        {kKindColourSwatch, {7, 120}},
        {kKindDirectionPad, {150}},
        {kKindComboBox, {73, 147}},
        {kKindClickableIcon, {25}},
        {kKindMemoryArea, {119}},
        {kKindHeaderImage, {43, 46, 47}},
    };
    std::set<int> described;
    for (const Expected& e : expected)
        for (int id : e.ids) {
            EXPECT_EQ(describe_control(id).kind, e.kind) << "id " << id;
            described.insert(id);
        }
    for (int id = 121; id <= 145; ++id) {
        EXPECT_EQ(describe_control(id).kind, kKindMemoryDot);
        described.insert(id);
    }
    for (int id = 0; id < kControlCount; ++id)
        if (!described.count(id)) {
            EXPECT_EQ(describe_control(id).kind, kKindNone) << "id " << id;
        }
    EXPECT_EQ(describe_control(kIdPreview).kind, kKindNone);
    EXPECT_EQ(describe_control(kIdZoomReadout).kind, kKindNone);
}

TEST(ControlTable, AFieldDescribesItsSliderAndBit15GivesTheDefaults) {
    for (const SliderInfo& s : kSliders) {
        const ControlDescriptor slider = describe_control(s.control_id);
        const ControlDescriptor field = describe_control(s.field_id);
        EXPECT_EQ(slider.field_id, s.field_id);
        EXPECT_EQ(field.field_id, s.field_id);
        EXPECT_EQ(slider.main_id, s.control_id);
        EXPECT_EQ(field.main_id, s.control_id);
        EXPECT_EQ(slider.min, static_cast<int32_t>(s.min));
        EXPECT_EQ(slider.max, static_cast<int32_t>(s.max));
        EXPECT_EQ(field.picture, slider.picture);
        EXPECT_STREQ(label_text(slider.label), s.label) << "the slider's label text is its parameter's";
    }
    EXPECT_EQ(describe_control(152).min, -90);
    EXPECT_EQ(describe_control(152).max, 90);
    EXPECT_EQ(describe_control(59).picture, TW_BMP_TRACK_SURFACE);
    EXPECT_EQ(describe_control(61).picture, TW_BMP_TRACK_SURFACE);
    EXPECT_EQ(describe_control(37).picture, TW_BMP_TRACK_PLACEMENT);
    EXPECT_EQ(describe_control(51).picture, TW_BMP_TRACK_PLACEMENT);

    for (int id : {37, 3, 121, 0, 199}) {
        const ControlDescriptor d = describe_control(id | kDefaultsBit);
        EXPECT_EQ(d.kind, -1);
        EXPECT_EQ(d.field_id, -1);
        EXPECT_EQ(d.main_id, -1);
        EXPECT_EQ(d.picture, -1);
        EXPECT_EQ(d.icon, -1);
        EXPECT_EQ(d.label, 0);
        EXPECT_EQ(d.min, 0);
        EXPECT_EQ(d.max, 100);
    }
    EXPECT_EQ(describe_control(200).kind, -1);
    EXPECT_EQ(describe_control(-5).kind, -1);
}

TEST(ControlTable, PicturesIconsAndLabelsMatchTheArtwork) {
    const std::pair<int, int> icons[] = {
        {21, TW_ICON_NEXT_GLUE}, {26, TW_ICON_SAVE},  {27, TW_ICON_INFO},      {32, TW_ICON_ZOOM_IN},
        {33, TW_ICON_ZOOM_OUT},  {35, TW_ICON_LOAD},  {40, TW_ICON_HTML_PAGE}, {69, TW_ICON_EXPORT_PSD},
        {72, TW_ICON_DICE},      {74, TW_ICON_UNDO},  {75, TW_ICON_NEW_SEED},  {98, TW_ICON_RESET},
    };
    for (const auto& [id, icon] : icons) EXPECT_EQ(describe_control(id).icon, icon) << id;
    EXPECT_EQ(describe_control(150).picture, TW_JPEG_DIRECTION_PAD);
    EXPECT_EQ(describe_control(43).picture, TW_JPEG_HEADING_WATER);
    EXPECT_EQ(describe_control(46).picture, TW_JPEG_HEADING_VIEW);
    EXPECT_EQ(describe_control(47).picture, TW_JPEG_HEADING_RIPPLE);
    EXPECT_EQ(describe_control(7).label, 35);
    EXPECT_EQ(describe_control(120).label, 35);
    EXPECT_EQ(describe_control(76).label, -1);
    EXPECT_EQ(FindControlLayout(kMainDialogTemplate, 25)->image, TW_ICON_ABOUT);
    EXPECT_EQ(FindControlLayout(kInfoTemplate, 1)->image, TW_BMP_INFO);

    const std::pair<int, const char*> labels[] = {
        {22, "Height"}, {36, "Horizon"},     {38, "Perspective"}, {50, "Undulation"},
        {54, "Size"},   {56, "Offset"},      {58, "Waviness"},    {60, "Blur"},
        {62, "Complexity"}, {64, "Brilliance"}, {70, "Glue"},     {102, "Altitude"},
        {114, "Color"}, {146, "Style"},      {149, "Glitter"},    {151, "Spin"},
    };
    for (const auto& [id, text] : labels) EXPECT_STREQ(label_text(describe_control(id).label), text) << id;
}

TEST(ControlTable, LabelTextsHoldEveryEntryAndNothingElse) {
    EXPECT_STREQ(label_text(1), "E");
    EXPECT_STREQ(label_text(2), "Auto preview");
    EXPECT_STREQ(label_text(26), "u15");
    EXPECT_STREQ(label_text(29), "Tarnwell");
    EXPECT_STREQ(label_text(30), "Tarnwell");
    EXPECT_STREQ(label_text(31), "An error occurred while translating a document on a locked disk.");
    EXPECT_STREQ(label_text(33), "random settings");
    EXPECT_STREQ(label_text(37), "Spin");
    int defined = 0;
    for (int i = -3; i < 60; ++i)
        if (std::string(label_text(i)) != "-undef string-") ++defined;
    EXPECT_EQ(defined, 37);
    EXPECT_STREQ(label_text(0), "-undef string-");
    EXPECT_STREQ(label_text(38), "-undef string-");
}

TEST(Layout, EveryDescribedControlHasItsWindowInTheMainTemplate) {
    std::set<int> ids;
    for (const ControlLayout& c : kMainDialogTemplate.controls) {
        EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
        EXPECT_GE(c.x, 0);
        EXPECT_GE(c.y, 0);
        EXPECT_LE(c.x + c.w, kMainDialogTemplate.w) << c.id;
        if (c.window_class != ControlClass::kComboBox) {
            EXPECT_LE(c.y + c.h, kMainDialogTemplate.h) << c.id;
        }
    }
    for (int id = 0; id < kControlCount; ++id) {
        const int32_t kind = describe_control(id).kind;
        if (kind == kKindNone && id != kIdPreview && id != kIdZoomReadout) continue;
        const ControlLayout* c = FindControlLayout(kMainDialogTemplate, id);
        ASSERT_NE(c, nullptr) << "id " << id;
        switch (kind) {
        case kKindNumericField: EXPECT_EQ(c->window_class, ControlClass::kEdit); break;
        case kKindComboBox: EXPECT_EQ(c->window_class, ControlClass::kComboBox); break;
        case kKindPushButton:
        case kKindIconButton:
        case kKindColourSwatch: EXPECT_EQ(c->window_class, ControlClass::kButton); break;
        default: EXPECT_EQ(c->window_class, id == kIdZoomReadout ? ControlClass::kButton : ControlClass::kStatic);
        }
        // Controls the dialog paints only reserve room; windows of their own are shown.
        const bool painted = c->window_class == ControlClass::kStatic && id != kIdAbout;
        EXPECT_EQ((c->style & kStyleVisible) == 0, painted) << "id " << id;
        if (kind == kKindIconButton) {
            EXPECT_NE(c->style & kStyleIcon, 0u) << id;
        }
    }
    EXPECT_NE(FindControlLayout(kMainDialogTemplate, kIdOk)->style & kStyleDefault, 0u);
    EXPECT_EQ(kMainDialogTemplate.style & kDialogSystemMenu, 0u) << "no close box";
    EXPECT_STREQ(kMainDialogTemplate.caption, "Tarnwell 2");
    EXPECT_EQ(kMainDialogTemplate.w, 671);
    EXPECT_EQ(kMainDialogTemplate.h, 424);
    const ControlLayout* dot = FindControlLayout(kMainDialogTemplate, 133);
    EXPECT_EQ(dot->x, 256);
    EXPECT_EQ(dot->y, 407);
    EXPECT_EQ(dot->w, 5);
}

TEST(Layout, TheSmallDialogsAndFonts) {
    ASSERT_EQ(AllDialogTemplates().size(), 6u);
    std::set<std::string> names;
    for (const DialogTemplate* t : AllDialogTemplates()) EXPECT_TRUE(names.insert(t->name).second);
    EXPECT_STREQ(kExportSizeTemplate.caption, "Export PSD image");
    EXPECT_STREQ(FindControlLayout(kExportSizeTemplate, 11)->caption, "Same proportions as input");
    EXPECT_NE(FindControlLayout(kExportSizeTemplate, 1)->style & kStyleDefault, 0u);
    EXPECT_STREQ(FindControlLayout(kAboutTemplate, 2)->caption, "Visit Quillmoth's website...");
    EXPECT_NE(FindControlLayout(kPresetOpenTemplate, 1119), nullptr);
    EXPECT_NE(FindControlLayout(kPresetOpenTemplate, 123), nullptr);
    EXPECT_NE(kPresetOpenTemplate.style & kDialogChild, 0u);

    EXPECT_STREQ(kLabelFont.face, "Arial");
    EXPECT_TRUE(kLabelFont.default_pitch);
    EXPECT_TRUE(kTitleFont.default_pitch);
    EXPECT_EQ(FontHeight(kLabelFont, 1.0), -11);  // -MulDiv(8, 96, 72)
    EXPECT_EQ(FontHeight(kTitleFont, 1.0), -13);
    EXPECT_EQ(FontHeight(kLabelFont, 1.5), -16);
    EXPECT_EQ(MulDiv(5, 3, 2), 8) << "halves round away from zero";
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

}  // namespace
}  // namespace tw
