// The main dialog's window (DISSOLVESANSPARAM from the plug-in's resources) over the
// dialog's model, driven with window messages as a person's clicks and keys arrive. The
// model's services are a stand-in whose preview is one colour that tells the settings
// apart, so that captured pixels show what was rendered and painted. Runs at 96 and 120 DPI.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "params/render_params.h"
#include "tests/windows/dialog_driver.h"
#include "ui/dialog_model.h"
#include "ui/preview_zoom.h"
#include "ui/win32/aux_windows_win32.h"
#include "ui/win32/dialog_window_win32.h"

namespace tw {
namespace {

using testing::Capture;
using testing::CaptureClient;
using testing::ModalActor;
using testing::Rgb;
using testing::WindowQuery;

HINSTANCE PluginModule() {
    static HINSTANCE module = LoadLibraryExA(TARNWELL_PLUGIN_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

int Dpi() {
    const char* dpi = std::getenv("TARNWELL_DIALOG_DPI");
    return dpi != nullptr && *dpi ? std::atoi(dpi) : 96;
}

// The preview's one colour for a set of settings: red tells the style, green the horizon.
uint32_t PreviewColourFor(const RenderParams& p) {
    return Rgb(p.style == 2 ? 200 : 30, std::min(255, int(p.horizon * 2)), 90);
}

class StandInServices : public DialogServices {
public:
    StandInServices(RenderParams& params, ImageBounds bounds) : params_(params), bounds_(bounds) {}

    void RenderPreview(const PreviewRequest& request) override {
        ++renders;
        Fill(request, PreviewColourFor(params_));
    }
    void ShowSourcePreview(const PreviewRequest& request) override {
        ++source_views;
        Fill(request, Rgb(128, 128, 128));
    }
    PlanarView PreviewPicture() override {
        if (pixels_.empty()) return {};
        return {pixels_.data(), width_, height_, 3};
    }
    bool TakePendingError() override { return false; }
    HostColourAnswer PickHostColour(Rgb16&, const std::string&) override { return HostColourAnswer::kCancelled; }
    ImageBuffer* RenderPicture(const RenderParams&, int32_t, int32_t, const ProgressReport&, std::string& error) override {
        error = "not rendered in this test";
        return nullptr;
    }
    bool ExportPsd(const std::string&, int32_t, int32_t, const ProgressReport&, std::string& error) override {
        error = "not exported in this test";
        return false;
    }
    void OpenDocument(const std::string&) override {}
    uint32_t ClockSeed() override { return 7; }

    int renders = 0, source_views = 0;

private:
    void Fill(const PreviewRequest& request, uint32_t colour) {
        const PixelRect shown = ShownRegion(bounds_, std::max(params_.zoom, 1), request.frame_width, request.frame_height);
        width_ = shown.width();
        height_ = shown.height();
        const size_t plane = size_t(width_) * size_t(height_);
        pixels_.assign(plane * 3, 0);
        std::memset(pixels_.data(), testing::Red(colour), plane);
        std::memset(pixels_.data() + plane, testing::Green(colour), plane);
        std::memset(pixels_.data() + 2 * plane, testing::Blue(colour), plane);
    }

    RenderParams& params_;
    ImageBounds bounds_;
    std::vector<uint8_t> pixels_;
    int width_ = 0, height_ = 0;
};

// A dialog bound to its own settings, flags and the stand-in services, for one run.
struct MainDialogRun {
    explicit MainDialogRun(int image_width = 300, int image_height = 200, bool float_image = false)
        : services(params, ImageBounds{0, 0, image_height, image_width}) {
        // The undo files and the memory dots' files go to a folder of this run's own, so
        // every run starts with all dots empty.
        static int runs = 0;
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        const std::string folder = std::string(temp) + "tarnwell-main-dialog-" +
                                   std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++runs);
        CreateDirectoryA(folder.c_str(), nullptr);
        _putenv_s("TARNWELL_TEMP", folder.c_str());

        SetPlainSettings(params);
        params.live_preview = 1;
        params.zoom = 1;
        opened = std::make_unique<RenderParams>();
        std::memcpy(opened.get(), &params, sizeof params);  // every byte, padding included
        UseAuxWindowsModule(PluginModule());
        view = std::make_unique<Win32DialogView>(PluginModule(), dialog);
        DialogBinding binding;
        binding.params = &params;
        binding.enabled = enabled;
        binding.dot_keep = &keep;
        binding.view = view.get();
        binding.services = &services;
        binding.host.bounds = {0, 0, image_height, image_width};
        binding.host.planes = 3;
        binding.host.float_image = float_image;
        binding.host.can_sample = true;
        BindDialog(dialog, binding, 7);
    }

    // Runs the dialog with `act` acting on it from a second thread; the dialog's result.
    int Run(const std::function<void(HWND)>& act) {
        WindowQuery query;
        query.title = "Tarnwell 2";
        query.class_name = testing::kDialogClass;
        ModalActor actor(query, act, 90000);  // a first start under load is slow
        const int ended = view->Run(nullptr);
        actor.Join();
        EXPECT_TRUE(actor.found()) << "the dialog never showed";
        return ended;
    }

    RenderParams params{};
    std::unique_ptr<RenderParams> opened;  // the settings as the dialog found them
    uint8_t enabled[kControlCount] = {};
    DotKeepFlags keep = {};
    StandInServices services;
    Dialog dialog;
    std::unique_ptr<Win32DialogView> view;
};

// Lets the dialog's thread handle what it posted itself (the move a press posts, clicks
// posted on release), then waits until it is idle again.
void Settle(HWND dialog, int ms = 150) {
    Sleep(ms);
    SendMessageA(dialog, WM_NULL, 0, 0);
}

POINT Centre(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

void Press(HWND dialog, POINT p, testing::MouseKeys keys = {}, int button = 0) {
    testing::MousePress(dialog, p.x, p.y, button, keys);
    Settle(dialog);
}

void Release(HWND dialog, POINT p, int button = 0) {
    testing::MouseRelease(dialog, p.x, p.y, button);
    Settle(dialog);
}

void ClickAt(HWND dialog, POINT p, testing::MouseKeys keys = {}, int button = 0) {
    Press(dialog, p, keys, button);
    Release(dialog, p, button);
}

std::string ZoomText(HWND dialog) { return testing::GetText(dialog, kIdZoomReadout); }

class MainDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(PluginModule(), nullptr) << TARNWELL_PLUGIN_PATH; }
};

TEST_F(MainDialog, EscapeAfterDiceDragsAndAStyleChangeLeavesTheSettingsAsTheyWere) {
    MainDialogRun run;
    const int ended = run.Run([&](HWND d) {
        Settle(d);
        // Only the fields, lists and buttons are windows one sees; the rest is painted.
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, kIdPreview)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, kIdFirstDot)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, 86)));
        testing::ClickButton(d, kIdDice);
        Settle(d);
        EXPECT_STREQ(run.params.settings_name, "random settings");
        const RECT horizon = testing::ControlRect(d, 37);
        testing::MouseDrag(d, {horizon.left + 5, Centre(horizon).y}, {horizon.right - 20, Centre(horizon).y});
        Settle(d);
        testing::SelectComboEntry(d, kIdStyle, run.params.style == 2 ? 0 : 1);
        Settle(d);
        EXPECT_NE(std::memcmp(&run.params, run.opened.get(), sizeof run.params), 0);
        testing::PostKey(d, VK_ESCAPE);
    });
    EXPECT_EQ(ended, kIdCancel);
    EXPECT_EQ(std::memcmp(&run.params, run.opened.get(), sizeof run.params), 0)
        << "Cancel puts back every byte of the settings";
}

