// The front end's procedure arguments and parameter records: every value a script can pass
// is checked against the table's ranges, and a record reaches the plug-in as the same action
// the command line's --set builds for the same values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "gimp/parameters.h"
#include "hostapi/four_cc.h"

namespace tw::gimp {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Index of an argument by its procedure name.
size_t ArgIndex(const std::string& name) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i].name == name) return i;
    ADD_FAILURE() << "no argument " << name;
    return 0;
}

std::vector<ArgValue> PlainArgs() { return ArgsFromParams(PlainParams()); }

// The value of one key of an action, for comparisons.
std::string ItemText(const host::Descriptor& d, uint32_t key) {
    const host::DescriptorItem* item = d.Find(key);
    if (!item) return "missing";
    return std::to_string(int(item->kind)) + ":" + std::to_string(item->integer) + ":" +
           std::to_string(item->number) + ":" + std::to_string(item->value);
}

TEST(ProcedureArgs, OnePerSliderThenTheRestWithUniqueNames) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    std::set<std::string> names;
    int floats = 0;
    for (const ProcedureArg& a : args) {
        EXPECT_TRUE(names.insert(a.name).second) << a.name;
        EXPECT_FALSE(a.description.empty()) << a.name;
        for (char c : a.name) EXPECT_TRUE((c >= 'a' && c <= 'z') || c == '-') << a.name;
        floats += a.kind == ArgKind::kFloat;
    }
    EXPECT_EQ(floats, kSliderCount + 5);  // sliders, centre x and y, light x, y, z
    for (const char* name : {"horizon", "undulation", "style", "glue", "color", "glitter", "seed", "center-x",
                             "center-y", "light-x", "light-y", "light-z", "settings-file"})
        EXPECT_NE(names.count(name), 0u) << name;
    EXPECT_EQ(args.back().kind, ArgKind::kText);
}

TEST(ProcedureArgs, PlainValuesComeBackAsTheSameAction) {
    RenderParams back{};
    std::string error;
    ASSERT_TRUE(ParamsFromArgs(PlainArgs(), back, error)) << error;
    EXPECT_EQ(host::DescriptorToJson(ActionFor(back)), host::DescriptorToJson(ActionFor(PlainParams())));
}

TEST(ProcedureArgs, EveryValueTravelsToItsField) {
    std::vector<ArgValue> v = PlainArgs();
    v[ArgIndex("horizon")].number = 31.5;
    v[ArgIndex("spin")].number = -90;
    v[ArgIndex("style")].integer = 1;
    v[ArgIndex("glue")].integer = 69;
    v[ArgIndex("color")].rgb[0] = 1.0;
    v[ArgIndex("glitter")].rgb[2] = 0.0;
    v[ArgIndex("seed")].integer = 2047;
    v[ArgIndex("center-x")].number = 1;
    v[ArgIndex("center-y")].number = 0;
    v[ArgIndex("light-x")].number = 0;
    v[ArgIndex("light-y")].number = 0;
    v[ArgIndex("light-z")].number = 5;
    RenderParams p{};
    std::string error;
    ASSERT_TRUE(ParamsFromArgs(v, p, error)) << error;
    EXPECT_FLOAT_EQ(p.horizon, 31.5f);
    EXPECT_FLOAT_EQ(p.spin, -90.0f);
    EXPECT_EQ(p.style, kStyleSimple);
    EXPECT_EQ(p.glue_mode, 69);
    EXPECT_EQ(p.color.r, 0xFFFF);
    EXPECT_EQ(p.color.g, kPlainColor.g);
    EXPECT_EQ(p.glitter_color.b, 0);
    EXPECT_EQ(p.seed, 2047);
    EXPECT_FLOAT_EQ(p.pick_x, 1.0f);
    EXPECT_FLOAT_EQ(p.pick_y, 0.0f);
    EXPECT_FLOAT_EQ(p.light_dir[2], 1.0f);  // made unit length, as the renderer expects
}

// A script and the command line must render the same water from the same values.
TEST(ProcedureArgs, ActionAgreesWithTheCommandLinesSettings) {
    std::vector<ArgValue> v = PlainArgs();
    v[ArgIndex("horizon")].number = 30;
    v[ArgIndex("waviness")].number = 90.25;
    v[ArgIndex("style")].integer = 1;
    v[ArgIndex("glue")].integer = 7;
    v[ArgIndex("seed")].integer = 5;
    v[ArgIndex("center-x")].number = 0.25;
    v[ArgIndex("light-x")].number = 1;
    v[ArgIndex("light-y")].number = 2;
    v[ArgIndex("light-z")].number = 2;
    RenderParams p{};
    std::string error;
    ASSERT_TRUE(ParamsFromArgs(v, p, error)) << error;
    const host::Descriptor ours = ActionFor(p);

    host::Descriptor theirs;
    for (const char* setting : {"Horizon=30", "Waviness=90.25", "Style=simple", "Glue=7", "Seed=5",
                                "Center=0.25,0.2", "Light=1,2,2"})
        ASSERT_TRUE(host::AddSetting(theirs, setting, error)) << error;
    ASSERT_FALSE(theirs.items.empty());
    for (const host::DescriptorItem& item : theirs.items)
        EXPECT_EQ(ItemText(ours, item.key), ItemText(theirs, item.key)) << FourCCText(item.key);
}

struct Refusal {
    const char* arg;
    double number;
    int32_t integer;
    const char* words;  // what the message must say
};

