// The front end's procedure arguments, dialog groups and parameter records, all built from
// the parameter table: every value a script can pass is checked by the command line's
// parser, with its messages, and a record reaches the plug-in as the same action the
// command line's --set builds for the same values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>

#include "gimp/parameters.h"
#include "host/descriptor_json.h"
#include "host/descriptor_settings.h"
#include "hostapi/four_cc.h"
#include "params/parameter_text.h"
#include "params/settings_precision.h"

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

// What the command line says for `--set assignment`.
std::string CommandLineMessage(const std::string& assignment) {
    RenderParams p = PlainParams();
    ParameterTarget target;
    std::string error;
    EXPECT_FALSE(SetParameterText(p, assignment, target, error)) << assignment;
    return error;
}

TEST(ProcedureArgs, EveryTableRowInTableOrderThenTheSettingsFile) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    std::set<std::string> names;
    std::vector<const ParameterInfo*> rows;
    for (const ProcedureArg& a : args) {
        EXPECT_TRUE(names.insert(a.name).second) << a.name;
        for (char c : a.name) EXPECT_TRUE((c >= 'a' && c <= 'z') || c == '-') << a.name;
        if (a.row == nullptr) continue;
        EXPECT_EQ(a.description.rfind(a.row->label, 0), 0u) << a.description;
        if (rows.empty() || rows.back() != a.row) rows.push_back(a.row);
    }
    ASSERT_EQ(rows.size(), size_t(kParameterCount));
    for (int i = 0; i < kParameterCount; ++i) EXPECT_EQ(rows[size_t(i)], &kParameters[size_t(i)]);
    for (const char* name : {"horizon", "undulation", "style", "glue", "color", "glitter", "seed", "center-x",
                             "center-y", "light-x", "light-y", "light-z", "settings-file"})
        EXPECT_NE(names.count(name), 0u) << name;
    // The kinds GIMP's procedure database is told.
    EXPECT_EQ(args[ArgIndex("horizon")].kind, ArgKind::kFloat);
    EXPECT_EQ(args[ArgIndex("glue")].kind, ArgKind::kInt);
    EXPECT_EQ(args[ArgIndex("glitter")].kind, ArgKind::kColour);
    EXPECT_EQ(args[ArgIndex("light-z")].kind, ArgKind::kFloat);
    EXPECT_EQ(args[ArgIndex("light-z")].component, 2);
    EXPECT_EQ(args.back().kind, ArgKind::kText);
    EXPECT_NE(args[ArgIndex("spin")].description.find("from -90 to 90 (plain 0)"), std::string::npos);
    EXPECT_NE(args[ArgIndex("style")].description.find("1 simple, 2 complex (plain 2)"), std::string::npos);
    EXPECT_NE(args[ArgIndex("color")].description.find("plain 46, 62, 90 of 255"), std::string::npos)
        << args[ArgIndex("color")].description;
}