TEST_F(MainDialog, AltCCancelsAndAltOAccepts) {
    for (const char key : {'c', 'o'}) {
        MainDialogRun run;
        const int ended = run.Run([&](HWND d) {
            Settle(d);
            // Alt+letter, as the keyboard delivers it: the dialog manager finds the mnemonic.
            PostMessageA(d, WM_SYSCHAR, key, LPARAM(1) << 29);
        });
        EXPECT_EQ(ended, key == 'c' ? kIdCancel : kIdOk) << key;
    }
}

TEST_F(MainDialog, TypingSliderPressesAndThePadLandInTheSettingsAndEnterKeepsThem) {
    MainDialogRun run;
    int renders_before_settle = 0;
    const int ended = run.Run([&](HWND d) {
        Settle(d);
        // 150 in Horizon: the knob goes to the end at once, the settings after a second's quiet.
        testing::SetEditText(d, 86, "150");
        Settle(d, 50);
        EXPECT_EQ(run.dialog.controls[37].value, 100);
        renders_before_settle = run.services.renders;
        Settle(d, 1400);
        EXPECT_EQ(run.params.horizon, 100);
        EXPECT_EQ(testing::GetText(d, 86), "100");
        EXPECT_GT(run.services.renders, renders_before_settle) << "the settle timer renders again";

        // A press at the far left of the Offset track sets its minimum without any drag.
        testing::SetEditText(d, 91, "60");
        Settle(d, 1300);
        ASSERT_EQ(run.params.offset, 60);
        const RECT offset = testing::ControlRect(d, 57);
        const POINT left{offset.left + 1, Centre(offset).y};
        Press(d, left);
        EXPECT_EQ(run.dialog.controls[57].value, 0) << "the press itself moves the knob";
        EXPECT_EQ(testing::GetText(d, 91), "0");
        Release(d, left);
        EXPECT_EQ(run.params.offset, 0);

        // Control on the pad points the light straight at the viewer.
        const RECT pad = testing::ControlRect(d, kIdDirectionPad);
        const POINT corner{pad.left + 3, pad.top + 3};
        Press(d, corner, {true});
        testing::MouseMove(d, corner.x + 2, corner.y + 2, true, {true});
        Release(d, corner);
        EXPECT_FLOAT_EQ(run.params.light_dir[0], 0.f);
        EXPECT_FLOAT_EQ(run.params.light_dir[1], 0.f);
        EXPECT_FLOAT_EQ(run.params.light_dir[2], 1.f);
        // Without Control a drag far outside the circle lies on the rim.
        Press(d, Centre(pad));
        testing::MouseMove(d, pad.right + 200, Centre(pad).y, true);
        Release(d, {pad.right + 200, Centre(pad).y});
        EXPECT_NEAR(run.params.light_dir[2], 0.f, 1e-6);
        EXPECT_NEAR(run.params.light_dir[0], 1.f, 0.02f);  // kept in hundredths
        testing::PostKey(d, VK_RETURN);
    });
    EXPECT_EQ(ended, kIdOk);
    EXPECT_EQ(run.params.horizon, 100);
    EXPECT_EQ(run.params.offset, 0);
}

