// The dialog's services over the shell's blocks: preview renders sized by the model's frame,
// the pan drag's source view, the host's colour picker, renders that leave the dialog's
// settings alone, the PSD export, and what the dialog learns of the host's picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "platform/platform.h"
#include "shell/dialog_services.h"
#include "shell/plugin_shell.h"

namespace tw {
namespace {

using test::FakeHost;
using test::FakeHostOptions;

GlobalState& Globals(FakeHost& host) {
    return *reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
}

// The blocks as the dialog holds them during start.
struct HeldBlocks {
    int16_t run_result = 0;
    ShellContext shell;
    explicit HeldBlocks(FakeHost& host) {
        EXPECT_EQ(host.Call(filterSelectorPrepare), 0);
        shell = {&host.record(), reinterpret_cast<RenderParams*>(*host.record().parameters), &Globals(host),
                 &run_result};
        EXPECT_TRUE(AllocateScratch(*shell.globals));
        StartupInitialisation(shell);
        shell.params->render_mode = kRenderPreview;
    }
    ~HeldBlocks() { ReleaseScratch(*shell.globals, true); }
};

FakeHostOptions Picture(int32_t width, int32_t height, int32_t depth = 8) {
    FakeHostOptions options;
    options.width = width;
    options.height = height;
    options.depth = depth;
    return options;
}

TEST(DialogServices, PreviewsAreCutToTheFrameTheModelGives) {
    FakeHost host(Picture(90, 70));
    host.FillPattern();
    HeldBlocks held(host);
    ShellDialogServices services(held.shell);
    EXPECT_EQ(services.PreviewPicture().data, nullptr) << "nothing before the first render";

    held.shell.params->zoom = 2;
    services.RenderPreview({30, 20});
    PlanarView view = services.PreviewPicture();
    ASSERT_NE(view.data, nullptr);
    EXPECT_EQ(view.width, 30);
    EXPECT_EQ(view.height, 20);
    EXPECT_EQ(view.planes, 3);
    EXPECT_EQ(held.run_result, 0);

    // The pan drag's quick view: the source itself, every second pixel.
    held.shell.params->pan_x = 10;
    services.ShowSourcePreview({30, 20});
    view = services.PreviewPicture();
    ASSERT_NE(view.data, nullptr);
    EXPECT_EQ(view.data[0], static_cast<uint8_t>(host.Sample(10, 0, 0)));
    EXPECT_EQ(view.data[1], static_cast<uint8_t>(host.Sample(12, 0, 0)));
    EXPECT_FALSE(services.TakePendingError());
    held.run_result = -36;
    EXPECT_TRUE(services.TakePendingError());
    EXPECT_EQ(held.run_result, 0) << "taken once, and cleared";
}

// What the host's colour picker saw, and what it answers.
ColorServicesInfo gSeen{};
std::string gPrompt;
OSErr gAnswer = 0;
OSErr PickColour(ColorServicesInfo* info) {
    gSeen = *info;
    const unsigned char* prompt = *info->selectorParameter.pickerPrompt;
    gPrompt.assign(reinterpret_cast<const char*>(prompt + 1), prompt[0]);
    info->colorComponents[0] = 10;
    info->colorComponents[1] = 20;
    info->colorComponents[2] = 300;  // out of range: kept to 255
    return gAnswer;
}

TEST(DialogServices, TheHostsColourPickerGoesFirst) {
    FakeHost host(Picture(20, 20));
    HeldBlocks held(host);
    ShellDialogServices services(held.shell);
    Rgb16 colour{0x1234, 0x5678, 0x9ABC};
    host.record().colorServices = nullptr;
    EXPECT_EQ(services.PickHostColour(colour, "Style"), HostColourAnswer::kUnavailable);

    host.record().colorServices = PickColour;
    gAnswer = userCanceledErr;
    EXPECT_EQ(services.PickHostColour(colour, "Style"), HostColourAnswer::kCancelled);
    EXPECT_EQ(colour.r, 0x1234) << "a cancel changes nothing";
    EXPECT_EQ(gSeen.infoSize, 56);
    EXPECT_EQ(gSeen.selector, plugIncolorServicesChooseColor);
    EXPECT_EQ(gSeen.sourceSpace, plugIncolorServicesRGBSpace);
    EXPECT_EQ(gSeen.colorComponents[0], 0x12);
    EXPECT_EQ(gSeen.colorComponents[2], 0x9A);
    EXPECT_EQ(gPrompt, "Style");

    gAnswer = 0;
    EXPECT_EQ(services.PickHostColour(colour, "Style"), HostColourAnswer::kConfirmed);
    EXPECT_EQ(colour.r, 10 * 256);
    EXPECT_EQ(colour.g, 20 * 256);
    EXPECT_EQ(colour.b, 255 * 256);
}

TEST(DialogServices, RendersOfOtherSettingsLeaveTheDialogsOwn) {
    FakeHost host(Picture(40, 30));
    host.FillPattern();
    HeldBlocks held(host);
    ShellDialogServices services(held.shell);
    RenderParams& params = *held.shell.params;
    params.horizon = 50;
    SetText(params.settings_name, "mine");
    RenderParams dot;
    ResetParams(dot);
    dot.horizon = 10;
    std::vector<int> progress;
    std::string error;
    ImageBuffer* image = services.RenderPicture(dot, 40, 30, [&](int p) { progress.push_back(p); }, error);
    ASSERT_NE(image, nullptr) << error;
    EXPECT_EQ(image->width, 40);
    destroyImageBuffer(image);
    EXPECT_FLOAT_EQ(params.horizon, 50);
    EXPECT_STREQ(params.settings_name, "mine");
    EXPECT_EQ(params.render_mode, kRenderPreview);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 1000);
}

TEST(DialogServices, PsdExportWritesTheFileAndReportsToTheEnd) {
    ASSERT_TRUE(test::UseFreshTempFolder());
    FakeHostOptions options = Picture(40, 30, 16);
    options.image_mode = plugInModeRGB48;
    FakeHost host(options);
    host.FillPattern();
    HeldBlocks held(host);
    ShellDialogServices services(held.shell);
    const std::string path = (std::filesystem::temp_directory_path() / "tw-dialog-export.psd").string();
    std::vector<int> progress;
    std::string error;
    ASSERT_TRUE(services.ExportPsd(path, 24, 18, [&](int p) { progress.push_back(p); }, error)) << error;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(platform::ReadWholeFile(path, bytes));
    ASSERT_GT(bytes.size(), 26u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "8BPS");
    EXPECT_EQ(bytes[13], 4) << "a 16-bit picture gives a 16-bit document";
    EXPECT_EQ((bytes[20] << 8) | bytes[21], 24) << "the width, after the height";
    EXPECT_EQ(progress.back(), 1000);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    std::filesystem::remove(path);

    EXPECT_FALSE(services.ExportPsd(path, 0, 18, {}, error)) << "no picture of no width";
    EXPECT_FALSE(error.empty());
}

TEST(DialogServices, TheDialogLearnsThePicturesSizeDepthAndSampling) {
    FakeHost plain(Picture(90, 70));
    DialogHost host = DialogHostOf(plain.record());
    EXPECT_EQ(host.bounds.width(), 90);
    EXPECT_EQ(host.bounds.height(), 70);
    EXPECT_FALSE(host.float_image);
    EXPECT_TRUE(host.can_sample);
    EXPECT_EQ(host.planes, 3);

    FakeHostOptions options = Picture(10, 10, 32);
    options.image_mode = plugInModeRGB96;
    options.sampling = 0;
    options.planes = 1;
    FakeHost hdr(options);
    host = DialogHostOf(hdr.record());
    EXPECT_TRUE(host.float_image);
    EXPECT_FALSE(host.can_sample);
    EXPECT_EQ(host.planes, 1);
}

}  // namespace
}  // namespace tw
