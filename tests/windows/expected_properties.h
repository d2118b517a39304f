// What an editor must find in Tarnwell's property list, written out independently of the
// table that produces it, so a slip in the table shows up as a difference here.
#pragma once

#include <gtest/gtest.h>

#include "resources/plugin_properties.h"

namespace tw::testing {

inline void ExpectTarnwellProperties(const resources::PluginProperties& p) {
    EXPECT_EQ(p.kind, 0x3842464Du);  // '8BFM', a filter
    EXPECT_EQ(p.name, "Tarnwell 2...");
    EXPECT_EQ(p.category, "Quillmoth");
    EXPECT_EQ(p.version, 0x00040000);
    EXPECT_EQ(p.entry_point_x64, "PluginMain");
    // Grey, RGB, Gray16, RGB48, RGB96, Gray32; never multichannel (7).
    EXPECT_EQ(p.image_modes, (std::vector<int>{1, 3, 10, 11, 16, 17}));
    EXPECT_EQ(p.enable_rule,
              "( in (PSHOP_ImageMode, RGBMode, GrayScaleMode, RGB48Mode, Gray16Mode, "
              "Gray32Mode, RGB96Mode) ) && (PSHOP_ImageMode !=  MultichannelMode)");
    EXPECT_EQ(p.enable_rule_copies, 2);
    for (int i = 0; i < resources::kFilterCaseCount; ++i) {
        SCOPED_TRACE("filter case " + std::to_string(i + 1));
        EXPECT_EQ(p.filter_cases[i].input_handling, 1);
        EXPECT_EQ(p.filter_cases[i].output_handling, 1);
        EXPECT_EQ(p.filter_cases[i].flags1, 1);
        EXPECT_EQ(p.filter_cases[i].flags2, 0);
    }
    EXPECT_EQ(p.terminology.version, 0);
    EXPECT_EQ(p.terminology.class_id, 0x5A515732u);  // 'ZQW2'
    EXPECT_EQ(p.terminology.event_id, 0x5A515732u);
    EXPECT_EQ(p.terminology.terminology_id, 16000);
    EXPECT_EQ(p.terminology.scope, "Quillmoth Tarnwell 2");
}

}  // namespace tw::testing
