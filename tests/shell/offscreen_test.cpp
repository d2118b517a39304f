// Offscreen renders: the session a front end opens on a prepared record, and the same render
// on blocks the caller already holds, as the dialog does during start. Both must give the
// same picture, leave the host's document and result alone, and give back what they took.
// The session's previews show the asked-for part of the picture with the guides drawn in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "image/image_buffer.h"
#include "params/render_params.h"
#include "shell/offscreen_session.h"
#include "shell/plugin_shell.h"
#include "shell/render_driver.h"

namespace tw {
namespace {

using test::FakeHost;
using test::FakeHostOptions;

struct ProgressLog {
    std::vector<int> reports;
    static void Report(void* context, int per_mille) {
        static_cast<ProgressLog*>(context)->reports.push_back(per_mille);
    }
    OffscreenProgress sink() { return {Report, this}; }
};

GlobalState& Globals(FakeHost& host) {
    return *reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
}

std::vector<PixelRgba> Pixels(const ImageBuffer& image) {
    std::vector<PixelRgba> pixels;
    for (int32_t y = 0; y < image.height; ++y)
        for (int32_t x = 0; x < image.width; ++x) pixels.push_back(readPixel(image, 0, x, y));
    return pixels;
}

bool SamePixels(const std::vector<PixelRgba>& a, const std::vector<PixelRgba>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b || a[i].a != b[i].a)
            return false;
    return true;
}

// The blocks as the dialog holds them during start: locked, with the scratch memory of the
// run and the start-up done, the source not loaded yet.
struct HeldBlocks {
    int16_t run_result = 0;
    ShellContext shell;
    explicit HeldBlocks(FakeHost& host) {
        EXPECT_EQ(host.Call(filterSelectorPrepare), 0);
        shell = {&host.record(), reinterpret_cast<RenderParams*>(*host.record().parameters),
                 &Globals(host), &run_result};
        EXPECT_TRUE(AllocateScratch(*shell.globals));
        StartupInitialisation(shell);
    }
    ~HeldBlocks() { ReleaseScratch(*shell.globals, true); }
};

FakeHostOptions Picture(int32_t width, int32_t height) {
    FakeHostOptions options;
    options.width = width;
    options.height = height;
    return options;
}

// The session's render of the plain settings at width x height.
std::vector<PixelRgba> SessionRender(int32_t width, int32_t height) {
    FakeHost host(Picture(90, 70));
    host.FillPattern();
    EXPECT_EQ(host.Call(filterSelectorPrepare), 0);
    OffscreenSession session;
    EXPECT_TRUE(session.Open(host.record(), &host.data_slot).ok());
    const OffscreenOutcome rendered = session.Render(width, height, {});
    EXPECT_TRUE(rendered.ok());
    if (rendered.image == nullptr) return {};
    std::vector<PixelRgba> pixels = Pixels(*rendered.image);
    destroyImageBuffer(rendered.image);
    return pixels;
}

TEST(OffscreenSession, RendersWithoutTheHostAndGivesBackWhatItTook) {
    FakeHost host(Picture(90, 70));
    host.FillPattern();
    const std::vector<uint8_t> original = host.pixels;
    ASSERT_EQ(host.Call(filterSelectorPrepare), 0);
    const int locks = host.handle_locks, unlocks = host.handle_unlocks;

    OffscreenSession session;
    ASSERT_TRUE(session.Open(host.record(), &host.data_slot).ok());
    EXPECT_TRUE(session.is_open());
    EXPECT_EQ(host.handle_locks - locks, 2);
    EXPECT_EQ(session.params().source_loaded, 1);
    EXPECT_EQ(session.params().globals, &Globals(host));

    const int advances = host.advance_calls;
    ProgressLog progress;
    const OffscreenOutcome rendered = session.Render(45, 140, progress.sink());
    ASSERT_TRUE(rendered.ok());
    ASSERT_NE(rendered.image, nullptr);
    EXPECT_EQ(rendered.image->width, 45);
    EXPECT_EQ(rendered.image->height, 140);
    EXPECT_EQ(rendered.image->format, kRgba8);
    EXPECT_EQ(host.advance_calls, advances);  // the picture was loaded once, at Open
    ASSERT_FALSE(progress.reports.empty());
    EXPECT_EQ(progress.reports.back(), 1000);
    for (size_t i = 1; i < progress.reports.size(); ++i)
        EXPECT_LE(progress.reports[i - 1], progress.reports[i]);
    destroyImageBuffer(rendered.image);

    session.Close();
    session.Close();  // a second close gives nothing back twice
    EXPECT_FALSE(session.is_open());
    EXPECT_EQ(host.handle_unlocks - unlocks, 2);
    const GlobalState& g = Globals(host);
    EXPECT_EQ(g.line_buffer, nullptr);
    EXPECT_EQ(g.scratch, nullptr);
    EXPECT_TRUE(g.work_image.empty());
    host.Flush();
    EXPECT_EQ(host.pixels, original);
    EXPECT_EQ(session.Render(10, 10, {}).status, OffscreenStatus::kNoBlocks);
}

TEST(OffscreenSession, RendersInTheHostsDepth) {
    struct Case {
        int16_t mode;
        int32_t depth;
        int32_t format;
    };
    for (const Case& c : {Case{plugInModeRGBColor, 8, kRgba8}, Case{plugInModeRGB48, 16, kRgba16},
                          Case{plugInModeRGB96, 32, kRgbaFloat}}) {
        FakeHostOptions options = Picture(33, 20);
        options.image_mode = c.mode;
        options.depth = c.depth;
        FakeHost host(options);
        host.FillPattern();
        ASSERT_EQ(host.Call(filterSelectorPrepare), 0);
        OffscreenSession session;
        ASSERT_TRUE(session.Open(host.record(), &host.data_slot).ok()) << c.depth;
        for (const int32_t width : {33, 70}) {  // the picture's own size, then scaled
            const OffscreenOutcome rendered = session.Render(width, 20, {});
            ASSERT_TRUE(rendered.ok()) << c.depth << " " << width;
            EXPECT_EQ(rendered.image->format, c.format) << c.depth;
            EXPECT_EQ(rendered.image->width, width);
            destroyImageBuffer(rendered.image);
        }
    }
}

TEST(OffscreenSession, OpenFailsCleanly) {
    {  // the prepare selector never ran: there are no blocks to work on
        FakeHost host(Picture(20, 20));
        OffscreenSession session;
        EXPECT_EQ(session.Open(host.record(), &host.data_slot).status, OffscreenStatus::kNoBlocks);
        EXPECT_EQ(session.Open(host.record(), nullptr).status, OffscreenStatus::kNoBlocks);
        EXPECT_FALSE(session.is_open());
    }
    {
        FakeHost host(Picture(20, 20));
        ASSERT_EQ(host.Call(filterSelectorPrepare), 0);
        host.fail_lock = true;
        OffscreenSession session;
        EXPECT_EQ(session.Open(host.record(), &host.data_slot).status, OffscreenStatus::kNotLocked);
        EXPECT_FALSE(session.is_open());
    }
    {  // the host refuses the picture: its error comes back and nothing is left behind
        FakeHost host(Picture(20, 20));
        ASSERT_EQ(host.Call(filterSelectorPrepare), 0);
        host.advance_fail_at = host.advance_calls;
        host.advance_error = -36;
        const int unlocks = host.handle_unlocks;
        OffscreenSession session;
        const OffscreenOutcome opened = session.Open(host.record(), &host.data_slot);
        EXPECT_EQ(opened.status, OffscreenStatus::kNotLoaded);
        EXPECT_EQ(opened.code, -36);
        EXPECT_FALSE(session.is_open());
        EXPECT_EQ(host.handle_unlocks - unlocks, 2);
        EXPECT_EQ(Globals(host).line_buffer, nullptr);
        EXPECT_TRUE(Globals(host).work_image.empty());
    }
}

// The dialog holds the blocks locked during start, with the preview as its render mode and
// the source not loaded until something needs it.
TEST(OffscreenRender, OnTheCallersBlocksMatchesTheSession) {
    const std::vector<PixelRgba> expected = SessionRender(60, 40);
    ASSERT_FALSE(expected.empty());

    FakeHost host(Picture(90, 70));
    host.FillPattern();
    HeldBlocks held(host);
    const ShellContext& shell = held.shell;
    SetPlainSettings(*shell.params);
    shell.params->render_mode = kRenderPreview;
    shell.params->zoom = 2;
    ASSERT_EQ(shell.params->source_loaded, 0);

    ProgressLog progress;
    const OffscreenOutcome rendered = RenderOffscreenPicture(shell, 60, 40, progress.sink());
    ASSERT_TRUE(rendered.ok());
    EXPECT_TRUE(SamePixels(Pixels(*rendered.image), expected));
    destroyImageBuffer(rendered.image);
    EXPECT_EQ(progress.reports.back(), 1000);
    EXPECT_EQ(held.run_result, 0);
    EXPECT_EQ(shell.params->source_loaded, 1);  // loaded on demand, and kept for the next
    EXPECT_EQ(shell.params->render_mode, kRenderPreview);
    EXPECT_EQ(shell.params->pass_index, -1);

    // A second export reuses the loaded picture.
    const int advances = host.advance_calls;
    const OffscreenOutcome again = RenderOffscreenPicture(shell, 60, 40, {});
    ASSERT_TRUE(again.ok());
    EXPECT_TRUE(SamePixels(Pixels(*again.image), expected));
    destroyImageBuffer(again.image);
    EXPECT_EQ(host.advance_calls, advances);
}

// At the working image's own size the pass reads the working image in place instead of a
// copy of it. The picture must be the one the copy gives (the path every other size takes,
// here forced by setting the working image aside), and the working image must come out of
// the pass untouched, every level of it.
TEST(OffscreenRender, AtTheSourcesOwnSizeReadsTheWorkingImageInPlace) {
    for (int32_t format_depth : {8, 16, 32}) {
        FakeHostOptions options = Picture(70, 50);
        options.depth = format_depth;
        FakeHost host(options);
        host.FillPattern();
        HeldBlocks held(host);
        const ShellContext& shell = held.shell;
        SetPlainSettings(*shell.params);
        shell.params->style = kStyleComplex;
        shell.params->glue_mode = 4;  // difference: the picture underneath shows in every pixel
        ASSERT_TRUE(LoadSource(shell));
        GlobalState& g = *shell.globals;
        ImageBuffer& work = g.work_image;
        std::vector<std::vector<PixelRgba>> levels;
        for (int32_t level = 0; level <= work.top_level; ++level) {
            std::vector<PixelRgba> pixels;
            for (int32_t y = 0; y < work.levels[level].height; ++y)
                for (int32_t x = 0; x < work.levels[level].width; ++x) pixels.push_back(readPixel(work, level, x, y));
            levels.push_back(pixels);
        }

        // Through a copy: the target holds the picture and the working image is out of sight.
        ImageBuffer* copied = createImageBuffer(work.width, work.height, work.format);
        ASSERT_NE(copied, nullptr);
        ASSERT_TRUE(copyMips(work, *copied));
        const ImageBuffer kept = work;
        resetImageBuffer(work);
        RenderOffscreen(shell, *copied, {});
        work = kept;
        ASSERT_EQ(held.run_result, 0);

        ImageBuffer* in_place = createImageBuffer(work.width, work.height, work.format);
        ASSERT_NE(in_place, nullptr);
        RenderOffscreen(shell, *in_place, {});
        ASSERT_EQ(held.run_result, 0);
        EXPECT_TRUE(SamePixels(Pixels(*in_place), Pixels(*copied))) << format_depth << "-bit";
        for (int32_t level = 0; level <= work.top_level; ++level) {
            std::vector<PixelRgba> pixels;
            for (int32_t y = 0; y < work.levels[level].height; ++y)
                for (int32_t x = 0; x < work.levels[level].width; ++x) pixels.push_back(readPixel(work, level, x, y));
            EXPECT_TRUE(SamePixels(pixels, levels[size_t(level)])) << "level " << level << " changed";
        }
        destroyImageBuffer(copied);
        destroyImageBuffer(in_place);
    }
}

TEST(OffscreenRender, AFailedLoadIsTheCallersNotTheRunsResult) {
    FakeHost host(Picture(30, 30));
    host.FillPattern();
    HeldBlocks held(host);
    host.advance_fail_at = host.advance_calls;
    host.advance_error = -36;
    const OffscreenOutcome rendered = RenderOffscreenPicture(held.shell, 30, 30, {});
    EXPECT_EQ(rendered.status, OffscreenStatus::kNotLoaded);
    EXPECT_EQ(rendered.code, -36);
    EXPECT_EQ(rendered.image, nullptr);
    EXPECT_EQ(held.run_result, 0);
}

// ---- Previews ----------------------------------------------------------------------------

// A session open on a 120 x 100 picture with detail everywhere.
struct PreviewFixture {
    FakeHost host;
    OffscreenSession session;
    explicit PreviewFixture(FakeHostOptions options = Picture(120, 100)) : host(options) {
        host.FillPattern();
        EXPECT_EQ(host.Call(filterSelectorPrepare), 0);
        EXPECT_TRUE(session.Open(host.record(), &host.data_slot).ok());
    }
};

// A pixel of the preview, its planes one after another.
std::vector<int> PreviewPixel(const PlanarView& view, int x, int y) {
    std::vector<int> samples;
    const size_t plane = size_t(view.width) * size_t(view.height);
    for (int c = 0; c < view.planes; ++c) samples.push_back(view.data[size_t(c) * plane + size_t(y) * view.width + x]);
    return samples;
}

// The ripple centre's marker: a cross of eleven by eleven pixels, white at three quarters
// over the picture, centred on (x, y). (Its black rim darkens a quarter of what lies under
// it, which may be glitter brighter than white, so the rim is not looked at.)
void ExpectMarkerAt(const PlanarView& view, int x, int y) {
    for (int d = -5; d <= 5; ++d) {
        for (int v : PreviewPixel(view, x + d, y)) EXPECT_GE(v, 185) << "arm across " << x + d << "," << y;
        for (int v : PreviewPixel(view, x, y + d)) EXPECT_GE(v, 185) << "arm down " << x << "," << y + d;
    }
}

TEST(OffscreenPreview, ShowsTheViewAtItsZoomWithTheRippleCentreMarked) {
    PreviewFixture f;
    const std::vector<uint8_t> original = f.host.pixels;
    f.session.params().pick_x = 0.25f;
    f.session.params().pick_y = 0.8f;
    const OffscreenPreview whole = f.session.RenderPreview(PreviewView{2, 0, 0, 0, 0});
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.pixels.width, 60);
    EXPECT_EQ(whole.pixels.height, 50);
    EXPECT_EQ(whole.pixels.planes, 3);
    EXPECT_EQ(whole.view.zoom, 2);
    ExpectMarkerAt(whole.pixels, 15, 40);