TEST_F(MainDialog, ADragWhoseMouseIsTakenAwayEndsAsIfReleased) {
    MainDialogRun run;
    run.Run([&](HWND d) {
        Settle(d);
        const RECT offset = testing::ControlRect(d, 57);
        Press(d, {offset.right - 2, Centre(offset).y});
        EXPECT_EQ(run.dialog.state.captured, 57);
        // Another window takes the mouse before the button is released.
        SendMessageA(d, WM_CAPTURECHANGED, 0, 0);
        Settle(d);
        EXPECT_EQ(run.dialog.state.captured, -1);
        EXPECT_EQ(run.params.offset, 100) << "the drag's value is applied";
        // The next press is heard.
        Press(d, {offset.left + 1, Centre(offset).y});
        EXPECT_EQ(run.dialog.controls[57].value, 0);
        Release(d, {offset.left + 1, Centre(offset).y});
        testing::PostKey(d, VK_ESCAPE);
    });
}

TEST_F(MainDialog, AStyleChangeRendersAgainAndThePreviewShowsIt) {
    MainDialogRun run;
    run.Run([&](HWND d) {
        Settle(d);
        const POINT middle = Centre(testing::ControlRect(d, kIdPreview));
        const uint32_t before = CaptureClient(d).at(middle.x, middle.y);
        EXPECT_LE(testing::ColourDistance(before, PreviewColourFor(run.params)), 2);
        const int renders = run.services.renders;
        testing::SelectComboEntry(d, kIdStyle, run.params.style == 2 ? 0 : 1);
        Settle(d);
        EXPECT_EQ(run.services.renders, renders + 1);
        const uint32_t after = CaptureClient(d).at(middle.x, middle.y);
        EXPECT_GT(testing::ColourDistance(before, after), 100);
        EXPECT_LE(testing::ColourDistance(after, PreviewColourFor(run.params)), 2);
        // Around the picture the pane is white inside a black outline.
        const RECT pane = testing::ControlRect(d, kIdPreview);
        const Capture shot = CaptureClient(d);
        EXPECT_EQ(shot.at(pane.left + 3, pane.top + 3), Rgb(255, 255, 255));
        EXPECT_EQ(shot.at(pane.left + 1, middle.y), Rgb(0, 0, 0));
        testing::PostKey(d, VK_ESCAPE);
    });
}

