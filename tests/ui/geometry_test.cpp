// The drawing and dragging arithmetic, dialog placement and the export size dialog.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/psd_export.h"
#include "ui/control_geometry.h"
#include "ui/export_size.h"
#include "ui/file_dialogs.h"
#include "ui/placement.h"

namespace tw {
namespace {

TEST(Geometry, TheKnobTravelsFromLeftPlusHToRightLess13H) {
    EXPECT_EQ(KnobUnit(1.0), 1);
    EXPECT_EQ(KnobUnit(1.99), 1);
    EXPECT_EQ(KnobUnit(1.996), 2) << "rounded to two decimals first";
    EXPECT_EQ(KnobUnit(2.5), 2);
    EXPECT_EQ(KnobUnit(0.7), 1) << "a knob never vanishes";

    const PixelRect track{100, 20, 235, 32};
    for (int32_t h : {1, 2}) {
        const PixelRect lo = SliderKnob(track, 0, 0, 100, h);
        const PixelRect hi = SliderKnob(track, 100, 0, 100, h);
        EXPECT_EQ(lo.left, track.left + h);
        EXPECT_EQ(hi.left, track.right - 13 * h);
        EXPECT_EQ(lo.width(), 12 * h);
        EXPECT_EQ(lo.top, track.top + h);
        EXPECT_EQ(lo.height(), track.height() - 2 * h);
    }
    EXPECT_EQ(SliderKnob(track, -90, -90, 90, 1).left, 101);
    EXPECT_EQ(SliderKnob(track, 0, -90, 90, 1).left, 101 + (222 - 101) * 90 / 180);
    EXPECT_EQ(SliderKnob(track, 500, 0, 100, 1).left, track.right - 13) << "drawn inside the track";
    EXPECT_EQ(SliderKnob(track, 5, 7, 7, 1).left, 101) << "an empty range counts as 1";
}

TEST(Geometry, TheValueUnderTheMouseIsWholeAndClamped) {
    const PixelRect track{100, 20, 235, 32};
    EXPECT_EQ(SliderValueAt(track, 101, 0, 100), 0);
    EXPECT_EQ(SliderValueAt(track, 50, 0, 100), 0);
    EXPECT_EQ(SliderValueAt(track, 161, 0, 100), 60 * 100 / 121);
    EXPECT_EQ(SliderValueAt(track, 400, 0, 100), 100);
    EXPECT_EQ(SliderValueAt(track, 161, -90, 90), -90 + 60 * 180 / 121);
    EXPECT_EQ(SliderValueAt(PixelRect{0, 0, 10, 5}, 5, 0, 100), 100) << "a track too narrow to drag";
}

TEST(Geometry, PicturesAreChosenByTheScaleCloserToOne) {
    EXPECT_TRUE(UseSingleSizePicture(12, 12));
    EXPECT_TRUE(UseSingleSizePicture(12, 16));
    EXPECT_FALSE(UseSingleSizePicture(12, 18)) << "1.5 times: the double knob is nearer";
    EXPECT_FALSE(UseSingleSizePicture(12, 24));
    EXPECT_TRUE(UseSingleSizePicture(726, 726)) << "the information box at its own size";
    EXPECT_FALSE(UseSingleSizePicture(726, 1452));
    EXPECT_TRUE(UseSingleSizePicture(726, 600));
    EXPECT_TRUE(UseSingleSizePicture(12, 0));
}

TEST(Geometry, ThePadTurnsTowardsTheMouse) {
    const PixelRect pad{0, 0, 85, 80};  // one pixel a unit
    EXPECT_EQ(PadSquare(pad).bottom, 85);
    const Direction centre = PadDirectionAt(pad, {42, 41}, false);
    EXPECT_FLOAT_EQ(centre.z, 1);
    const Direction rim = PadDirectionAt(pad, {42 + 300, 41 - 400}, false);
    EXPECT_NEAR(rim.x, 0.6, 1e-6);
    EXPECT_NEAR(rim.y, -0.8, 1e-6);
    EXPECT_NEAR(rim.z, 0, 1e-6);
    const Direction held = PadDirectionAt(pad, {0, 0}, true);
    EXPECT_FLOAT_EQ(held.x, 0);
    EXPECT_FLOAT_EQ(held.y, 0);
    EXPECT_FLOAT_EQ(held.z, 1);
    const Direction half = PadDirectionAt(pad, {42 + 33 / 2, 41}, false);
    EXPECT_NEAR(half.x, 16.0 / 33, 1e-6);
    EXPECT_NEAR(half.x * half.x + half.z * half.z, 1, 1e-6);
    EXPECT_FLOAT_EQ(PadDirectionAt(PixelRect{}, {5, 5}, false).z, 1);

    const PadMarker m = PadMarkerFor(pad, {1, 0, 0});
    EXPECT_EQ(m.marker.x, 33 + 41);
    EXPECT_EQ(m.marker.y, 41);
    EXPECT_EQ(m.line_from.x, 42);
    EXPECT_EQ(m.icon_side, 6);
    EXPECT_EQ(m.icon_top_left.x, 74 - 2);
    EXPECT_FALSE(m.points_away);
    EXPECT_TRUE(PadMarkerFor(pad, {0, 0, -1}).points_away);
}

TEST(Geometry, LabelsWellAndScale) {
    EXPECT_DOUBLE_EQ(DrawingScale(1006), 1.0);
    EXPECT_DOUBLE_EQ(DrawingScale(1509), 1.5);
    const PixelRect label{10, 20, 70, 38};
    EXPECT_EQ(LabelTextOrigin(label, 40, 1.0, LabelAlign::kRight).x, 30);
    EXPECT_EQ(LabelTextOrigin(label, 40, 1.0, LabelAlign::kRight).y, 18 + (34 - 14 - 18) / 2);
    EXPECT_EQ(LabelTextOrigin(label, 40, 1.0, LabelAlign::kCentre).x, 11 + 19 / 2);
    const PixelRect well{0, 0, 96, 90};
    EXPECT_EQ(WellSquare(well).bottom, 96);
    EXPECT_EQ(WellPictureRect(well), (PixelRect{4, 4, 92, 92}));
}

TEST(Placement, CentredAThirdDownAndKeptOnTheScreen) {
    PlacementInput in;
    in.owner_client = {100, 50, 1100, 850};
    in.dialog_width = 600;
    in.dialog_height = 400;
    in.caption_button_width = 18;
    in.screen = {0, 0, 1920, 1080};
    EXPECT_EQ(place_dialog(in).x, 100 + 200 - (18 - 6));
    EXPECT_EQ(place_dialog(in).y, 50 + 400 / 3);
    in.has_system_menu = true;
    EXPECT_EQ(place_dialog(in).x, 100 + 200 - 18);

    in.owner_client = {1700, 900, 2000, 1000};  // a small owner near the corner
    const PixelPoint corner = place_dialog(in);
    EXPECT_EQ(corner.x, 1920 - 600);
    EXPECT_EQ(corner.y, 1080 - 400);

    in.owner_client = {0, 0, 300, 200};  // the nudge would push it off the left edge
    EXPECT_EQ(place_dialog(in).x, 0);
    in.dialog_width = 3000;  // larger than the screen
    in.owner_client = {0, 0, 1920, 1080};
    EXPECT_EQ(place_dialog(in).x, 0);
    in.screen = {-1920, 0, 0, 1080};  // the owner's monitor left of the primary one
    in.owner_client = {-1800, 100, -200, 900};
    in.dialog_width = 600;
    EXPECT_EQ(place_dialog(in).x, -1800 + 500 - 18);
}

// The size dialog's window as the tests see it.
struct SizeWindow : SizeDialogView {
    std::string width, height;
    int checked = 0, closed = 0;
    ExportSizeDialog* dialog = nullptr;
    void SetFieldText(int id, const std::string& text) override {
        (id == kSizeWidth ? width : height) = text;
        // The window reports every change, the model's own writes included.
        if (dialog) ExportSizeEdited(*dialog, *this, id, text, false);
    }
    void CheckRadio(int id) override { checked = id; }
    void Close(int result) override { closed = result; }
};

class ExportSize : public ::testing::Test {
protected:
    void Open(int32_t w, int32_t h) {
        window.dialog = &dialog;
        OpenExportSize(dialog, window, params, w, h);
    }
    void Type(int id, const std::string& text) {
        (id == kSizeWidth ? window.width : window.height) = text;
        ExportSizeEdited(dialog, window, id, text, true);
    }
    RenderParams params{};
    ExportSizeDialog dialog;
    SizeWindow window;
};

TEST_F(ExportSize, OpensWithTheRememberedChoice) {
    params.psd_size_choice = kPsdCustomSize;
    params.psd_width = 640;
    params.psd_height = 480;
    Open(1000, 600);
    EXPECT_EQ(window.width, "640");
    EXPECT_EQ(window.height, "480");
    EXPECT_EQ(window.checked, kSizeCustom);

    params.psd_size_choice = kPsdSameProportions;
    Open(1000, 600);
    EXPECT_EQ(window.width, "1000");
    EXPECT_EQ(window.checked, kSizeSameProportions);
}

TEST_F(ExportSize, ProportionsFollowTheFieldBeingTyped) {
    params.psd_size_choice = kPsdSameProportions;
    Open(1000, 600);
    Type(kSizeWidth, "500");
    EXPECT_EQ(window.height, "300");
    Type(kSizeHeight, "150");
    EXPECT_EQ(window.width, "250");
    // A write without the focus (the model's own, or another program's) changes nothing.
    ExportSizeEdited(dialog, window, kSizeWidth, "900", false);
    EXPECT_EQ(window.height, "150");

    dialog.width_text = "400";
    ExportSizeClicked(dialog, window, kSizeSameProportions, params);
    EXPECT_EQ(window.height, "240") << "the typed width is kept and the height follows";
    ExportSizeClicked(dialog, window, kSizeSameSize, params);
    EXPECT_EQ(window.width, "1000");
    EXPECT_EQ(window.height, "600");
    EXPECT_EQ(window.checked, kSizeSameSize) << "its own writes do not switch to a custom size";
}

TEST_F(ExportSize, TypingUnderSameSizeSwitchesToCustomAndOkClamps) {
    params.psd_size_choice = kPsdSameSize;
    Open(400, 300);
    Type(kSizeWidth, "1,234 px");
    EXPECT_EQ(window.checked, kSizeCustom);
    EXPECT_EQ(window.height, "300");
    ExportSizeClicked(dialog, window, kSizeOk, params);
    EXPECT_EQ(window.closed, 1);
    EXPECT_EQ(params.psd_width, 1234);
    EXPECT_EQ(params.psd_height, 300);
    EXPECT_EQ(params.psd_size_choice, kPsdCustomSize);

    Type(kSizeWidth, "0");
    Type(kSizeHeight, "40000");
    ExportSizeClicked(dialog, window, kSizeOk, params);
    EXPECT_EQ(params.psd_width, 2);
    EXPECT_EQ(params.psd_height, 30000);

    ExportSizeClicked(dialog, window, kSizeCancel, params);
    EXPECT_EQ(window.closed, 2);
    EXPECT_EQ(dialog.result, 2);
}

TEST(ExportSizeField, OnlyDigitsAndSignsAreRead) {
    EXPECT_EQ(ReadSizeField("1,234 px"), 1234);
    EXPECT_EQ(ReadSizeField("  77"), 77);
    EXPECT_EQ(ReadSizeField("12.5"), 125) << "a point is not a digit";
    EXPECT_EQ(ReadSizeField("-40"), -40);
    EXPECT_EQ(ReadSizeField("abc"), 0);
    EXPECT_EQ(ReadSizeField("99999999999999999999"), INT32_MAX) << "saturates, never overflows";
    EXPECT_EQ(ReadSizeField("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(ClampPsdSide(ReadSizeField("99999999999999999999")), 30000);
}

TEST(FileNames, SaveNamesFoldersAndFilters) {
    EXPECT_EQ(NormalisedSettingsName(""), "Tarnwell settings.q8r");
    EXPECT_EQ(NormalisedSettingsName("lake"), "lake.q8r");
    EXPECT_EQ(NormalisedSettingsName("lake.v2.q8r"), "lake.v2.q8r");
    EXPECT_EQ(NormalisedSettingsName("dot 3"), "dot 3.q8r");
    EXPECT_EQ(NormalisedSettingsName(".q8r"), "Tarnwell settings.q8r");
    EXPECT_EQ(WithoutExtension("lake.v2.q8r"), "lake.v2");
    EXPECT_EQ(FolderOfPath("C:\\presets\\lake.q8r"), "C:\\presets\\");
    EXPECT_EQ(FolderOfPath("/tmp/x/lake.q8r"), "/tmp/x/");
    EXPECT_EQ(FolderOfPath("lake.q8r"), "");
    EXPECT_EQ(FileTitle("C:\\presets\\lake.q8r"), "lake.q8r");

    EXPECT_STREQ(SaveDialogFilter(kFilePresets).description, "Tarnwell presets (*.q8r)");
    EXPECT_EQ(DefaultExtension(SaveDialogFilter(kFilePresets)), "q8r");
    EXPECT_EQ(DefaultExtension(SaveDialogFilter(kFileHtml)), "html");
    EXPECT_EQ(DefaultExtension(OpenDialogFilter(kFileAll)), "");
    EXPECT_EQ(DefaultExtension(OpenDialogFilter(kFileImages)), "bmp");
    EXPECT_EQ(OpenDialogFilter(kFilePsd).pattern, nullptr) << "never an open dialog";
    EXPECT_EQ(SaveDialogFilter(kFileImages).pattern, nullptr);
}

}  // namespace
}  // namespace tw