    // A pane at full size over part of the picture: the marker moves with the pan.
    f.session.params().pick_x = 0.5f;
    f.session.params().pick_y = 0.6f;
    const OffscreenPreview part = f.session.RenderPreview(PreviewView{1, 30, 40, 40, 30});
    ASSERT_TRUE(part.ok());
    EXPECT_EQ(part.pixels.width, 40);
    EXPECT_EQ(part.pixels.height, 30);
    ExpectMarkerAt(part.pixels, 60 - 30, 60 - 40);
    EXPECT_EQ(f.session.params().zoom, 1);
    EXPECT_EQ(f.session.params().pan_x, 30);

    f.host.Flush();
    EXPECT_EQ(f.host.pixels, original);  // previews never reach the host's document
}

// The same pixels, within one step: the plug-in's tiles start at the view's corner, and a
// few samples near tile edges round the other way.
TEST(OffscreenPreview, APannedViewIsThatPartOfTheWholeView) {
    PreviewFixture f;
    f.session.params().style = kStyleSimple;
    f.session.params().pick_x = 0.9f;  // the marker out of the way
    const OffscreenPreview whole_render = f.session.RenderPreview(PreviewView{1, 0, 0, 0, 0});
    ASSERT_TRUE(whole_render.ok());
    // The buffer is the session's until its next render.
    const PlanarView w = whole_render.pixels;
    const std::vector<uint8_t> whole(w.data, w.data + size_t(w.width) * w.height * 3);
    const OffscreenPreview part = f.session.RenderPreview(PreviewView{1, 30, 50, 40, 30});
    ASSERT_TRUE(part.ok());
    const PlanarView& p = part.pixels;
    int differing = 0;
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                const int a = p.data[size_t(c) * 40 * 30 + size_t(y) * 40 + x];
                const int b = whole[size_t(c) * 120 * 100 + size_t(y + 50) * 120 + x + 30];
                ASSERT_LE(std::abs(a - b), 1) << x << "," << y;
                differing += a != b;
            }
    EXPECT_LT(differing, 40 * 30 * 3 / 20);
}

