// The same picture from every kind of host: one that cannot pad and refuses requests outside
// the picture, one that filters only part of the picture, one without 32-bit rectangles or a
// parent window. Each is compared with the plain host, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "params/render_params.h"
#include "settings/cached_settings.h"
#include "shell/host_access.h"
#include "shell/plugin_shell.h"
#include "shell/render_driver.h"

namespace tw {
namespace {

using test::FakeHost;
using test::FakeHostOptions;

struct Depth {
    int16_t planes, mode;
    int32_t depth;
};
const Depth kDepths[] = {{3, plugInModeRGBColor, 8}, {3, plugInModeRGB48, 16}, {3, plugInModeRGB96, 32}};

FakeHostOptions Shape(int32_t width, int32_t height, const Depth& d) {
    FakeHostOptions options;
    options.width = width;
    options.height = height;
    options.planes = d.planes;
    options.image_mode = d.mode;
    options.depth = d.depth;
    return options;
}

// A selection that fades across the picture, with fully selected and unselected parts.
void FadingMask(FakeHost& host) {
    const FakeHostOptions& o = host.options();
    for (int32_t y = 0; y < o.height; ++y)
        for (int32_t x = 0; x < o.width; ++x)
            host.mask[size_t(y) * o.width + x] = uint8_t(std::clamp((x * 5 + y * 3) % 400 - 70, 0, 255));
}

struct Outcome {
    int16_t result = 0;
    int refused = 0;
    std::vector<uint8_t> pixels;
};

// One whole run from the plain settings, or from them in the Simple style (much quicker
// for large pictures), which reach the plug-in as the cached settings a run loads when the
// host hands it no recorded action.
Outcome Render(const FakeHostOptions& options, bool interactive = false,
               const std::vector<uint8_t>* picture = nullptr, int32_t style = kStyleComplex) {
    EXPECT_TRUE(test::UseFreshTempFolder());
    if (style != kStyleComplex) {
        RenderParams settings{};
        ResetParams(settings);
        settings.style = style;
        EXPECT_TRUE(SaveCachedSettings(settings));
    }
    FakeHost host(options);
    if (picture != nullptr) host.pixels = *picture;
    else host.FillPattern();
    if (options.mask) FadingMask(host);
    Outcome outcome;
    outcome.result = host.Run(interactive);
    outcome.refused = host.refused_requests;
    outcome.pixels = host.pixels;
    return outcome;
}

TEST(HostWithoutPadding, GetsTheSamePictureAsAPaddingHost) {
    struct Size {
        int32_t width, height;
    };
    // Odd sizes; 777 x 555 and 1030 x 3 cross the 512-pixel source blocks, whose requests
    // reach past the picture's right and bottom edges. The large one in the quick style.
    for (const Size size : {Size{777, 555}, Size{1, 1}, Size{1030, 3}})
        for (const Depth& d : kDepths) {
            const int32_t style = size.width * size.height > 100000 ? kStyleSimple : kStyleComplex;
            FakeHostOptions options = Shape(size.width, size.height, d);
            options.mask = true;
            options.filter_case = filterCaseFlatImageWithSelection;
            const Outcome padded = Render(options, false, nullptr, style);
            options.padding = false;
            const Outcome strict = Render(options, false, nullptr, style);
            const std::string what = std::to_string(size.width) + " x " + std::to_string(size.height) +
                                     ", " + std::to_string(d.depth) + "-bit";
            ASSERT_EQ(padded.result, 0) << what;
            ASSERT_EQ(strict.result, 0) << what;
            EXPECT_EQ(strict.refused, 0) << what;
            EXPECT_TRUE(strict.pixels == padded.pixels) << what;
            if (size.width > 1) {
                FakeHost untouched(options);
                untouched.FillPattern();
                EXPECT_FALSE(padded.pixels == untouched.pixels) << what << ": no water drawn";
            }
        }
}

TEST(HostWithoutPadding, RefusesWhatReachesOutsideThePicture) {
    // The test host really is strict: asked past the edge it refuses, as the plug-in's
    // requests would be without the care taken for such hosts.
    FakeHostOptions options = Shape(20, 10, kDepths[0]);
    options.padding = false;
    FakeHost host(options);
    FilterRecord& r = host.record();
    SetInRect(r, {0, 0, 10, 20});
    SetOutRect(r, {0, 0, 0, 0});
    SetRequestFields(r, 1);
    EXPECT_EQ(host.Advance(), 0);
    SetInRect(r, {0, 0, 10, 512});
    EXPECT_EQ(host.Advance(), -50);
    SetInRect(r, {0, 0, 5, 10});
    SetRequestFields(r, 2);
    EXPECT_EQ(host.Advance(), 0);
    SetInRect(r, {0, 0, 5, 11});
    EXPECT_EQ(host.Advance(), -50);
    EXPECT_EQ(host.refused_requests, 2);
}

TEST(HostWithoutPadding, RequestsAreFittedIntoThePicture) {
    FakeHostOptions options = Shape(20, 10, kDepths[0]);
    options.padding = false;
    FakeHost host(options);
    const FilterRecord& r = host.record();
    auto same = [](const HostRect& a, const HostRect& b) {
        return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
    };
    EXPECT_TRUE(same(FitRequest(r, {2, 3, 8, 9}, 1), {2, 3, 8, 9}));        // inside: as it is
    EXPECT_TRUE(same(FitRequest(r, {0, 0, 10, 512}, 1), {0, 0, 10, 20}));   // a source block
    EXPECT_TRUE(same(FitRequest(r, {-4, -4, 3, 3}, 1), {0, 0, 3, 3}));
    EXPECT_TRUE(same(FitRequest(r, {0, 0, 10, 20}, 3), {0, 0, 4, 7}));      // pixels 0, 3, 6, 9
    EXPECT_TRUE(same(FitRequest(r, {2, 40, 4, 60}, 1), {2, 19, 4, 20}));    // the nearest column
    EXPECT_TRUE(same(FitRequest(r, {-9, -9, -5, -5}, 1), {0, 0, 1, 1}));    // the nearest corner
    EXPECT_TRUE(same(FitRequest(r, {3, 3, 9, 9}, 30), {0, 0, 1, 1}));       // one sample in all
    EXPECT_TRUE(FitRequest(r, {3, 3, 3, 9}, 1).empty());
    host.record().supportsPadding = 1;
    EXPECT_TRUE(same(FitRequest(r, {-9, -9, 60, 60}, 1), {-9, -9, 60, 60}));
}

// The dialog's views of a panned picture: the preview render and the before view. Panned
// past the picture's edges, a padding host sends repeated edges; a strict host is asked
// only for what lies inside, and the plug-in repeats the edges itself.
TEST(HostWithoutPadding, PreviewAndBeforeViewMatchAPaddingHostWhenPannedOutside) {
    struct Pan {
        int32_t x, y;
    };
    for (const Depth& d : kDepths)
        for (const Pan pan : {Pan{0, 0}, Pan{31, 17}, Pan{-30, -21}, Pan{700, 0}, Pan{0, -500}}) {
            std::vector<uint8_t> views[2][2];
            for (int strict = 0; strict < 2; ++strict) {
                ASSERT_TRUE(test::UseFreshTempFolder());
                FakeHostOptions options = Shape(101, 61, d);
                options.mask = true;
                options.filter_case = filterCaseFlatImageWithSelection;
                options.padding = strict == 0;
                FakeHost host(options);
                host.FillPattern();
                FadingMask(host);
                host.Call(filterSelectorPrepare);
                ShellContext shell;
                shell.record = &host.record();
                shell.params = reinterpret_cast<RenderParams*>(*host.record().parameters);
                shell.globals = reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
                shell.result = &host.result;
                host.result = 0;
                shell.params->zoom = 2;
                shell.params->pan_x = pan.x;
                shell.params->pan_y = pan.y;
                PreviewRender(shell);
                ASSERT_EQ(host.result, 0);
                const GlobalState& g = *shell.globals;
                const size_t bytes = size_t(g.preview_planes) * size_t(g.preview_plane_size);
                ASSERT_GT(bytes, 0u);
                views[strict][0].assign(g.preview_buffer, g.preview_buffer + bytes);
                BeforeView(shell);
                ASSERT_EQ(host.result, 0);
                views[strict][1].assign(g.preview_buffer, g.preview_buffer + bytes);
                EXPECT_EQ(host.refused_requests, 0);
                ReleaseScratch(*shell.globals, true);
            }
            const std::string what = std::to_string(d.depth) + "-bit, pan " + std::to_string(pan.x) +
                                     "," + std::to_string(pan.y);
            EXPECT_TRUE(views[0][0] == views[1][0]) << "preview, " << what;
            EXPECT_TRUE(views[0][1] == views[1][1]) << "before view, " << what;
            EXPECT_FALSE(views[0][0] == views[0][1]) << "the preview shows no water, " << what;
        }
}

// An editor with a selection hands the plug-in the selection's bounds as the filter
// rectangle: only that rectangle changes, and it changes exactly as a picture of just
// that rectangle would.
TEST(FilterRectangle, OnlyTheFilterRectangleChangesAsIfItWereThePicture) {
    const HostRect part{13, 21, 13 + 40, 21 + 45};
    for (const Depth& d : kDepths)
        for (const bool padding : {true, false})
            for (const bool big : {false, true}) {
                FakeHostOptions options = Shape(90, 70, d);
                options.filter_rect = part;
                options.padding = padding;
                options.big_document = big;
                FakeHost original(options);
                original.FillPattern();
                const Outcome whole = Render(options, false, &original.pixels);
                const std::string what = std::to_string(d.depth) + "-bit" +
                                         (padding ? "" : ", no padding") + (big ? ", 32-bit rectangles" : "");
                ASSERT_EQ(whole.result, 0) << what;
                EXPECT_EQ(whole.refused, 0) << what;

                // The same rectangle cut out as a picture of its own.
                FakeHostOptions cut_options = Shape(part.width(), part.height(), d);
                FakeHost cut(cut_options);
                const size_t pixel = size_t(d.planes) * (d.depth / 8);
                for (int32_t y = 0; y < part.height(); ++y)
                    std::memcpy(cut.pixels.data() + cut.PixelOffset(0, y),
                                original.pixels.data() + original.PixelOffset(part.left, part.top + y),
                                size_t(part.width()) * pixel);
                const Outcome alone = Render(cut_options, false, &cut.pixels);
                ASSERT_EQ(alone.result, 0);

                bool changed = false;
                for (int32_t y = 0; y < options.height; ++y)
                    for (int32_t x = 0; x < options.width; ++x) {
                        const size_t at = original.PixelOffset(x, y);
                        const bool inside = part.contains(x, y);
                        const uint8_t* got = whole.pixels.data() + at;
                        const uint8_t* expected =
                            inside ? alone.pixels.data() + cut.PixelOffset(x - part.left, y - part.top)
                                   : original.pixels.data() + at;
                        ASSERT_EQ(std::memcmp(got, expected, pixel), 0)
                            << what << ": pixel " << x << "," << y << (inside ? " inside" : " outside");
                        changed |= inside && std::memcmp(got, original.pixels.data() + at, pixel) != 0;
                    }
                EXPECT_TRUE(changed) << what;
            }
}

// A host without the 32-bit rectangles and without a parent window (platformData's window
// 0, or no platformData at all), run as a menu command (parameters first): the plug-in uses
// the 16-bit rectangles, has no window to hang a dialog on, and renders as everywhere else.
TEST(PlainHost, NoBigDocumentAndNoParentWindowRendersTheSamePicture) {
    FakeHostOptions options = Shape(130, 67, kDepths[0]);
    options.big_document = true;
    const Outcome reference = Render(options);
    ASSERT_EQ(reference.result, 0);

    options.big_document = false;
    for (const bool platform_data : {true, false}) {
        options.platform_data = platform_data;
        for (const bool interactive : {false, true}) {
            const Outcome plain = Render(options, interactive);
            EXPECT_EQ(plain.result, 0) << platform_data << interactive;
            EXPECT_TRUE(plain.pixels == reference.pixels) << platform_data << interactive;
        }
    }
    FakeHost host(options);
    EXPECT_EQ(host.record().bigDocumentData, nullptr);
    EXPECT_EQ(host.record().platformData, nullptr);
}

}  // namespace
}  // namespace tw
