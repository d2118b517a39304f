// The one `--set` parser: labels and aliases in their spellings, every value form, refusals
// that name the accepted form and leave the record alone, and the help that lists it all.
#include "params/parameter_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

namespace tw {
namespace {

RenderParams Plain() {
    RenderParams p{};
    ResetParams(p);
    return p;
}

bool Set(RenderParams& p, const char* assignment, std::string* error = nullptr) {
    ParameterTarget target;
    std::string why;
    const bool ok = SetParameterText(p, assignment, target, why);
    if (error) *error = why;
    return ok;
}

TEST(ParameterText, LabelsAliasesAndTheirSpellings) {
    const struct {
        const char* label;
        const char* name;  // what the table calls it
        int component;
    } cases[] = {
        {"Horizon", "Horizon", -1}, {"hORIZON", "Horizon", -1}, {" waviness ", "Waviness", -1},
        {"Colour", "Colour", -1},   {"color", "Color", -1},     {"Centre", "Centre", -1},
        {"Pick X", "Pick X", 0},    {"pick_y", "Pick Y", 1},    {"PICK-X", "Pick X", 0},
        {"pickx", "Pick X", 0},     {"Light", "Light", -1},
    };
    for (const auto& c : cases) {
        const ParameterTarget t = FindParameter(c.label);
        ASSERT_NE(t.parameter, nullptr) << c.label;
        EXPECT_STREQ(t.name, c.name) << c.label;
        EXPECT_EQ(t.component, c.component) << c.label;
    }
    EXPECT_EQ(FindParameter("Pick Z").parameter, nullptr);
    EXPECT_EQ(FindParameter("").parameter, nullptr);
    EXPECT_STREQ(FindParameter("centre").parameter->label, "Center");
}

TEST(ParameterText, EveryValueForm) {
    RenderParams p = Plain();
    ASSERT_TRUE(Set(p, "waviness=12.5"));
    EXPECT_EQ(p.waviness, 12.5f);
    ASSERT_TRUE(Set(p, "Spin = -90"));
    EXPECT_EQ(p.spin, -90.0f);
    ASSERT_TRUE(Set(p, "STYLE=simple"));
    EXPECT_EQ(p.style, kStyleSimple);
    ASSERT_TRUE(Set(p, "style=2"));
    EXPECT_EQ(p.style, kStyleComplex);
    ASSERT_TRUE(Set(p, "Glue=69"));
    EXPECT_EQ(p.glue_mode, 69);
    ASSERT_TRUE(Set(p, "Glue=screen dim"));
    EXPECT_EQ(p.glue_mode, 62);
    ASSERT_TRUE(Set(p, "Seed=2047"));
    EXPECT_EQ(p.seed, 2047);
    ASSERT_TRUE(Set(p, "Color=#FF0080"));
    EXPECT_EQ(p.color.r, 0xFF00);
    EXPECT_EQ(p.color.b, 0x8000);
    ASSERT_TRUE(Set(p, "Color=255, 0 ,128"));
    EXPECT_EQ(p.color.r, 0xFF00);
    EXPECT_EQ(p.color.g, 0);
    ASSERT_TRUE(Set(p, "Glitter=#123456789abc"));
    EXPECT_EQ(p.glitter_color.g, 0x5678);
    ASSERT_TRUE(Set(p, "Center=0.25,1"));
    EXPECT_EQ(p.pick_x, 0.25f);
    EXPECT_EQ(p.pick_y, 1.0f);
    ASSERT_TRUE(Set(p, "Pick X=0.75"));
    EXPECT_EQ(p.pick_x, 0.75f);
    EXPECT_EQ(p.pick_y, 1.0f) << "an alias of one component leaves the other alone";
    ASSERT_TRUE(Set(p, "Light=0,0,-3"));
    EXPECT_EQ(p.light_dir[2], -1.0f);
    // A direction is made a unit vector (float(v / length), the length in double) and kept
    // in the hundredths a settings file keeps, truncated toward zero: (0.267, 0.534, 0.801).
    ASSERT_TRUE(Set(p, "light=1,2,3"));
    EXPECT_EQ(p.light_dir[0], float(0.26));
    EXPECT_EQ(p.light_dir[1], float(0.53));
    EXPECT_EQ(p.light_dir[2], float(0.80));
    ASSERT_TRUE(Set(p, "light=-1,-2,-3"));
    EXPECT_EQ(p.light_dir[0], float(-0.26));
    EXPECT_EQ(p.light_dir[2], float(-0.80));
    // The centre in the file's 1/65536 steps: 0.3 is 19660.8 of them, kept as 19660.
    ASSERT_TRUE(Set(p, "Pick Y=0.3"));
    EXPECT_EQ(p.pick_y, float(19660 / 65536.0));
    EXPECT_EQ(p.pick_x, 0.75f);
}

TEST(ParameterText, RefusalsNameTheFormAndChangeNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {"horizon=101", "Horizon must be a number from 0 to 100, not \"101\""},
        {"spin=90.5", "from -90 to 90"},
        {"waviness=", "from 0 to 100"},
        {"blur=nan", "from 0 to 100"},
        {"blur=1e999", "from 0 to 100"},
        {"height=3 apples", "from 0 to 100"},
        {"seed=2048", "a whole number from 0 to 2047"},
        {"seed=1.5", "a whole number"},
        {"style=3", "simple (1) or complex (2)"},
        {"glue=0", "1 to 69"},
        {"glue=screendm", "did you mean \"screendim\""},
        {"glue=wobble", "a mode name"},
        {"color=256,0,0", "from 0 to 255"},
        {"color=1.5,0,0", "r,g,b"},
        {"color=1,2", "r,g,b"},
        {"color=#12345", "#rrggbb"},
        {"color=red", "#rrggbb"},
        {"glitter=#12345g", "#rrrrggggbbbb"},
        {"center=0.5", "x,y"},
        {"center=0.5,1.5", "from 0 to 1"},
        {"Pick X=1.01", "Pick X must be one number of Center, from 0 to 1"},
        {"light=0,0,0", "not all zero"},
        {"light=1,2", "x,y,z"},
        {"light=1,2,3,4", "x,y,z"},
        {"horizon", "label=value"},
        {"depth=4", "unknown setting \"depth\""},
    };
    for (const auto& [assignment, why] : cases) {
        RenderParams p = Plain();
        const RenderParams before = p;
        std::string error;
        EXPECT_FALSE(Set(p, assignment, &error)) << assignment;
        EXPECT_NE(error.find(why), std::string::npos) << assignment << " gave: " << error;
        EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0) << assignment;
    }
}

