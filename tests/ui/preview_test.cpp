// The preview pane: the zoom arithmetic on its own, then sessions that zoom, pan and click.
#include "fake_dialog.h"
#include "params/settings_precision.h"
#include "ui/preview_zoom.h"

namespace tw::testing {
namespace {

TEST(ZoomArithmetic, FitZoomShowsTheWholePicture) {
    EXPECT_EQ(FitZoom(1000, 500, 400, 400, true), 3);
    EXPECT_EQ(FitZoom(300, 200, 400, 400, true), 1);
    EXPECT_EQ(FitZoom(401, 100, 400, 400, true), 2);
    EXPECT_EQ(FitZoom(100, 1201, 400, 400, true), 4);
    EXPECT_EQ(FitZoom(1000, 500, 400, 400, false), 1) << "without sampling the zoom stays at 1";
    EXPECT_EQ(FitZoom(0, 500, 400, 400, true), 1);
}

TEST(ZoomArithmetic, ShownRegionDividesEachEdgeAndIsCutToTheFrame) {
    const ImageBounds picture{10, 7, 310, 1607};  // a filter rectangle away from the origin
    const PixelRect at3 = ShownRegion(picture, 3, 643, 450);
    EXPECT_EQ(at3, (PixelRect{2, 3, 535, 103}));
    const PixelRect at1 = ShownRegion(picture, 1, 643, 450);
    EXPECT_EQ(at1.width(), 643);
    EXPECT_EQ(at1.height(), 300);
    EXPECT_EQ(at1.left, 7);
    EXPECT_EQ(ShownRegion(picture, 0, 0, 0).width(), 1600) << "zoom below 1 counts as 1, 0 is no limit";
}

TEST(ZoomArithmetic, PanIsClampedToThePictureAndRecentringKeepsTheCentre) {
    EXPECT_EQ(ClampedPan(5000, 1608, 1, 643), 965);
    EXPECT_EQ(ClampedPan(-3, 1608, 1, 643), 0);
    EXPECT_EQ(ClampedPan(100, 300, 2, 450), 0) << "a negative limit counts as 0";
    // With a pan divisible by both zooms: pan + a x shown / 2 - b x frame / 2.
    EXPECT_EQ(RecentredPan(120, 3, 2, 536, 643), 120 + 3 * 536 / 2 - 2 * 643 / 2);
    EXPECT_EQ(RecentredPan(0, 2, 1, 643, 643), 643 - 321);
}

TEST(ZoomArithmetic, ReadoutAndRippleCentre) {
    EXPECT_EQ(ZoomReadout(1), "100%");
    EXPECT_EQ(ZoomReadout(2), "50%");
    EXPECT_EQ(ZoomReadout(3), "33%");
    EXPECT_EQ(ZoomReadout(4), "25%");
    EXPECT_EQ(ZoomReadout(5), "20%");

    const RippleCentre c = RippleCentreAt({110, 60}, {10, 10}, 2, 40, 0, 1000, 500);
    EXPECT_EQ(c.x, 240);
    EXPECT_EQ(c.y, 100);
    EXPECT_FLOAT_EQ(c.pick_x, 0.24f);
    EXPECT_FLOAT_EQ(c.pick_y, 0.2f);
    const RippleCentre margin = RippleCentreAt({0, 9999}, {10, 10}, 1, 0, 0, 1000, 500);
    EXPECT_EQ(margin.x, 0) << "a click beside the picture lands on its edge";
    EXPECT_EQ(margin.y, 499);
}

// The pane is 647 x 454 pixels, its frame 643 x 450.
using Preview = DialogSession;

constexpr int32_t kWide = 1608;  // 2.5 frames wide

TEST_F(Preview, AWidePictureFitsAtAThirdAndZoomsInAndOutAgain) {
    Open(kWide, 300);
    EXPECT_EQ(dialog.preview.fit_zoom, 3);
    EXPECT_EQ(params.zoom, 3);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "33%");
    EXPECT_EQ(enabled[kIdZoomOut], 0);
    EXPECT_EQ(enabled[kIdZoomIn], 1);
    EXPECT_EQ(Renders(), 1);

    Click(kIdZoomIn);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "50%");
    EXPECT_EQ(params.pan_x, 804 - 643) << "the picture's centre stays in the view's centre";
    EXPECT_EQ(params.pan_y, 0);
    Click(kIdZoomIn);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "100%");
    EXPECT_EQ(enabled[kIdZoomIn], 0);
    EXPECT_FALSE(view.window_enabled[kIdZoomIn]);
    EXPECT_EQ(services.shown_regions.back().width(), 643);

    Click(kIdZoomOut);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "50%");
    EXPECT_NE(params.pan_x, 0);
    Click(kIdZoomOut);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "33%");
    EXPECT_EQ(params.pan_x, 0);
    EXPECT_EQ(params.pan_y, 0);
    EXPECT_EQ(enabled[kIdZoomOut], 0);
    EXPECT_EQ(Renders(), 5) << "every zoom step renders again";

    Click(kIdZoomReadout);
    EXPECT_EQ(params.zoom, 1);
}