TEST(OffscreenPreview, KeepsThePanInsideThePicture) {
    PreviewFixture f;
    const OffscreenPreview beyond = f.session.RenderPreview(PreviewView{1, 500, -20, 40, 30});
    ASSERT_TRUE(beyond.ok());
    EXPECT_EQ(beyond.view.pan_x, 120 - 40);
    EXPECT_EQ(beyond.view.pan_y, 0);
    EXPECT_EQ(beyond.pixels.width, 40);

    PreviewView v{2, -50, 5000, 100, 80};
    ClampPreviewPan(v, 500, 300);
    EXPECT_EQ(v.pan_x, 0);
    EXPECT_EQ(v.pan_y, 300 - 160);
    // As the plug-in's dialog pans: only whole zoomed pixels of the picture are shown, so a
    // picture that is not a multiple of the zoom leaves its last few columns out of reach.
    PreviewView ragged{3, 1000, 1000, 50, 40};
    ClampPreviewPan(ragged, 500, 301);
    EXPECT_EQ(ragged.pan_x, (500 / 3 - 50) * 3);
    EXPECT_EQ(ragged.pan_y, (301 / 3 - 40) * 3);
    PreviewView small{4, 30, 30, 200, 200};
    ClampPreviewPan(small, 500, 300);  // the whole picture fits: no room to pan
    EXPECT_EQ(small.pan_x, 0);
    EXPECT_EQ(small.pan_y, 0);
}