TEST(ParameterText, UnknownLabelsOfferTheCloseOnesAndListAll) {
    RenderParams p = Plain();
    std::string error;
    EXPECT_FALSE(Set(p, "wavyness=3", &error));
    EXPECT_NE(error.find("unknown setting \"wavyness\"; did you mean \"Waviness\"?"), std::string::npos) << error;
    EXPECT_NE(error.find(ParameterLabels()), std::string::npos) << error;
    EXPECT_FALSE(Set(p, "pick=0.5", &error));
    EXPECT_NE(error.find("\"Pick X\""), std::string::npos) << error;
    EXPECT_FALSE(Set(p, "zzzzzzzz=1", &error));
    EXPECT_EQ(error.find("did you mean"), std::string::npos) << error;
}

TEST(ParameterText, HelpListsEveryLabelAndAliasWithinTheWidth) {
    const std::string help = ParameterHelp("  ");
    for (const ParameterInfo& row : kParameters) {
        EXPECT_NE(help.find(row.label), std::string::npos) << row.label;
        for (const ParameterAlias& alias : row.aliases) {
            if (!alias.name) continue;
            EXPECT_NE(help.find(alias.name), std::string::npos) << alias.name;
        }
    }
    EXPECT_NE(help.find("Horizon, Offset, Perspective"), std::string::npos) << "sliders of one range go together";
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        EXPECT_EQ(line.rfind("  ", 0), 0u) << line;
    }
    EXPECT_EQ(ParameterLabels().rfind("Horizon, Offset, Spin,", 0), 0u);
}

TEST(ParameterText, NumbersAndColours) {
    double v = 0;
    EXPECT_TRUE(ParseNumber(" 12.5 ", v));
    EXPECT_EQ(v, 12.5);
    EXPECT_TRUE(ParseNumber("-1e2", v));
    EXPECT_EQ(v, -100);
    for (const char* bad : {"", " ", "1.5x", "inf", "-nan", "1,5", "1e400"}) EXPECT_FALSE(ParseNumber(bad, v)) << bad;

    Rgb16 c{};
    EXPECT_TRUE(ParseColour("#0A0b0C", c));
    EXPECT_EQ(c.r, 0x0A00);
    EXPECT_EQ(c.b, 0x0C00);
    EXPECT_TRUE(ParseColour("#FFFF00000001", c));
    EXPECT_EQ(c.r, 0xFFFF);
    EXPECT_EQ(c.b, 1);
    EXPECT_TRUE(ParseColour("0,128,255", c));
    EXPECT_EQ(c.g, 0x8000);
    EXPECT_EQ(c.b, 0xFF00);
    for (const char* bad : {"#", "#1234567", "#GG0000", "1,2,3,4", "-1,0,0", "a,b,c", "#12 456"})
        EXPECT_FALSE(ParseColour(bad, c)) << bad;
}

}  // namespace
}  // namespace tw