TEST_F(MainDialog, ZoomButtonsAndReadoutOnAPictureTwoAndAHalfPanesWide) {
    // The pane is about 640 pixels wide at 96 DPI; the picture is made 2.5 panes wide at
    // whatever the pane measures, so it needs a first look at the dialog.
    int pane_width = 0, pane_height = 0;
    {
        MainDialogRun probe;
        probe.Run([&](HWND d) {
            const RECT pane = testing::ControlRect(d, kIdPreview);
            pane_width = pane.right - pane.left;
            pane_height = pane.bottom - pane.top;
            testing::PostKey(d, VK_ESCAPE);
        });
    }
    ASSERT_GT(pane_width, 100);
    const int width = pane_width * 5 / 2, height = pane_height / 2;
    MainDialogRun run(width, height);
    run.Run([&](HWND d) {
        Settle(d);
        EXPECT_EQ(run.dialog.preview.fit_zoom, 3);
        EXPECT_EQ(ZoomText(d), "33%");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kIdZoomOut)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kIdZoomIn)));
        testing::ClickButton(d, kIdZoomIn);
        Settle(d);
        EXPECT_EQ(ZoomText(d), "50%");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kIdZoomOut)));
        testing::ClickButton(d, kIdZoomIn);
        Settle(d);
        EXPECT_EQ(ZoomText(d), "100%");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kIdZoomIn)));

        // At 100 % a drag pans; dragged far to the left it stops at the picture's right edge.
        const RECT pane = testing::ControlRect(d, kIdPreview);
        const POINT from = Centre(pane);
        const int views = run.services.source_views;
        testing::MouseDrag(d, from, {from.x - 5000, from.y}, 6);
        Settle(d);
        EXPECT_GT(run.services.source_views, views) << "the drag shows the unprocessed picture";
        EXPECT_EQ(run.params.pan_x, width - run.dialog.preview.frame.width());
        EXPECT_EQ(run.params.pan_y, 0);
        // The picture fills the pane's frame now: no white margin at its left edge.
        const Capture shot = CaptureClient(d);
        EXPECT_LE(testing::ColourDistance(shot.at(pane.left + 3, from.y), PreviewColourFor(run.params)), 2);

        testing::ClickButton(d, kIdZoomOut);
        Settle(d);
        EXPECT_EQ(ZoomText(d), "50%");
        testing::ClickButton(d, kIdZoomOut);
        Settle(d);
        EXPECT_EQ(ZoomText(d), "33%");
        EXPECT_EQ(run.params.pan_x, 0);
        EXPECT_EQ(run.params.pan_y, 0);
        testing::PostKey(d, VK_ESCAPE);
    });
}

TEST_F(MainDialog, AClickOnTheWholePictureSetsTheRippleCentreThere) {
    MainDialogRun run(300, 200);
    run.Run([&](HWND d) {
        Settle(d);
        EXPECT_EQ(ZoomText(d), "100%");
        const RECT pane = testing::ControlRect(d, kIdPreview);
        // The 300 x 200 picture sits centred in the pane.
        const int left = pane.left + (pane.right - pane.left - 300) / 2;
        const int top = pane.top + (pane.bottom - pane.top - 200) / 2;
        const int renders = run.services.renders;
        ClickAt(d, {left + 75, top + 150});
        EXPECT_NEAR(run.params.pick_x, 0.25, 0.01);
        EXPECT_NEAR(run.params.pick_y, 0.75, 0.01);
        EXPECT_GT(run.services.renders, renders);
        testing::PostKey(d, VK_ESCAPE);
    });
}