TEST(OffscreenPreview, PlanesZoomAndClosedSessions) {
    {  // grey: one plane
        FakeHostOptions options = Picture(50, 40);
        options.planes = 1;
        options.image_mode = plugInModeGrayScale;
        PreviewFixture f(options);
        const OffscreenPreview grey = f.session.RenderPreview(PreviewView{1, 0, 0, 100, 100});
        ASSERT_TRUE(grey.ok());
        EXPECT_EQ(grey.pixels.planes, 1);
        EXPECT_EQ(grey.pixels.width, 50);
    }
    {  // with transparency: still three planes, the chequerboard shown through
        FakeHostOptions options = Picture(50, 40);
        options.planes = 4;
        PreviewFixture f(options);
        const OffscreenPreview rgba = f.session.RenderPreview(PreviewView{1, 0, 0, 0, 0});
        ASSERT_TRUE(rgba.ok());
        EXPECT_EQ(rgba.pixels.planes, 3);
    }
    {  // a host that cannot sample gets every pixel
        FakeHostOptions options = Picture(50, 40);
        options.sampling = hostDoesNotSupportSampling;
        PreviewFixture f(options);
        const OffscreenPreview full = f.session.RenderPreview(PreviewView{3, 0, 0, 0, 0});
        ASSERT_TRUE(full.ok());
        EXPECT_EQ(full.view.zoom, 1);
        EXPECT_EQ(full.pixels.width, 50);
    }
    OffscreenSession closed;
    EXPECT_EQ(closed.RenderPreview(PreviewView{}).status, OffscreenStatus::kNoBlocks);
}

}  // namespace
}  // namespace tw
