// Whole runs through the entry point with the in-test host: source loading in every depth,
// the final render's determinism across worker counts, cancels, host errors, the selection,
// and the preview paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "image/image_buffer.h"
#include "shell/host_access.h"
#include "shell/plugin_shell.h"
#include "shell/render_driver.h"

namespace tw {
namespace {

using test::FakeHost;
using test::FakeHostOptions;

// Locks the blocks the way the shell would and gives a context for direct driver calls.
struct DirectShell {
    FakeHost& host;
    ShellContext shell;
    explicit DirectShell(FakeHost& h) : host(h) {
        host.Call(filterSelectorPrepare);
        shell.record = &host.record();
        shell.params = reinterpret_cast<RenderParams*>(*host.record().parameters);
        shell.globals = reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
        shell.result = &host.result;
        host.result = 0;
    }
    ~DirectShell() { ReleaseScratch(*shell.globals, true); }
};

class ThreadCount {
public:
    explicit ThreadCount(int n) { setenv("TARNWELL_THREADS", std::to_string(n).c_str(), 1); }
    ~ThreadCount() { unsetenv("TARNWELL_THREADS"); }
};

std::vector<uint8_t> RenderWith(const FakeHostOptions& options, int threads) {
    ThreadCount pin(threads);
    EXPECT_TRUE(test::UseFreshTempFolder());  // the same settings for every run
    FakeHost host(options);
    host.FillPattern();
    EXPECT_EQ(host.Run(false), 0);
    return host.pixels;
}

TEST(SourceLoading, EightBitColourBlocksMatchTheHost) {
    FakeHostOptions options;
    options.width = 600;  // two 512-pixel blocks
    options.height = 21;
    FakeHost host(options);
    host.FillPattern();
    DirectShell direct(host);
    ASSERT_TRUE(LoadSource(direct.shell));
    EXPECT_EQ(host.result, 0);
    const ImageBuffer& image = direct.shell.globals->work_image;
    EXPECT_EQ(image.format, kRgba8);
    EXPECT_EQ(image.mip_state, kMipStateBuilt);
    for (int y : {0, 20})
        for (int x : {0, 511, 512, 599}) {
            const PixelRgba p = readPixel(image, 0, x, y);
            EXPECT_FLOAT_EQ(p.r * 255, float(host.Sample(x, y, 0))) << x << "," << y;
            EXPECT_FLOAT_EQ(p.g * 255, float(host.Sample(x, y, 1)));
            EXPECT_FLOAT_EQ(p.b * 255, float(host.Sample(x, y, 2)));
            EXPECT_FLOAT_EQ(p.a, 1.0f);
        }
    EXPECT_EQ(direct.shell.params->source_loaded, 1);
}

TEST(SourceLoading, GreyAndTransparentDeepPixels) {
    FakeHostOptions options;
    options.width = 70;
    options.height = 9;
    options.planes = 2;  // grey plus editable transparency
    options.depth = 16;
    options.image_mode = plugInModeGray16;
    options.filter_case = filterCaseEditableTransparencyNoSelection;
    FakeHost host(options);
    host.FillPattern();
    host.SetSample(3, 4, 0, 32768);
    DirectShell direct(host);
    ASSERT_TRUE(LoadSource(direct.shell));
    const ImageBuffer& image = direct.shell.globals->work_image;
    EXPECT_EQ(image.format, kRgba16);
    for (int x : {0, 3, 69}) {
        const PixelRgba p = readPixel(image, 0, x, 4);
        const float grey = float(host.Sample(x, 4, 0)) / 32768;
        EXPECT_FLOAT_EQ(p.r, grey);
        EXPECT_FLOAT_EQ(p.g, grey);
        EXPECT_FLOAT_EQ(p.b, grey);
        EXPECT_FLOAT_EQ(p.a, float(host.Sample(x, 4, 1)) / 32768);
    }
}

TEST(SourceLoading, FloatPixelsKeepTheirValues) {
    FakeHostOptions options;
    options.width = 5;
    options.height = 4;
    options.depth = 32;
    options.image_mode = plugInModeRGB96;
    FakeHost host(options);
    host.FillPattern();
    host.SetSample(2, 1, 0, 4.5);  // high dynamic range survives
    DirectShell direct(host);
    ASSERT_TRUE(LoadSource(direct.shell));
    const PixelRgba p = readPixel(direct.shell.globals->work_image, 0, 2, 1);
    EXPECT_FLOAT_EQ(p.r, 4.5f);
    EXPECT_FLOAT_EQ(p.g, float(host.Sample(2, 1, 1)));
    EXPECT_FLOAT_EQ(p.a, 1.0f);
}

TEST(SourceLoading, FailuresGiveTheirCodes) {
    {
        FakeHostOptions options;
        options.big_document = true;
        FakeHost host(options);
        DirectShell direct(host);
        host.record().bigDocumentData->filterRect32 = {0, 0, 10, (1 << 30) + 10};
        EXPECT_FALSE(LoadSource(direct.shell));
        EXPECT_EQ(host.result, 999);
        EXPECT_EQ(host.advance_calls, 0);
    }
    {
        FakeHost host;
        host.advance_fail_at = 0;
        host.advance_error = -36;
        DirectShell direct(host);
        EXPECT_FALSE(LoadSource(direct.shell));
        EXPECT_EQ(host.result, -36);
        EXPECT_EQ(direct.shell.params->source_loaded, 0);
    }
}

TEST(FinalRender, SameBytesWhateverTheWorkerCount) {
    struct Case {
        int16_t planes, mode;
        int32_t depth;
    };
    for (const Case& c : {Case{3, plugInModeRGBColor, 8}, Case{1, plugInModeGray16, 16},
                          Case{3, plugInModeRGB96, 32}}) {
        FakeHostOptions options;
        options.width = 130;
        options.height = 67;
        options.planes = c.planes;
        options.image_mode = c.mode;
        options.depth = c.depth;
        const std::vector<uint8_t> one = RenderWith(options, 1);
        EXPECT_EQ(one, RenderWith(options, 1)) << "repeat, depth " << c.depth;
        EXPECT_EQ(one, RenderWith(options, 2)) << "depth " << c.depth;
        EXPECT_EQ(one, RenderWith(options, 7)) << "depth " << c.depth;
        FakeHost untouched(options);
        untouched.FillPattern();
        EXPECT_NE(one, untouched.pixels) << "the water changed nothing at depth " << c.depth;
    }
}

TEST(FinalRender, ProgressStartsAtTwoPercent) {
    FakeHost host;
    host.FillPattern();
    EXPECT_EQ(host.Run(false), 0);
    ASSERT_FALSE(host.progress_done.empty());
    EXPECT_EQ(host.progress_done.front(), 20);  // 2 of 100, in thousandths
}

TEST(FinalRender, AbortKeepsWrittenTilesAndLeavesTheRest) {
    FakeHostOptions options;
    options.width = 128;
    options.height = 128;  // 4 tiles, one 512-wide source block
    int polls_before_tiles = 0;
    {
        FakeHost probe(options);
        probe.FillPattern();
        ASSERT_EQ(probe.Run(false), 0);
        polls_before_tiles = probe.abort_calls - 4;
    }
    ThreadCount pin(1);  // one slot, so the written tiles are the first two in order
    FakeHost host(options);
    host.FillPattern();
    const std::vector<uint8_t> original = host.pixels;
    host.abort_after = polls_before_tiles + 2;
    EXPECT_EQ(host.Run(false), -128);
    EXPECT_EQ(host.advance_calls, 1 + 2);
    EXPECT_EQ(host.buffers_live, 0);  // nothing of the cancelled run is left behind
    // Tiles 0 and 1 cover the top-left 128 x 64; everything else is the host's picture.
    bool changed_inside = false;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const size_t at = host.PixelOffset(x, y);
            const bool written = y < 64 && x < 128;
            for (int p = 0; p < 3; ++p) {
                if (written) changed_inside |= host.pixels[at + p] != original[at + p];
                else ASSERT_EQ(host.pixels[at + p], original[at + p]) << x << "," << y;
            }
        }
    EXPECT_TRUE(changed_inside);
}

TEST(FinalRender, HostErrorWhileWritingBecomesTheResult) {
    FakeHost host;
    host.FillPattern();
    host.advance_fail_at = 1;  // the source block succeeds, the first tile fails
    host.advance_error = -34;
    EXPECT_EQ(host.Run(false), -34);
}

TEST(FinalRender, UnselectedPixelsStayAsTheHostHadThem) {
    FakeHostOptions options;
    options.mask = true;
    options.mask_value = 0;
    options.filter_case = filterCaseFlatImageWithSelection;
    FakeHost host(options);
    host.FillPattern();
    const std::vector<uint8_t> original = host.pixels;
    EXPECT_EQ(host.Run(false), 0);
    EXPECT_EQ(host.pixels, original);
}

TEST(Preview, RendersIntoThePreviewBufferOnly) {
    FakeHostOptions options;
    options.width = 100;
    options.height = 60;
    FakeHost host(options);
    host.FillPattern();
    const std::vector<uint8_t> original = host.pixels;
    DirectShell direct(host);
    direct.shell.params->zoom = 2;
    PreviewRender(direct.shell);
    host.Flush();
    EXPECT_EQ(host.result, 0);
    const GlobalState& g = *direct.shell.globals;
    EXPECT_EQ(g.preview_width, 50);
    EXPECT_EQ(g.preview_height, 30);
    ASSERT_NE(g.preview_buffer, nullptr);
    EXPECT_EQ(host.pixels, original);
    EXPECT_EQ(direct.shell.params->pass_index, -1);
    EXPECT_EQ(direct.shell.params->zoom, 2);
}

TEST(Preview, BeforeViewCopiesTheSubsampledPicture) {
    FakeHostOptions options;
    options.width = 40;
    options.height = 20;
    options.depth = 16;
    options.image_mode = plugInModeRGB48;
    FakeHost host(options);
    host.FillPattern();
    host.SetSample(0, 0, 0, 32768);
    DirectShell direct(host);
    direct.shell.params->zoom = 2;
    BeforeView(direct.shell);
    EXPECT_EQ(host.result, 0);
    const GlobalState& g = *direct.shell.globals;
    ASSERT_EQ(g.preview_width, 20);
    EXPECT_EQ(g.preview_buffer[0], 255);
    const size_t plane = size_t(g.preview_plane_size);
    EXPECT_EQ(g.preview_buffer[plane * 2 + 5 * 20 + 7],
              uint8_t(2 * int(host.Sample(14, 10, 2)) / 257));
}

TEST(Offscreen, RendersIntoTheExportPictureAndLeavesTheHostAlone) {
    FakeHostOptions options;
    options.width = 90;
    options.height = 70;
    FakeHost host(options);
    host.FillPattern();
    const std::vector<uint8_t> original = host.pixels;
    DirectShell direct(host);
    ASSERT_TRUE(LoadSource(direct.shell));
    const ImageBuffer& work = direct.shell.globals->work_image;
    ImageBuffer* target = createImageBuffer(work.width, work.height, work.format);
    ASSERT_NE(target, nullptr);
    const int advances = host.advance_calls;
    direct.shell.params->render_mode = kRenderOffscreen;
    direct.shell.params->zoom = 3;
    RenderOffscreen(direct.shell, *target);
    EXPECT_EQ(host.result, 0);
    EXPECT_EQ(host.advance_calls, advances);  // an export never asks the host
    host.Flush();
    EXPECT_EQ(host.pixels, original);
    EXPECT_EQ(direct.shell.params->zoom, 3);
    EXPECT_EQ(direct.shell.params->render_mode, kRenderOffscreen);
    EXPECT_EQ(direct.shell.params->pass_index, -1);
    int differing = 0;
    for (int y = 0; y < work.height; ++y)
        for (int x = 0; x < work.width; ++x) {
            const PixelRgba a = readPixel(work, 0, x, y), b = readPixel(*target, 0, x, y);
            differing += a.r != b.r || a.g != b.g || a.b != b.b;
        }
    EXPECT_GT(differing, 0);
    destroyImageBuffer(target);
}

}  // namespace
}  // namespace tw
