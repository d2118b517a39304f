// The selectors as a host drives them: block creation and locking, what each selector may
// touch, the memory negotiation and the result codes of the failure cases.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_host.h"
#include "hostapi/host_constants.h"
#include "shell/host_access.h"
#include "shell/message_text.h"
#include "shell/plugin_shell.h"

namespace tw {
namespace {

using test::FakeHost;
using test::FakeHostOptions;

// The blocks as the host keeps them, read outside any selector call.
const RenderParams& ParamsOf(FakeHost& host) {
    return *reinterpret_cast<const RenderParams*>(*host.record().parameters);
}
const GlobalState& GlobalsOf(FakeHost& host) {
    return *reinterpret_cast<const GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
}

TEST(Selectors, ParametersCreatesZeroedBlocksAndAsksForTheDialog) {
    FakeHost host;
    EXPECT_EQ(host.Call(filterSelectorParameters), 0);
    ASSERT_NE(host.record().parameters, nullptr);
    ASSERT_NE(host.data_slot, 0);
    EXPECT_EQ(host.handles_created, 2);
    const GlobalState& g = GlobalsOf(host);
    EXPECT_EQ(g.show_dialog, 1);
    EXPECT_EQ(g.first_run, 1);
    EXPECT_EQ(g.preview_scale, 1.0f);
    // The host filled fresh memory with 0xA5; pointers the shell frees must not keep that.
    EXPECT_EQ(g.preview_buffer, nullptr);
    EXPECT_EQ(g.scratch, nullptr);
    EXPECT_EQ(host.handle_locks, host.handle_unlocks);
}

TEST(Selectors, AboutTouchesNoBlock) {
    FakeHost host;
    host.Call(filterSelectorParameters);
    const int locks = host.handle_locks, unlocks = host.handle_unlocks;
    AboutRecord about{};
    int16_t result = 7;
    PluginDispatch(filterSelectorAbout, &about, &host.data_slot, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(host.handle_locks, locks);
    EXPECT_EQ(host.handle_unlocks, unlocks);
}

TEST(Selectors, UnknownSelectorsOnlyUnlock) {
    FakeHost host;
    host.Call(filterSelectorParameters);
    const int locks = host.handle_locks, unlocks = host.handle_unlocks;
    const int created = host.handles_created;
    for (int16_t selector : {6, 7, 42}) EXPECT_EQ(host.Call(selector), 0);
    EXPECT_EQ(host.handle_locks, locks);
    EXPECT_EQ(host.handle_unlocks, unlocks + 2 * 3);
    EXPECT_EQ(host.handles_created, created);
}

TEST(Selectors, PrepareWithBothBlocksKeepsDialogFlagAndScale) {
    FakeHost host;
    host.Call(filterSelectorParameters);
    host.Call(filterSelectorPrepare);
    {
        // Simulate a finished start: flag cleared and the preview zoomed.
        auto& g = *reinterpret_cast<GlobalState*>(*reinterpret_cast<Handle>(host.data_slot));
        g.show_dialog = 0;
        g.preview_scale = 0.25f;
    }
    EXPECT_EQ(host.Call(filterSelectorPrepare), 0);
    EXPECT_EQ(GlobalsOf(host).show_dialog, 0);
    EXPECT_EQ(GlobalsOf(host).preview_scale, 0.25f);
}

TEST(Selectors, FirstPrepareCreatesBlocksAndResetsParameters) {
    FakeHostOptions options;
    options.width = 300;
    options.height = 200;
    FakeHost host(options);
    EXPECT_EQ(host.Call(filterSelectorPrepare), 0);
    const RenderParams& p = ParamsOf(host);
    RenderParams expected;
    std::memset(&expected, 0, sizeof expected);
    SetPlainSettings(expected);
    EXPECT_EQ(p.glue_mode, 1);
    EXPECT_EQ(p.version, kResetVersion);
    EXPECT_STREQ(p.settings_name, "Tarnwell settings");
    EXPECT_EQ(p.zoom, 1);
    EXPECT_EQ(p.render_mode, kRenderFinal);
    EXPECT_EQ(p.seed, expected.seed);
    EXPECT_EQ(p.horizon, expected.horizon);
    EXPECT_EQ(p.complexity, expected.complexity);
    EXPECT_EQ(0, std::memcmp(&p.color, &expected.color, sizeof p.color));
    EXPECT_EQ(p.preview_centre_x, 150);
    EXPECT_EQ(p.preview_centre_y, 100);
    const GlobalState& g = GlobalsOf(host);
    EXPECT_EQ(g.show_dialog, 1);
    EXPECT_EQ(g.filter_bounds.right, 300);
    EXPECT_EQ(g.line_length, LineLengthForFilter(300, 200));
    EXPECT_EQ(g.line_buffer_size, int64_t(g.line_length) * 240);
    EXPECT_EQ(host.record().bufferSpace, 0);
}

TEST(Selectors, PrepareLowersMaxSpaceOnlyWhenLarger) {
    FakeHostOptions options;
    options.width = 1000;
    options.height = 40;
    {
        FakeHost host(options);
        host.record().maxSpace = 10'000'000;
        host.Call(filterSelectorPrepare);
        EXPECT_EQ(host.record().maxSpace, 2 * 40 * 256 * 3);
    }
    {
        FakeHost host(options);
        host.record().maxSpace = 50'000;
        host.Call(filterSelectorPrepare);
        EXPECT_EQ(host.record().maxSpace, 50'000);
    }
}

TEST(Selectors, LineLengthFollowsTheWidestNeed) {
    EXPECT_EQ(LineLengthForFilter(3000, 100), 11184);
    EXPECT_EQ(LineLengthForFilter(3000, 5588), 11184);
    EXPECT_EQ(LineLengthForFilter(3000, 6000), 2 * 6004);
    EXPECT_EQ(LineLengthForFilter(1, 1), 3 + 2184);
    EXPECT_GE(LineLengthForFilter(0, 0), 4);
}

TEST(Selectors, ContinueKeepsReturningEmptyRectangles) {
    FakeHost host;
    host.Call(filterSelectorPrepare);
    host.record().inRect = {1, 2, 3, 4};
    host.record().outRect = {1, 2, 3, 4};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.Call(filterSelectorContinue), 0);
        EXPECT_TRUE(GetInRect(host.record()).empty());
        EXPECT_TRUE(GetOutRect(host.record()).empty());
        EXPECT_TRUE(GetMaskRect(host.record()).empty());
    }
}

TEST(Selectors, FailuresGiveTheirCodes) {
    {
        FakeHost host;
        host.fail_new_handle = true;
        EXPECT_EQ(host.Call(filterSelectorPrepare), -108);
    }
    {
        FakeHost host;
        host.Call(filterSelectorPrepare);
        host.fail_lock = true;
        EXPECT_EQ(host.Call(filterSelectorStart), -108);
    }
    {
        // Start without the blocks a prepare makes.
        FakeHost host;
        EXPECT_EQ(host.Call(filterSelectorStart), filterBadParameters);
    }
    {
        FakeHost host;
        host.record().advanceState = nullptr;
        host.Call(filterSelectorPrepare);
        // Without a dialog the refusal still reaches the user, on stderr.
        testing::internal::CaptureStderr();
        EXPECT_EQ(host.Call(filterSelectorStart), 1);
        EXPECT_NE(testing::internal::GetCapturedStderr().find(kRefusalText), std::string::npos);
        EXPECT_TRUE(GetOutRect(host.record()).empty());
        // No finish follows a refused start; its pictures must already be gone.
        EXPECT_EQ(host.buffers_live, 0);
    }
    {
        FakeHost host;
        host.record().imageMode = plugInModeMultichannel;
        host.Call(filterSelectorPrepare);
        testing::internal::CaptureStderr();
        EXPECT_EQ(host.Call(filterSelectorStart), 1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // refused without a message
        EXPECT_EQ(host.advance_calls, 0);
    }
}

TEST(Selectors, BigDocumentRectanglesAreUsed) {
    FakeHostOptions options;
    options.big_document = true;
    options.width = 40;
    options.height = 30;
    FakeHost host(options);
    host.record().filterRect = {0, 0, 1, 1};  // the 16-bit one is stale on purpose
    host.Call(filterSelectorPrepare);
    EXPECT_EQ(GlobalsOf(host).filter_bounds.right, 40);
    EXPECT_EQ(GlobalsOf(host).filter_bounds.bottom, 30);
    host.Call(filterSelectorContinue);
    EXPECT_EQ(host.record().bigDocumentData->outRect32.right, 0);
}

TEST(MessageText, PlaceholdersAreFilledOnce) {
    const std::array<std::string, 4> strings = {"lake", "", "^0", "x"};
    EXPECT_EQ(FillPlaceholders("a ^0 b ^1 c ^2 d ^3 ^4", strings), "a lake b ^1 c ^0 d x ^4");
    EXPECT_EQ(FillPlaceholders("^0^0^", strings), "lakelake^");
    const std::string long_text(2000, 'y');
    EXPECT_EQ(FillPlaceholders(long_text, strings).size(), kMessageTextLimit);
}

}  // namespace
}  // namespace tw