TEST(ProcedureArgs, OutOfRangeValuesAreRefusedNamingTheParameterAndRange) {
    const Refusal cases[] = {
        {"horizon", 100.5, 0, "Horizon must be a number from 0 to 100, not 100.5"},
        {"horizon", -0.01, 0, "Horizon must be a number from 0 to 100"},
        {"spin", 91, 0, "Spin must be a number from -90 to 90, not 91"},
        {"undulation", kNaN, 0, "Undulation must be a number"},
        {"style", 0, 3, "Style must be 1 (simple) or 2 (complex), not 3"},
        {"glue", 0, 0, "Glue must be a mode from 1 to 69, not 0"},
        {"glue", 0, 70, "not 70"},
        {"seed", 0, -1, "Seed must be a whole number from 0 to 2047, not -1"},
        {"seed", 0, 2048, "not 2048"},
        {"center-x", 1.5, 0, "Center x must be a fraction of the picture from 0 to 1, not 1.5"},
        {"center-y", -1, 0, "Center y must be"},
    };
    for (const Refusal& c : cases) {
        std::vector<ArgValue> v = PlainArgs();
        ArgValue& a = v[ArgIndex(c.arg)];
        a.number = c.number;
        a.integer = c.integer;
        RenderParams p = PlainParams();
        p.horizon = 12;  // must stay as it was
        std::string error;
        EXPECT_FALSE(ParamsFromArgs(v, p, error)) << c.arg;
        EXPECT_NE(error.find(c.words), std::string::npos) << error;
        EXPECT_FLOAT_EQ(p.horizon, 12.0f);
    }
}

TEST(ProcedureArgs, BadColoursLightsAndCountsAreRefused) {
    std::string error;
    RenderParams p{};
    std::vector<ArgValue> v = PlainArgs();
    v[ArgIndex("glitter")].rgb[1] = 1.5;
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_NE(error.find("Glitter must be a colour"), std::string::npos) << error;

    v = PlainArgs();
    for (const char* n : {"light-x", "light-y", "light-z"}) v[ArgIndex(n)].number = 0;
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_NE(error.find("not all zero"), std::string::npos) << error;
    v[ArgIndex("light-y")].number = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(ParamsFromArgs(v, p, error));

    v = PlainArgs();
    v.pop_back();
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_NE(error.find("filter values"), std::string::npos) << error;
}

TEST(ProcedureArgs, RangeEndsAreAccepted) {
    for (const SliderGroup& g : SliderGroups())
        for (const SliderRow& r : g.rows)
            for (double end : {r.min, r.max}) {
                std::vector<ArgValue> v = PlainArgs();
                v[size_t(r.index)].number = end;
                RenderParams p{};
                std::string error;
                EXPECT_TRUE(ParamsFromArgs(v, p, error)) << r.label << " " << end << ": " << error;
                EXPECT_FLOAT_EQ(SliderValue(p, r.index), float(end));
            }
}

TEST(ProcedureArgs, SettingsFileIsTheLastArgument) {
    std::vector<ArgValue> v = PlainArgs();
    EXPECT_EQ(SettingsFileArg(v), "");
    v.back().text = "/tmp/a.q8r";
    EXPECT_EQ(SettingsFileArg(v), "/tmp/a.q8r");
}

TEST(ProcedureHelp, ListsEveryGlueModeByNumberAndName) {
    const std::string help = ProcedureHelp();
    const std::vector<std::string> names = GlueNames();
    ASSERT_EQ(names.size(), 69u);
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_NE(help.find(std::to_string(i + 1) + " " + names[i]), std::string::npos) << names[i];
}

TEST(DialogRows, EverySliderAppearsOnceInSomeGroup) {
    std::set<int> seen;
    for (const SliderGroup& g : SliderGroups()) {
        EXPECT_FALSE(g.rows.empty()) << g.title;
        for (const SliderRow& r : g.rows) {
            EXPECT_TRUE(seen.insert(r.index).second) << r.label;
            EXPECT_LT(r.min, r.max) << r.label;
            EXPECT_GE(r.plain, r.min);
            EXPECT_LE(r.plain, r.max);
        }
    }
    EXPECT_EQ(int(seen.size()), kSliderCount);
}

TEST(ClampToRanges, HostileValuesBecomeOnesThePlugInRenders) {
    RenderParams p = PlainParams();
    p.horizon = std::numeric_limits<float>::quiet_NaN();
    p.spin = -1e30f;
    p.blur = 1e30f;
    p.glue_mode = INT32_MIN;
    p.style = 7;
    p.seed = INT32_MAX;
    p.pick_x = std::numeric_limits<float>::infinity();
    p.pick_y = -3;
    p.light_dir[0] = p.light_dir[1] = p.light_dir[2] = 0;
    ClampToRanges(p);
    EXPECT_FLOAT_EQ(p.horizon, 50.0f);  // the plain value
    EXPECT_FLOAT_EQ(p.spin, -90.0f);
    EXPECT_FLOAT_EQ(p.blur, 100.0f);
    EXPECT_EQ(p.glue_mode, 1);
    EXPECT_EQ(p.style, kStyleComplex);
    EXPECT_EQ(p.seed, MaxSeed());
    EXPECT_FLOAT_EQ(p.pick_x, kPlainPickX);
    EXPECT_FLOAT_EQ(p.pick_y, 0.0f);
    EXPECT_FLOAT_EQ(p.light_dir[2], kPlainLightDir[2]);
}

TEST(PlainParams, IsTheResetRecordWithAName) {
    const RenderParams p = PlainParams();
    RenderParams q = p;
    ResetToPlain(q);
    EXPECT_EQ(host::DescriptorToJson(ActionFor(p)), host::DescriptorToJson(ActionFor(q)));
    EXPECT_STREQ(p.settings_name, "plain settings");
    EXPECT_EQ(StyleChoices().size(), 2u);
}

}  // namespace
}  // namespace tw::gimp
