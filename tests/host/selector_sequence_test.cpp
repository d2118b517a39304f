// The order of selectors a run sends, what happens on failures, and what survives from
// one run to the next, driven by small stand-in entry points.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/host_session.h"

namespace tw::host {
namespace {

std::vector<int> gCalls;
int gContinuesLeft = 0;
OSErr gFailAt[6] = {};
bool gContinueSawBuffers = true;

void ResetScript() {
    gCalls.clear();
    gContinuesLeft = 0;
    for (OSErr& e : gFailAt) e = noErr;
    gContinueSawBuffers = true;
}

Document OnePixelGrey() {
    Document doc;
    doc.width = doc.height = 1;
    doc.colour_planes = 1;
    doc.pixels = {42};
    return doc;
}

// Uses the classic protocol: start asks for the picture, each continue takes one step.
void ScriptedPlugin(int16_t selector, void* record, intptr_t*, int16_t* result) {
    auto* r = static_cast<FilterRecord*>(record);
    gCalls.push_back(selector);
    *result = gFailAt[selector];
    if (*result) return;
    if (selector == filterSelectorStart) {
        r->inRect = r->outRect = {0, 0, 1, 1};
        r->inLoPlane = r->outLoPlane = 0;
        r->inHiPlane = r->outHiPlane = 0;
    } else if (selector == filterSelectorContinue) {
        if (!r->inData || !r->outData) gContinueSawBuffers = false;
        else static_cast<uint8_t*>(r->outData)[0] = uint8_t(static_cast<uint8_t*>(r->inData)[0] + 1);
        if (gContinuesLeft != -1 && --gContinuesLeft <= 0) r->inRect = r->outRect = {0, 0, 0, 0};
    }
}

TEST(SelectorSequence, PrepareStartContinuesUntilEmptyThenFinish) {
    ResetScript();
    gContinuesLeft = 3;
    Document doc = OnePixelGrey();
    HostSession session;
    RunOutcome outcome = session.Apply(ScriptedPlugin, doc, {});
    EXPECT_EQ(outcome.result, noErr);
    EXPECT_EQ(gCalls, (std::vector<int>{2, 3, 4, 4, 4, 5}));
    EXPECT_TRUE(gContinueSawBuffers);
    EXPECT_EQ(doc.pixels[0], 43);  // each continue reads the original picture
    EXPECT_EQ(session.stats().continue_calls, 3);
}

TEST(SelectorSequence, InteractiveRunsAskForParametersFirst) {
    ResetScript();
    gContinuesLeft = 1;
    Document doc = OnePixelGrey();
    HostSession session;
    RunOptions options;
    options.interactive = true;
    session.Apply(ScriptedPlugin, doc, {}, options);
    EXPECT_EQ(gCalls, (std::vector<int>{1, 2, 3, 4, 5}));
}

TEST(SelectorSequence, FinishFollowsOnlyASuccessfulStart) {
    ResetScript();
    gFailAt[filterSelectorStart] = memFullErr;
    Document doc = OnePixelGrey();
    HostSession session;
    RunOutcome outcome = session.Apply(ScriptedPlugin, doc, {});
    EXPECT_EQ(outcome.result, memFullErr);
    EXPECT_EQ(outcome.selector, filterSelectorStart);
    EXPECT_EQ(gCalls, (std::vector<int>{2, 3}));
    EXPECT_EQ(doc.pixels[0], 42);

    ResetScript();
    gContinuesLeft = 5;
    gFailAt[filterSelectorContinue] = userCanceledErr;
    outcome = session.Apply(ScriptedPlugin, doc, {});
    EXPECT_EQ(outcome.result, userCanceledErr);
    EXPECT_EQ(outcome.selector, filterSelectorContinue);
    EXPECT_EQ(gCalls, (std::vector<int>{2, 3, 4, 5}));

    ResetScript();
    gFailAt[filterSelectorPrepare] = filterBadParameters;
    outcome = session.Apply(ScriptedPlugin, doc, {});
    EXPECT_EQ(outcome.result, filterBadParameters);
    EXPECT_EQ(gCalls, (std::vector<int>{2}));
}

TEST(SelectorSequence, APluginThatNeverEmptiesItsRectanglesIsStopped) {
    ResetScript();
    gContinuesLeft = -1;  // forever
    Document doc = OnePixelGrey();
    HostSession session;
    RunOutcome outcome = session.Apply(ScriptedPlugin, doc, {});
    EXPECT_NE(outcome.result, noErr);
    EXPECT_NE(outcome.message.find("did not finish"), std::string::npos);
    EXPECT_EQ(session.stats().continue_calls, kMaxContinueCalls);
    EXPECT_EQ(gCalls.back(), filterSelectorFinish);
}

// Keeps a run counter in its parameters block and a second block in the data slot,
// creating both on first use, as real plug-ins do.
void CountingPlugin(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    auto* r = static_cast<FilterRecord*>(record);
    *result = noErr;
    const HandleProcs& h = *r->handleProcs;
    if (selector == filterSelectorPrepare) {
        if (!r->parameters) r->parameters = h.newProc(4);
        if (!*data) *data = reinterpret_cast<intptr_t>(h.newProc(100));
    }
    if (selector == filterSelectorStart) {
        auto* count = reinterpret_cast<int32_t*>(h.lockProc(r->parameters, kTrue));
        ++*count;
        h.unlockProc(r->parameters);
        r->progressProc(1, 2);
        if (r->abortProc()) *result = userCanceledErr;
    }
}

int32_t CountIn(HostSession& session) {
    return *reinterpret_cast<int32_t*>(*session.record().parameters);
}

TEST(KeptBlocks, SurviveFromRunToRunInOneSession) {
    HostSession session;
    Document doc = OnePixelGrey();
    ASSERT_EQ(session.Apply(CountingPlugin, doc, {}).result, noErr);
    Handle first = session.record().parameters;
    intptr_t slot = session.data_slot();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(slot, 0);
    ASSERT_EQ(session.Apply(CountingPlugin, doc, {}).result, noErr);
    EXPECT_TRUE(session.record().parameters == first);
    EXPECT_EQ(session.data_slot(), slot);
    EXPECT_EQ(CountIn(session), 2);
    EXPECT_EQ(session.live_handles(), 2u);
}

struct Heard {
    int progress_calls = 0;
    int32_t done = 0, total = 0;
    bool stop = false;
};

TEST(Events, ProgressReachesTheFrontEndAndAbortReachesThePlugin) {
    Heard heard;
    HostEvents events;
    events.context = &heard;
    events.progress = [](void* c, int32_t done, int32_t total) {
        auto* h = static_cast<Heard*>(c);
        ++h->progress_calls;
        h->done = done;
        h->total = total;
    };
    events.abort = [](void* c) { return static_cast<Heard*>(c)->stop; };
    HostSession session;
    Document doc = OnePixelGrey();
    EXPECT_EQ(session.Apply(CountingPlugin, doc, events).result, noErr);
    EXPECT_EQ(heard.progress_calls, 1);
    EXPECT_EQ(heard.done, 1);
    EXPECT_EQ(heard.total, 2);
    heard.stop = true;
    EXPECT_EQ(session.Apply(CountingPlugin, doc, events).result, userCanceledErr);
}

void ReportingPlugin(int16_t selector, void* record, intptr_t*, int16_t* result) {
    auto* r = static_cast<FilterRecord*>(record);
    *result = noErr;
    if (selector != filterSelectorStart) return;
    const char text[] = "needs RGB";
    (*r->errorString)[0] = uint8_t(std::strlen(text));
    std::memcpy(&(*r->errorString)[1], text, std::strlen(text));
    *result = errReportString;
}

TEST(Results, ThePluginsErrorStringIsPassedOnAndCodesHaveMeanings) {
    HostSession session;
    Document doc = OnePixelGrey();
    RunOutcome outcome = session.Apply(ReportingPlugin, doc, {});
    EXPECT_EQ(outcome.result, errReportString);
    EXPECT_EQ(outcome.message, "needs RGB");
    EXPECT_EQ(DescribeResult(-128), "cancelled");
    EXPECT_EQ(DescribeResult(-108), "out of memory");
    EXPECT_EQ(DescribeResult(-30100), "bad filter parameters");
    EXPECT_NE(DescribeResult(-4242).find("-4242"), std::string::npos);
}

// Writes through advanceState during start and returns without another call: the last
// tile must still reach the picture.
void LastTileWriter(int16_t selector, void* record, intptr_t*, int16_t* result) {
    auto* r = static_cast<FilterRecord*>(record);
    *result = noErr;
    if (selector != filterSelectorStart) return;
    r->outRect = {0, 0, 1, 1};
    r->outLoPlane = r->outHiPlane = 0;
    if ((*result = r->advanceState()) != noErr) return;
    static_cast<uint8_t*>(r->outData)[0] = 7;
    r->outRect = {0, 0, 0, 0};
}

TEST(Results, OutputOfTheLastTileIsKept) {
    HostSession session;
    Document doc = OnePixelGrey();
    ASSERT_EQ(session.Apply(LastTileWriter, doc, {}).result, noErr);
    EXPECT_EQ(doc.pixels[0], 7);
}

}  // namespace
}  // namespace tw::host
