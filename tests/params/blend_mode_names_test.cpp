// The shared table of blend-mode names, their scripting codes and the name lookups used by
// the command line.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hostapi/four_cc.h"
#include "params/blend_mode_names.h"

namespace tw {
namespace {

TEST(BlendNames, ListNamesAndScriptingNames) {
    struct Case {
        int mode;
        const char* name;
        const char* script_name;
        const char* code;
    };
    const Case cases[] = {
        {1, "normal", "normal", "GL01"},
        {2, "procedural +", "procedural +", "GL02"},
        {15, "color", "color", "GL15"},
        {26, "hard diff", "harsh diff", "GL26"},
        {59, "sinister", "sinister", "GL59"},
        {62, "screendim", "screendim", "GL62"},
        {69, "contrast negate", "contrast negate", "GL69"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(blendModeName(c.mode), c.name);
        const BlendModeInfo& row = blendModeTable()[c.mode - 1];
        EXPECT_EQ(row.mode, c.mode);
        EXPECT_STREQ(row.script_name, c.script_name);
        EXPECT_EQ(blendModeScriptCode(c.mode), FourCC(*reinterpret_cast<const char(*)[5]>(c.code)));
    }
    for (int mode : {0, -1, 70, 1000}) {
        EXPECT_STREQ(blendModeName(mode), "");
        EXPECT_EQ(blendModeScriptCode(mode), FourCC("<NO>"));
    }
}

TEST(BlendNames, TerminologyListsAllButAnteriorAndPosterior) {
    int listed = 0;
    std::set<std::string> names;
    for (int i = 0; i < kBlendModeCount; ++i) {
        const BlendModeInfo& row = blendModeTable()[i];
        if (row.in_terminology) ++listed;
        names.insert(row.name);
        EXPECT_EQ(FourCCText(row.script_code).substr(0, 2), "GL");
    }
    EXPECT_EQ(listed, 67);
    EXPECT_FALSE(blendModeTable()[59].in_terminology);
    EXPECT_FALSE(blendModeTable()[60].in_terminology);
    EXPECT_EQ(names.size(), size_t(kBlendModeCount)) << "names must be unique";
}

TEST(BlendNames, ScriptCodesMapBackToModes) {
    for (int mode = 1; mode <= kLastBlendMode; ++mode)
        EXPECT_EQ(blendModeFromScriptCode(blendModeScriptCode(mode)), mode);
    EXPECT_EQ(blendModeFromScriptCode(FourCC("GL60")), 60);  // readable though not listed
    for (uint32_t code : {FourCC("GL00"), FourCC("GL70"), FourCC("gl01"), FourCC("<NO>"), 0u})
        EXPECT_EQ(blendModeFromScriptCode(code), 0) << FourCCText(code);
}

TEST(BlendNames, ParseAcceptsWhatUsersType) {
    struct Case {
        const char* text;
        int mode;  // 0: no mode
    };
    const Case cases[] = {
        {"normal", 1},          {"NORMAL", 1},           {"  Normal ", 1},
        {"hard light", 11},     {"Hard-Light", 11},      {"hardlight", 11},
        {"hard_light", 11},     {"harsh diff", 26},      {"hard diff", 26},
        {"procedural +", 2},    {"procedural+", 2},      {"procedural -", 3},
        {"Procedural-", 3},     {"contrast-negate", 69}, {"27", 27},
        {"1", 1},               {"69", 69},              {"0", 0},
        {"70", 0},              {"", 0},                 {"   ", 0},
        {"procedural", 0},      {"hard", 0},             {"normal2", 0},
        {"-", 0},               {"1e1", 0},
    };
    for (const Case& c : cases) {
        std::optional<int> mode = parseBlendMode(c.text);
        if (c.mode == 0)
            EXPECT_FALSE(mode.has_value()) << "'" << c.text << "' gave " << mode.value_or(0);
        else
            EXPECT_EQ(mode.value_or(0), c.mode) << "'" << c.text << "'";
    }
    for (int mode = 1; mode <= kLastBlendMode; ++mode)
        EXPECT_EQ(parseBlendMode(blendModeName(mode)).value_or(0), mode) << mode;
}

TEST(BlendNames, CloseMatchesForMistypedNames) {
    auto first = [](const char* text) {
        std::vector<std::string> found = closeBlendModeNames(text);
        return found.empty() ? std::string() : found.front();
    };
    EXPECT_EQ(first("overlai"), "overlay");
    EXPECT_EQ(first("multipyl"), "multiply");
    EXPECT_EQ(first("hardlite"), "hard light");
    EXPECT_EQ(first("starbrite"), "starbright");
    std::vector<std::string> proc = closeBlendModeNames("procedural");
    EXPECT_EQ(proc.size(), 2u);
    EXPECT_TRUE(closeBlendModeNames("zzzzqqqq").empty());
    EXPECT_TRUE(closeBlendModeNames("").empty());
    EXPECT_LE(closeBlendModeNames("ad", 2).size(), 2u);
}

}  // namespace
}  // namespace tw