TEST_F(Preview, DraggingAt100PercentStopsAtTheRightEdgeAndRendersOnRelease) {
    Open(kWide, 300);
    Click(kIdZoomReadout);
    const int renders = Renders();
    const PixelPoint start = view.CentreOf(kIdPreview);
    const float pick_x = params.pick_x;

    Press(start);
    EXPECT_TRUE(view.captured);
    EXPECT_EQ(view.cursor, CursorShape::kPointingHand);
    Move({start.x - 3000, start.y});
    EXPECT_EQ(params.pan_x, kWide - 643);
    EXPECT_EQ(view.cursor, CursorShape::kGrabbingHand);
    EXPECT_GT(services.source_views, 0) << "the drag shows the unprocessed picture";
    EXPECT_EQ(Renders(), renders);
    Release({start.x - 3000, start.y});
    EXPECT_FALSE(view.captured);
    EXPECT_EQ(Renders(), renders + 1);
    EXPECT_FLOAT_EQ(params.pick_x, pick_x) << "a drag does not move the ripple centre";
}

TEST_F(Preview, AClickWithoutMovingSetsTheRippleCentreAndIsOneUndoState) {
    Open(kWide, 300);
    Click(kIdZoomReadout);
    Click(kIdZoomOut);
    Click(kIdZoomIn);  // at 100 % with the view panned to the middle
    const int32_t pan_x = params.pan_x;
    ASSERT_GT(pan_x, 0);
    const int toggle = dialog.undo.toggle;
    const int renders = Renders();
    // The shown region (643 x 300) is centred in the pane: its top-left is at (357, 77).
    const PixelPoint at{357 + 100, 77 + 50};
    Press(at);
    Release(at);
    EXPECT_EQ(params.preview_centre_x, 100 + pan_x);
    EXPECT_EQ(params.preview_centre_y, 50);
    // The centre is kept in the 1/65536 steps a settings file stores, so a save renders it again.
    EXPECT_EQ(params.pick_x, DecodeFixed16(EncodeFixed16(float(100 + pan_x) / kWide)));
    EXPECT_EQ(params.pick_y, DecodeFixed16(EncodeFixed16(50.0f / 300)));
    EXPECT_NE(dialog.undo.toggle, toggle);
    const int after_click = dialog.undo.toggle;
    EXPECT_EQ(Renders(), renders + 1);

    // One press, one undo state: Undo brings the old centre back.
    Click(kIdUndo);
    EXPECT_FLOAT_EQ(params.pick_x, 0.5f);
    EXPECT_NE(dialog.undo.toggle, after_click);
}

TEST_F(Preview, AtTheFitZoomAPressPlacesTheCentreAtOnce) {
    Open(300, 200);  // smaller than the pane
    EXPECT_EQ(dialog.preview.fit_zoom, 1);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "100%");
    EXPECT_EQ(enabled[kIdZoomIn], 0);
    EXPECT_EQ(enabled[kIdZoomOut], 0);
    const int renders = Renders();
    // A 300 x 200 picture sits centred in the pane at (528, 127).
    Press({528 + 30, 127 + 40});
    EXPECT_FALSE(view.captured) << "nothing to pan";
    EXPECT_EQ(params.preview_centre_x, 30);
    EXPECT_EQ(params.preview_centre_y, 40);
    EXPECT_EQ(Renders(), renders + 1);
    Release({528 + 30, 127 + 40});
    EXPECT_EQ(Renders(), renders + 1);
}

TEST_F(Preview, WithoutSamplingServicesTheZoomStaysAt100Percent) {
    host.can_sample = false;
    Open(3000, 2000);
    EXPECT_EQ(params.zoom, 1);
    EXPECT_EQ(dialog.preview.fit_zoom, 1);
    EXPECT_EQ(enabled[kIdZoomIn], 0);
    EXPECT_EQ(enabled[kIdZoomOut], 0);
    Click(kIdZoomOut);
    EXPECT_EQ(params.zoom, 1);
    EXPECT_EQ(view.button_text[kIdZoomReadout], "100%");
    EXPECT_EQ(services.shown_regions.back().width(), 643) << "the top-left of the picture, at full size";
}

TEST_F(Preview, WithoutALivePreviewThePaneStaysEmpty) {
    params.live_preview = 0;
    Open(3000, 2000);
    EXPECT_EQ(Renders(), 0);
    EXPECT_EQ(enabled[kIdZoomIn], 0);
    EXPECT_EQ(enabled[kIdZoomOut], 0);
    Click(kIdDice);
    Press(view.CentreOf(kIdPreview));
    EXPECT_EQ(Renders(), 0);
    EXPECT_FALSE(view.captured);

    // A host error pending when the dialog opens switches the preview off too.
    services.error_pending = true;
    params.live_preview = 1;
    Open(3000, 2000);
    EXPECT_EQ(params.live_preview, 0);
    EXPECT_EQ(Renders(), 0);
}

TEST_F(Preview, TheCursorShowsWhereAClickWouldGo) {
    Open(kWide, 300);
    Move(view.CentreOf(kIdPreview));
    EXPECT_EQ(view.cursor, CursorShape::kPointingHand);
    Move(view.CentreOf(kIdDice));
    EXPECT_EQ(view.cursor, CursorShape::kArrow);
    const PreviewPaint paint = PreviewLayout(dialog);
    EXPECT_EQ(paint.inner, (PixelRect{357, 2, 1000, 452}));
    EXPECT_EQ(paint.width, 536);
    EXPECT_EQ(paint.origin.x, 357 + (643 - 536) / 2);
}

}  // namespace
}  // namespace tw::testing