TEST_F(MainDialog, AMemoryDotStoresShowsItsPictureOnHoverAndRecalls) {
    MainDialogRun run;
    run.Run([&](HWND d) {
        Settle(d);
        const double opening_horizon = run.params.horizon;
        // The dialog keeps its opening settings in the first dot by itself.
        const RECT first = testing::ControlRect(d, kIdFirstDot);
        const RECT second = testing::ControlRect(d, kIdFirstDot + 1);
        const uint32_t empty_look = testing::MeanColour(CaptureClient(d), second);

        testing::SetEditText(d, 86, "20");
        Settle(d, 1300);
        ASSERT_EQ(run.params.horizon, 20);
        const uint32_t twenty = PreviewColourFor(run.params);
        ClickAt(d, Centre(second));
        EXPECT_GT(testing::ColourDistance(testing::MeanColour(CaptureClient(d), second), empty_look), 40)
            << "a stored dot looks filled";

        // Hovering the first dot shows its picture in the well: the preview as it opened.
        const RECT well = testing::ControlRect(d, kIdMemoryArea);
        const int w = well.right - well.left;
        const RECT inside{well.left + w / 4, well.top + w / 4, well.right - w / 4, well.top + 3 * w / 4};
        testing::MouseMove(d, Centre(first).x, Centre(first).y, false);
        Settle(d);
        RenderParams opening = *run.opened;
        EXPECT_LE(testing::ColourDistance(testing::MeanColour(CaptureClient(d), inside), PreviewColourFor(opening)), 6);
        testing::MouseMove(d, Centre(second).x, Centre(second).y, false);
        Settle(d);
        EXPECT_LE(testing::ColourDistance(testing::MeanColour(CaptureClient(d), inside), twenty), 6);

        // A click on the first dot recalls it.
        ClickAt(d, Centre(first));
        EXPECT_EQ(run.params.horizon, opening_horizon);
        EXPECT_STREQ(run.params.settings_name, "dot 1");
        testing::PostKey(d, VK_ESCAPE);
    });
}

TEST_F(MainDialog, AFloatingPointPictureGreysOutGlue) {
    MainDialogRun run(300, 200, true);
    run.Run([&](HWND d) {
        Settle(d);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kIdGlue)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kIdNextGlue)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kIdStyle)));
        // The label is drawn grey, with no black text left.
        const Capture shot = CaptureClient(d);
        const RECT label = testing::ControlRect(d, kIdGlueLabel);
        EXPECT_EQ(testing::ShareOfColour(shot, label, Rgb(0, 0, 0), 40), 0.0);
        EXPECT_GT(testing::ShareOfColour(shot, label, Rgb(140, 140, 140), 40), 0.0);
        const RECT style_label = testing::ControlRect(d, 146);
        EXPECT_GT(testing::ShareOfColour(shot, style_label, Rgb(0, 0, 0), 60), 0.0);
        testing::PostKey(d, VK_ESCAPE);
    });
}

TEST_F(MainDialog, AHundredPreviewRendersLeaveNoGdiHandlesBehind) {
    MainDialogRun run;
    DWORD before = 0, after = 0;
    run.Run([&](HWND d) {
        Settle(d);
        // One round first, so pictures the painter keeps for the dialog's life are made.
        testing::SelectComboEntry(d, kIdStyle, 0);
        testing::SelectComboEntry(d, kIdStyle, 1);
        Settle(d);
        before = testing::GdiObjectCount();
        for (int i = 0; i < 100; ++i) testing::SelectComboEntry(d, kIdStyle, i % 2);
        Settle(d);
        after = testing::GdiObjectCount();
        testing::PostKey(d, VK_ESCAPE);
    });
    EXPECT_GE(run.services.renders, 100);
    if (before == 0) GTEST_SKIP() << "this system counts no GDI objects";
    EXPECT_LE(after, before + 2) << "before " << before << ", after " << after;
}

TEST_F(MainDialog, TheDialogScalesWithTheTextSize) {
    MainDialogRun run;
    run.Run([&](HWND d) {
        Settle(d);
        RECT client;
        GetClientRect(d, &client);
        // The template's 671 units are 1006 pixels with its font at 96 DPI; larger text
        // makes a wider dialog (how much wider is the font's own business).
        if (Dpi() == 96) EXPECT_NEAR(client.right, 1006, 20);
        else EXPECT_GT(client.right, 1006 * 110 / 100) << "at " << Dpi() << " DPI";
        // The track picture is stretched over the whole slider at every scale: its middle
        // row is the track's (and the knob's) picture, not the dialog colour.
        const RECT track = testing::ControlRect(d, 37);
        const int middle = (track.top + track.bottom) / 2;
        const Capture shot = CaptureClient(d);
        EXPECT_LT(testing::ShareOfColour(shot, {track.left + 2, middle, track.right - 2, middle + 1},
                                         Rgb(226, 226, 226), 3),
                  0.05);
        testing::PostKey(d, VK_ESCAPE);
    });
}

}  // namespace
}  // namespace tw
