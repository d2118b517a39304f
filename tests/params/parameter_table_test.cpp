// The table of parameters: each row is complete for its kind, names nothing twice, and its
// values read and write the field it names; the README lists every row as the table says.
#include "params/parameter_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "params/name_matching.h"

namespace tw {
namespace {

RenderParams Plain() {
    RenderParams p{};
    SetPlainSettings(p);
    return p;
}

TEST(ParameterTable, RowsAreCompleteForTheirKind) {
    for (const ParameterInfo& row : kParameters) {
        SCOPED_TRACE(row.label);
        EXPECT_LT(row.min, row.max);
        EXPECT_NE(row.summary, nullptr);
        EXPECT_GT(row.control_id, 0);
        for (int c = 0; c < row.components; ++c) {
            EXPECT_GE(row.plain[c], row.min);
            EXPECT_LE(row.plain[c], row.max);
        }
        const int fields = (row.field != nullptr) + (row.integer != nullptr) + (row.colour != nullptr) +
                           (row.point[0] != nullptr) + (row.vector != nullptr);
        EXPECT_EQ(fields, 1) << "exactly one place for the value";
        switch (row.kind) {
        case ParameterKind::kSlider:
            EXPECT_NE(row.field, nullptr);
            EXPECT_EQ(row.components, 1);
            EXPECT_GT(row.field_id, 0);
            EXPECT_TRUE(row.file_version == 41 || row.file_version == 42 || row.file_version == kCurrentVersion);
            EXPECT_EQ(row.mirror_refreshed, row.mirror_slot >= 0 && row.file_version == kCurrentVersion);
            break;
        case ParameterKind::kStyle:
        case ParameterKind::kGlue:
        case ParameterKind::kSeed: EXPECT_NE(row.integer, nullptr); break;
        case ParameterKind::kColour: EXPECT_EQ(row.components, 3); break;
        case ParameterKind::kPoint: EXPECT_EQ(row.components, 2); break;
        case ParameterKind::kDirection: EXPECT_EQ(row.components, 3); break;
        }
    }
}

TEST(ParameterTable, NamesAndControlsAreUnique) {
    std::set<std::string> names;
    std::set<int> controls;
    size_t count = 0;
    for (const ParameterInfo& row : kParameters) {
        names.insert(NormaliseName(row.label));
        ++count;
        for (const ParameterAlias& alias : row.aliases) {
            if (!alias.name) continue;
            names.insert(NormaliseName(alias.name));
            ++count;
            EXPECT_LT(alias.component, row.components) << alias.name;
        }
        controls.insert(row.control_id);
        if (row.field_id) controls.insert(row.field_id);
    }
    EXPECT_EQ(names.size(), count) << "a label or alias names two parameters";
    EXPECT_EQ(controls.size(), size_t(kParameterCount + kSliderCount)) << "a control id is used twice";
}

TEST(ParameterTable, PlainSettingsAreTheRowsPlainValues) {
    const RenderParams p = Plain();
    for (const ParameterInfo& row : kParameters)
        for (int c = 0; c < row.components; ++c)
            EXPECT_EQ(ParameterComponent(p, row, c), double(row.plain[c])) << row.label << " " << c;
    EXPECT_EQ(p.color.g, kPlainColor.g);
    EXPECT_EQ(p.light_dir[2], kPlainLightDir[2]);
}

// Each component is its own field: writing one changes that field and nothing else.
TEST(ParameterTable, ComponentsWriteTheirOwnField) {
    for (const ParameterInfo& row : kParameters) {
        for (int c = 0; c < row.components; ++c) {
            RenderParams p = Plain();
            const RenderParams before = p;
            const double value = row.kind == ParameterKind::kColour ? 0x1234 : row.min + 1;
            SetParameterComponent(p, row, c, value);
            EXPECT_EQ(ParameterComponent(p, row, c), value) << row.label << " " << c;
            const auto* at = static_cast<const unsigned char*>(ParameterComponentAddress(p, row, c));
            const auto* base = reinterpret_cast<const unsigned char*>(&p);
            const size_t offset = size_t(at - base);
            const size_t width = row.kind == ParameterKind::kColour ? 2 : 4;
            EXPECT_EQ(std::memcmp(&p, &before, offset), 0) << row.label << " " << c;
            EXPECT_EQ(std::memcmp(base + offset + width, reinterpret_cast<const unsigned char*>(&before) + offset + width,
                                  sizeof p - offset - width),
                      0)
                << row.label << " " << c;
        }
    }
}

TEST(ParameterTable, SlidersAreTheFirstRowsInRecordOrder) {
    // RenderParams keeps the twelve floats side by side in the table's order.
    for (int i = 1; i < kSliderCount; ++i) {
        const RenderParams p{};
        EXPECT_EQ(reinterpret_cast<const char*>(&(p.*kSliders[i].field)) -
                      reinterpret_cast<const char*>(&(p.*kSliders[i - 1].field)),
                  ptrdiff_t(sizeof(float)))
            << kSliders[i].label;
    }
    EXPECT_EQ(FindSlider("hORIZON"), &kParameters[0]);
    EXPECT_EQ(FindSlider("Glue"), nullptr);  // not a slider
}

// The README's parameter table is what users read: every row must be there, the sliders
// with their range and plain value, every alias named.
TEST(ParameterTable, ReadmeListsEveryParameter) {
    std::ifstream file(std::string(TARNWELL_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(file) << "README.md not found";
    std::stringstream text;
    text << file.rdbuf();
    const std::string readme = text.str();
    for (const ParameterInfo& row : kParameters) {
        const size_t at = readme.find("\n| " + std::string(row.label) + " ");
        ASSERT_NE(at, std::string::npos) << row.label << " has no row in the README's parameter table";
        const std::string line = readme.substr(at + 1, readme.find('\n', at + 1) - at - 1);
        if (row.kind == ParameterKind::kSlider) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "| %g..%g | %g |", row.min, row.max, row.plain[0]);
            EXPECT_NE(line.find(expected), std::string::npos) << line;
        }
        for (const ParameterAlias& alias : row.aliases) {
            if (!alias.name) continue;
            EXPECT_NE(line.find(alias.name), std::string::npos) << line;
        }
    }
}

}  // namespace
}  // namespace tw