TEST(ProcedureArgs, PlainValuesComeBackAsTheSameAction) {
    RenderParams back{};
    std::string error;
    ASSERT_TRUE(ParamsFromArgs(PlainArgs(), back, error)) << error;
    EXPECT_EQ(host::DescriptorToJson(ActionFor(back)), host::DescriptorToJson(ActionFor(PlainParams())));
    // The plain light made unit length and kept in hundredths is the plain light again.
    for (int c = 0; c < 3; ++c) EXPECT_EQ(back.light_dir[c], kPlainLightDir[c]);
    EXPECT_EQ(back.pick_y, kPlainPickY);
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
    // And back: a script reads what it set.
    const std::vector<ArgValue> again = ArgsFromParams(p);
    EXPECT_EQ(again[ArgIndex("glue")].integer, 69);
    EXPECT_DOUBLE_EQ(again[ArgIndex("color")].rgb[0], 1.0);
    EXPECT_DOUBLE_EQ(again[ArgIndex("center-x")].number, 1.0);
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
    v[ArgIndex("center-y")].number = 0.2;
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

TEST(ProcedureArgs, BadValuesAreRefusedWithTheCommandLinesMessages) {
    const Refusal cases[] = {
        {"horizon", 100.5, 0, "Horizon must be a number from 0 to 100, not \"100.5\""},
        {"horizon", -0.01, 0, "Horizon must be a number from 0 to 100, not \"-0.01\""},
        {"spin", 91, 0, "Spin must be a number from -90 to 90, not \"91\""},
        {"undulation", kNaN, 0, "Undulation must be a number from 0 to 100, not \"nan\""},
        {"style", 0, 3, "Style must be simple (1) or complex (2), not \"3\""},
        {"glue", 0, 0, "Glue must be a mode number from 1 to 69 (the procedure's help names them), not \"0\""},
        {"glue", 0, 70, "not \"70\""},
        {"seed", 0, -1, "Seed must be a whole number from 0 to 2047, not \"-1\""},
        {"seed", 0, 2048, "not \"2048\""},
        {"center-x", 1.5, 0, "Center must be x,y with each a fraction of the picture from 0 to 1"},
        {"center-y", -1, 0, "not \"0.5,-1\""},
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
    // Word for word what `--set` says, where GIMP's value is the command line's.
    const auto message = [](const char* arg, double number, int32_t integer) {
        std::vector<ArgValue> v = PlainArgs();
        v[ArgIndex(arg)].number = number;
        v[ArgIndex(arg)].integer = integer;
        RenderParams p{};
        std::string error;
        EXPECT_FALSE(ParamsFromArgs(v, p, error));
        return error;
    };
    EXPECT_EQ(message("horizon", 150, 0), CommandLineMessage("Horizon=150"));
    EXPECT_EQ(message("style", 0, 3), CommandLineMessage("Style=3"));
    EXPECT_EQ(message("seed", 0, 5000), CommandLineMessage("Seed=5000"));
    std::vector<ArgValue> v = PlainArgs();
    v[ArgIndex("center-x")].number = 1.5;
    v[ArgIndex("center-y")].number = 0.2;
    RenderParams p{};
    std::string error;
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_EQ(error, CommandLineMessage("Center=1.5,0.2"));
}

TEST(ProcedureArgs, BadColoursLightsAndCountsAreRefused) {
    std::string error;
    RenderParams p{};
    std::vector<ArgValue> v = PlainArgs();
    v[ArgIndex("glitter")].rgb[1] = 1.5;
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_NE(error.find("Glitter must be r,g,b with each component from 0 to 1, not \""), std::string::npos)
        << error;
    v[ArgIndex("glitter")].rgb[1] = kNaN;
    EXPECT_FALSE(ParamsFromArgs(v, p, error));

    v = PlainArgs();
    for (const char* n : {"light-x", "light-y", "light-z"}) v[ArgIndex(n)].number = 0;
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_EQ(error, CommandLineMessage("Light=0,0,0"));
    EXPECT_NE(error.find("not all zero"), std::string::npos) << error;
    v[ArgIndex("light-y")].number = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(ParamsFromArgs(v, p, error));

    v = PlainArgs();
    v.pop_back();
    EXPECT_FALSE(ParamsFromArgs(v, p, error));
    EXPECT_NE(error.find("filter values"), std::string::npos) << error;
}

TEST(ProcedureArgs, RangeEndsAreAccepted) {
    const std::vector<ProcedureArg>& args = ProcedureArgs();
    for (size_t i = 0; i < args.size(); ++i) {
        const ParameterInfo* row = args[i].row;
        if (row == nullptr || args[i].kind != ArgKind::kFloat || row->kind == ParameterKind::kDirection) continue;
        for (const float end : {row->min, row->max}) {
            std::vector<ArgValue> v = PlainArgs();
            v[i].number = end;
            RenderParams p{};
            std::string error;
            EXPECT_TRUE(ParamsFromArgs(v, p, error)) << args[i].name << " " << end << ": " << error;
            EXPECT_EQ(ParameterComponent(p, *row, std::max(args[i].component, 0)), double(end)) << args[i].name;
        }
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
    EXPECT_EQ(names.front(), "normal");
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_NE(help.find(std::to_string(i + 1) + " " + names[i]), std::string::npos) << names[i];
}

TEST(DialogGroups, EveryRowOnceSlidersInTableOrder) {
    std::map<const ParameterInfo*, int> seen;
    const std::vector<DialogGroup> groups = DialogGroups();
    const ParameterInfo* previous_slider = nullptr;
    for (const DialogGroup& g : groups) {
        EXPECT_FALSE(g.rows.empty()) << (g.title ? g.title : "(no frame)");
        for (const ParameterInfo* row : g.rows) {
            ++seen[row];
            if (row->kind != ParameterKind::kSlider) continue;
            EXPECT_NE(g.title, nullptr) << row->label;
            if (previous_slider) {
                EXPECT_GT(row, previous_slider) << row->label;
            }
            previous_slider = row;
        }
    }
    ASSERT_EQ(seen.size(), size_t(kParameterCount));
    for (const auto& [row, count] : seen) EXPECT_EQ(count, 1) << row->label;
    // The frames the dialog draws, and where the other rows go.
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_STREQ(groups[0].title, "Water");
    EXPECT_STREQ(groups[0].rows.front()->label, kSliders[0].label);
    EXPECT_EQ(groups[3].title, nullptr);
    ASSERT_EQ(groups[3].rows.size(), 1u);
    EXPECT_EQ(groups[3].rows[0]->kind, ParameterKind::kGlue);
    for (const ParameterInfo* row : groups[2].rows)
        EXPECT_TRUE(row->kind == ParameterKind::kSlider || row->kind == ParameterKind::kSeed ||
                    row->kind == ParameterKind::kPoint)
            << row->label;
}

TEST(DialogGroups, EveryKindHasItsRowAndATooltip) {
    for (ParameterKind kind : {ParameterKind::kSlider, ParameterKind::kStyle, ParameterKind::kGlue,
                               ParameterKind::kColour, ParameterKind::kSeed, ParameterKind::kPoint,
                               ParameterKind::kDirection})
        EXPECT_EQ(RowOfKind(kind).kind, kind);
    for (const ParameterInfo& row : kParameters) {
        const std::string tip = Tooltip(row);
        ASSERT_FALSE(tip.empty()) << row.label;
        EXPECT_TRUE(tip[0] >= 'A' && tip[0] <= 'Z') << tip;
    }
    const std::vector<StyleChoice> styles = StyleChoices();
    ASSERT_EQ(styles.size(), 2u);
    EXPECT_EQ(styles[0].label, "Simple");
    EXPECT_EQ(styles[1].value, kStyleComplex);
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
    EXPECT_EQ(p.style, kStyleSimple);  // the renderer draws any style but complex as simple
    EXPECT_EQ(p.seed, kMaxSeed);
    EXPECT_FLOAT_EQ(p.pick_x, kPlainPickX);
    EXPECT_FLOAT_EQ(p.pick_y, 0.0f);
    EXPECT_FLOAT_EQ(p.light_dir[2], kPlainLightDir[2]);
    // A record in range and in a settings file's precision is left to the bit; otherwise the
    // light and the centre are brought to that precision, as the dialog's edits are.
    RenderParams q = PlainParams();
    q.horizon = 33.3333f;
    q.light_dir[0] = 0.3f;
    q.pick_x = 0.123456789f;
    RenderParams rounded = q;
    RoundToSettingsPrecision(rounded);
    EXPECT_NE(rounded.pick_x, q.pick_x);
    ClampToRanges(q);
    EXPECT_EQ(std::memcmp(&q, &rounded, sizeof q), 0);
    ClampToRanges(q);
    EXPECT_EQ(std::memcmp(&q, &rounded, sizeof q), 0);
    // A light that rounds to nothing cannot be made unit length: it becomes the plain one.
    q.light_dir[0] = q.light_dir[1] = q.light_dir[2] = 0.004f;
    ClampToRanges(q);
    EXPECT_EQ(q.light_dir[2], kPlainLightDir[2]);
}

// A script's values render what a settings file saved from them renders: the centre in
// 1/65536 of the picture, the light in hundredths, as the command line keeps them.
TEST(ProcedureArgs, ValuesAreKeptInTheSettingsFilesPrecision) {
    std::vector<ArgValue> v = PlainArgs();
    v[ArgIndex("center-x")].number = 0.123456789;
    v[ArgIndex("light-x")].number = 1;
    v[ArgIndex("light-y")].number = 2;
    v[ArgIndex("light-z")].number = 2;
    RenderParams p{};
    std::string error;
    ASSERT_TRUE(ParamsFromArgs(v, p, error)) << error;
    EXPECT_EQ(p.pick_x, DecodeFixed16(EncodeFixed16(0.123456789f)));
    EXPECT_EQ(p.light_dir[0], DecodeHundredths(33));
    EXPECT_EQ(p.light_dir[2], DecodeHundredths(66));
    RenderParams again = p;
    RoundToSettingsPrecision(again);
    EXPECT_EQ(std::memcmp(&again, &p, sizeof p), 0);
}

TEST(CopyRenderedValues, CarriesEveryRowAndNothingElse) {
    RenderParams from = PlainParams();
    from.horizon = 12.25f;
    from.style = kStyleSimple;
    from.glue_mode = 33;
    from.glitter_color = Rgb16{1, 2, 3};
    from.seed = 9;
    from.pick_y = 0.75f;
    from.light_dir[1] = 0.5f;
    from.zoom = 4;  // a working field: the preview's, not the look's
    RenderParams to = PlainParams();
    to.zoom = 2;
    CopyRenderedValues(from, to);
    EXPECT_EQ(host::DescriptorToJson(ActionFor(to)), host::DescriptorToJson(ActionFor(from)));
    EXPECT_EQ(to.zoom, 2);
}

TEST(PlainParams, IsTheResetRecordWithAName) {
    const RenderParams p = PlainParams();
    RenderParams q = p;
    q.horizon = 3;
    ResetToPlain(q);
    EXPECT_EQ(host::DescriptorToJson(ActionFor(p)), host::DescriptorToJson(ActionFor(q)));
    EXPECT_STREQ(p.settings_name, "plain settings");
}

}  // namespace
}  // namespace tw::gimp
