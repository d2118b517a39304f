// Scripted sessions with the dialog model: typing into number fields, the settle timer,
// dragging sliders and the pad, combo boxes, colours, and how OK and Cancel leave the record.
#include <cmath>
#include <cstring>

#include "fake_dialog.h"
#include "params/parameter_table.h"
#include "params/settings_precision.h"
#include "settings/settings_file.h"

namespace tw::testing {
namespace {

constexpr int kHorizonSlider = 37, kHorizonField = 86;
constexpr int kSpinSlider = 152, kSpinField = 153;

using Typing = DialogSession;

TEST_F(Typing, OutOfRangeNumbersMoveTheKnobAtOnceAndAreRewrittenWhenRead) {
    Open();
    const int renders = Renders();
    Type(kHorizonField, "150");
    EXPECT_EQ(dialog.controls[kHorizonSlider].value, 100);
    EXPECT_EQ(view.fields[kHorizonField], "150") << "not rewritten while the user types";
    EXPECT_EQ(view.timers[kSettleTimer], 1000);
    EXPECT_EQ(Renders(), renders) << "the preview waits for a second of quiet";

    FireTimer();
    EXPECT_FLOAT_EQ(params.horizon, 100);
    EXPECT_EQ(view.fields[kHorizonField], "100");
    EXPECT_EQ(view.timers.count(kSettleTimer), 0u) << "the field rewrite must not re-arm the timer";
    EXPECT_EQ(Renders(), renders + 1);

    Type(kSpinField, "-120");
    EXPECT_EQ(dialog.controls[kSpinSlider].value, -90);
    FireTimer();
    EXPECT_FLOAT_EQ(params.spin, -90);
    EXPECT_EQ(view.fields[kSpinField], "-90");
}

TEST_F(Typing, LettersReadAsZeroAndFractionsKeepTheirDigits) {
    params.horizon = 50;
    Open();
    Type(kHorizonField, "abc");
    EXPECT_EQ(dialog.controls[kHorizonSlider].value, 0);
    FireTimer();
    EXPECT_FLOAT_EQ(params.horizon, 0);

    Type(kHorizonField, "12.5");
    EXPECT_EQ(dialog.controls[kHorizonSlider].value, 12) << "the knob shows whole numbers";
    FireTimer();
    EXPECT_FLOAT_EQ(params.horizon, 12.5f) << "the record keeps what was typed";
    EXPECT_EQ(view.fields[kHorizonField], "12.5");

    // Numbers the C library reads oddly: "nan" is no number, "1e400" is beyond any range.
    Type(kHorizonField, "nan");
    FireTimer();
    EXPECT_FLOAT_EQ(params.horizon, 0);
    Type(kHorizonField, "1e400");
    FireTimer();
    EXPECT_FLOAT_EQ(params.horizon, 100);
    Type(kHorizonField, "  +7.25xyz");
    FireTimer();
    EXPECT_FLOAT_EQ(params.horizon, 7.25f);
}

TEST_F(Typing, TheSettleTimerIsKilledByTheDialogsOwnWritesAndByCommands) {
    Open();
    EXPECT_TRUE(view.timers.empty()) << "opening writes every field without arming the timer";

    Type(kHorizonField, "30");
    ASSERT_EQ(view.timers.count(kSettleTimer), 1u);
    Click(kIdZoomReadout);
    EXPECT_EQ(view.timers.count(kSettleTimer), 0u);
    EXPECT_FLOAT_EQ(params.horizon, 30) << "a command first takes what was just typed";

    // A typed value then Save within the second: the file holds the typed value.
    Type(kHorizonField, "44");
    view.save_answers = {Path("typed.q8r")};
    Click(kIdSave);
    RenderParams saved{};
    ASSERT_TRUE(ReadSettings(Path("typed.q8r"), saved, ReadMode::Full, nullptr));
    EXPECT_FLOAT_EQ(saved.horizon, 44);
}

using Dragging = DialogSession;

TEST_F(Dragging, APressOnTheTrackJumpsThereAndRendersOnlyOnRelease) {
    params.horizon = 50;
    params.spin = 0;
    Open();
    const PixelRect track = view.ControlRect(kHorizonSlider);
    const int renders = Renders();
    const int toggle = dialog.undo.toggle;

    Press({track.left, track.top + 2});
    EXPECT_TRUE(view.captured);
    EXPECT_EQ(dialog.controls[kHorizonSlider].value, 0) << "the far left of the track is the minimum";
    EXPECT_EQ(view.fields[kHorizonField], "0");
    Move({track.left + 60, track.top + 2});
    EXPECT_EQ(dialog.controls[kHorizonSlider].value, (track.left + 60 - 4 - track.left - 1) * 100 / (track.width() - 14));
    Move({track.right + 50, track.top + 40});
    EXPECT_EQ(dialog.controls[kHorizonSlider].value, 100);
    EXPECT_EQ(Renders(), renders);
    EXPECT_FLOAT_EQ(params.horizon, 50) << "the record changes on release";

    Release({track.right + 50, track.top + 40});
    EXPECT_FALSE(view.captured);
    EXPECT_FLOAT_EQ(params.horizon, 100);
    EXPECT_EQ(Renders(), renders + 1);
    EXPECT_NE(dialog.undo.toggle, toggle) << "the drag is one undo state";
    EXPECT_EQ(dialog.state.captured, -1);

    const PixelRect spin = view.ControlRect(kSpinSlider);
    Press({spin.left + 1, spin.top});
    Release({spin.left + 1, spin.top});
    EXPECT_FLOAT_EQ(params.spin, -90);
}

TEST_F(Dragging, ThePadPointsAtTheViewerWithControlAndLiesOnTheRimOutsideTheCircle) {
    Open();
    const PixelRect pad = view.ControlRect(kIdDirectionPad);
    const PixelPoint centre{pad.left + 42, pad.top + 41};
    Press({centre.x + 20, centre.y - 15}, false, true);
    Release({centre.x + 20, centre.y - 15});
    EXPECT_FLOAT_EQ(params.light_dir[0], 0);
    EXPECT_FLOAT_EQ(params.light_dir[1], 0);
    EXPECT_FLOAT_EQ(params.light_dir[2], 1);

    Press(centre);
    Move({centre.x + 500, pad.top + 41});
    Release({centre.x + 500, pad.top + 41});
    EXPECT_NEAR(params.light_dir[0], 1, 1e-6);
    EXPECT_NEAR(params.light_dir[1], 0, 1e-6);
    EXPECT_NEAR(params.light_dir[2], 0, 1e-6) << "outside the circle the light lies on the rim";

    // Inside the circle the direction tilts and stays of unit length.
    Press({centre.x - 10, centre.y + 12});
    Release({centre.x - 10, centre.y + 12});
    // Unit length up to the hundredths a settings file keeps the light in.
    const float* l = params.light_dir;
    EXPECT_NEAR(l[0] * l[0] + l[1] * l[1] + l[2] * l[2], 1, 0.03);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(l[i], DecodeHundredths(EncodeHundredths(l[i]))) << i;
    EXPECT_LT(l[0], 0);
    EXPECT_GT(l[1], 0);
    EXPECT_GT(l[2], 0.8f);
}

TEST_F(Dragging, OnlyEnabledCapturableControlsAreHitAndRectanglesAreHalfOpen) {
    Open();
    const PixelRect track = view.ControlRect(kHorizonSlider);
    EXPECT_EQ(hit_test_controls(dialog, {track.left, track.top}), kHorizonSlider);
    EXPECT_EQ(hit_test_controls(dialog, {track.right - 1, track.bottom - 1}), kHorizonSlider);
    EXPECT_EQ(hit_test_controls(dialog, {track.right, track.top}), -1);
    EXPECT_EQ(hit_test_controls(dialog, {track.left, track.bottom}), -1);
    EXPECT_EQ(hit_test_controls(dialog, view.CentreOf(36)), -1) << "a label takes no press";
    EXPECT_EQ(hit_test_controls(dialog, view.CentreOf(kIdPreview)), kIdPreview);
    EXPECT_EQ(hit_test_controls(dialog, view.CentreOf(kIdAbout)), kIdAbout);

    SetControlEnabled(dialog, kHorizonSlider, false);
    EXPECT_EQ(hit_test_controls(dialog, view.CentreOf(kHorizonSlider)), -1);
    Press(view.CentreOf(kHorizonSlider));
    EXPECT_FALSE(view.captured);
    EXPECT_GT(view.repaints[kHorizonSlider], 0) << "drawn flat, without its knob";
}

using Lists = DialogSession;

TEST_F(Lists, ASelectionAppliesAtOnceAsIndexPlusOne) {
    params.style = kStyleComplex;
    Open();
    EXPECT_EQ(view.combo_entries[kIdStyle], (std::vector<std::string>{"Simple", "Complex"}));
    ASSERT_EQ(view.combo_entries[kIdGlue].size(), 69u);
    EXPECT_EQ(view.combo_selection[kIdStyle], 1);
    const int renders = Renders();
    SelectInCombo(kIdStyle, 0);
    EXPECT_EQ(params.style, kStyleSimple);
    EXPECT_EQ(Renders(), renders + 1);

    SelectInCombo(kIdGlue, 68);
    EXPECT_EQ(params.glue_mode, 69);
    Click(kIdNextGlue);
    EXPECT_EQ(params.glue_mode, 1) << "after mode 69 comes mode 1";
    EXPECT_EQ(view.combo_selection[kIdGlue], 0);
    Click(kIdNextGlue);
    EXPECT_EQ(params.glue_mode, 2);
}

TEST_F(Lists, AValueBeyondTheListSelectsTheFirstEntryRatherThanNothing) {
    params.glue_mode = 0;
    params.style = 7;
    Open();
    EXPECT_EQ(params.glue_mode, 1);
    EXPECT_EQ(params.style, kStyleSimple);
}

TEST_F(Lists, FloatPicturesGreyOutTheGlueModes) {
    host.float_image = true;
    Open();
    for (int id : {kIdGlue, kIdGlueLabel, kIdNextGlue}) EXPECT_EQ(enabled[id], 0) << id;
    EXPECT_FALSE(view.window_enabled[kIdGlue]);
    EXPECT_FALSE(view.window_enabled[kIdNextGlue]);
    EXPECT_GT(view.repaints[kIdGlueLabel], 0) << "the label is drawn grey";
    EXPECT_EQ(enabled[kIdStyle], 1);
}

using Colours = DialogSession;

TEST_F(Colours, ACancelChangesNothingAndAConfirmedColourRendersOnce) {
    Open();
    const Rgb16 before = params.color;
    int renders = Renders();
    const int toggle = dialog.undo.toggle;

    services.host_colour = HostColourAnswer::kCancelled;
    Click(kIdWaterColour);
    EXPECT_EQ(view.system_colour_asked, 0) << "the host's own picker answered";
    services.host_colour = HostColourAnswer::kUnavailable;
    view.system_colour_ok = false;
    Click(kIdWaterColour);
    EXPECT_EQ(view.system_colour_asked, 1);
    EXPECT_EQ(std::memcmp(&params.color, &before, sizeof before), 0);
    EXPECT_EQ(Renders(), renders);
    EXPECT_EQ(dialog.undo.toggle, toggle) << "a cancel records no undo state";
    EXPECT_EQ(services.prompts.back(), "Style");

    services.host_colour = HostColourAnswer::kConfirmed;
    services.host_choice = {0x1200, 0x3400, 0x5600};
    Click(kIdGlitterColour);
    EXPECT_EQ(params.glitter_color.g, 0x3400);
    EXPECT_EQ(Renders(), renders + 1);
    EXPECT_NE(dialog.undo.toggle, toggle);
}

using Ending = DialogSession;

TEST_F(Ending, CancelRestoresTheRecordExactlyAfterDiceLoadAndDrags) {
    params.horizon = 12.5f;
    std::strcpy(params.settings_name, "my look");
    RenderParams at_open;
    std::memcpy(&at_open, &params, sizeof params);
    RenderParams other;
    ResetParams(other);
    other.waviness = 3;
    ASSERT_TRUE(WriteSettings(Path("other.q8r"), other, nullptr, false));

    Open();
    Click(kIdDice);
    view.open_answers = {Path("other.q8r")};
    Click(kIdLoad);
    ASSERT_FLOAT_EQ(params.waviness, 3);
    const PixelRect track = view.ControlRect(kHorizonSlider);
    Press({track.left + 30, track.top});
    Move({track.left + 90, track.top});
    Release({track.left + 90, track.top});
    Click(kIdZoomOut);
    Type(kHorizonField, "77");

    Click(kIdCancel);  // Escape sends the same command
    EXPECT_EQ(view.ended, kDialogEndedCancel);
    EXPECT_EQ(dialog.state.result, 2);
    EXPECT_EQ(std::memcmp(&params, &at_open, sizeof params), 0);
    EXPECT_TRUE(view.timers.empty());
    EXPECT_TRUE(InfoBoxShouldClose(dialog));
}

TEST_F(Ending, OkTakesWhatTheFieldsShowEvenBeforeTheTimer) {
    Open();
    Type(kHorizonField, "12.5");
    Click(kIdOk);  // Enter presses the default button
    EXPECT_EQ(view.ended, kDialogEndedOk);
    EXPECT_EQ(dialog.state.result, 1);
    EXPECT_FLOAT_EQ(params.horizon, 12.5f);
    EXPECT_EQ(params.render_mode, kRenderPreview) << "the shell's final render sets its own mode";

    // Messages that arrive after the end change nothing.
    const int renders = Renders();
    Click(kIdDice);
    FireTimer();
    EXPECT_EQ(Renders(), renders);
}

TEST_F(Ending, OkClosesTheOtherWindowsThatAreOpen) {
    Open();
    view.while_info_open = [this] {
        EXPECT_FALSE(InfoBoxShouldClose(dialog));
        Click(kIdOk);
        EXPECT_TRUE(InfoBoxShouldClose(dialog)) << "the box's timer now closes it";
    };
    Click(kIdInfo);
    EXPECT_EQ(view.ended, kDialogEndedOk);
    ASSERT_EQ(view.closed.size(), 1u);
    EXPECT_EQ(view.closed[0], AuxWindow::kInfo);
}

}  // namespace
}  // namespace tw::testing
